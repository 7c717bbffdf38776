// Clicks that land while the editor waits for the pedal, on a real X server with a window
// manager, in real time: the pedal answers Request slowly, and a player double-clicks "Get FX
// Stored on Pedal" with the mouse (xdotool) in the middle of the wait. The wait keeps the window
// alive but does not act on the clicks: the windows look busy, Request's reply is read whole and
// applied, and nothing of the query reaches the pedal before Request has ended.
#include "app/editor.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/network.h"
#include "core/commands.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include <chrono>

using namespace qeltx;

namespace {

std::vector<std::uint8_t> bytesOf(const core::PedalCommand& command) { return *core::commandTextToBytes(command.text); }

QString centreOf(QWidget* w) {
    const QPoint p = w->mapToGlobal(w->rect().center());
    return QStringLiteral("%1 %2").arg(p.x()).arg(p.y());
}

// The version check is not what this test is about: the server never answers.
class SilentNetwork : public app::Network {
public:
    void get(const QString&, Completion) override {}
};

// What the windows looked like at one moment of a wait.
struct Look {
    bool mainEnabled = true;
    bool waitCursor = false;
};

}  // namespace

class ClicksDuringWaitTest : public QObject {
    Q_OBJECT
private slots:
    void aDoubleClickDuringRequestWaitsForItsTurn();
};

void ClicksDuringWaitTest::aDoubleClickDuringRequestWaitsForItsTurn() {
    // Real time: the editor's own timing, so its waits run the window's events for real.
    auto dialogs = std::make_shared<testing::DialogLog>();
    auto platform = std::make_shared<testing::PlatformLog>();
    app::EditorSetup setup;
    setup.dialogs = std::make_unique<testing::ScriptedDialogs>(dialogs);
    setup.platform = std::make_unique<testing::TempPlatform>(platform);
    setup.virtualPedal = true;
    setup.systemBackends = false;
    setup.network = std::make_unique<SilentNetwork>();
    app::Editor editor(std::move(setup));
    editor.start();
    pedal_sim::PedalModel& pedal = *editor.virtualPedal();
    pedal.useRealTime();
    app::TformMain& main = *editor.formMain();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.menuConnect->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!editor.line().busy() && main.btnRequest->isEnabled(), 10000);
    app::TformFXParameters& panel = *editor.formFXParameters();
    const int numControls = panel.numControls();
    QVERIFY(numControls > 0 && panel.potTrackBar(0) != nullptr);
    // A knob turned at the pedal since the last read: only a Request read whole shows it.
    const auto address = panel.parameterAddress(0);
    const std::vector<std::uint8_t> turned = bytesOf(core::parameterCommand(address, 321 * 8192));
    pedal.receive(turned.data(), turned.size(), pedal.expectedLine());
    QVERIFY(panel.potTrackBar(0)->value() != 321);

    // At 2400 baud the parameter block (4N + 41 numbers, some 230 bytes) takes about a second to
    // arrive, well inside Request's time limit.
    pedal.setPacing({2400, std::chrono::milliseconds(16)});
    const std::size_t before = pedal.received().size();
    std::vector<Look> duringWait;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (editor.line().busy()) {
            const QCursor* cursor = QApplication::overrideCursor();
            duringWait.push_back({main.centralWidget()->isEnabled(), cursor && cursor->shape() == Qt::WaitCursor});
        }
    });
    sampler.start(10);

    // One script, so the clicks keep their timing whatever the editor is doing: Request, then,
    // while its reply is still on the wire, a double click on "Get FX Stored on Pedal".
    const QString script = QStringLiteral("xdotool mousemove --sync %1 click 1; sleep 0.3; "
                                          "xdotool mousemove --sync %2 click --repeat 2 --delay 80 1")
                               .arg(centreOf(main.btnRequest), centreOf(main.btnOpenEffect));
    QVERIFY(QProcess::startDetached(QStringLiteral("sh"), {QStringLiteral("-c"), script}));

    const std::vector<std::uint8_t> request = bytesOf(core::requestCommand(static_cast<std::size_t>(numControls)));
    const std::vector<std::uint8_t> query = bytesOf(core::storedEffectQueryCommand());
    std::vector<std::uint8_t> expected = request;
    for (int n = 0; n < 2; ++n) expected.insert(expected.end(), query.begin(), query.end());
    auto sent = [&] {
        const auto& all = pedal.received();
        return std::vector<std::uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    };
    // Both queries ran, one after the other, once Request had ended; the editor is idle again.
    QTRY_VERIFY_WITH_TIMEOUT(sent().size() >= expected.size() && !editor.line().busy(), 15000);
    QTest::qWait(200);
    QCOMPARE(sent(), expected);

    // Request was not disturbed: no complaint, and its values are those the pedal holds.
    QVERIFY2(dialogs->messages.isEmpty(), qPrintable(dialogs->messages.join(QLatin1Char('\n'))));
    QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join(QLatin1Char('\n'))));
    QCOMPARE(panel.potTrackBar(0)->value(), 321);
    // While it waited, the windows looked busy and took no click.
    QVERIFY(!duringWait.empty());
    for (const Look& look : duringWait) {
        QVERIFY(!look.mainEnabled);
        QVERIFY(look.waitCursor);
    }
    // And afterwards they are usable again.
    QVERIFY(main.centralWidget()->isEnabled());
    QVERIFY(main.btnRequest->isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

QTEST_MAIN(ClicksDuringWaitTest)
#include "test_clicks_during_wait.moc"
