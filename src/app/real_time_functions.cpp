// The 20 ms poll for what the pedal sends by itself: bank and algorithm changes, the end of an
// upload, knobs and buttons used on the pedal, and the EEPROM dump.
#include "app/editor.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "core/catalogue_lists.h"
#include "core/effect_browser.h"
#include "app/print_console.h"
#include "core/pedal_messages.h"
#include "core/stored_effect.h"
#include "session/lost_pedal.h"
#include "session/pedal_state.h"

#include <QComboBox>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

namespace qeltx::app {

namespace {
// A dump is 16,385 bytes, about 1.5 s on the wire; give up on one that stops halfway.
constexpr qint64 kDumpTimeLimitMs = 6000;
}

void TformMain::Timer_USB_readTimer() { poll_pedal_messages(); }

void TformMain::poll_pedal_messages() {
    link::D2XXUnit& usb = editor_.usb();
    usb.showDeviceErrors = false;
    struct ReportsBackOn {
        link::D2XXUnit& usb;
        ~ReportsBackOn() { usb.showDeviceErrors = true; }
    } reportsBackOn{usb};

    const core::FtStatus status = usb.GetFTDeviceQueueStatus();
    if (status != core::FT_OK) {
        if (status != core::FT_INVALID_HANDLE) pedalDisconnected();
        return;
    }
    if (messageReader_.collectingDump() && editor_.timing().nowMs() - dumpStartedAt_ > kDumpTimeLimitMs) {
        editor_.printToConsole(QString::fromStdString(messageReader_.discardHeld()));
    }
    if (usb.rxQueueCount == 0) return;
    const std::uint32_t count = usb.ReadFTDeviceBuffer();
    if (count == 0) return;
    takePedalMessages(std::span<const std::uint8_t>(usb.rxBuffer.data(), count));
}

void TformMain::takePedalMessages(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    const bool wasCollecting = messageReader_.collectingDump();
    const auto messages = messageReader_.feed(bytes);
    if (!wasCollecting && messageReader_.collectingDump()) dumpStartedAt_ = editor_.timing().nowMs();
    for (const core::PedalMessage& message : messages) applyPedalMessage(message);
}

void TformMain::takePendingMessages() {
    if (editor_.usb().GetFTDeviceQueueStatus() == core::FT_OK && editor_.usb().rxQueueCount > 0) poll_pedal_messages();
    // What is left (a message cut short) belongs to no exchange: dropped, and said so.
    const std::string dropped = messageReader_.discardHeld();
    if (!dropped.empty()) editor_.printToConsole(QString::fromStdString(dropped));
    editor_.usb().PurgeFTDeviceRx();
}

void TformMain::applyPedalMessage(const core::PedalMessage& message) {
    if (const auto* bank = std::get_if<core::BankReport>(&message)) {
        select_reported_bank(bank->bankIndex);
    } else if (const auto* algorithm = std::get_if<core::AlgorithmReport>(&message)) {
        select_reported_effect(algorithm->effectNumber);
    } else if (std::holds_alternative<core::UploadComplete>(message)) {
        lblStatus->setText(QString::fromUtf8(core::kUploadCompleteText.data(),
                                             static_cast<qsizetype>(core::kUploadCompleteText.size())));
        uploadComplete();
    } else if (const auto* frame = std::get_if<core::ControlFrame>(&message)) {
        apply_control_frame(*frame);
    } else if (const auto* dump = std::get_if<core::EepromDump>(&message)) {
        showEepromDump(*dump);
    } else if (const auto* bad = std::get_if<core::UnconvertibleReport>(&message)) {
        editor_.printToConsole(QString::fromStdString(bad->consoleLine));
    }
}

void TformMain::uploadComplete() {
    // The pedal now holds what was uploaded; when the panel shows that algorithm, its values
    // are the pedal's to read.
    const auto uploaded = editor_.pedal().uploadConfirmed();
    if (!uploaded || uploaded->name != editor_.state.currentEffectName) return;
    editor_.state.panelShowsHeldAlgorithm = true;
    // The panel no longer previews: it shows what the pedal holds (its version is known again
    // at the next query).
    editor_.formFXParameters()->setCaption(uploaded->name);
    btnRequest->setEnabled(true);
    readPedalValuesAutomatically();
}

void TformMain::select_reported_bank(std::uint32_t index) {
    const std::array<QRadioButton*, 3> banks{rdbtnBank1, rdbtnBank2, rdbtnBank3};
    if (index < banks.size()) banks[index]->setChecked(true);
}

void TformMain::select_reported_effect(std::uint16_t number) {
    read_file_from_stream(QStringLiteral("EFFECT_LIST"));
    if (number >= resourceLines.size()) {
        editor_.printToConsole(QStringLiteral("The pedal reports algorithm number ") + QString::number(number) +
                               QStringLiteral(", which this editor's catalogue does not list."));
        return;
    }
    const QString name = QString::fromStdString(core::parseEffectListLine(resourceLines[number].toStdString()).name);
    // The report names no version: the one known stays only for the same algorithm.
    const session::HeldAlgorithm& before = editor_.pedal().algorithm();
    const auto version = before.known() && before.number == number ? before.version : std::nullopt;
    editor_.pedal().setHeldAlgorithm({number, version, name});
    editor_.printToConsole(QString::fromStdString(core::storedEffectNameLogLine(name.toStdString())));
    editor_.state.currentEffectName = name;
    editor_.state.panelShowsHeldAlgorithm = true;
    btnRequest->setEnabled(true);
    editor_.focusWhenFree(btnRequest);
    show_parameter_window(version ? name + QStringLiteral(" v") + QString::number(*version) : name, false);
    editor_.formFXParameters()->EnableDisableControls(false);
    btnRequest->setEnabled(true);
    locate_effect();
}

void TformMain::apply_control_frame(const core::ControlFrame& frame) {
    // From the pedal: what it holds changes and the panel follows; nothing goes back.
    TformFXParameters& panel = *editor_.formFXParameters();
    const int i = frame.index;
    if (i >= kPanelSlots || i >= panel.numControls()) return;
    const std::optional<std::int32_t> value = panel.reportedValue(i, core::controlHandling(frame.code), frame.value);
    if (!value) return;
    session::PedalState& pedal = editor_.pedal();
    if (pedal.hasValuesFor(editor_.state.currentEffectName) && static_cast<std::size_t>(i) < pedal.values().size()) {
        pedal.takePedalReport(static_cast<std::size_t>(i), *value);
    } else {
        panel.drawValue(i, *value);
    }
}

void TformMain::showEepromDump(const core::EepromDump& dump) {
    TformPrint& console = *editor_.formPrint();
    console.appendLines(core::eepromDumpLogLines(dump));
    if (eraseSettingsDumpsAwaited_ > 0 && editor_.timing().nowMs() <= eraseSettingsDumpsUntil_) {
        eraseSettingsAllErased_ = eraseSettingsAllErased_ && core::isMemoryErased(dump);
        if (--eraseSettingsDumpsAwaited_ > 0) return;
        if (!eraseSettingsAllErased_) return;
    } else {
        eraseSettingsDumpsAwaited_ = 0;
        if (!core::isMemoryErased(dump)) return;
    }
    // The box waits with the poll stopped, so no further boxes pile up behind it.
    Timer_USB_read.stop();
    editor_.dialogs().message(QString::fromUtf8(core::kMemoryErasedMessage.data(),
                                                static_cast<qsizetype>(core::kMemoryErasedMessage.size())));
    editor_.line().resumePoll();
}

void TformMain::pedalDisconnected(std::optional<session::ConversationKind> during) {
    const QString text = session::lostPedalMessage(during);
    editor_.printToConsole(text);
    Timer_USB_read.stop();
    messageReader_.discardHeld();
    // The handle goes back quietly: its failure is one more word about the same loss.
    link::D2XXUnit& usb = editor_.usb();
    const bool reportsWereOn = usb.showDeviceErrors;
    usb.showDeviceErrors = false;
    usb.CloseFTDevice();
    usb.showDeviceErrors = reportsWereOn;
    showUnlinkedState();
    editor_.dialogs().message(text, session::MessageKind::Warning);
}

}  // namespace qeltx::app
