// While the firmware is written nothing that can send reaches the pedal: every control of
// every window that could send (or change what the upgrade depends on) is held, and the
// upgrade window says which stage is running, in full.
#include "app/firmware_upgrade.h"
#include "app/fx_parameters.h"
#include "app/impulse_response.h"
#include "app/impulse_response_view.h"
#include "app/main_window.h"
#include "app/new_version_msg.h"
#include "app/print_console.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace qeltx;

namespace {

// Linked, with every window open that has controls, the pedal in its bootloader and a small
// image (two chunks and the marker) chosen in the upgrade window.
struct Flashing {
    testing::TestEditor editor;
    app::TformMain& main;
    app::TformFirmwareUpgrade& upgrade;
    pedal_sim::PedalModel& pedal;

    Flashing() : main(*editor->formMain()), upgrade(*editor->formFirmwareUpgrade()), pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
        main.menuImpulseResponse->trigger();
        editor->formPrint()->show();
        editor->formNewVersionMsg()->show();
        testing::chooseFirmwareInUpgradeMode(editor, QByteArray(300, '\x5A'), QStringLiteral("two-chunks.bin"));
        editor.dialogs->messages.clear();
    }

    std::vector<QWidget*> windows() {
        return {&main, editor->formFXParameters(), editor->formPrint(), &upgrade,
                editor->formImpulseResponse()->existingView(), editor->formNewVersionMsg()};
    }
};

// Controls that only change what the console or the notice shows, or save the console's text.
bool sendsNothing(const QWidget* control) {
    static const QStringList names = {QStringLiteral("btnClear"), QStringLiteral("btnScrollTop"),
                                      QStringLiteral("btnSave"), QStringLiteral("btnSeeWhatsNew")};
    if (names.contains(control->objectName())) return true;
    // The console's "scroll" and the notice's "Don't Show This Message Again".
    const QWidget* window = control->window();
    return control->objectName() == QStringLiteral("CheckBox1") &&
           (window->objectName() == QStringLiteral("formPrint") || window->objectName() == QStringLiteral("formNewVersionMsg"));
}

bool isInput(QWidget* w) {
    if (qobject_cast<QScrollBar*>(w)) return false;  // scrolling sends nothing
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSlider*>(w) ||
           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QAbstractItemView*>(w) || qobject_cast<QLineEdit*>(w);
}

QString describe(QWidget* w) {
    return w->window()->objectName() + QLatin1Char('/') + w->objectName() + QLatin1Char(' ') +
           QString::fromLatin1(w->metaObject()->className());
}

// Every input control of the windows that a click would reach now.
QStringList enabledControls(const std::vector<QWidget*>& windows, bool sendingOnly) {
    QStringList found;
    for (QWidget* window : windows) {
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (w->window() != window || !isInput(w) || !w->isEnabled()) continue;
            if (sendingOnly && sendsNothing(w)) continue;
            found << describe(w);
        }
    }
    return found;
}

// Whether the label shows all of its text at its width.
bool shownWhole(QLabel* label) {
    return label->heightForWidth(label->width()) <= label->height() && label->width() <= label->window()->width();
}

}  // namespace

class FlashingHoldTest : public QObject {
    Q_OBJECT
private slots:
    void everythingThatCanSendIsHeldUntilTheEnd();
    void theUpgradeWindowSaysWhichStageRuns();
};

