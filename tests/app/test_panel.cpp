// The parameter panel built from control layouts of the catalogue, and the rules that keep
// it from echoing values the editor sets itself.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using namespace qeltx;

namespace {

// Shows the panel for `name` as the browser would, its controls live.
app::TformFXParameters& showPanel(testing::TestEditor& editor, const QString& name) {
    editor->state.currentEffectName = name;
    editor->state.panelShowsHeldAlgorithm = true;
    editor->formMain()->show_parameter_window(name, true);
    return *editor->formFXParameters();
}

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT
private slots:
    void buildsRowsFromTheLayout_data();
    void buildsRowsFromTheLayout();
    void twoStateAndMultiSwitchRows();
    void layoutBeyondTheLimitsIsRefused();
    void closingDestroysEveryRow();
    void drawingSendsNothing();
    void liveControlsSendTheirCommands();
    void switchesTakeAClickAnywhereOnThem();
};

void PanelTest::buildsRowsFromTheLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pots");
    QTest::addColumn<int>("switches");
    QTest::addColumn<int>("multis");
    QTest::addColumn<int>("readbacks");
    QTest::newRow("3000") << "Amber Drive" << 3 << 0 << 0 << 0;
    QTest::newRow("4001") << "Tidal Chorus" << 4 << 0 << 0 << 1;
    QTest::newRow("7522") << "Square Synth" << 7 << 5 << 2 << 2;
    QTest::newRow("C100") << "Drone Organ" << 12 << 1 << 0 << 0;
}

void PanelTest::buildsRowsFromTheLayout() {
    QFETCH(QString, name);
    QFETCH(int, pots);
    QFETCH(int, switches);
    QFETCH(int, multis);
    QFETCH(int, readbacks);
    testing::TestEditor editor;
    app::TformFXParameters& panel = showPanel(editor, name);
    const int n = pots + switches + multis;
    QCOMPARE(panel.numControls(), n);
    QCOMPARE(panel.numReadbacks(), readbacks);
    QCOMPARE(panel.rowsArea()->height(), (n + readbacks + 4) * 25 + 10);
    QCOMPARE(panel.height(), panel.windowHeight());
    QCOMPARE(panel.width(), 420);
    QCOMPARE(panel.findChildren<QSlider*>().size(), pots);
    QCOMPARE(panel.findChildren<QComboBox*>(QRegularExpression("^assignBoxes")).size(), n);
    QCOMPARE(panel.findChildren<QCheckBox*>(QRegularExpression("^reverseCheckBoxes")).size(), n);
    QCOMPARE(panel.findChildren<QComboBox*>(QRegularExpression("^readbackAssignBoxes")).size(), readbacks);
    QVERIFY(panel.findChild<QSlider*>("potTrackBars0"));
    QCOMPARE(panel.bypassLabel()->text(), QStringLiteral("Bypass Toggle"));
    QCOMPARE(panel.bypassLabel()->y(), 25 * n + 10);
    QCOMPARE(panel.presetLabel()->y(), 25 * (n + 1) + 10);
    for (QCheckBox* reverse : panel.findChildren<QCheckBox*>(QRegularExpression("^reverseCheckBoxes"))) {
        QVERIFY(!reverse->isEnabled());
    }
    QVERIFY(panel.assignBox(0)->currentIndex() == -1 && panel.assignBox(0)->count() == 13);
    QVERIFY(panel.bypassAssignBox()->currentIndex() == -1 && panel.bypassAssignBox()->count() == 4);
    QVERIFY(editor.dialogs->messages.isEmpty());
}

