// Closing the main window ends the program: the event loop ends, the other windows close, the
// pedal's port is handed back; a conversation that is running finishes first, and while the
// firmware is being written closing is refused.
#include "app/firmware_upgrade.h"
#include "app/fx_parameters.h"
#include "app/impulse_response.h"
#include "app/impulse_response_view.h"
#include "app/main_window.h"
#include "app/new_version_msg.h"
#include "app/print_console.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>
#include <QtTest>

using namespace qeltx;

namespace {

constexpr int kExitWatchdog = 99;

// Runs the program's event loop as main() does, with `first` posted into it. The loop's own
// result, or kExitWatchdog when it was still running after 20 s.
int runEventLoop(const std::function<void()>& first) {
    QTimer::singleShot(0, qApp, first);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, [] { QApplication::exit(kExitWatchdog); });
    watchdog.start(20000);
    return QApplication::exec();
}

// The editor's windows besides the main window, each shown as a player would open it.
std::vector<QWidget*> openOtherWindows(app::Editor& editor) {
    app::TformMain& main = *editor.formMain();
    main.menuImpulseResponse->trigger();
    editor.formPrint()->show();
    editor.formNewVersionMsg()->show();
    return {editor.formFXParameters(), editor.formPrint(), editor.formImpulseResponse()->existingView(),
            editor.formNewVersionMsg()};
}

// Whether this process has `path` open (the pseudo-terminal's far end).
bool processHolds(const QString& path) {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
        if (fd.symLinkTarget() == path) return true;
    }
    return false;
}

bool canOpen(const QString& path) {
    QSerialPort other;
    other.setPortName(path);
    const bool opened = other.open(QIODevice::ReadWrite);
    other.close();
    return opened;
}

QString consoleText(app::Editor& editor) { return editor.formPrint()->logView->toPlainText(); }

// The conversation's own handle is no longer valid in the driver: the device was closed.
bool handleReleased(app::Editor& editor) {
    std::uint32_t queued = 0;
    return editor.driver().getQueueStatus(editor.usb().deviceHandle, queued) != core::FT_OK;
}

// qeltx-pedal-sim serving the pedal on a pseudo-terminal, and an editor linked to it with the
// real timing: its waits dispatch window events, as in the program.
struct PedalOnPty {
    QProcess sim;
    QString pty;
    std::shared_ptr<testing::DialogLog> dialogs = std::make_shared<testing::DialogLog>();
    std::shared_ptr<testing::PlatformLog> platform = std::make_shared<testing::PlatformLog>();
    std::unique_ptr<app::Editor> editor;

    // False (with the reason in `problem`) when the pedal or the link could not be had.
    // `simOptions` go to qeltx-pedal-sim.
    bool link(QString& problem, const QStringList& simOptions = {}) {
        sim.start(QString::fromUtf8(QELTX_PEDAL_SIM_PATH), simOptions);
        if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
            problem = QStringLiteral("qeltx-pedal-sim gave no port");
            return false;
        }
        pty = QString::fromUtf8(sim.readLine()).trimmed();
        app::EditorSetup setup;
        setup.dialogs = std::make_unique<testing::ScriptedDialogs>(dialogs);
        setup.platform = std::make_unique<testing::TempPlatform>(platform);
        setup.explicitPorts = {pty};
        setup.serverAddress = QStringLiteral("http://127.0.0.1:1");
        editor = std::make_unique<app::Editor>(std::move(setup));
        editor->start();
        editor->formMain()->menuConnect->trigger();
        problem = dialogs->messages.join('\n');
        return editor->state.linked;
    }
    ~PedalOnPty() {
        editor.reset();
        sim.terminate();
        sim.waitForFinished(5000);
    }
};

}  // namespace

class ClosingTest : public QObject {
    Q_OBJECT
private slots:
    void closingAfterLinkOnAPseudoTerminalEndsTheProgram();
    void closingDuringRequestOnAPseudoTerminal();
    void closingDuringRequestEndsTheProgramWhenRequestHasFinished();
    void closingWhileFlashingIsRefused_data();
    void closingWhileFlashingIsRefused();
    void lateWorkOpensNoWindowAfterTheEnd();
};

