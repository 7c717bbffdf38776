// Asking the pedal which algorithm it holds, and making that algorithm the current one.
#include "app/editor.h"
#include "session/exchange.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "core/catalogue_lists.h"
#include "core/effect_browser.h"
#include "core/errors.h"
#include "core/replies.h"
#include "core/stored_effect.h"

#include <QLabel>
#include <QPushButton>

namespace qeltx::app {

namespace {

QString noAnswerMessage(session::DrainOutcome outcome) {
    return outcome == session::DrainOutcome::DriverFailed
               ? QStringLiteral("The pedal could not be read: the connection failed.")
               : QStringLiteral("The pedal did not answer in time. Check the cable and that the pedal is switched on, "
                                "then try again.");
}

}  // namespace

void TformMain::btnOpenEffectClick() {
    const auto talk = editor_.line().begin(session::ConversationKind::Query);
    if (!talk) return;
    query_stored_effect();
    btnOpenEffect->setEnabled(true);
    // The pedal's algorithm comes greyed until its values are read: the panel says how.
    TformFXParameters* panel = editor_.formFXParameters();
    if (panel->isBuilt() && editor_.state.effectChosen) panel->showReadBackHint();
}

void TformMain::query_stored_effect() {
    const auto talk = editor_.line().begin(session::ConversationKind::Query);
    if (!talk) return;
    takePendingMessages();
    session::Exchange& exchange = editor_.exchange();
    const core::PedalCommand query = core::storedEffectQueryCommand();
    if (!exchange.SendCommandText(QString::fromStdString(query.text), query.spec.purgeFirst, 0)) {
        editor_.tellNotSent(QStringLiteral("The stored-effect query"));
        return;
    }
    const session::Drained reply = exchange.drainReply([](std::span<const std::uint8_t> bytes) {
        return core::isTextReplyComplete(bytes);
    }, query.spec.replyLimitMs);
    editor_.printToConsole(QString::fromStdString(core::receivedBytesLogLine(reply.bytes.size())));
    editor_.usb().PurgeFTDeviceRx();
    if (reply.bytes.empty() || reply.outcome == session::DrainOutcome::DriverFailed) {
        // A pedal that sits in its bootloader answers no query; Link asks the bootloader once.
        if (reply.outcome != session::DrainOutcome::DriverFailed &&
            editor_.line().running() == session::ConversationKind::Link && bootloaderAnswersAtLink()) {
            return;
        }
        const QString text = noAnswerMessage(reply.outcome);
        editor_.printToConsole(text);
        editor_.dialogs().message(text, session::MessageKind::Error);
        return;
    }

    const auto parsed = core::parse_stored_effect_reply(std::span<const std::uint8_t>(reply.bytes));
    if (!parsed) {
        const QString text = QStringLiteral("The pedal's answer was not understood: ") + QString::fromStdString(parsed.reason());
        editor_.printToConsole(text);
        editor_.dialogs().message(text, session::MessageKind::Error);
        return;
    }
    storedEffectNumber = parsed->effectNumber;
    storedEffectVersion = parsed->effectVersion;
    firmwareVersion = parsed->firmwareVersion;
    for (const std::string& line : core::storedEffectLogLines(*parsed)) editor_.printToConsole(QString::fromStdString(line));
    lblFirmwareVersion->setText(QString::fromStdString(core::firmwareVersionLabel(firmwareVersion)));
    if (!parsed->effectStored) {
        editor_.dialogs().message(QString::fromUtf8(core::kNoEffectMessage.data(), static_cast<qsizetype>(core::kNoEffectMessage.size())));
        btnRequest->setEnabled(false);
        btnOpenEffect->setEnabled(false);
        return;
    }

    show_stored_effect();
    show_parameter_window(storedEffectName + QStringLiteral(" v") + QString::number(storedEffectVersion), true);
    editor_.formFXParameters()->EnableDisableControls(false);
    btnRequest->setEnabled(true);
    locate_effect();
}

void TformMain::show_stored_effect() {
    read_file_from_stream(QStringLiteral("EFFECT_LIST"));
    if (storedEffectNumber >= static_cast<std::uint32_t>(resourceLines.size())) {
        throw core::ConversionError("The pedal holds algorithm number " + std::to_string(storedEffectNumber) +
                                    ", which this editor's catalogue does not list.");
    }
    const QString line = resourceLines[static_cast<qsizetype>(storedEffectNumber)];
    editor_.printToConsole(line);
    storedEffectName = QString::fromStdString(core::parseEffectListLine(line.toStdString()).name);
    editor_.printToConsole(QString::fromStdString(core::storedEffectNameLogLine(storedEffectName.toStdString())));
    editor_.state.currentEffectName = storedEffectName;
    editor_.state.effectChosen = true;
    btnRequest->setEnabled(true);
    btnRequest->setFocus();
}

}  // namespace qeltx::app