void PanelTest::twoStateAndMultiSwitchRows() {
    testing::TestEditor editor;
    app::TformFXParameters& panel = showPanel(editor, "Square Synth");
    // Octave, Glide, Mute switches; Sample and Sync buttons; Wave (3) and Voice (16) multi-switches.
    QVERIFY(panel.paramSwitch(7) && panel.paramSwitch(9));
    QCOMPARE(panel.stateLabel(9)->text(), QStringLiteral("ON"));  // "Mute:ON:OFF" shows its off label
    QVERIFY(panel.isButton(10) && panel.isButton(11));
    QCOMPARE(panel.paramButton(10)->text(), QStringLiteral("Sample"));
    QCOMPARE(panel.optionCount(12), 3);
    QCOMPARE(panel.optionCount(13), 16);
    QCOMPARE(panel.multiSwitchBox(13)->currentIndex(), -1);
    QCOMPARE(panel.readbackLabel(1)->text(), QStringLiteral("Gate ON"));
}

void PanelTest::layoutBeyondTheLimitsIsRefused() {
    testing::TestEditor editor;
    app::TformFXParameters& panel = showPanel(editor, "Prototype Matrix");
    QCOMPARE(editor.dialogs->messages.size(), 1);
    QVERIFY(editor.dialogs->messages.first().contains("Prototype Matrix"));
    QVERIFY(panel.rowsArea()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).isEmpty());
    QCOMPARE(panel.numControls(), 0);
}

void PanelTest::closingDestroysEveryRow() {
    testing::TestEditor editor;
    app::TformFXParameters& panel = showPanel(editor, "Square Synth");
    editor->formMain()->btnRequest->setEnabled(true);
    panel.close();
    QVERIFY(panel.rowsArea()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).isEmpty());
    QVERIFY(panel.potTrackBar(0) == nullptr && panel.assignBox(0) == nullptr && panel.bypassAssignBox() == nullptr);
    QVERIFY(!editor->formMain()->btnRequest->isEnabled());
    // A control frame arriving now reaches nothing.
    editor->formMain()->apply_control_frame({0, 0, 1023});
}

void PanelTest::drawingSendsNothing() {
    // The panel draws what the pedal holds (a read-back, the pedal's own controls) with its
    // controls' signals held: nothing drawn goes back to the pedal, and no flag is needed for it.
    testing::TestEditor editor;
    editor->formMain()->menuConnect->trigger();
    app::TformFXParameters& panel = showPanel(editor, "Square Synth");
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    const std::size_t before = pedal.received().size();
    panel.drawValue(0, 10);
    panel.drawValue(12, 1024 / panel.optionCount(12));
    panel.drawValue(7, 1024);
    QCOMPARE(pedal.received().size(), before);
    QCOMPARE(panel.potTrackBar(0)->value(), 10);
    QCOMPARE(panel.potValueLabel(0)->text(), QStringLiteral("10"));
    QCOMPARE(panel.multiSwitchBox(12)->currentIndex(), 1);
    QVERIFY(panel.paramSwitch(7)->isChecked());
    // The player's own change still goes out.
    panel.multiSwitchBox(12)->setCurrentIndex(2);
    QCOMPARE(pedal.received().size(), before + 7);
}