void ClosingTest::closingAfterLinkOnAPseudoTerminalEndsTheProgram() {
    PedalOnPty p;
    QString problem;
    QVERIFY2(p.link(problem), qPrintable(problem));
    app::Editor& editor = *p.editor;
    app::TformMain& main = *editor.formMain();
    const std::vector<QWidget*> others = openOtherWindows(editor);
    for (QWidget* window : others) QVERIFY(window->isVisible());
    QVERIFY(processHolds(p.pty));
    QVERIFY(!canOpen(p.pty));

    QCOMPARE(runEventLoop([&main] { main.close(); }), 0);

    QVERIFY(editor.ended());
    QVERIFY(!main.isVisible());
    for (QWidget* window : others) QVERIFY2(!window->isVisible(), qPrintable(window->windowTitle()));
    QVERIFY(!main.Timer_USB_read.isActive());
    QVERIFY(!main.TimerCheckWebVersion.isActive());
    // The port is handed back: nothing of the process holds it, and another program takes it.
    QVERIFY(!processHolds(p.pty));
    QVERIFY(canOpen(p.pty));
    QVERIFY2(p.dialogs->messages.isEmpty(), qPrintable(p.dialogs->messages.join('\n')));
}

void ClosingTest::closingDuringRequestOnAPseudoTerminal() {
    // The close comes while Request waits for the pedal's block (a timer stands for the window
    // manager's close, which the wait lets through as it does timers). The pedal answers at the
    // wire's pace, as a real one does, so the block is still coming when the wait runs the window.
    PedalOnPty p;
    QString problem;
    QVERIFY2(p.link(problem, {QStringLiteral("--pace"), QStringLiteral("115200")}), qPrintable(problem));
    app::Editor& editor = *p.editor;
    app::TformMain& main = *editor.formMain();
    const QString readBack = QStringLiteral("MIDI channel: ");
    const qsizetype readBefore = consoleText(editor).count(readBack);
    bool closedInsideRequest = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, &main, [&] {
        if (editor.line().running() != session::ConversationKind::Request) return;
        closer.stop();
        main.close();
        closedInsideRequest = main.isVisible();
    });
    const int code = runEventLoop([&] {
        closer.start(1);
        main.btnRequest->click();
    });
    QCOMPARE(code, 0);
    QVERIFY(closedInsideRequest);
    QVERIFY(consoleText(editor).contains(QStringLiteral("The editor closes when Request has finished.")));
    // Request ended by itself, with the pedal's values, before the program ended.
    QCOMPARE(consoleText(editor).count(readBack), readBefore + 1);
    QVERIFY(editor.ended());
    QVERIFY(!processHolds(p.pty));
    QVERIFY(canOpen(p.pty));
    QVERIFY2(p.dialogs->messages.isEmpty(), qPrintable(p.dialogs->messages.join('\n')));
}

void ClosingTest::closingDuringRequestEndsTheProgramWhenRequestHasFinished() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    main.menuConnect->trigger();
    QVERIFY(editor->state.linked);
    const std::vector<QWidget*> others = openOtherWindows(*editor);
    const std::size_t mark = pedal.received().size();
    const std::size_t parameters = static_cast<std::size_t>(editor->pedal().values().size());

    bool visibleDuringRequest = false;
    bool heldDuringRequest = false;
    editor.duringWait->action = [&] {
        main.close();
        visibleDuringRequest = main.isVisible() && editor->formFXParameters()->isVisible();
        heldDuringRequest = editor->state.linked && !handleReleased(*editor);
    };
    QCOMPARE(runEventLoop([&main] { main.btnRequest->click(); }), 0);

    QCOMPARE(editor.duringWait->ran, 1);
    QVERIFY(visibleDuringRequest);
    QVERIFY(heldDuringRequest);
    // Request ran whole, its two bytes and nothing after them; then the program ended.
    const std::vector<std::uint8_t> sent(pedal.received().begin() + static_cast<std::ptrdiff_t>(mark),
                                         pedal.received().end());
    QCOMPARE(sent, (std::vector<std::uint8_t>{0x02, static_cast<std::uint8_t>(parameters)}));
    QVERIFY(consoleText(*editor).contains(QStringLiteral("The editor closes when Request has finished.")));
    QVERIFY(editor->ended());
    QVERIFY(!main.isVisible());
    for (QWidget* window : others) QVERIFY2(!window->isVisible(), qPrintable(window->windowTitle()));
    QVERIFY(!editor->state.linked);
    QVERIFY(handleReleased(*editor));
    QVERIFY(!main.Timer_USB_read.isActive());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY2(editor.dialogs->messages.isEmpty(), qPrintable(editor.dialogs->messages.join('\n')));
}

