// The Firmware Upgrade menu and window against the virtual pedal: entering upgrade mode (and
// leaving it cleanly), Link's greeting of the bootloader, Erase Settings, and flashing with
// its failures, retries and refused files.
#include "app/firmware_upgrade.h"
#include "app/main_window.h"
#include "app/print_console.h"
#include "core/bootloader_frames.h"
#include "core/hex.h"
#include "link/forwarding_driver.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "resources/resource_store.h"
#include "support/test_seams.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QFile>
#include <QMenu>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QLabel>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <iterator>

using namespace qeltx;

namespace {

using Bytes = std::vector<std::uint8_t>;

const QString kUpgradeQuestion =
    QStringLiteral("To enter Firmware Upgrade Mode keep B2(SAVE) button on the pedal pressed while clicking YES.");
const QString kUpgradeSucceeded = QStringLiteral(
    "Connection to bootloader succeeded. Release B2(SAVE) button and go to the Firmware Upgrade menu and click Start "
    "Firmware Upgrade.");
const QString kLinkSucceeded = QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade");
const QString kFailed = QStringLiteral("Connection to bootloader failed");
const QString kComplete = QStringLiteral("Firmware Upgrade Complete, device will now restart");
const QString kBackupOffer = QStringLiteral("Back up the pedal's settings before the firmware upgrade?");
constexpr std::uint32_t kMarkerAddress = 0x0801FC00;
constexpr std::size_t kFlashSize = 128 * 1024;

Bytes since(const Bytes& all, std::size_t mark) { return {all.begin() + static_cast<std::ptrdiff_t>(mark), all.end()}; }

Bytes shippedImage() {
    const auto text = resources::firmwareResource("Firmware_1");
    return text ? Bytes(text->begin(), text->end()) : Bytes{};
}

// What the flash should hold: the image from 0x08000000, the marker when given, 0xFF elsewhere.
Bytes expectedFlash(const Bytes& image, std::uint32_t base, bool marker) {
    Bytes flash(kFlashSize, 0xFF);
    std::copy(image.begin(), image.end(), flash.begin() + (base - core::kFlashBase));
    if (marker) {
        const std::size_t at = kMarkerAddress - core::kFlashBase;
        const Bytes bytes{0, 0, 0, 0, 0, 0, 0, 1};
        std::copy(bytes.begin(), bytes.end(), flash.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return flash;
}

Bytes flashOf(pedal_sim::PedalModel& pedal) {
    const auto bytes = pedal.flash().bytes();
    return {bytes.begin(), bytes.end()};
}

// An Intel HEX file of `bytes` at `address`: 16 data bytes a record, an extended linear
// address record wherever the upper half of the address changes.
QByteArray intelHex(std::uint32_t address, const Bytes& bytes) {
    const auto record = [](std::uint8_t type, std::uint16_t offset, std::span<const std::uint8_t> data) {
        Bytes r{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(offset >> 8),
                static_cast<std::uint8_t>(offset), type};
        r.insert(r.end(), data.begin(), data.end());
        std::uint8_t sum = 0;
        for (std::uint8_t b : r) sum = static_cast<std::uint8_t>(sum + b);
        r.push_back(static_cast<std::uint8_t>(-sum));
        return QByteArray(":") + QByteArray::fromStdString(core::toHex(r)) + "\r\n";
    };
    QByteArray text;
    std::optional<std::uint16_t> upper;
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::uint32_t a = address + static_cast<std::uint32_t>(at);
        if (upper != a >> 16) {
            upper = static_cast<std::uint16_t>(a >> 16);
            const std::uint8_t ela[] = {static_cast<std::uint8_t>(*upper >> 8), static_cast<std::uint8_t>(*upper)};
            text += record(0x04, 0, ela);
        }
        const std::size_t n = std::min<std::size_t>(16, bytes.size() - at);
        text += record(0x00, static_cast<std::uint16_t>(a), std::span(bytes).subspan(at, n));
    }
    return text + record(0x01, 0, {});
}

QString writeFile(const QString& folder, const QString& name, const QByteArray& content) {
    const QString path = folder + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) return {};
    return path;
}

// An editor linked to the virtual pedal.
struct Linked {
    testing::TestEditor editor;
    Linked() { editor->formMain()->menuConnect->trigger(); }
    app::TformMain& main() { return *editor->formMain(); }
    app::TformFirmwareUpgrade& window() { return *editor->formFirmwareUpgrade(); }
    pedal_sim::PedalModel& pedal() { return *editor->virtualPedal(); }
    // Upgrade Mode answered Yes while B2 is held: the pedal restarts into its bootloader.
    void enterBootloader() {
        pedal().setButton(pedal_sim::control::kB2, true);
        main().menuFirmwareUpgradeMode->trigger();
        pedal().setButton(pedal_sim::control::kB2, false);
    }
    QStringList console() { return editor->formPrint()->lines(); }
};

// A bridge whose far end answers the synchronisation byte with `answer`; nothing else.
class SyncAnswering : public testing::ListingDriver {
public:
    explicit SyncAnswering(Bytes answer) : answer_(std::move(answer)) {
        devices.push_back({"QX1", "FT230X Basic UART", true});
    }
    core::FtStatus write(link::FtHandle h, const std::uint8_t* data, std::uint32_t count, std::uint32_t& n) override {
        const auto status = ListingDriver::write(h, data, count, n);
        if (status == core::FT_OK && count == 1 && data[0] == core::bootloader::kSync) {
            syncParity.push_back(parity_);
            pending_ = answer_;
        }
        return status;
    }
    core::FtStatus setDataCharacteristics(link::FtHandle h, std::uint8_t w, std::uint8_t s, std::uint8_t p) override {
        parity_ = p;
        return ListingDriver::setDataCharacteristics(h, w, s, p);
    }
    core::FtStatus getQueueStatus(link::FtHandle h, std::uint32_t& rx) override {
        const auto status = ListingDriver::getQueueStatus(h, rx);
        rx = static_cast<std::uint32_t>(pending_.size());
        return status;
    }
    core::FtStatus read(link::FtHandle h, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& n) override {
        const auto status = ListingDriver::read(h, buffer, toRead, n);
        n = static_cast<std::uint32_t>(std::min<std::size_t>(toRead, pending_.size()));
        std::copy_n(pending_.begin(), n, buffer);
        pending_.erase(pending_.begin(), pending_.begin() + n);
        return status;
    }
    std::vector<std::uint8_t> syncParity;

private:
    Bytes answer_;
    Bytes pending_;
    std::uint8_t parity_ = link::kParityNone;
};

// The virtual pedal behind a bridge that flips one bit of the first block the flash is read
// back in, as a line fault or a cell that did not take the write would.
class CorruptingReadBack : public link::ForwardingDriver {
public:
    CorruptingReadBack() : ForwardingDriver(inner_) { pedal.setButton(pedal_sim::control::kB2, true); }
    pedal_sim::PedalModel pedal;

