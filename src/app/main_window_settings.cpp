// The pedal's settings from the main window: Request (the read-back), Assign, Store Settings,
// the MIDI channel menu and the preset or bank mode.
#include "app/editor.h"
#include "session/exchange.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/stored_compare.h"
#include "app/preferences.h"
#include "core/commands.h"
#include "core/hex.h"
#include "core/parameter_block.h"
#include "core/control_layout.h"
#include "session/settings_conversation.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

namespace qeltx::app {

namespace {
constexpr int kAssignButtonPauseMs = 100;
}

void TformMain::btnRequestClick() { RequestParameters(); }

void TformMain::RequestParameters(const std::function<void()>& meanwhile) {
    const auto talk = editor_.line().begin(session::ConversationKind::Request);
    if (!talk) return;
    // What the read-back sets (the mode among it) is the pedal's, not the player's choice.
    editor_.state.applyingReadBack = true;
    struct ClearFlag {
        bool& flag;
        ~ClearFlag() { flag = false; }
    } clear{editor_.state.applyingReadBack};
    // What is read is the edits, not the stored sound a comparison plays.
    editor_.compare().finish();
    // A pedal report already waiting may change the algorithm, and so the panel asked for.
    takePendingMessages();
    TformFXParameters* panel = editor_.formFXParameters();
    std::size_t numControls = 0;
    std::size_t numReadbacks = 0;
    if (meanwhile) {
        // The panel is still to be built: the counts are its layout's.
        const QString& name = editor_.state.currentEffectName;
        const auto parsed = core::parseControlLayoutText(
            name.toStdString(), loadResource(format_resource_name(name) + QStringLiteral("_ctrls")));
        if (!parsed.layout) {
            meanwhile();  // the panel's build says what is wrong with the layout
            return;
        }
        numControls = static_cast<std::size_t>(parsed.layout->counts.controls());
        numReadbacks = static_cast<std::size_t>(parsed.layout->counts.readbacks);
    } else if (!panel->isBuilt()) {
        editor_.dialogs().message(QStringLiteral("Open the effect stored on the pedal first (Get FX Stored on Pedal)."), session::MessageKind::Warning);
        return;
    } else {
        numControls = static_cast<std::size_t>(panel->numControls());
        numReadbacks = static_cast<std::size_t>(panel->numReadbacks());
    }
    session::LatencyLowered latency(editor_.usb());
    // Request is greyed while the answer comes in, and the keyboard would move on to the next
    // button (Store Settings, where a second Space would store): it comes back to Request.
    struct KeysBackToRequest {
        Editor& editor;
        QPushButton* button;
        bool had;
        ~KeysBackToRequest() {
            if (had) editor.focusWhenFree(button);
        }
    } keysBack{editor_, btnRequest, focusWidget() == btnRequest};
    // The session's own Request, as qeltx-cli asks it; the words of its failures are the window's.
    session::PedalLine line = editor_.pedalLine();
    session::AnswerReport report;
    bool answering = false;
    report.whileAnswering = [&] {
        answering = true;
        if (meanwhile) meanwhile();
        btnRequest->setEnabled(false);
    };
    const auto block = session::requestParameterBlock(line, numControls, numReadbacks, &report);
    if (!answering && meanwhile) meanwhile();
    auto fail = [this](const QString& text) {
        editor_.printToConsole(text);
        editor_.dialogs().message(text, session::MessageKind::Error);
        btnRequest->setEnabled(true);
    };
    switch (report.problem) {
        case session::AnswerProblem::None:
            break;
        case session::AnswerProblem::NotSent:
            editor_.tellNotSent(QStringLiteral("Request"));
            return;
        case session::AnswerProblem::NoAnswer:
            fail(QStringLiteral("The pedal did not answer Request in time. Check the cable and try again."));
            return;
        case session::AnswerProblem::ConnectionFailed:
            fail(QStringLiteral("The pedal could not be read: the connection failed."));
            return;
        case session::AnswerProblem::NotUnderstood:
        case session::AnswerProblem::FromBootloader:  // only the query tells the bootloader's byte apart
            fail(QString::fromStdString(block.reason()));
            return;
        case session::AnswerProblem::WrongLength:
            // A number more or less shifts every field after it: the panel, assignments, mode
            // and MIDI channel would all be set wrong.
            fail(QStringLiteral("The pedal's answer to Request held %1 numbers instead of %2; nothing was applied. Try "
                                "Request again.")
                     .arg(report.numbers.size())
                     .arg(core::parameterBlockLength(numControls)));
            return;
    }
    replyBytes = report.numbers;
    // Closing the panel waits for the end of the conversation, so the rows are still those the
    // block was asked for; checked all the same, since applying it to others would crash. A
    // panel built meanwhile that could not be built has said why.
    if (!panel->isBuilt() && meanwhile) return;
    if (!panel->isBuilt() || static_cast<std::size_t>(panel->numControls()) != numControls ||
        static_cast<std::size_t>(panel->numReadbacks()) != numReadbacks) {
        fail(QStringLiteral("The parameter window changed while the pedal was answering; nothing was applied."));
        return;
    }
    editor_.printToConsole(QString::number(replyBytes.size()));
    panel->update_FXParameters(*block);
    panel->receive_assignments_from_device(*block);
    panel->receive_reverse_data_from_device(*block);
    receive_mode(*block);
    UpdateMidiChannelMenu(block->midiChannel);
    btnAssign->setEnabled(true);
    btnStoreSettingsOnPedal->setEnabled(true);
    panel->EnableDisableControls(true);
    panel->EnableRevCheckBoxes();
    panel->DisableBypassAndPresetAssignInBankMode();
    panel->showStatus(QStringLiteral("Values read from the pedal."));
}

void TformMain::readPedalValuesAutomatically() {
    TformFXParameters* panel = editor_.formFXParameters();
    // Asked of the button itself: Link's own conversation holds the window's input meanwhile.
    if (!panel->isBuilt() || !editor_.state.panelShowsHeldAlgorithm || !btnRequest->isEnabledTo(centralWidget())) return;
    if (!editor_.state.readValuesAutomatically) {
        panel->showReadBackHint();
        return;
    }
    // The same path as the button, so it is the same conversation with the pedal.
    btnRequestClick();
}

void TformMain::receive_mode(const core::ParameterBlock& block) {
    const auto mode = core::pedalModeFromBlock(block.mode);
    if (!mode) return;
    if (*mode == core::PedalMode::Bank) {
        editor_.printToConsole(QStringLiteral("Mode: Bank"));
        SetBankMode();
        const std::array<QRadioButton*, 3> banks{rdbtnBank1, rdbtnBank2, rdbtnBank3};
        if (const auto bank = core::bankIndexFromBlock(block.bankOrPreset)) {
            banks[static_cast<std::size_t>(*bank)]->setChecked(true);
        } else {
            // No radio button of a group can be unchecked on its own.
            for (QRadioButton* b : banks) {
                b->setAutoExclusive(false);
                b->setChecked(false);
                b->setAutoExclusive(true);
            }
        }
        editor_.printToConsole(QStringLiteral("Bank Num: ") + QString::number(block.bankOrPreset));
    } else {
        editor_.printToConsole(QStringLiteral("Mode: Preset"));
        SetPresetMode();
        editor_.printToConsole(QStringLiteral("Preset Num: ") + QString::number(block.bankOrPreset));
    }
}

void TformMain::UpdateMidiChannelMenu(std::uint8_t channel) {
    for (QAction* item : midiChannelItems) item->setChecked(false);
    if (const auto item = core::midiMenuItemFromBlock(channel)) midiChannelItems[static_cast<std::size_t>(*item)]->setChecked(true);
    editor_.printToConsole(QStringLiteral("MIDI channel: ") + QString::number(channel));
}

void TformMain::SetBankMode() {
    EditorState& state = editor_.state;
    state.pedalMode = kBankMode;
    menuModePreset->setChecked(false);
    menuModeBank->setChecked(true);
    lblBankNum->setEnabled(true);
    rdbtnBank1->setChecked(true);
    writeModeFile(QStringLiteral("BANK"));
    if (state.applyingReadBack) return;
    editor_.formFXParameters()->close();
    lstCategory->clearSelection();
    lstCategory->setCurrentRow(-1);
    lstEffects->clear();
    state.currentEffectName.clear();
}

void TformMain::SetPresetMode() {
    editor_.state.pedalMode = kPresetMode;
    menuModePreset->setChecked(true);
    menuModeBank->setChecked(false);
    lblBankNum->setEnabled(false);
    writeModeFile(QStringLiteral("PRESET"));
}

void TformMain::writeModeFile(const QString& word) {
    const QString path = QDir(productFolder()).filePath(kModeFile);
    if (!writePreferenceText(path, word)) editor_.dialogs().message(QStringLiteral("Could not write ") + path, session::MessageKind::Error);
}

void TformMain::btnAssignClick() {
    TformFXParameters* panel = editor_.formFXParameters();
    session::PedalState& pedal = editor_.pedal();
    std::vector<std::uint8_t> controls;
    std::vector<std::uint8_t> readbacks;
    panel->chooseShownAssignments();
    for (int i = 0; i < panel->numControls(); ++i) controls.push_back(pedal.assignments()[static_cast<std::size_t>(i)]);
    for (int j = 0; j < panel->numReadbacks(); ++j) readbacks.push_back(pedal.readbackAssignments()[static_cast<std::size_t>(j)]);
    const auto command = core::assignCommand(controls, readbacks, pedal.bypassAssignment(), pedal.presetAssignment());
    if (!command) return;
    if (!editor_.dialogs().confirm(QStringLiteral("Assign parameters?"))) {
        panel->takeBackUnconfirmedReverse();
        return;
    }
    const auto talk = editor_.line().begin(session::ConversationKind::Assign);
    if (!talk) return;
    core::PedalCommand withoutPause = *command;
    withoutPause.spec.pauseMs = 0;
    if (!editor_.exchange().send(withoutPause)) {
        editor_.tellNotSent(QStringLiteral("Assign"));
        return;
    }
    // The console records what the pedal was sent, once it has gone out.
    editor_.printToConsole(QString::fromStdString(command->text));
    panel->confirmReverse();
    lblStatus->setText(QStringLiteral("Assignments sent to the pedal (%1 parameters, bypass and preset change%2).")
                           .arg(panel->numControls())
                           .arg(panel->numReadbacks() > 0 ? QStringLiteral(", read-backs") : QString()));
    btnAssign->setEnabled(false);
    editor_.timing().pause(kAssignButtonPauseMs);
    btnAssign->setEnabled(true);
}

void TformMain::btnStoreSettingsOnPedalClick() {
    storeSettingsOnPedal(static_cast<std::size_t>(editor_.formFXParameters()->numControls()));
}

bool TformMain::storeSettingsOnPedal(std::size_t numControls) {
    const core::PedalCommand command = core::storeSettingsCommand(numControls);
    editor_.printToConsole(QStringLiteral("Store settings message (HEX): ") + QString::fromStdString(command.text));
    const auto talk = editor_.line().begin(session::ConversationKind::StoreSettings);
    if (!talk) return false;
    if (!editor_.pedal().storeValues(command)) {
        editor_.tellNotSent(QStringLiteral("Store Settings On Pedal"));
        return false;
    }
    forgetSettingsLost();
    lblStatus->setText(QStringLiteral("Store Settings sent: the pedal keeps its values and assignments."));
    return true;
}

void TformMain::menuMIDIchannelsClickItem(QAction* item) {
    const QString caption = item->text();
    editor_.printToConsole(QStringLiteral("Midi channel: ") + caption);
    const auto channel = core::midiChannelFromCaption(caption.toStdString());
    if (!channel) return;
    const auto talk = editor_.line().begin(session::ConversationKind::MidiChannel);
    if (!talk) return;
    const auto command = core::midiChannelCommand(*channel);
    if (command && !editor_.exchange().send(*command)) editor_.tellNotSent(QStringLiteral("The MIDI channel"));
}

void TformMain::swLiveSwitch() {
    const bool on = swLive->isChecked();
    lblLive->setTitle(on ? QStringLiteral("Live ON") : QStringLiteral("Live OFF"));
    swLive->setAccessibleDescription(lblLive->title());
    const auto talk = editor_.line().begin(session::ConversationKind::LiveEdit);
    if (!talk) return;
    if (!editor_.exchange().send(core::liveCommand(on))) editor_.tellNotSent(QStringLiteral("Live"));
}

}  // namespace qeltx::app
