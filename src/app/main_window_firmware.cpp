// The Firmware Upgrade menu of the main window: entering and leaving upgrade mode, Link's
// greeting of the bootloader, Erase Settings, and showing the firmware upgrade window.
#include "app/busy_window.h"
#include "app/editor.h"
#include "app/firmware_upgrade.h"
#include "session/flasher.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/print_console.h"
#include "core/commands.h"
#include "core/pedal_messages.h"
#include "core/replies.h"
#include "core/stored_effect.h"
#include "session/exchange.h"

#include <QAction>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QLabel>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>

namespace qeltx::app {

namespace {

const QString kUpgradeModeQuestion =
    QStringLiteral("To enter Firmware Upgrade Mode keep B2(SAVE) button on the pedal pressed while clicking YES.");
const QString kUpgradeModeSucceeded = QStringLiteral(
    "Connection to bootloader succeeded. Release B2(SAVE) button and go to the Firmware Upgrade menu and click Start "
    "Firmware Upgrade.");
const QString kLinkSucceeded = QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade");
const QString kBootloaderFailed = QStringLiteral("Connection to bootloader failed");
const QString kHowToEnterBootloader = QStringLiteral(
    "\r\nThe editor is back in normal operation. To enter the bootloader, hold B2 (SAVE) on the pedal while it "
    "powers up (or while clicking YES), then choose Upgrade Mode again.");
const QString kBootloaderAck = QStringLiteral("79");  // bootloaderAckText
const QString kBootloaderAtLink = QStringLiteral(
    "The pedal did not answer as its firmware does, but its bootloader answered: the pedal was switched on with B2 "
    "(SAVE) held, or a firmware upgrade did not finish.\r\nChoose Upgrade Mode to upgrade its firmware now, or "
    "switch the pedal off and on without holding B2 and Link again.");
const QString kOfferUpgradeMode = QStringLiteral("Upgrade Mode");
const QString kEraseSettingsQuestion = QStringLiteral(
    "Are you sure you want to delete all settings?\r\n"
    "This action will delete the current stored algorithm and any other settings like presets and assignments\r\n"
    "Erase settings is suggested in the following cases:\r\n"
    "- the pedal is unresponsive/freezed after updates\r\n"
    "- unexpected behaviour or bugs which afflicts the pedal functionalities\r\n"
    "- you want to switch to the Sondra MK3 pedal");
// The pedal's two settings EEPROMs, as the console's address choice names them.
const QString kSettingsEeprom = QStringLiteral("50");
const QString kBanksEeprom = QStringLiteral("51");
// Both dumps are listed when Erase Settings has ended; one the poll still collects (the pedal
// was slow) counts for its "Memory Erased" within this time.
constexpr qint64 kEraseSettingsDumpLimitMs = 10000;
// Two dumps of 16,385 bytes take 2.9 s on the wire; the erases' pauses 0.2 s.
const QString kErasingSettings = QStringLiteral("erasing the pedal's settings, about 3 s");
const QString kBeforeErase = QStringLiteral("Erase Settings");
const QString kEraseRefusedInUpgradeMode = QStringLiteral(
    "Erase Settings is not available in Upgrade Mode: the pedal runs its bootloader. Upgrade the firmware, or "
    "leave Upgrade Mode and Link again, then erase the settings.");
const QString kBeforeUpgrade = QStringLiteral("the firmware upgrade");

}  // namespace

void TformMain::menuFirmwareUpgradeModeClick() {
    // Entering it, while the pedal still runs its firmware: the last moment values not stored
    // on it can be stored or saved. (From inside another conversation's wait it is refused below.)
    if (menuFirmwareUpgradeMode->isChecked() && !editor_.line().busy() &&
        !settleUnstoredChanges(QStringLiteral("Upgrade Mode"))) {
        menuFirmwareUpgradeMode->setChecked(false);
        return;
    }
    const auto talk = editor_.line().begin(session::ConversationKind::UpgradeMode);
    if (!talk) {
        // The action has already toggled its check mark; nothing else happened.
        menuFirmwareUpgradeMode->setChecked(editor_.state.firmwareUpgradeMode);
        return;
    }
    // The action has already toggled its check mark. Unchecking only leaves the mode: it
    // never restarts the pedal or greets the bootloader again.
    if (!menuFirmwareUpgradeMode->isChecked()) {
        leaveUpgradeMode();
        return;
    }
    if (editor_.state.linkedOnceInNormalMode && !offerBackupBefore(kBeforeUpgrade)) {
        menuFirmwareUpgradeMode->setChecked(false);
        return;
    }
    link::D2XXUnit& usb = editor_.usb();
    reportsBeforeUpgradeMode = usb.showDeviceErrors;
    usb.showDeviceErrors = false;
    // From here the poll stays stopped: the pedal is going into its bootloader.
    editor_.state.firmwareUpgradeMode = true;
    // Before any normal link the mode takes effect at the next Link.
    if (!editor_.state.linkedOnceInNormalMode) return;

    if (!editor_.dialogs().confirm(kUpgradeModeQuestion)) {
        leaveUpgradeMode();
        return;
    }
    if (!editor_.formFXParameters()->bypass(true) || !editor_.exchange().send(core::upgradeModeCommand())) {
        // The pedal never heard it: it still runs its firmware, at the normal line.
        leaveUpgradeMode();
        editor_.tellNotSent(QStringLiteral("Upgrade Mode"));
        return;
    }
    usb.SetPortParameters(link::portModeBootloader);
    usb.SetFTDeviceDataCharacteristics();
    if (synchroniseBootloader() == kBootloaderAck) {
        editor_.dialogs().message(kUpgradeModeSucceeded);
        menuStartFirmwareUpgrade->setEnabled(true);
        btnRequest->setEnabled(false);
        btnUpload->setEnabled(false);
        setMenuEnabled(menuFirmwareUpgrade, true);
    } else {
        bootloaderDidNotAnswer();
    }
}

void TformMain::bootloaderDidNotAnswer() {
    // Staying at even parity with the poll stopped would leave a pedal that is running its
    // firmware unreachable; the editor goes back to normal operation and says how to retry.
    leaveUpgradeMode();
    editor_.dialogs().message(kBootloaderFailed + kHowToEnterBootloader, session::MessageKind::Error);
}

void TformMain::greetBootloader() {
    link::D2XXUnit& usb = editor_.usb();
    usb.SetPortParameters(link::portModeBootloader);
    usb.SetFTDeviceDataCharacteristics();
    if (synchroniseBootloader() == kBootloaderAck) {
        editor_.dialogs().message(kLinkSucceeded);
        menuStartFirmwareUpgrade->setEnabled(true);
        btnRequest->setEnabled(false);
        btnUpload->setEnabled(false);
    } else {
        bootloaderDidNotAnswer();
    }
}

bool TformMain::bootloaderAnswersAtLink(bool synchronised) {
    if (std::exchange(bootloaderAskedAtLink, true)) return false;
    link::D2XXUnit& usb = editor_.usb();
    usb.SetPortParameters(link::portModeBootloader);
    usb.SetFTDeviceDataCharacteristics();
    bool answered = synchronised;
    if (synchronised) {
        editor_.printToConsole(QStringLiteral("the bootloader answered the query"));
    } else {
        editor_.printToConsole(QStringLiteral("no answer to the query: asking the bootloader"));
        answered = synchroniseBootloader() == kBootloaderAck;
    }
    bootloaderAnsweredAtLink = answered;
    if (answered && editor_.dialogs().messageOffering(kBootloaderAtLink, kOfferUpgradeMode)) {
        // As after Upgrade Mode's own greeting: the bootloader is synchronised and waits.
        reportsBeforeUpgradeMode = usb.showDeviceErrors;
        usb.showDeviceErrors = false;
        editor_.state.firmwareUpgradeMode = true;
        menuFirmwareUpgradeMode->setChecked(true);
        menuStartFirmwareUpgrade->setEnabled(true);
        btnRequest->setEnabled(false);
        btnUpload->setEnabled(false);
        menuStartFirmwareUpgradeClick();
        return true;
    }
    // Nothing answered, or the player keeps the normal line for a pedal switched on again.
    usb.SetPortParameters(link::portModeNormal);
    usb.SetFTDeviceDataCharacteristics();
    return answered;
}

void TformMain::showPedalInBootloader() {
    for (QPushButton* button : {btnOpenEffect, btnRequest, btnAssign, btnStoreSettingsOnPedal, btnUpload}) {
        button->setEnabled(false);
    }
    lblStatus->setText(QStringLiteral("The pedal is in its bootloader: use Upgrade Mode, or restart it."));
}

QString TformMain::synchroniseBootloader() {
    link::D2XXUnit& usb = editor_.usb();
    session::LatencyLowered latency(usb);
    // The console gets "received Byte: " alone, as the pedal's users know it.
    session::Flasher flasher(usb, editor_.exchange(), [](const QString&) {});
    const auto failure = flasher.synchronise();
    const QString reply = failure ? failure->reply : kBootloaderAck;
    editor_.formPrint()->appendWithoutScroll(QStringLiteral("received Byte: ") + reply);
    return reply;
}

namespace {
// Asks which algorithm the pedal holds, saying nothing on screen: true when it answers as its
// firmware does.
bool answersNormally(Editor& editor) {
    const auto talk = editor.line().begin(session::ConversationKind::Query);
    if (!talk) return false;
    link::D2XXUnit& usb = editor.usb();
    const bool reportsWereOn = usb.showDeviceErrors;
    usb.showDeviceErrors = false;
    struct ReportsBack {
        link::D2XXUnit& usb;
        bool on;
        ~ReportsBack() { usb.showDeviceErrors = on; }
    } back{usb, reportsWereOn};
    session::Exchange& exchange = editor.exchange();
    const core::PedalCommand query = core::storedEffectQueryCommand();
    usb.PurgeFTDeviceRx();
    if (!exchange.SendCommandText(QString::fromStdString(query.text), query.spec.purgeFirst, 0)) return false;
    const session::Drained reply = exchange.drainReply(
        [](std::span<const std::uint8_t> bytes) { return core::isTextReplyComplete(bytes); }, query.spec.replyLimitMs);
    usb.PurgeFTDeviceRx();
    return reply.outcome == session::DrainOutcome::Complete &&
           core::parse_stored_effect_reply(std::span<const std::uint8_t>(reply.bytes));
}
}  // namespace

void TformMain::relinkAfterFlash(int attempt) {
    // The player has taken over: unlinked, or gone back into Upgrade Mode.
    if (!editor_.state.linked || editor_.state.firmwareUpgradeMode) return;
    const auto again = [this](int next) {
        QTimer::singleShot(relinkIntervalMs, this,
                           editor_.guarded([this, next] { relinkAfterFlash(next); }, Editor::Source::TimerOrNetwork));
    };
    // Something else talks to the pedal: asked again after it, without counting a try.
    if (editor_.line().busy()) {
        again(attempt);
        return;
    }
    const QString waiting = QStringLiteral("Waiting for the pedal to start its new firmware (try %1 of %2)…")
                                .arg(attempt)
                                .arg(kRelinkTries);
    lblStatus->setText(waiting);
    editor_.printToConsole(waiting);
    if (!answersNormally(editor_)) {
        if (attempt < kRelinkTries) {
            again(attempt + 1);
            return;
        }
        const QString text = QStringLiteral("The pedal did not answer with its new firmware. Switch it off and on, "
                                            "then Unlink and Link.");
        lblStatus->setText(text);
        editor_.printToConsole(text);
        return;
    }
    editor_.printToConsole(QStringLiteral("The pedal runs its new firmware: linking again"));
    menuDisconnectClick();
    if (editor_.state.linked) return;
    menuConnectClick();
    if (editor_.state.linkedOnceInNormalMode && editor_.state.linked) {
        lblStatus->setText(QStringLiteral("Linked again after the firmware upgrade."));
    }
}

void TformMain::showClosingRefused(const QString& why) {
    lblStatus->setText(why);
    showNormal();
    raise();
}

void TformMain::leaveUpgradeMode() {
    link::D2XXUnit& usb = editor_.usb();
    // Only a port this mode set to even parity is set back; a closed one fails silently,
    // as reports are still off here.
    if (usb.portParity != link::kParityNone) {
        usb.SetPortParameters(link::portModeNormal);
        usb.SetFTDeviceDataCharacteristics();
    }
    editor_.state.firmwareUpgradeMode = false;
    menuFirmwareUpgradeMode->setChecked(false);
    menuStartFirmwareUpgrade->setEnabled(false);
    const bool linked = menuDisconnect->isEnabled();
    btnRequest->setEnabled(linked);
    btnUpload->setEnabled(linked);
    usb.showDeviceErrors = reportsBeforeUpgradeMode;
    editor_.formFirmwareUpgrade()->hide();
    // Linked, the poll runs again once this conversation ends.
    editor_.line().resumePoll();
}

void TformMain::menuStartFirmwareUpgradeClick() {
    TformFirmwareUpgrade* window = editor_.formFirmwareUpgrade();
    window->show();
    window->raise();
    window->activateWindow();
}

void TformMain::menuEraseSettingsClick() {
    // The bootloader takes no settings commands: they would go out at even parity, erase
    // nothing, and the erase would still be remembered.
    if (editor_.state.firmwareUpgradeMode) {
        editor_.dialogs().message(kEraseRefusedInUpgradeMode, session::MessageKind::Warning);
        return;
    }
    if (!editor_.dialogs().confirm(kEraseSettingsQuestion)) return;
    // Stored now, the sound would be erased a moment later: only a preset file keeps it.
    if (!settleUnstoredChanges(kBeforeErase, false)) return;
    const auto talk = editor_.line().begin(session::ConversationKind::EraseSettings);
    if (!talk) return;
    if (!offerBackupBefore(kBeforeErase)) return;
    // Only a pedal the editor reaches loses its settings.
    const bool reachesPedal = editor_.state.linked;
    editor_.printToConsole(kErasingSettings);
    BusyWindow busy(*this, kErasingSettings, editor_.line());
    TformPrint* console = editor_.formPrint();
    eraseSettingsDumpsAwaited_ = 0;
    eraseSettingsAllErased_ = true;
    // A window of its own says which step runs and how much of each dump is in: the title alone
    // is cut short by most window managers. Not modal: a modal progress window would run the
    // user's clicks in the middle of the conversation.
    QProgressDialog progress(this);
    progress.setObjectName(QStringLiteral("eraseSettingsProgress"));
    progress.setWindowTitle(QStringLiteral("Erase Settings"));
    progress.setCancelButton(nullptr);
    progress.setMinimumDuration(0);
    progress.setMinimumWidth(360);
    // The dumps are the time Erase Settings takes: the bar counts their bytes.
    constexpr int kSteps = 4;
    constexpr int kDumps = 2;
    constexpr auto kDumpBytes = static_cast<int>(core::kEepromDumpFrameSize);
    progress.setRange(0, kDumps * kDumpBytes);
    int dumpsDone = 0;
    int stepsDone = 0;
    int stepNumber = 0;
    struct Step {
        QString doing;
        std::function<bool()> run;
        bool asksForDump;  // the pedal answers it with an EEPROM dump
    };
    const auto show = [&](const QString& doing, std::optional<std::size_t> dumpBytes) {
        QString text = QStringLiteral("Erasing the pedal's settings\n%1 of %2: %3").arg(stepNumber).arg(kSteps).arg(doing);
        if (dumpBytes) text += QStringLiteral(" (%L1 of %L2 bytes)").arg(*dumpBytes).arg(kDumpBytes);
        progress.setLabelText(text);
        progress.setValue(dumpsDone * kDumpBytes + static_cast<int>(dumpBytes.value_or(0)));
    };
    const auto readBack = [&](const QString& eeprom, const QString& doing) {
        return console->ReadEEPROM(eeprom, [&](std::size_t bytes) { show(doing, bytes); });
    };
    const QString readingSettings = QStringLiteral("reading the settings memory back");
    const QString readingBanks = QStringLiteral("reading the bank memory back");
    const Step steps[kSteps] = {
        {QStringLiteral("erasing the settings memory"), [&] { return console->EraseEEPROM(kSettingsEeprom); }, false},
        {readingSettings, [&] { return readBack(kSettingsEeprom, readingSettings); }, true},
        {QStringLiteral("erasing the bank memory"), [&] { return console->EraseEEPROM(kBanksEeprom); }, false},
        {readingBanks, [&] { return readBack(kBanksEeprom, readingBanks); }, true},
    };
    for (const Step& step : steps) {
        ++stepNumber;
        show(step.doing, step.asksForDump ? std::optional<std::size_t>(0) : std::nullopt);
        progress.show();
        editor_.line().dispatch(0);
        // A step that fails is told to the user by the console's tool; the rest would only
        // follow it into a link that is not carrying commands. The dumps are listed, and
        // "Memory Erased" said for both, once this conversation has ended.
        if (!step.run()) break;
        ++stepsDone;
        if (step.asksForDump) {
            ++eraseSettingsDumpsAwaited_;
            ++dumpsDone;
        }
    }
    eraseSettingsDumpsUntil_ = editor_.timing().nowMs() + kEraseSettingsDumpLimitMs;
    // The first step erases the settings memory: once it went out, the pedal holds no algorithm
    // (nothing the editor showed of it stays on screen) and the settings are to be restored.
    if (reachesPedal && stepsDone > 0) {
        forgetHeldAlgorithm();
        rememberSettingsLost(false);
    }
}

}  // namespace qeltx::app