    core::FtStatus write(link::FtHandle h, const std::uint8_t* data, std::uint32_t count, std::uint32_t& n) override {
        const Bytes frame(data, data + count);
        // Read Memory's command, then its length frame: the data that follows is the read-back.
        if (frame == Bytes{0x11, 0xEE}) readCommandSeen_ = true;
        if (readCommandSeen_ && frame == Bytes{0xFF, 0x00} && corruptAt_ < 0) corruptAt_ = kFlippedByte;
        return ForwardingDriver::write(h, data, count, n);
    }
    core::FtStatus read(link::FtHandle h, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& n) override {
        const auto status = ForwardingDriver::read(h, buffer, toRead, n);
        if (corruptAt_ >= 0 && corruptAt_ < static_cast<int>(n)) buffer[corruptAt_] ^= 0x01;
        if (corruptAt_ >= 0) corruptAt_ -= static_cast<int>(n);
        if (corruptAt_ < 0 && corruptAt_ != kNotArmed) corruptAt_ = kDone;
        return status;
    }
    std::string backendName() const override { return "corrupting"; }

private:
    static constexpr int kFlippedByte = 1 + 0x10;  // after the ACK: the block's byte 0x10
    static constexpr int kNotArmed = -1;
    static constexpr int kDone = -2;
    pedal_sim::VirtualPedalDriver inner_{pedal};
    bool readCommandSeen_ = false;
    int corruptAt_ = kNotArmed;
};

// Virtual time that notes, at each blocking pause (and, with ms 0, each time a wait lets the
// window run), whether the wait cursor shows and what the main window's title says.
struct Seen {
    int ms;
    bool waitCursor;
    QString title;
    QString progress;  // what the Erase Settings progress window says, when it is up
};
class WatchingTiming : public testing::VirtualTiming {
public:
    WatchingTiming(std::shared_ptr<std::vector<Seen>> seen, std::shared_ptr<QWidget*> window)
        : VirtualTiming(std::make_shared<testing::Clock>()), seen_(std::move(seen)), window_(std::move(window)) {}
    void pause(int ms) override {
        note(ms);
        VirtualTiming::pause(ms);
    }
    void processEvents(int ms) override {
        note(0);
        VirtualTiming::processEvents(ms);
    }

private:
    void note(int ms) {
        const QCursor* cursor = QApplication::overrideCursor();
        const auto* progress = *window_ ? (*window_)->findChild<QProgressDialog*>(QStringLiteral("eraseSettingsProgress")) : nullptr;
        seen_->push_back({ms, cursor && cursor->shape() == Qt::WaitCursor, *window_ ? (*window_)->windowTitle() : QString(),
                          progress && progress->isVisible() ? progress->labelText() : QString()});
    }
    std::shared_ptr<std::vector<Seen>> seen_;
    std::shared_ptr<QWidget*> window_;
};

}  // namespace

class FirmwareUpgradeTest : public QObject {
    Q_OBJECT
private slots:
    void upgradeModeBeforeLinkTakesEffectAtLink();
    void upgradeModeAnswers_data();
    void upgradeModeAnswers();
    void refusedSynchronisation_data();
    void refusedSynchronisation();
    void eraseSettingsSendsFourFramesWhileShowingItIsBusy();
    void fullFlashWritesImageAndMarkerAndReturnsToNormal();
    void afterTheFlashTheEditorLinksAgainOnceThePedalAnswers_data();
    void afterTheFlashTheEditorLinksAgainOnceThePedalAnswers();
    void failedRunStopsSaysWhereAndCanBeRetried_data();
    void failedRunStopsSaysWhereAndCanBeRetried();
    void anUnexpectedAnswerIsShownWhole();
    void readBackThatDiffersIsAFailure();
    void firmwareFilesOutsideTheFlashAreRefusedBeforeErase_data();
    void firmwareFilesOutsideTheFlashAreRefusedBeforeErase();
    void openedHexFileFlashesWithoutMarkerForOtherNumbers();
    void linkToAPedalInItsBootloaderOffersUpgradeMode_data();
    void linkToAPedalInItsBootloaderOffersUpgradeMode();
};

