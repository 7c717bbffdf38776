// The parameter panel in a player's hands: on a real X server with a window manager, every
// kind of row control is clicked with real mouse events (xdotool) at the centre of the part of
// it that can be seen, and what it sends must reach the virtual pedal.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "core/catalogue_lists.h"
#include "core/text_lines.h"
#include "pedal_sim/pedal_model.h"
#include "resources/resource_store.h"
#include "support/test_seams.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegion>
#include <QSlider>
#include <QtTest>

using namespace qeltx;

namespace {

// What a click leads to, and a window's settling, can take long on a machine busy with other
// work; a passing run never waits this long.
constexpr int kSlowMachineMs = 20000;

// The part of `w` its later (higher) siblings leave uncovered, in its parent's coordinates.
QRegion uncovered(QWidget* w) {
    QRegion region(w->geometry());
    const QObjectList& siblings = w->parentWidget()->children();
    for (qsizetype k = siblings.indexOf(w) + 1; k < siblings.size(); ++k) {
        auto* other = qobject_cast<QWidget*>(siblings[k]);
        if (other && other->isVisible() && !other->isWindow()) region -= other->geometry();
    }
    return region;
}

int area(const QRegion& region) {
    int total = 0;
    for (const QRect& r : region) total += r.width() * r.height();
    return total;
}

// The centre of the largest uncovered rectangle of `w`, on the screen.
QPoint visibleCentre(QWidget* w) {
    QRect best;
    for (const QRect& r : uncovered(w)) {
        if (r.width() * r.height() > best.width() * best.height()) best = r;
    }
    return w->parentWidget()->mapToGlobal(best.center());
}

void xdotool(const QStringList& arguments) {
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), arguments), 0);
}

// A real click: the pointer moves there and the button goes down and up.
void clickAt(QPoint global) {
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(global.x()),
             QString::number(global.y()), QStringLiteral("click"), QStringLiteral("1")});
    QTest::qWait(60);
}

// Checks that the point is on the control itself, then clicks it.
void clickControl(QWidget* control) {
    QVERIFY(control->isVisible() && control->isEnabled());
    // Nothing lies over more than a sliver of a control.
    QVERIFY2(area(uncovered(control)) * 10 >= control->width() * control->height() * 9,
             qPrintable(control->objectName() + QStringLiteral(" is covered")));
    // A window just shown, moved or resized may still be settling with the window manager: its
    // place as the editor knows it can change while we wait (a late configure from the first
    // placement, then ours), so the point is taken again on every look. The check below says
    // what is under the point when the wait runs out.
    QPoint point = visibleCentre(control);
    (void)QTest::qWaitFor(
        [&] {
            point = visibleCentre(control);
            return QApplication::widgetAt(point) == control;
        },
        kSlowMachineMs);
    QWidget* under = QApplication::widgetAt(point);
    QVERIFY2(under == control,
             qPrintable(control->objectName() + QStringLiteral(" is not under its centre (%1, %2) in window at %3, %4 %5x%6: ")
                                                    .arg(point.x()).arg(point.y())
                                                    .arg(control->window()->x()).arg(control->window()->y())
                                                    .arg(control->window()->width()).arg(control->window()->height()) +
                        (under ? under->objectName() : QStringLiteral("nothing"))));
    clickAt(point);
}

// Opens a choice box with a click and clicks its option `option` in the list that drops down.
void chooseWithMouse(QComboBox* box, int option) {
    clickControl(box);
    if (QTest::currentTestFailed()) return;
    QTRY_VERIFY_WITH_TIMEOUT(box->view()->isVisible(), kSlowMachineMs);
    QAbstractItemView* view = box->view();
    const QRect item = view->visualRect(view->model()->index(option, 0));
    clickAt(view->viewport()->mapToGlobal(item.center()));
    QTRY_COMPARE_WITH_TIMEOUT(box->currentIndex(), option, kSlowMachineMs);
    QTRY_VERIFY_WITH_TIMEOUT(!view->isVisible(), kSlowMachineMs);
}

// A failed check inside a helper ends the test, not only the helper.
#define CLICK(control)                                 \
    do {                                               \
        clickControl(control);                         \
        if (QTest::currentTestFailed()) return;        \
    } while (false)
