// The main window's Edit menu: Undo and Redo, each naming the step it sends ("Undo Drive
// 512 → 300"), and Compare with the sound stored on the pedal. The same entries are the
// parameter window's keys.
#include "app/edit_history.h"
#include "app/editor.h"
#include "app/main_window.h"
#include "app/stored_compare.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace qeltx::app {

namespace {
// A step's name as a menu shows it: an ampersand in a parameter's name is no mnemonic.
QString entryText(const QString& verb, const QString& step) {
    return step.isEmpty() ? verb : verb + QLatin1Char(' ') + QString(step).replace(QLatin1Char('&'), QStringLiteral("&&"));
}
}  // namespace

void TformMain::buildEditMenu() {
    // Beside File, where desktop programs keep it.
    menuEdit = new QMenu(QStringLiteral("&Edit"), this);
    menuEdit->setObjectName(QStringLiteral("menuEdit"));
    menuBar()->insertMenu(menuConnection->menuAction(), menuEdit);
    menuUndo = menuEdit->addAction(QStringLiteral("&Undo"));
    menuUndo->setObjectName(QStringLiteral("menuUndo"));
    menuUndo->setShortcut(QKeySequence::Undo);
    menuRedo = menuEdit->addAction(QStringLiteral("&Redo"));
    menuRedo->setObjectName(QStringLiteral("menuRedo"));
    menuRedo->setShortcut(QKeySequence::Redo);
    menuEdit->addSeparator();
    menuCompare = menuEdit->addAction(QStringLiteral("&Compare with the Stored Sound"));
    menuCompare->setObjectName(QStringLiteral("menuCompare"));
    menuCompare->setCheckable(true);
    menuCompare->setShortcut(compareKeys());
    connect(menuUndo, &QAction::triggered, this, editor_.guarded([this] { editor_.history().undo(); }));
    connect(menuRedo, &QAction::triggered, this, editor_.guarded([this] { editor_.history().redo(); }));
    connect(menuCompare, &QAction::triggered, this, editor_.guarded([this] { editor_.compare().toggle(); }));
    connect(&editor_.history(), &EditHistory::changed, this, &TformMain::showEditMenu);
    connect(&editor_.compare(), &StoredSoundCompare::changed, this, &TformMain::showEditMenu);
    showEditMenu();
}

void TformMain::showEditMenu() {
    const EditHistory& history = editor_.history();
    const StoredSoundCompare& compare = editor_.compare();
    // While comparing, the pedal plays the stored sound: a step sent now would be lost on the
    // way back to the edits.
    menuUndo->setEnabled(history.canUndo() && !compare.comparing());
    menuRedo->setEnabled(history.canRedo() && !compare.comparing());
    menuUndo->setText(entryText(QStringLiteral("&Undo"), history.canUndo() ? history.stack().undoText() : QString()));
    menuRedo->setText(entryText(QStringLiteral("&Redo"), history.canRedo() ? history.stack().redoText() : QString()));
    menuCompare->setEnabled(compare.available());
    menuCompare->setChecked(compare.comparing());
}

}  // namespace qeltx::app