void FirmwareUpgradeTest::upgradeModeBeforeLinkTakesEffectAtLink() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();

    main.menuFirmwareUpgradeMode->trigger();
    QVERIFY(main.menuFirmwareUpgradeMode->isChecked());
    QVERIFY(editor->state.firmwareUpgradeMode);
    QVERIFY(editor.dialogs->confirmations.isEmpty());
    QVERIFY(editor.dialogs->messages.isEmpty());
    QVERIFY(pedal.received().empty());

    // The pedal was restarted into its bootloader by hand; it only understands 0x7F at even parity.
    pedal.setButton(pedal_sim::control::kB2, true);
    const Bytes restart{0x05, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    pedal.receive(restart.data(), restart.size(), pedal_sim::kNormalLine);
    const std::size_t mark = pedal.received().size();
    main.menuConnect->trigger();

    QCOMPARE(since(pedal.received(), mark), Bytes{core::bootloader::kSync});
    QVERIFY(pedal.bootloader().synchronised());
    QCOMPARE(editor.dialogs->messages, QStringList{kLinkSucceeded});
    QVERIFY(editor->formPrint()->lines().contains(QStringLiteral("received Byte: 79")));
    QVERIFY(main.menuStartFirmwareUpgrade->isEnabled());
    QVERIFY(!main.btnRequest->isEnabled());
    QVERIFY(!main.btnUpload->isEnabled());
    QVERIFY(main.menuFirmwareUpgradeMode->isEnabled());
    QVERIFY(!editor->state.linkedOnceInNormalMode);
    QVERIFY(!main.Timer_USB_read.isActive());
}

void FirmwareUpgradeTest::upgradeModeAnswers_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("b2Held");
    QTest::addColumn<Bytes>("sent");
    QTest::addColumn<QString>("message");
    const Bytes entry{0x0D, 0x01, 0x05, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x7F};
    QTest::newRow("No: nothing at all is sent") << false << true << Bytes{} << QString();
    QTest::newRow("Yes with B2 held") << true << true << entry << kUpgradeSucceeded;
    QTest::newRow("Yes without B2: no answer") << true << false << entry << kFailed;
}

