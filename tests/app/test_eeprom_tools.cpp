// The console's EEPROM tools against the virtual pedal: the frames that reach it, the log
// lines, the pauses, the wait cursor while a read blocks, and nothing sent without an address.
#include "app/main_window.h"
#include "app/print_console.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QPushButton>
#include <QtTest>

using namespace qeltx;

namespace {

// What the user sees while the editor is blocked in a pause.
struct DuringPause {
    int ms;
    bool waitCursor;
    QString consoleTitle;
};

// Virtual time that also notes the cursor and the console's title at each pause.
class WatchingTiming : public testing::VirtualTiming {
public:
    WatchingTiming(std::shared_ptr<testing::Clock> clock, std::shared_ptr<std::vector<DuringPause>> seen,
                   std::shared_ptr<QWidget*> console)
        : VirtualTiming(std::move(clock)), seen_(std::move(seen)), console_(std::move(console)) {}
    void pause(int ms) override {
        const QCursor* cursor = QApplication::overrideCursor();
        seen_->push_back({ms, cursor && cursor->shape() == Qt::WaitCursor, *console_ ? (*console_)->windowTitle() : QString()});
        VirtualTiming::pause(ms);
    }

private:
    std::shared_ptr<std::vector<DuringPause>> seen_;
    std::shared_ptr<QWidget*> console_;
};

// An editor linked to the virtual pedal, with the console's tools at hand.
struct LinkedEditor {
    std::shared_ptr<testing::DialogLog> dialogs = std::make_shared<testing::DialogLog>();
    std::shared_ptr<testing::PlatformLog> platform = std::make_shared<testing::PlatformLog>();
    std::shared_ptr<std::vector<DuringPause>> pauses = std::make_shared<std::vector<DuringPause>>();
    std::shared_ptr<QWidget*> consoleWindow = std::make_shared<QWidget*>(nullptr);
    std::unique_ptr<app::Editor> editor;

    LinkedEditor() {
        app::EditorSetup setup;
        setup.dialogs = std::make_unique<testing::ScriptedDialogs>(dialogs);
        setup.timing = std::make_unique<WatchingTiming>(std::make_shared<testing::Clock>(), pauses, consoleWindow);
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
};

void EepromToolsTest::buttonsSendTheirFrame_data() {
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("address");
    QTest::addColumn<std::vector<std::uint8_t>>("frame");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<int>("pauseMs");
    QTest::newRow("erase 51") << false << "51" << std::vector<std::uint8_t>{0x0B, 0x51, 0x00, 0x00, 0x00}
                              << "erase message: 0B51000000" << 100;
    QTest::newRow("erase 50") << false << "50" << std::vector<std::uint8_t>{0x0B, 0x50, 0x00, 0x00, 0x00}
                              << "erase message: 0B50000000" << 100;
    QTest::newRow("read 50") << true << "50" << std::vector<std::uint8_t>{0x0C, 0x50, 0x00, 0x00, 0x00, 0x00}
                             << "0C5000000000" << 4000;
    QTest::newRow("read 51") << true << "51" << std::vector<std::uint8_t>{0x0C, 0x51, 0x00, 0x00, 0x00, 0x00}
                             << "0C5100000000" << 4000;
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
    console.cmbI2Caddr->setCurrentText(address);
    (read ? console.btnReadEEPROM : console.btnEraseEeprom)->click();

    QCOMPARE(sinceMark(e.pedal().received(), mark), frame);
    QVERIFY2(console.lines().contains(logLine), qPrintable(console.lines().join('\n')));
    QCOMPARE(e.pauses->size(), std::size_t{1});
    const DuringPause& during = e.pauses->front();
    QCOMPARE(during.ms, pauseMs);
    if (read) {
        // Four blocked seconds must not look like a hang.
        QVERIFY(during.waitCursor);
        QVERIFY2(during.consoleTitle.contains(QStringLiteral("reading EEPROM ") + address), qPrintable(during.consoleTitle));
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(console.windowTitle(), title);
    QVERIFY(e.dialogs->messages.isEmpty());
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
    console.btnReadEEPROM->click();
    const int linesBefore = static_cast<int>(console.lines().size());
    // The dump waits in the driver's queue until the 20 ms poll lists it.
    QTRY_VERIFY_WITH_TIMEOUT(e.dialogs->messages.contains(QStringLiteral("Memory Erased")), 10000);
    QVERIFY(console.lines().size() > linesBefore + 100);
}

QTEST_MAIN(EepromToolsTest)
#include "test_eeprom_tools.moc"
