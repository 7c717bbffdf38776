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
#include "session/settings_conversation.h"

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
    if (panel->isBuilt() && editor_.state.panelShowsHeldAlgorithm) panel->showReadBackHint();
}

bool TformMain::query_stored_effect(bool readValues) {
    const auto talk = editor_.line().begin(session::ConversationKind::Query);
    if (!talk) return false;
    takePendingMessages();
    // The session's own query, as qeltx-cli asks it; the words of its failures are the window's.
    session::PedalLine line = editor_.pedalLine();
    session::AnswerReport report;
    const auto parsed = session::queryStoredEffect(line, &report);
    if (!parsed) {
        QString text;
        switch (report.problem) {
            case session::AnswerProblem::NotSent:
                editor_.tellNotSent(QStringLiteral("The stored-effect query"));
                return false;
            case session::AnswerProblem::NoAnswer:
                // A pedal that sits in its bootloader answers no query; Link asks the bootloader once.
                if (editor_.line().running() == session::ConversationKind::Link && bootloaderAnswersAtLink()) return false;
                text = noAnswerMessage(session::DrainOutcome::TimedOut);
                break;
            case session::AnswerProblem::ConnectionFailed:
                text = noAnswerMessage(session::DrainOutcome::DriverFailed);
                break;
            case session::AnswerProblem::FromBootloader:
                // Greeted at an earlier Link: it says so itself.
                if (editor_.line().running() == session::ConversationKind::Link && bootloaderAnswersAtLink(true)) return false;
                text = QString::fromStdString(parsed.reason());
                break;
            default:
                text = QString::fromStdString(parsed.reason());
                break;
        }
        editor_.printToConsole(text);
        editor_.dialogs().message(text, session::MessageKind::Error);
        return false;
    }
    editor_.pedal().setFirmwareVersion(parsed->firmwareVersion);
    lblFirmwareVersion->setText(QString::fromStdString(core::firmwareVersionLabel(parsed->firmwareVersion)));
    if (!parsed->effectStored) {
        forgetHeldAlgorithm();
        editor_.dialogs().message(QString::fromUtf8(core::kNoEffectMessage.data(), static_cast<qsizetype>(core::kNoEffectMessage.size())));
        btnRequest->setEnabled(false);
        btnOpenEffect->setEnabled(false);
        return false;
    }

    show_stored_effect(parsed->effectNumber, parsed->effectVersion);
    const QString caption = heldEffectName() + QStringLiteral(" v") + QString::number(parsed->effectVersion);
    auto showPanel = [this, caption] {
        show_parameter_window(caption, true);
        editor_.formFXParameters()->EnableDisableControls(false);
        btnRequest->setEnabled(true);
        locate_effect();
    };
    if (!readValues || !editor_.state.readValuesAutomatically) {
        showPanel();
        return false;
    }
    // The panel is built while the pedal answers Request: its values are shown as soon as they
    // are in.
    RequestParameters([this, &showPanel] { editor_.guard(showPanel, Editor::Source::TimerOrNetwork); });
    return true;
}

QString TformMain::heldEffectName() const { return editor_.pedal().algorithm().name; }

void TformMain::show_stored_effect(std::uint32_t number, std::optional<std::uint32_t> version) {
    read_file_from_stream(QStringLiteral("EFFECT_LIST"));
    if (number >= static_cast<std::uint32_t>(resourceLines.size())) {
        throw core::ConversionError("The pedal holds algorithm number " + std::to_string(number) +
                                    ", which this editor's catalogue does not list.");
    }
    const QString line = resourceLines[static_cast<qsizetype>(number)];
    editor_.printToConsole(line);
    const QString name = QString::fromStdString(core::parseEffectListLine(line.toStdString()).name);
    editor_.printToConsole(QString::fromStdString(core::storedEffectNameLogLine(name.toStdString())));
    editor_.pedal().setHeldAlgorithm({number, version, name});
    editor_.state.currentEffectName = name;
    editor_.state.panelShowsHeldAlgorithm = true;
    btnRequest->setEnabled(true);
    editor_.focusWhenFree(btnRequest);
}

void TformMain::forgetHeldAlgorithm() {
    editor_.pedal().setHeldAlgorithm({});
    editor_.pedal().forgetValues();
    if (editor_.state.panelShowsHeldAlgorithm) {
        editor_.state.panelShowsHeldAlgorithm = false;
        editor_.formFXParameters()->close();
    }
    btnRequest->setEnabled(false);
    btnAssign->setEnabled(false);
    btnStoreSettingsOnPedal->setEnabled(false);
}

}  // namespace qeltx::app
