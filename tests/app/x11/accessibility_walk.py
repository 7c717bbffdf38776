#!/usr/bin/python3
# Walks the running editor's accessibility tree as a screen reader sees it (AT-SPI): every
# enabled control of the main window and of the parameter window has a role and a name, and a
# pot moved through the accessibility interface moves the pot on the panel.
# Usage: accessibility_walk.py VALUE  (the value the first pot is set to)
import sys
import time

import pyatspi

CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_SLIDER,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_LIST, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_TEXT,
}


def fail(why):
    print("FAIL: " + why)
    sys.exit(1)


def editor_app(timeout):
    end = time.time() + timeout
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "Qelt X Editor":
                return app
        time.sleep(0.2)
    return None


def walk(node, into):
    try:
        into.append(node)
        for child in node:
            if child is not None:
                walk(child, into)
    except Exception:  # a node that went away while walking
        pass


def windows(app):
    return [w for w in app if w is not None and w.getState().contains(pyatspi.STATE_SHOWING)]


def spoken_name(node):
    # What a screen reader says for the control: its name, or the label that names it.
    if node.name:
        return node.name
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for k in range(relation.getNTargets()):
                label = relation.getTarget(k)
                if label is not None and label.name:
                    return label.name
    return ""


def main():
    value = int(sys.argv[1])
    app = editor_app(30)
    if app is None:
        fail("the editor never appeared on the accessibility bus")
    # The parameter window is the one with sliders (its title is the algorithm's name).
    end = time.time() + 30
    panel = None
    while time.time() < end and panel is None:
        for w in windows(app):
            nodes = []
            walk(w, nodes)
            if any(n.getRole() == pyatspi.ROLE_SLIDER and n.getState().contains(pyatspi.STATE_ENABLED) for n in nodes):
                panel = w
        time.sleep(0.2)
    if panel is None:
        fail("no parameter window with enabled pots")
    print("parameter window: " + panel.name)
    checked = 0
    problems = []
    for w in windows(app):
        nodes = []
        walk(w, nodes)
        for n in nodes:
            state = n.getState()
            if n.getRole() not in CONTROL_ROLES or not state.contains(pyatspi.STATE_ENABLED):
                continue
            if not state.contains(pyatspi.STATE_SHOWING):
                continue  # a closed menu's list, a combo box's drop-down
            checked += 1
            if not spoken_name(n):
                problems.append("%s in '%s' has no name (description '%s')" % (n.getRoleName(), w.name, n.description))
    print("controls checked: %d" % checked)
    for p in problems:
        print("  " + p)
    if problems:
        fail("%d controls without a name" % len(problems))
    if checked < 20:
        fail("only %d controls found" % checked)

    nodes = []
    walk(panel, nodes)
    pot = next(n for n in nodes if n.getRole() == pyatspi.ROLE_SLIDER)
    if not pot.name or str(int(pot.queryValue().currentValue)) not in pot.description:
        fail("the pot '%s' does not say its value: '%s'" % (pot.name, pot.description))
    print("pot '%s' says '%s'" % (pot.name, pot.description))
    pot.queryValue().currentValue = value
    end = time.time() + 10
    while time.time() < end:
        if int(pot.queryValue().currentValue) == value and (": %d " % value) in pot.description:
            print("pot '%s' now says '%s'" % (pot.name, pot.description))
            return
        time.sleep(0.1)
    fail("the pot did not take %d: value %s, '%s'" % (value, pot.queryValue().currentValue, pot.description))


main()