void FlashingHoldTest::everythingThatCanSendIsHeldUntilTheEnd() {
    Flashing f;
    const std::vector<QWidget*> windows = f.windows();
    for (QWidget* window : windows) QVERIFY(window);
    // The check sees the controls: before the run, the panel's, the main window's and the
    // upgrade window's own are there to be held.
    const QStringList before = enabledControls(windows, true);
    QVERIFY2(before.size() > 10, qPrintable(before.join('\n')));
    // A menu entry with a shortcut would bypass the held menu bar: none has one during the hold.
    const QKeySequence save = f.main.menuSaveConfiguration->shortcut();
    QVERIFY(!save.isEmpty());
    QStringList keysDuring;

    QStringList during;
    bool menuBarHeld = false;
    bool busyCursor = false;
    f.editor.duringWait->action = [&] {
        during = enabledControls(windows, true);
        menuBarHeld = !f.main.menuBar()->isEnabled();
        busyCursor = QApplication::overrideCursor() != nullptr;
        for (QAction* action : f.main.findChildren<QAction*>()) {
            if (!action->shortcut().isEmpty()) keysDuring << action->objectName();
        }
    };
    f.upgrade.btnUpgradeFirmware->click();

    QCOMPARE(f.editor.duringWait->ran, 1);
    QVERIFY2(during.isEmpty(), qPrintable(during.join('\n')));
    QVERIFY(menuBarHeld);
    QVERIFY2(keysDuring.isEmpty(), qPrintable(keysDuring.join('\n')));
    QCOMPARE(f.main.menuSaveConfiguration->shortcut(), save);
    QVERIFY(busyCursor);
    QVERIFY(f.editor.dialogs->messages.contains(QStringLiteral("Firmware Upgrade Complete, device will now restart")));
    // Back in normal operation, what was held is given back.
    QVERIFY(f.main.menuBar()->isEnabled());
    QVERIFY(f.main.centralWidget()->isEnabled());
    QVERIFY(f.editor->formFXParameters()->isEnabled());
    QVERIFY(f.editor->formPrint()->btnReadEEPROM->isEnabled());
    QVERIFY(f.editor->formNewVersionMsg()->btnLaunchUpdate->isEnabled());
    QVERIFY(f.editor->formImpulseResponse()->existingView()->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

void FlashingHoldTest::theUpgradeWindowSaysWhichStageRuns() {
    Flashing f;
    QLabel* step = f.upgrade.lblFirmwareStep;
    QLabel* note = f.upgrade.lblFirmwareNote;
    QStringList stages;
    QStringList clipped;
    int lastValue = -1;
    bool barBackwards = false;
    int noteShown = 0;
    std::function<void()> look = [&] {
        // A wait paints: the window's layout follows what changed.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (stages.isEmpty() || stages.last() != step->text()) stages << step->text();
        if (!shownWhole(step)) clipped << step->text();
        if (note->isVisible()) {
            ++noteShown;
            if (!shownWhole(note)) clipped << note->text();
        }
        const int value = f.upgrade.ProgressBar1->value();
        if (step->text().startsWith(QStringLiteral("Writing")) && value < lastValue) barBackwards = true;
        if (step->text().startsWith(QStringLiteral("Writing"))) lastValue = value;
        // Someone tries to close the editor at the start: the note stays for the whole run.
        if (stages.size() == 1 && !note->isVisible()) f.main.close();
        f.editor.duringWait->action = look;
    };
    f.editor.duringWait->action = look;
    f.upgrade.btnUpgradeFirmware->click();

    const QStringList expected = {
        QStringLiteral("Greeting the bootloader…"),
        QStringLiteral("Erasing the pedal's flash…"),
        QStringLiteral("Writing the firmware: 0 of 3 chunks written"),
        QStringLiteral("Writing the firmware: 1 of 3 chunks written"),
        QStringLiteral("Writing the firmware: 2 of 3 chunks written"),  // the marker
        QStringLiteral("Verifying the firmware: 0 of 3 chunks read back and compared"),
        QStringLiteral("Verifying the firmware: 1 of 3 chunks read back and compared"),
        QStringLiteral("Verifying the firmware: 2 of 3 chunks read back and compared"),  // the marker
        QStringLiteral("Starting the new firmware…"),
        QStringLiteral("Firmware Upgrade Complete, device will now restart"),  // behind the message that says so
    };
    QVERIFY2(stages == expected, qPrintable(stages.join('\n')));
    QVERIFY(noteShown > 5);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
    QVERIFY(!barBackwards);
    QVERIFY(f.editor.dialogs->messages.contains(QStringLiteral("Firmware Upgrade Complete, device will now restart")));
}

QTEST_MAIN(FlashingHoldTest)
#include "test_flashing_hold.moc"