#define CHOOSE(box, option)                            \
    do {                                               \
        chooseWithMouse(box, option);                  \
        if (QTest::currentTestFailed()) return;        \
    } while (false)

struct Desk {
    testing::TestEditor editor;
    app::TformMain& main;
    app::TformFXParameters& panel;
    pedal_sim::PedalModel& pedal;
    Desk() : main(*editor->formMain()), panel(*editor->formFXParameters()), pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
    }
    // Shows the panel of `name` with its controls live, as after a read-back.
    bool show(const QString& name) {
        editor->state.currentEffectName = name;
        editor->state.panelShowsHeldAlgorithm = true;
        main.show_parameter_window(name, true);
        if (!panel.isBuilt()) return false;
        panel.activateWindow();
        panel.raise();
        // The panel was closed and shown again: wait until the X server has it mapped where it is.
        const QPoint middle = panel.mapToGlobal(panel.rect().center());
        return QTest::qWaitForWindowExposed(&panel, kSlowMachineMs) &&
               QTest::qWaitFor([&] { return QApplication::topLevelAt(middle) == &panel; }, kSlowMachineMs);
    }
    std::vector<std::uint8_t> sentSince(std::size_t from) const {
        const auto& all = pedal.received();
        return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
    }
};

std::vector<std::uint8_t> parameterCommand(const QString& address, std::uint32_t word) {
    const unsigned a = address.toUInt(nullptr, 16);
    return {0x01, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(word >> 24),
            static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
}

QStringList catalogueNames() {
    QStringList names;
    const std::vector<std::string> lines = core::splitLines(*resources::catalogueResource("EFFECT_LIST"));
    for (std::size_t n = 1; n < lines.size(); ++n) {
        if (!lines[n].empty()) names << QString::fromStdString(core::parseEffectListLine(lines[n]).name);
    }
    return names;
}

}  // namespace

class PanelMouseTest : public QObject {
    Q_OBJECT
private slots:
    void everyRowKindAnswersTheMouse_data();
    void everyRowKindAnswersTheMouse();
    void everySwitchAndButtonOfEveryAlgorithm();
    void liveSwitchTogglesAtItsCentre();
};

void PanelMouseTest::everyRowKindAnswersTheMouse_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("pots, switches, multi-switches, read-backs") << "Square Synth";
    QTest::newRow("buttons") << "Orbit Flanger";
    QTest::newRow("direction switch") << "Glass Phaser";
}