void ClosingTest::closingWhileFlashingIsRefused_data() {
    QTest::addColumn<bool>("closeMainWindow");
    QTest::newRow("the main window") << true;
    QTest::newRow("the progress window") << false;
}

void ClosingTest::closingWhileFlashingIsRefused() {
    QFETCH(bool, closeMainWindow);
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    app::TformFirmwareUpgrade& upgrade = *editor->formFirmwareUpgrade();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    main.menuConnect->trigger();
    const QByteArray image = testing::firmwareImage(700, 13);
    QVERIFY(testing::chooseFirmwareInUpgradeMode(editor, image, QStringLiteral("small.bin")));
    editor.dialogs->messages.clear();

    bool noteShown = false;
    bool stillOpen = false;
    editor.duringWait->action = [&] {
        if (closeMainWindow) {
            main.close();
        } else {
            upgrade.close();
        }
        noteShown = upgrade.lblFirmwareNote->isVisibleTo(&upgrade) && upgrade.isVisible();
        stillOpen = main.isVisible() && !editor->ended();
    };
    upgrade.btnUpgradeFirmware->click();

    QCOMPARE(editor.duringWait->ran, 1);
    QVERIFY(noteShown);
    QVERIFY(stillOpen);
    QVERIFY(upgrade.lblFirmwareNote->text().contains(QStringLiteral("without firmware")));
    QVERIFY(consoleText(*editor).contains(upgrade.lblFirmwareNote->text()));
    // The upgrade ran to its end: the new firmware runs and its bytes are in the flash.
    QVERIFY(editor.dialogs->messages.contains(QStringLiteral("Firmware Upgrade Complete, device will now restart")));
    QCOMPARE(pedal.mode(), pedal_sim::PedalMode::Normal);
    const auto flashed = pedal.flash().view(pedal_sim::kFlashBase, static_cast<std::size_t>(image.size()));
    QVERIFY(std::equal(flashed.begin(), flashed.end(), reinterpret_cast<const std::uint8_t*>(image.constData())));
    QVERIFY(editor->state.linked);
    QVERIFY(!upgrade.lblFirmwareNote->isVisibleTo(&upgrade));
    // Now it closes, and the program ends.
    main.close();
    QVERIFY(editor->ended());
    QVERIFY(!main.isVisible());
    QVERIFY(!editor->state.linked);
    QVERIFY(handleReleased(*editor));
}

void ClosingTest::lateWorkOpensNoWindowAfterTheEnd() {
    // The version check's answer (here: nobody listens at the address) arrives after the main
    // window has closed, and so does work that waited for a conversation: neither runs, as a
    // box or window shown then would keep the program from ending.
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    main.checkmostrecentversiononwebsite();
    main.close();
    QVERIFY(editor->ended());
    editor->whenIdle([&] { editor->formPrint()->show(); });
    QTest::qWait(1000);
    QVERIFY2(editor.dialogs->errors.isEmpty(), qPrintable(editor.dialogs->errors.join('\n')));
    QVERIFY(editor.dialogs->messages.isEmpty());
    QVERIFY(!editor->formPrint()->isVisible());
    // Without the close, the same answer is reported: the test above can fail.
    testing::TestEditor open;
    open->formMain()->checkmostrecentversiononwebsite();
    QTRY_VERIFY_WITH_TIMEOUT(!open.dialogs->errors.isEmpty(), 5000);
}

QTEST_MAIN(ClosingTest)
#include "test_closing.moc"
