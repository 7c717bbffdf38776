// The console's EEPROM tools against the virtual pedal: the frames that reach it, the log
// lines, the erase's pause, the wait cursor while a read waits for its dump, and nothing sent
// without an address.
#include "app/main_window.h"
#include "app/print_console.h"
#include "core/commands.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QPushButton>
#include <QtTest>

#include <algorithm>

using namespace qeltx;

namespace {

// What the user sees while the editor is blocked in a pause (ms > 0) or waits for the pedal
// with the window running (ms = 0).
struct DuringPause {
    int ms;
    bool waitCursor;
    QString consoleTitle;
};

// Virtual time that also notes the cursor and the console's title at each pause and each
// time a wait lets the window run.
class WatchingTiming : public testing::VirtualTiming {
public:
    WatchingTiming(std::shared_ptr<testing::Clock> clock, std::shared_ptr<std::vector<DuringPause>> seen,
                   std::shared_ptr<std::vector<DuringPause>> waits, std::shared_ptr<QWidget*> console)
        : VirtualTiming(std::move(clock)), seen_(std::move(seen)), waits_(std::move(waits)), console_(std::move(console)) {}
    void pause(int ms) override {
        seen_->push_back(now(ms));
        VirtualTiming::pause(ms);
    }
    void processEvents(int ms) override {
        waits_->push_back(now(0));
        VirtualTiming::processEvents(ms);
    }

private:
    DuringPause now(int ms) const {
        const QCursor* cursor = QApplication::overrideCursor();
        return {ms, cursor && cursor->shape() == Qt::WaitCursor, *console_ ? (*console_)->windowTitle() : QString()};
    }
    std::shared_ptr<std::vector<DuringPause>> seen_;
    std::shared_ptr<std::vector<DuringPause>> waits_;
    std::shared_ptr<QWidget*> console_;
};

// An editor linked to the virtual pedal, with the console's tools at hand.
struct LinkedEditor {
    std::shared_ptr<testing::DialogLog> dialogs = std::make_shared<testing::DialogLog>();
    std::shared_ptr<testing::PlatformLog> platform = std::make_shared<testing::PlatformLog>();
    std::shared_ptr<std::vector<DuringPause>> pauses = std::make_shared<std::vector<DuringPause>>();
    std::shared_ptr<std::vector<DuringPause>> waits = std::make_shared<std::vector<DuringPause>>();
    std::shared_ptr<QWidget*> consoleWindow = std::make_shared<QWidget*>(nullptr);
    std::unique_ptr<app::Editor> editor;