void FirmwareUpgradeTest::upgradeModeAnswers() {
    QFETCH(bool, yes);
    QFETCH(bool, b2Held);
    QFETCH(Bytes, sent);
    QFETCH(QString, message);
    Linked e;
    app::TformMain& main = e.main();
    QVERIFY(main.Timer_USB_read.isActive());
    const bool reports = e.editor->usb().showDeviceErrors;
    const std::size_t mark = e.pedal().received().size();
    e.editor.dialogs->messages.clear();
    e.editor.dialogs->confirmations.clear();
    // No backup first (its offer has tests of its own), then the answer to the restart.
    e.editor.dialogs->answers = {false, yes};
    e.pedal().setButton(pedal_sim::control::kB2, b2Held);

    main.menuFirmwareUpgradeMode->trigger();

    QCOMPARE(e.editor.dialogs->confirmations.size(), 2);
    QVERIFY(e.editor.dialogs->confirmations.first().startsWith(kBackupOffer));
    QCOMPARE(e.editor.dialogs->confirmations.last(), kUpgradeQuestion);
    QCOMPARE(since(e.pedal().received(), mark), sent);
    QCOMPARE(e.editor.dialogs->messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) QVERIFY(e.editor.dialogs->messages.first().startsWith(message));
    const bool synchronised = message == kUpgradeSucceeded;
    QCOMPARE(e.pedal().mode() == pedal_sim::PedalMode::Bootloader, yes && b2Held);
    QCOMPARE(main.menuStartFirmwareUpgrade->isEnabled(), synchronised);
    QCOMPARE(main.btnRequest->isEnabled(), !synchronised);
    QCOMPARE(main.btnUpload->isEnabled(), !synchronised);
    // Only an answering bootloader keeps the mode; a failure is back in normal operation.
    QCOMPARE(main.menuFirmwareUpgradeMode->isChecked(), synchronised);
    QCOMPARE(e.editor->state.firmwareUpgradeMode, synchronised);
    QCOMPARE(main.Timer_USB_read.isActive(), !synchronised);
    if (message == kFailed) {
        QVERIFY(e.editor.dialogs->messages.first().contains(QStringLiteral("hold B2 (SAVE)")));
        QCOMPARE(e.editor->usb().portParity, link::kParityNone);
        // The pedal, still running its firmware, answers again as before.
        e.editor.dialogs->messages.clear();
        main.btnOpenEffect->click();
        QVERIFY2(e.editor.dialogs->messages.isEmpty(), qPrintable(e.editor.dialogs->messages.join('\n')));
        QCOMPARE(main.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 1"));
    }

    // Unchecking (or the No above) leaves upgrade mode cleanly: no parity, the poll and the
    // driver reports as before, and nothing sent.
    const std::size_t before = e.pedal().received().size();
    if (main.menuFirmwareUpgradeMode->isChecked()) main.menuFirmwareUpgradeMode->trigger();
    QCOMPARE(e.pedal().received().size(), before);
    QCOMPARE(e.editor.dialogs->confirmations.size(), 2);
    QVERIFY(!main.menuFirmwareUpgradeMode->isChecked());
    QVERIFY(!e.editor->state.firmwareUpgradeMode);
    QCOMPARE(e.editor->usb().portParity, link::kParityNone);
    QVERIFY(main.Timer_USB_read.isActive());
    QCOMPARE(e.editor->usb().showDeviceErrors, reports);
    QVERIFY(!main.menuStartFirmwareUpgrade->isEnabled());
    QVERIFY(main.btnRequest->isEnabled());
}

void FirmwareUpgradeTest::refusedSynchronisation_data() {
    QTest::addColumn<bool>("atLink");
    QTest::newRow("Link in upgrade mode") << true;
    QTest::newRow("Upgrade Mode while linked") << false;
}

void FirmwareUpgradeTest::refusedSynchronisation() {
    QFETCH(bool, atLink);
    auto owned = std::make_unique<SyncAnswering>(Bytes{core::bootloader::kNack});
    SyncAnswering& bridge = *owned;
    testing::TestEditor editor(std::move(owned));
    app::TformMain& main = *editor->formMain();
    if (atLink) {
        main.menuFirmwareUpgradeMode->trigger();
        main.menuConnect->trigger();
    } else {
        main.menuConnect->trigger();
        editor.dialogs->messages.clear();
        editor.dialogs->answers = {false};  // no backup
        main.menuFirmwareUpgradeMode->trigger();
    }
    // Link in upgrade mode greets the bootloader once; a normal Link whose query went
    // unanswered asks it once too. Always at even parity.
    const Bytes evenEach = atLink ? Bytes{link::kParityEven} : Bytes{link::kParityEven, link::kParityEven};
    QCOMPARE(bridge.syncParity, evenEach);
    QVERIFY(!editor.dialogs->messages.isEmpty());
    QVERIFY(editor.dialogs->messages.first().startsWith(kFailed));
    QVERIFY(editor->formPrint()->lines().contains(QStringLiteral("received Byte: 1F")));
    QVERIFY(!main.menuStartFirmwareUpgrade->isEnabled());
    // Back in normal operation: no parity, Upgrade Mode unticked, linked as a normal link.
    QVERIFY(!editor->state.firmwareUpgradeMode);
    QVERIFY(!main.menuFirmwareUpgradeMode->isChecked());
    QCOMPARE(editor->usb().portParity, link::kParityNone);
    QVERIFY(main.Timer_USB_read.isActive());
}

void FirmwareUpgradeTest::eraseSettingsSendsFourFramesWhileShowingItIsBusy() {
    auto dialogs = std::make_shared<testing::DialogLog>();
    auto platform = std::make_shared<testing::PlatformLog>();
    auto seen = std::make_shared<std::vector<Seen>>();
    auto window = std::make_shared<QWidget*>(nullptr);
    app::EditorSetup setup;
    setup.dialogs = std::make_unique<testing::ScriptedDialogs>(dialogs);
    setup.timing = std::make_unique<WatchingTiming>(seen, window);
    setup.platform = std::make_unique<testing::TempPlatform>(platform);
    setup.virtualPedal = true;
    setup.systemBackends = false;
    setup.serverAddress = QStringLiteral("http://127.0.0.1:1");
    app::Editor editor(std::move(setup));
    editor.start();
    *window = editor.formMain();
    editor.formMain()->menuConnect->trigger();
    pedal_sim::PedalModel& pedal = *editor.virtualPedal();
    const QString title = editor.formMain()->windowTitle();

    // No: nothing is sent.
    std::size_t mark = pedal.received().size();
    dialogs->answers = {false};
    editor.formMain()->menuEraseSettings->trigger();
    QCOMPARE(dialogs->confirmations.size(), 1);
    QVERIFY(dialogs->confirmations.front().startsWith(QStringLiteral("Are you sure you want to delete all settings?\r\n")));
    QVERIFY(dialogs->confirmations.front().endsWith(QStringLiteral("\r\n- you want to switch to the Sondra MK3 pedal")));
    QCOMPARE(pedal.received().size(), mark);

    seen->clear();
    dialogs->messages.clear();
    dialogs->answers = {true, false};  // Yes, without a backup
    // The dumps come in reads of 4 KiB, so the progress can be seen between them.
    pedal.faults().splitReadsAt = 4096;
    const qint64 started = editor.timing().nowMs();
    editor.formMain()->menuEraseSettings->trigger();
    const Bytes frames{0x0B, 0x50, 0, 0, 0, 0x0C, 0x50, 0, 0, 0, 0, 0x0B, 0x51, 0, 0, 0, 0x0C, 0x51, 0, 0, 0, 0};
    QCOMPARE(since(pedal.received(), mark), frames);
    // Only the erases pause; each shows its step in a window of its own, the wait cursor and
    // the title.
    std::vector<Seen> pauses;
    std::copy_if(seen->begin(), seen->end(), std::back_inserter(pauses), [](const Seen& s) { return s.ms > 0; });
    QCOMPARE(pauses.size(), std::size_t{2});
    QVERIFY2(pauses[0].progress.endsWith(QStringLiteral("1 of 4: erasing the settings memory")), qPrintable(pauses[0].progress));
    QVERIFY2(pauses[1].progress.endsWith(QStringLiteral("3 of 4: erasing the bank memory")), qPrintable(pauses[1].progress));
    for (const Seen& s : *seen) {
        QCOMPARE(s.ms == 0 || s.ms == 100, true);
        QVERIFY(s.waitCursor);
        QVERIFY2(s.title.contains(QStringLiteral("erasing the pedal's settings")), qPrintable(s.title));
    }
    // The reads show each dump's bytes as they come, read after read.
    QStringList progress;
    for (const Seen& s : *seen) {
        if (s.ms == 0 && !s.progress.isEmpty() && (progress.isEmpty() || progress.last() != s.progress)) progress << s.progress;
    }
    for (const QString& step : {QStringLiteral("2 of 4: reading the settings memory back"), QStringLiteral("4 of 4: reading the bank memory back")}) {
        for (int bytes : {4096, 8192, 12288, 16384}) {
            const QString shown = step + QStringLiteral(" (%L1 of %L2 bytes)").arg(bytes).arg(16385);
            QVERIFY2(progress.filter(shown).size() == 1, qPrintable(shown + QStringLiteral("\n") + progress.join('\n')));
        }
    }
    QVERIFY(!editor.formMain()->findChild<QProgressDialog*>(QStringLiteral("eraseSettingsProgress")));
    // It ended when both dumps were in: on virtual time, the two pauses and the frames its
    // waits let the window run, not 4 s a read.
    QVERIFY2(editor.timing().nowMs() - started < 1000, qPrintable(QString::number(editor.timing().nowMs() - started)));
    QCOMPARE(editor.formMain()->windowTitle(), title);
    QVERIFY(!QApplication::overrideCursor());
    // Both EEPROMs came back erased: both dumps are listed and it is said once, with no poll.
    QCOMPARE(editor.formPrint()->lines().filter(QStringLiteral("16383: FF")).size(), 2);
    QCOMPARE(dialogs->messages, QStringList{QStringLiteral("Memory Erased")});
    // The console's own read afterwards says it for its dump, as before.
    pedal.faults().splitReadsAt = 0;
    editor.formPrint()->ReadEEPROM(QStringLiteral("50"));
    QCOMPARE(dialogs->messages.size(), 2);
}

void FirmwareUpgradeTest::fullFlashWritesImageAndMarkerAndReturnsToNormal() {
    Linked e;
    const Bytes image = shippedImage();
    QCOMPARE(image.size(), std::size_t{41252});
    e.enterBootloader();
    QVERIFY(e.main().menuStartFirmwareUpgrade->isEnabled());
    e.editor.dialogs->messages.clear();

    e.main().menuStartFirmwareUpgrade->trigger();
    app::TformFirmwareUpgrade& window = e.window();
    QVERIFY(window.isVisible());
    QCOMPARE(window.cmbFirmwareChoose->currentText(), QStringLiteral("Firmware_1"));
    QCOMPARE(window.firmwareNumber, 1);
    window.btnUpgradeFirmware->click();

    // Complete, and then (linked again by itself) the settings backed up before the upgrade put back.
    QCOMPARE(e.editor.dialogs->messages.size(), 2);
    QCOMPARE(e.editor.dialogs->messages.first(), kComplete);
    QVERIFY2(e.editor.dialogs->messages.last().startsWith(QStringLiteral("Pedal settings restored from")),
             qPrintable(e.editor.dialogs->messages.last()));
    QVERIFY(flashOf(e.pedal()) == expectedFlash(image, core::kFlashBase, true));
    QCOMPARE(e.pedal().mode(), pedal_sim::PedalMode::Normal);
    QCOMPARE(e.pedal().firmwareVersion(), 1u);
    const QStringList log = e.console();
    for (const char* line : {"Firmware num of bytes: 41252", "num of chunks: 161", "num of bytes last chunk: 36",
                             "chunk 161 size: 36", "Address: 0800A100", "N_byte: 23", "Address: 0801FC00",
                             "SEND GO COMMAND", "verified: 41252 bytes and the firmware marker"}) {
        QVERIFY2(log.contains(QLatin1String(line)), line);
    }
    // Back in normal operation.
    QVERIFY(!window.isVisible());
    QCOMPARE(window.ProgressBar1->value(), 0);
    QVERIFY(window.btnUpgradeFirmware->isEnabled());
    QVERIFY(!e.main().menuFirmwareUpgradeMode->isChecked());
    QVERIFY(!e.main().menuStartFirmwareUpgrade->isEnabled());
    QVERIFY(!e.editor->state.firmwareUpgradeMode);
    QCOMPARE(e.editor->usb().portParity, link::kParityNone);
    QVERIFY(e.main().btnRequest->isEnabled());
    QVERIFY(e.main().btnUpload->isEnabled());
    QVERIFY(e.main().Timer_USB_read.isActive());
}

void FirmwareUpgradeTest::afterTheFlashTheEditorLinksAgainOnceThePedalAnswers_data() {
    QTest::addColumn<int>("answersAtTry");  // 0: never
    QTest::newRow("at once") << 1;
    QTest::newRow("at the third try") << 3;
    QTest::newRow("never") << 0;
}

void FirmwareUpgradeTest::afterTheFlashTheEditorLinksAgainOnceThePedalAnswers() {
    QFETCH(int, answersAtTry);
    Linked e;
    app::TformMain& main = e.main();
    main.relinkIntervalMs = 1;
    e.enterBootloader();
    main.menuStartFirmwareUpgrade->trigger();
    const auto tries = [&] {
        return e.console().filter(QStringLiteral("Waiting for the pedal to start its new firmware")).size();
    };
    // The new firmware is slow to start: silent from the moment it runs until the chosen try
    // (it wakes during the wait of the try before).
    bool started = false;
    std::function<void()> watch = [&] {
        if (e.pedal().mode() == pedal_sim::PedalMode::Normal) {
            if (!started) {
                started = true;
                e.pedal().faults().silent = answersAtTry != 1;
            } else if (tries() == answersAtTry - 1) {
                e.pedal().faults().silent = false;
                return;
            }
        }
        e.editor.duringWait->action = watch;
    };
    e.editor.duringWait->action = watch;
    e.window().btnUpgradeFirmware->click();
    QVERIFY(e.editor.dialogs->messages.contains(kComplete));
    QCOMPARE(tries(), 1);

    if (answersAtTry == 0) {
        QTRY_VERIFY(main.lblStatus->text().contains(QStringLiteral("did not answer with its new firmware")));
        QCOMPARE(tries(), app::TformMain::kRelinkTries);
        // Nothing more is tried, and the player can still Unlink and Link.
        QTest::qWait(20);
        QCOMPARE(tries(), app::TformMain::kRelinkTries);
        QVERIFY(main.menuDisconnect->isEnabled());
        return;
    }
    // Linked again: the pedal's algorithm and firmware are read anew, the poll runs.
    QTRY_COMPARE(main.lblStatus->text(), QStringLiteral("Linked again after the firmware upgrade."));
    QCOMPARE(tries(), answersAtTry);
    QVERIFY(e.console().contains(
        QStringLiteral("Waiting for the pedal to start its new firmware (try %1 of 10)…").arg(answersAtTry)));
    QVERIFY(e.console().contains(QStringLiteral("The pedal runs its new firmware: linking again")));
    QVERIFY(e.editor->state.linked);
    QVERIFY(main.menuDisconnect->isEnabled());
    QCOMPARE(main.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 1"));
    QVERIFY(main.Timer_USB_read.isActive());
}

void FirmwareUpgradeTest::failedRunStopsSaysWhereAndCanBeRetried_data() {
    QTest::addColumn<unsigned>("nackWrite");
    QTest::addColumn<QString>("where");
    QTest::newRow("NACK at chunk 17")
        << 17u << QStringLiteral("Write Memory, chunk 17 of 162 at 0x08001000: data: the bootloader refused it (NOT ACK)");
    QTest::newRow("silent bootloader") << 0u << QStringLiteral("Get (the bootloader's commands): the bootloader did not answer in time");
}

void FirmwareUpgradeTest::failedRunStopsSaysWhereAndCanBeRetried() {
    QFETCH(unsigned, nackWrite);
    QFETCH(QString, where);
    Linked e;
    e.enterBootloader();
    e.main().menuStartFirmwareUpgrade->trigger();
    app::TformFirmwareUpgrade& window = e.window();
    e.editor.dialogs->messages.clear();
    const Bytes before = flashOf(e.pedal());
    if (nackWrite != 0) {
        e.pedal().nackWrite(nackWrite);
    } else {
        e.pedal().faults().silent = true;
    }
    window.btnUpgradeFirmware->click();

    QCOMPARE(e.editor.dialogs->messages.size(), 1);
    QVERIFY2(e.editor.dialogs->messages.front().contains(where), qPrintable(e.editor.dialogs->messages.front()));
    QVERIFY(!e.editor.dialogs->messages.contains(kComplete));
    QVERIFY(!e.console().contains(QStringLiteral("SEND GO COMMAND")));
    QCOMPARE(e.pedal().mode(), pedal_sim::PedalMode::Bootloader);
    if (nackWrite != 0) {
        // Sixteen chunks were written, nothing after them.
        const Bytes flash = flashOf(e.pedal());
        QVERIFY(std::equal(flash.begin(), flash.begin() + 16 * 256, shippedImage().begin()));
        QVERIFY(std::all_of(flash.begin() + 16 * 256, flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
    } else {
        QVERIFY(flashOf(e.pedal()) == before);  // nothing erased
    }
    // Still in upgrade mode, ready to start again; the window shows what failed in full.
    QVERIFY(window.isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QLabel* step = window.lblFirmwareStep;
    QCOMPARE(step->text(), e.editor.dialogs->messages.front());
    QVERIFY2(step->heightForWidth(step->width()) <= step->height(), qPrintable(step->text()));
    QVERIFY(window.btnUpgradeFirmware->isEnabled());
    QVERIFY(e.editor->state.firmwareUpgradeMode);
    QVERIFY(e.main().menuStartFirmwareUpgrade->isEnabled());
    QVERIFY(app::isMenuEnabled(e.main().menuFirmwareUpgrade));
    QVERIFY(e.main().menuDisconnect->isEnabled());

    e.pedal().nackWrite(0);
    e.pedal().faults().silent = false;
    e.editor.dialogs->messages.clear();
    window.btnUpgradeFirmware->click();
    QCOMPARE(e.editor.dialogs->messages.first(), kComplete);
    QVERIFY(flashOf(e.pedal()) == expectedFlash(shippedImage(), core::kFlashBase, true));
}

void FirmwareUpgradeTest::readBackThatDiffersIsAFailure() {
    auto owned = std::make_unique<CorruptingReadBack>();
    pedal_sim::PedalModel& pedal = owned->pedal;
    testing::TestEditor editor(std::move(owned));
    app::TformMain& main = *editor->formMain();
    main.menuConnect->trigger();
    main.menuFirmwareUpgradeMode->trigger();
    QVERIFY(main.menuStartFirmwareUpgrade->isEnabled());
    editor.dialogs->messages.clear();
    main.menuStartFirmwareUpgrade->trigger();
    editor->formFirmwareUpgrade()->btnUpgradeFirmware->click();

    QCOMPARE(editor.dialogs->messages.size(), 1);
    QVERIFY2(editor.dialogs->messages.front().contains(
                 QStringLiteral("Read Memory, chunk 1 of 162 at 0x08000000: at 0x08000010: the flash read back differs")),
             qPrintable(editor.dialogs->messages.front()));
    QVERIFY(editor->formPrint()->lines().contains(QStringLiteral("differs at 08000010: read %1, written %2")
                                                      .arg(QString::fromStdString(core::byteToHex(shippedImage()[0x10] ^ 1)),
                                                           QString::fromStdString(core::byteToHex(shippedImage()[0x10])))));
    QCOMPARE(pedal.mode(), pedal_sim::PedalMode::Bootloader);  // no Go
    QVERIFY(editor->state.firmwareUpgradeMode);
}

// Support needs every byte the bootloader sent back, not only the first.
void FirmwareUpgradeTest::anUnexpectedAnswerIsShownWhole() {
    Linked e;
    e.enterBootloader();
    e.main().menuStartFirmwareUpgrade->trigger();
    e.editor.dialogs->messages.clear();
    e.pedal().faults().garbage = true;  // Get's answer, byte for byte noise

    e.window().btnUpgradeFirmware->click();

    QCOMPARE(e.editor.dialogs->messages.size(), 1);
    const QString message = e.editor.dialogs->messages.front();
    const QRegularExpression shown(QStringLiteral("Get \\(the bootloader's commands\\): the bootloader gave an unexpected "
                                                  "answer \\(received: ((?:[0-9A-F]{2} )+[0-9A-F]{2})\\)"));
    const QRegularExpressionMatch match = shown.match(message);
    QVERIFY2(match.hasMatch(), qPrintable(message));
    const QStringList bytes = match.captured(1).split(QLatin1Char(' '));
    QVERIFY2(bytes.size() > 1, qPrintable(message));
    // The console's line keeps the first byte, as it always has.
    QVERIFY(e.console().contains(QStringLiteral("received: ") + bytes.front()));
}

void FirmwareUpgradeTest::firmwareFilesOutsideTheFlashAreRefusedBeforeErase_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("hex reaching the marker")
        << "qeltx_fw_2.hex" << intelHex(0x0801FBF8, Bytes(16, 0x11)) << "lies outside 0x08000000-0x0801FBFF";
    QTest::newRow("hex below the flash") << "below.hex" << intelHex(0x07FFFFF0, Bytes(32, 0x22))
                                         << "lies outside 0x08000000-0x0801FBFF";
    // Written there, it would never start: the pedal starts what lies at the flash base.
    QTest::newRow("hex above the flash base") << "qeltx_fw_1.hex" << intelHex(0x08004000, Bytes(300, 0x44))
                                              << "starts at 0x08004000, not at the flash base 0x08000000";
    QTest::newRow("bin over 130,048 bytes") << "big_1.bin" << QByteArray(130049, '\x33') << "at most 130048 bytes";
    QTest::newRow("empty bin") << "empty.bin" << QByteArray() << "empty";
}

void FirmwareUpgradeTest::firmwareFilesOutsideTheFlashAreRefusedBeforeErase() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    Linked e;
    e.enterBootloader();
    e.main().menuStartFirmwareUpgrade->trigger();
    app::TformFirmwareUpgrade& window = e.window();
    const QString path = writeFile(e.editor.platform->documents.path(), name, content);
    QVERIFY(!path.isEmpty());
    e.editor.dialogs->fileNames = {path};
    e.editor.dialogs->messages.clear();
    const std::size_t mark = e.pedal().received().size();
    const Bytes flash = flashOf(e.pedal());

    window.btnOpenFirmwareFile->click();

    QCOMPARE(e.editor.dialogs->messages.size(), 1);
    QVERIFY2(e.editor.dialogs->messages.front().contains(QStringLiteral("refused")) &&
                 e.editor.dialogs->messages.front().contains(reason),
             qPrintable(e.editor.dialogs->messages.front()));
    QCOMPARE(window.cmbFirmwareChoose->count(), 1);
    QCOMPARE(window.cmbFirmwareChoose->currentText(), QStringLiteral("Firmware_1"));
    QCOMPARE(e.pedal().received().size(), mark);
    QVERIFY(flashOf(e.pedal()) == flash);
}

void FirmwareUpgradeTest::openedHexFileFlashesWithoutMarkerForOtherNumbers() {
    Linked e;
    e.enterBootloader();
    e.main().menuStartFirmwareUpgrade->trigger();
    app::TformFirmwareUpgrade& window = e.window();
    Bytes image(0x10000 + 700);  // crosses a 64 KiB boundary
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::uint32_t base = core::kFlashBase;
    const QString path = writeFile(e.editor.platform->documents.path(), QStringLiteral("qeltx_fw_3.hex"), intelHex(base, image));
    e.editor.dialogs->fileNames = {path};
    window.btnOpenFirmwareFile->click();
    QCOMPARE(window.cmbFirmwareChoose->currentText(), QStringLiteral("qeltx_fw_3.hex"));
    QCOMPARE(window.firmwareNumber, 3);
    e.editor.dialogs->messages.clear();

    window.btnUpgradeFirmware->click();

    QCOMPARE(e.editor.dialogs->messages.first(), kComplete);
    QVERIFY(flashOf(e.pedal()) == expectedFlash(image, base, false));
    QVERIFY(e.console().contains(QStringLiteral("no firmware marker written: none is defined for firmware number 3")));
}

void FirmwareUpgradeTest::linkToAPedalInItsBootloaderOffersUpgradeMode_data() {
    QTest::addColumn<bool>("inBootloader");
    QTest::addColumn<bool>("offerTaken");
    QTest::newRow("bootloader, Upgrade Mode taken") << true << true;
    QTest::newRow("bootloader, offer declined") << true << false;
    QTest::newRow("a silent pedal is no bootloader") << false << false;
}

void FirmwareUpgradeTest::linkToAPedalInItsBootloaderOffersUpgradeMode() {
    QFETCH(bool, inBootloader);
    QFETCH(bool, offerTaken);
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    // Switched on with B2 held (or silent, as a pedal that answers nothing at all).
    if (inBootloader) {
        pedal.setButton(pedal_sim::control::kB2, true);
        pedal.powerCycle();
        pedal.setButton(pedal_sim::control::kB2, false);
        QCOMPARE(pedal.mode(), pedal_sim::PedalMode::Bootloader);
    } else {
        pedal.faults().silent = true;
    }
    editor.dialogs->offersTaken.push_back(offerTaken);
    main.menuConnect->trigger();

    // One try of the synchronisation, at even parity, after the query went unanswered.
    const Bytes& sent = pedal.received();
    QCOMPARE(std::count(sent.begin(), sent.end(), core::bootloader::kSync), 1);
    QCOMPARE(editor.dialogs->messages.size(), 1);
    if (!inBootloader) {
        QVERIFY(editor.dialogs->messages.first().startsWith(QStringLiteral("The pedal did not answer in time.")));
        QCOMPARE(editor->usb().portParity, link::kParityNone);
        QVERIFY(!editor->state.firmwareUpgradeMode);
        return;
    }
    QVERIFY(editor.dialogs->messages.first().contains(QStringLiteral("its bootloader answered")));
    QVERIFY(pedal.bootloader().synchronised());
    QCOMPARE(editor->state.firmwareUpgradeMode, offerTaken);
    QCOMPARE(main.menuFirmwareUpgradeMode->isChecked(), offerTaken);
    QCOMPARE(main.menuStartFirmwareUpgrade->isEnabled(), offerTaken);
    QCOMPARE(editor->formFirmwareUpgrade()->isVisible(), offerTaken);
    // Nothing of a normal link is offered for a pedal that runs its bootloader.
    QVERIFY(!app::isMenuEnabled(main.menuMIDI));
    QVERIFY(!main.lblLive->isEnabled());
    if (!offerTaken) {
        QCOMPARE(editor->usb().portParity, link::kParityNone);
        // No conversation of the firmware is offered, and the window says why.
        for (QPushButton* button : {main.btnOpenEffect, main.btnRequest, main.btnUpload, main.btnStoreSettingsOnPedal}) {
            QVERIFY2(!button->isEnabled(), qPrintable(button->text()));
        }
        QVERIFY(main.lblStatus->text().contains(QStringLiteral("bootloader")));
        // Linked again, the greeted bootloader answers the query with its one byte: the same
        // single offer, not an answer "not understood".
        main.menuDisconnect->trigger();
        editor.dialogs->messages.clear();
        editor.dialogs->offersTaken.push_back(false);
        main.menuConnect->trigger();
        QCOMPARE(editor.dialogs->messages.size(), 1);
        QVERIFY2(editor.dialogs->messages.first().contains(QStringLiteral("its bootloader answered")),
                 qPrintable(editor.dialogs->messages.first()));
        QCOMPARE(std::count(sent.begin(), sent.end(), core::bootloader::kSync), 1);
        QVERIFY(!main.btnRequest->isEnabled());
        return;
    }
    QVERIFY(!main.btnRequest->isEnabled() && !main.btnUpload->isEnabled());
    // The offer leads straight to a whole upgrade, which runs the firmware again.
    editor.dialogs->messages.clear();
    editor->formFirmwareUpgrade()->btnUpgradeFirmware->click();
    QCOMPARE(editor.dialogs->messages, QStringList{kComplete});
    QCOMPARE(pedal.mode(), pedal_sim::PedalMode::Normal);
    QVERIFY(!editor->state.firmwareUpgradeMode);
}

QTEST_MAIN(FirmwareUpgradeTest)
#include "test_firmware_upgrade.moc"