void PanelTest::liveControlsSendTheirCommands() {
    testing::TestEditor editor;
    editor->formMain()->menuConnect->trigger();
    app::TformFXParameters& panel = showPanel(editor, "Square Synth");
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    auto lastSent = [&](std::size_t n) {
        const auto& all = pedal.received();
        return std::vector<std::uint8_t>(all.end() - static_cast<std::ptrdiff_t>(n), all.end());
    };
    const auto address = [&](int i) { return std::uint32_t{panel.parameterAddress(i)}; };
    auto parameter = [&](int i, std::uint32_t word) {
        const std::uint32_t a = address(i);
        return std::vector<std::uint8_t>{0x01, std::uint8_t(a >> 8), std::uint8_t(a), std::uint8_t(word >> 24),
                                         std::uint8_t(word >> 16), std::uint8_t(word >> 8), std::uint8_t(word)};
    };
    panel.potTrackBar(0)->setValue(1023);
    QCOMPARE(lastSent(7), parameter(0, 1023u * 8192u));
    panel.paramSwitch(7)->click();
    QCOMPARE(lastSent(7), parameter(7, 0x00800000u));
    QCOMPARE(panel.stateLabel(7)->text(), QStringLiteral("Down"));
    panel.multiSwitchBox(12)->setCurrentIndex(2);
    QCOMPARE(lastSent(7), parameter(12, 0x00554000u));
    // A button acts as the pedal's own: pressed sends on, released sends off.
    QTest::mousePress(panel.paramButton(10), Qt::LeftButton);
    QCOMPARE(lastSent(7), parameter(10, 0x00800000u));
    QCOMPARE(int(panel.buttonHeld(10)), 1);
    QTest::mouseRelease(panel.paramButton(10), Qt::LeftButton);
    QCOMPARE(lastSent(7), parameter(10, 0u));
    // By keyboard: Space holds it as the mouse does, and the focus stays for the next control.
    panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    panel.paramButton(10)->setFocus(Qt::TabFocusReason);
    QTest::keyPress(panel.paramButton(10), Qt::Key_Space);
    QCOMPARE(lastSent(7), parameter(10, 0x00800000u));
    QTest::keyRelease(panel.paramButton(10), Qt::Key_Space);
    QCOMPARE(lastSent(7), parameter(10, 0u));
    QVERIFY(panel.paramButton(10)->hasFocus());
    // A click leaves the keyboard where it was.
    panel.potTrackBar(0)->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(panel.paramButton(11), Qt::LeftButton);
    QVERIFY(panel.potTrackBar(0)->hasFocus());
    // Reverse boxes follow the assignment boxes; "--" turns an active one off and says so.
    panel.assignBox(5)->setCurrentIndex(11);  // EXP
    QCOMPARE(int(editor->pedal().assignments()[5]), 11);
    QVERIFY(panel.reverseCheckBox(5)->isEnabled());
    panel.reverseCheckBox(5)->click();
    QCOMPARE(lastSent(3), (std::vector<std::uint8_t>{0x08, 0x01, 0x05}));
    panel.assignBox(5)->setCurrentIndex(12);  // --
    QCOMPARE(lastSent(3), (std::vector<std::uint8_t>{0x08, 0xFF, 0x05}));
    QVERIFY(!panel.reverseCheckBox(5)->isEnabled());
    QCOMPARE(int(editor->pedal().assignments()[5]), 255);
}

void PanelTest::switchesTakeAClickAnywhereOnThem() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    main.menuConnect->trigger();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    // The Live switch: at its centre, at either end, in either state.
    QCheckBox* live = main.swLive;
    const int middle = live->height() / 2;
    const QList<QPoint> points{live->rect().center(), live->rect().center(), QPoint(2, middle),
                               QPoint(live->width() - 3, middle), QPoint(live->width() - 3, middle), QPoint(2, middle)};
    bool on = false;
    for (const QPoint& point : points) {
        QTest::mouseClick(live, Qt::LeftButton, {}, point);
        on = !on;
        QCOMPARE(live->isChecked(), on);
        QCOMPARE(pedal.live(), on);
    }
    // A parameter switch: on its words as on its box; words of a greyed switch do nothing.
    app::TformFXParameters& panel = showPanel(editor, "Square Synth");
    QLabel* words = panel.stateLabel(7);
    QCheckBox* sw = panel.paramSwitch(7);
    const std::size_t before = pedal.received().size();
    QTest::mouseClick(words, Qt::LeftButton, {}, words->rect().center());
    QVERIFY(sw->isChecked());
    QCOMPARE(words->text(), panel.onText(7));
    QCOMPARE(pedal.received().size(), before + 7);
    QTest::mouseClick(words, Qt::LeftButton, {}, words->rect().center());
    QVERIFY(!sw->isChecked());
    QCOMPARE(words->text(), panel.offText(7));
    panel.EnableDisableControls(false);
    const std::size_t greyed = pedal.received().size();
    QTest::mouseClick(words, Qt::LeftButton, {}, words->rect().center());
    QVERIFY(!sw->isChecked());
    QCOMPARE(pedal.received().size(), greyed);
}

QTEST_MAIN(PanelTest)
#include "test_panel.moc"