void PanelMouseTest::everyRowKindAnswersTheMouse() {
    QFETCH(QString, name);
    Desk desk;
    QVERIFY(desk.show(name));
    app::TformFXParameters& panel = desk.panel;

    for (int i = 0; i < panel.numControls; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const QString address = panel.paramAddresses[slot];
        const std::size_t before = desk.pedal.received().size();
        if (QSlider* bar = panel.potTrackBars[slot]) {
            CLICK(bar);
            QTRY_VERIFY_WITH_TIMEOUT(bar->value() != 0, kSlowMachineMs);
            QCOMPARE(panel.potValueLabels[slot]->text(), QString::number(bar->value()));
            const auto sent = desk.sentSince(before);
            QVERIFY(sent.size() >= 7);
            const std::vector<std::uint8_t> last(sent.end() - 7, sent.end());
            QCOMPARE(last, parameterCommand(address, static_cast<std::uint32_t>(bar->value()) * 8192U));
        } else if (QCheckBox* sw = panel.paramSwitches[slot]) {
            CLICK(sw);
            QTRY_VERIFY_WITH_TIMEOUT(sw->isChecked(), kSlowMachineMs);
            QCOMPARE(desk.sentSince(before), parameterCommand(address, 0x00800000));
            QCOMPARE(panel.stateLabels[slot]->text(), panel.onTexts[slot]);
            // Its words are part of it: a click on them turns it off again.
            const std::size_t onWords = desk.pedal.received().size();
            CLICK(panel.stateLabels[slot]);
            QTRY_VERIFY_WITH_TIMEOUT(!sw->isChecked(), kSlowMachineMs);
            QCOMPARE(desk.sentSince(onWords), parameterCommand(address, 0));
            QCOMPARE(panel.stateLabels[slot]->text(), panel.offTexts[slot]);
        } else if (QPushButton* button = panel.paramButtons[slot]) {
            CLICK(button);
            std::vector<std::uint8_t> pressAndRelease = parameterCommand(address, 0x00800000);
            const auto release = parameterCommand(address, 0);
            pressAndRelease.insert(pressAndRelease.end(), release.begin(), release.end());
            QTRY_COMPARE_WITH_TIMEOUT(desk.sentSince(before), pressAndRelease, kSlowMachineMs);
        } else if (QComboBox* box = panel.multiSwitchBoxes[slot]) {
            const int options = panel.optionCounts[slot];
            CHOOSE(box, options - 1);
            const auto word = static_cast<std::uint32_t>((options - 1) * (1024 / options) * 8192);
            QCOMPARE(desk.sentSince(before), parameterCommand(address, word));
        }
    }

    // Assignment boxes send nothing; choosing one lets its reverse box be clicked, which sends.
    for (int i = 0; i < panel.numControls; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const std::size_t before = desk.pedal.received().size();
        CHOOSE(panel.assignBoxes[slot], 11);  // "EXP"
        QCOMPARE(desk.editor->pedal().assignments()[slot], std::uint8_t{11});
        QVERIFY(desk.sentSince(before).empty());
        CLICK(panel.reverseCheckBoxes[slot]);
        QTRY_COMPARE_WITH_TIMEOUT(desk.sentSince(before), (std::vector<std::uint8_t>{0x08, 0x01, static_cast<std::uint8_t>(i)}), kSlowMachineMs);
    }
    CHOOSE(panel.bypassAssignBox, 1);  // "FL"
    QCOMPARE(desk.editor->pedal().bypassAssignment(), std::uint8_t{9});
    CHOOSE(panel.presetAssignBox, 2);  // "RMT"
    QCOMPARE(desk.editor->pedal().presetAssignment(), std::uint8_t{10});
    for (int j = 0; j < panel.numReadbacks; ++j) {
        CHOOSE(panel.readbackAssignBoxes[static_cast<std::size_t>(j)], 3);  // "GREEN"
        QCOMPARE(desk.editor->pedal().readbackAssignments()[static_cast<std::size_t>(j)], std::uint8_t{3});
    }
}

void PanelMouseTest::everySwitchAndButtonOfEveryAlgorithm() {
    Desk desk;
    int clicked = 0;
    for (const QString& name : catalogueNames()) {
        if (!desk.show(name)) continue;  // a layout the panel refuses has no rows to click
        app::TformFXParameters& panel = desk.panel;
        for (int i = panel.numPots; i < panel.numPots + panel.numSwitches; ++i) {
            const auto slot = static_cast<std::size_t>(i);
            const std::size_t before = desk.pedal.received().size();
            if (QCheckBox* sw = panel.paramSwitches[slot]) {
                CLICK(sw);
                QTRY_VERIFY2_WITH_TIMEOUT(sw->isChecked(), qPrintable(name + QStringLiteral(": ") + panel.nameLabels[slot]->text()), kSlowMachineMs);
            } else {
                CLICK(panel.paramButtons[slot]);
            }
            QTRY_VERIFY2_WITH_TIMEOUT(desk.sentSince(before).size() >= 7, qPrintable(name + QStringLiteral(": ") + panel.nameLabels[slot]->text()), kSlowMachineMs);
            QCOMPARE(desk.sentSince(before)[0], std::uint8_t{0x01});
            ++clicked;
        }
    }
    QVERIFY(clicked > 20);
}

void PanelMouseTest::liveSwitchTogglesAtItsCentre() {
    Desk desk;
    app::TformMain& main = desk.main;
    main.activateWindow();
    main.raise();
    QVERIFY(QTest::qWaitForWindowExposed(&main, kSlowMachineMs));
    QVERIFY(main.swLive->isEnabled());
    // Its centre, in either state: on, then off again, whichever half the knob is in.
    for (const bool on : {true, false}) {
        const std::size_t before = desk.pedal.received().size();
        CLICK(main.swLive);
        QTRY_COMPARE_WITH_TIMEOUT(main.swLive->isChecked(), on, kSlowMachineMs);
        QCOMPARE(desk.sentSince(before), (std::vector<std::uint8_t>{0x0A, std::uint8_t(on ? 0x01 : 0x00), 0x00}));
        QCOMPARE(desk.pedal.live(), on);
    }
}

QTEST_MAIN(PanelMouseTest)
#include "test_panel_mouse.moc"