    LinkedEditor() {
        app::EditorSetup setup;
        setup.dialogs = std::make_unique<testing::ScriptedDialogs>(dialogs);
        setup.timing = std::make_unique<WatchingTiming>(std::make_shared<testing::Clock>(), pauses, waits, consoleWindow);
        setup.platform = std::make_unique<testing::TempPlatform>(platform);
        setup.virtualPedal = true;
        setup.systemBackends = false;
        setup.serverAddress = QStringLiteral("http://127.0.0.1:1");
        editor = std::make_unique<app::Editor>(std::move(setup));
        editor->start();
        *consoleWindow = editor->formPrint();
        editor->formMain()->menuConnect->trigger();
    }
    app::TformPrint& console() { return *editor->formPrint(); }
    pedal_sim::PedalModel& pedal() { return *editor->virtualPedal(); }
};

std::vector<std::uint8_t> sinceMark(const std::vector<std::uint8_t>& all, std::size_t mark) {
    return {all.begin() + static_cast<std::ptrdiff_t>(mark), all.end()};
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<std::uint8_t>)

class EepromToolsTest : public QObject {
    Q_OBJECT
private slots:
    void buttonsSendTheirFrame_data();
    void buttonsSendTheirFrame();
    void noAddressSendsNothing();
    void eraseThenReadListsAnErasedMemory();
    void aReadWithoutADumpEndsAtItsLimitAndSaysSo();
};

void EepromToolsTest::buttonsSendTheirFrame_data() {
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("address");
    QTest::addColumn<std::vector<std::uint8_t>>("frame");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<int>("pauseMs");  // 0: no pause, the read waits for its dump
    QTest::newRow("erase 51") << false << "51" << std::vector<std::uint8_t>{0x0B, 0x51, 0x00, 0x00, 0x00}
                              << "erase message: 0B51000000" << 100;
    QTest::newRow("erase 50") << false << "50" << std::vector<std::uint8_t>{0x0B, 0x50, 0x00, 0x00, 0x00}
                              << "erase message: 0B50000000" << 100;
    QTest::newRow("read 50") << true << "50" << std::vector<std::uint8_t>{0x0C, 0x50, 0x00, 0x00, 0x00, 0x00}
                             << "0C5000000000" << 0;
    QTest::newRow("read 51") << true << "51" << std::vector<std::uint8_t>{0x0C, 0x51, 0x00, 0x00, 0x00, 0x00}
                             << "0C5100000000" << 0;
}

void EepromToolsTest::buttonsSendTheirFrame() {
    QFETCH(bool, read);
    QFETCH(QString, address);
    QFETCH(std::vector<std::uint8_t>, frame);
    QFETCH(QString, logLine);
    QFETCH(int, pauseMs);
    LinkedEditor e;
    app::TformPrint& console = e.console();
    const QString title = console.windowTitle();
    const std::size_t mark = e.pedal().received().size();
    e.pauses->clear();
    e.waits->clear();
    // The dump comes in reads of 4 KiB, so the read's wait lets the window run in between.
    e.pedal().faults().splitReadsAt = 4096;
    console.cmbI2Caddr->setCurrentText(address);
    (read ? console.btnReadEEPROM : console.btnEraseEeprom)->click();

    QCOMPARE(sinceMark(e.pedal().received(), mark), frame);
    QVERIFY2(console.lines().contains(logLine), qPrintable(console.lines().join('\n')));
    QCOMPARE(e.pauses->size(), pauseMs > 0 ? std::size_t{1} : std::size_t{0});
    if (pauseMs > 0) QCOMPARE(e.pauses->front().ms, pauseMs);
    if (read) {
        // The wait for the dump must not look like a hang.
        QVERIFY(!e.waits->empty());
        for (const DuringPause& during : *e.waits) {
            QVERIFY(during.waitCursor);
            QVERIFY2(during.consoleTitle.contains(QStringLiteral("reading EEPROM ") + address), qPrintable(during.consoleTitle));
        }
        // Listed as soon as the read has ended, with no poll, and "Memory Erased" said for an
        // erased memory.
        QCOMPARE(console.lines().filter(QStringLiteral("16383: ")).size(), 1);
        const auto held = e.pedal().eeprom(static_cast<std::uint8_t>(address.toUInt(nullptr, 16)))->bytes();
        const bool erased = std::all_of(held.begin(), held.end(), [](std::uint8_t b) { return b == 0xFF; });
        QCOMPARE(e.dialogs->messages, erased ? QStringList{QStringLiteral("Memory Erased")} : QStringList{});
    } else {
        QVERIFY(e.dialogs->messages.isEmpty());
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(console.windowTitle(), title);
    QVERIFY(e.editor->formMain()->Timer_USB_read.isActive());  // the poll runs again
}

void EepromToolsTest::noAddressSendsNothing() {
    LinkedEditor e;
    app::TformPrint& console = e.console();
    QCOMPARE(console.cmbI2Caddr->currentIndex(), -1);
    const std::size_t mark = e.pedal().received().size();
    const int linesBefore = static_cast<int>(console.lines().size());
    console.btnEraseEeprom->click();
    console.btnReadEEPROM->click();
    QCOMPARE(e.pedal().received().size(), mark);
    QCOMPARE(e.dialogs->messages,
             (QStringList{QStringLiteral("choose an EEPROM address"), QStringLiteral("choose an EEPROM address")}));
    QCOMPARE(static_cast<int>(console.lines().size()), linesBefore);
    // Erase Settings calls the tools directly; it is refused the same way.
    QVERIFY(!console.EraseEEPROM(QString()));
    QVERIFY(!console.ReadEEPROM(QStringLiteral("5")));
    QCOMPARE(e.pedal().received().size(), mark);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void EepromToolsTest::eraseThenReadListsAnErasedMemory() {
    LinkedEditor e;
    app::TformPrint& console = e.console();
    console.cmbI2Caddr->setCurrentText(QStringLiteral("51"));
    console.btnEraseEeprom->click();
    const int linesBefore = static_cast<int>(console.lines().size());
    console.btnReadEEPROM->click();
    // The read waits for its dump and lists it.
    QCOMPARE(e.dialogs->messages, QStringList{QStringLiteral("Memory Erased")});
    QVERIFY(console.lines().size() > linesBefore + 100);
}

void EepromToolsTest::aReadWithoutADumpEndsAtItsLimitAndSaysSo() {
    LinkedEditor e;
    app::TformPrint& console = e.console();
    e.pedal().faults().silent = true;
    console.cmbI2Caddr->setCurrentText(QStringLiteral("50"));
    const qint64 before = e.editor->timing().nowMs();
    console.btnReadEEPROM->click();
    // At the limit, not before it and not a frame after it.
    const qint64 took = e.editor->timing().nowMs() - before;
    QVERIFY2(took >= core::kEepromReadSpec.replyLimitMs && took < core::kEepromReadSpec.replyLimitMs + 16,
             qPrintable(QString::number(took)));
    QVERIFY2(console.lines().contains(QStringLiteral("EEPROM 50: no EEPROM dump came within 6 s")),
             qPrintable(console.lastLines(3).join('\n')));
    QVERIFY(e.dialogs->messages.isEmpty());
    QVERIFY(e.editor->formMain()->Timer_USB_read.isActive());
}

QTEST_MAIN(EepromToolsTest)
#include "test_eeprom_tools.moc"
