// Uploading the current algorithm to the pedal, as its algorithm or into a bank.
#include "app/editor.h"
#include "session/exchange.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "core/catalogue_lists.h"
#include "core/effect_browser.h"
#include "core/effect_image.h"
#include "core/commands.h"
#include "core/impulse_response.h"
#include "session/settings_conversation.h"

#include <QLabel>
#include <QRadioButton>

namespace qeltx::app {

namespace {
const QString kImpulseResponse = QStringLiteral("Impulse Response");
const QString kOwnResponseNote = QStringLiteral(" with the impulse response built into it");

// An impulse-response algorithm whose tap block the loader does not know cannot take a loaded
// response; its catalogue image carries its own and goes out as it is.
bool carriesOwnResponse(const QString& effectName) { return !core::irLoaderGeometry(effectName.toStdString()); }
}  // namespace

std::optional<QString> TformMain::imageToUpload() {
    const EditorState& state = editor_.state;
    if (state.selectedCategory == kImpulseResponse && carriesOwnResponse(state.currentEffectName)) {
        editor_.printToConsole(state.currentEffectName + kOwnResponseNote);
    } else if (state.selectedCategory == kImpulseResponse) {
        // Only an impulse response merged for this very algorithm goes out; anything else
        // would put the wrong algorithm, or no algorithm, on the pedal.
        if (irImage.isEmpty() || irImageEffectName != state.currentEffectName) {
            editor_.dialogs().message(QStringLiteral("Load an impulse response for ") + state.currentEffectName +
                                      QStringLiteral(" first (File, Load IR)."),
                                      session::MessageKind::Warning);
            return std::nullopt;
        }
        editor_.printToConsole(QStringLiteral("file content size: ") + QString::number(irImage.size() / 2));
        return irImage;
    }
    if (state.currentEffectName.isEmpty()) {
        editor_.dialogs().message(QStringLiteral("Select an effect to upload first."), session::MessageKind::Warning);
        return std::nullopt;
    }
    const QString base = format_resource_name(state.currentEffectName);
    editor_.printToConsole(QStringLiteral("resource name: ") + base);
    read_file_from_stream(base);
    return resourceLines.isEmpty() ? QString() : resourceLines.first();
}

std::optional<core::UploadTarget> TformMain::chosenUploadTarget() {
    if (editor_.state.pedalMode != kBankMode) return core::UploadTarget::Preset;
    if (rdbtnBank1->isChecked()) bankPrefix = QStringLiteral("0E");
    else if (rdbtnBank2->isChecked()) bankPrefix = QStringLiteral("0F");
    else if (rdbtnBank3->isChecked()) bankPrefix = QStringLiteral("10");
    if (bankPrefix.isEmpty()) {
        editor_.dialogs().message(QStringLiteral("Choose a bank (Bank I, II or III) first."), session::MessageKind::Warning);
        return std::nullopt;
    }
    return bankPrefix == QStringLiteral("0E")   ? core::UploadTarget::Bank1
           : bankPrefix == QStringLiteral("0F") ? core::UploadTarget::Bank2
                                                : core::UploadTarget::Bank3;
}

void TformMain::btnUploadClick() {
    const auto talk = editor_.line().begin(session::ConversationKind::Upload);
    if (!talk) return;
    editor_.usb().PurgeFTDeviceRx();
    // The question names the algorithm and where it goes, so the target is known first.
    const auto target = chosenUploadTarget();
    if (!target) return;
    if (!editor_.dialogs().confirm(
            QString::fromStdString(core::uploadQuestion(editor_.state.currentEffectName.toStdString(), *target)))) {
        return;
    }
    // Checked before anything is sent: a refused upload sends no bypass either.
    std::optional<QString> image = imageToUpload();
    if (!image) return;
    if (editor_.state.pedalMode == kBankMode && core::exceedsBankModeLimit(core::imageSizeOfText(image->toStdString()))) {
        editor_.dialogs().message(editor_.state.currentEffectName + QStringLiteral(" is larger than 5440 bytes and "
                                                                                  "cannot be stored in a bank."),
                                  session::MessageKind::Warning);
        return;
    }

    // The upload replaces the pedal's values with the new algorithm's starting ones.
    if (!settleUnstoredChanges(QStringLiteral("uploading ") + editor_.state.currentEffectName)) return;
    const QString& name = editor_.state.currentEffectName;
    // The pedal's "Upload complete" comes later, through the poll.
    bool notSent = false;
    session::PedalLine line = editor_.pedalLine();
    const auto sent = session::sendUpload(line, image->toStdString(), *target, name, &notSent);
    if (!sent) {
        if (notSent) editor_.tellNotSent(QStringLiteral("The upload of ") + name);
        else editor_.dialogs().message(QString::fromStdString(sent.reason()), session::MessageKind::Error);
        return;
    }
    editor_.usb().showDeviceErrors = true;
    const bool impulseResponse = editor_.state.selectedCategory == kImpulseResponse;
    const bool ownResponse = impulseResponse && carriesOwnResponse(name);
    // The pedal's version of the algorithm is known again at the next query.
    editor_.pedal().uploadSent({catalogueNumberOf(name), std::nullopt, name},
                               impulseResponse && !ownResponse ? *image : QString());
    forgetSettingsLost();
    lblStatus->setText(ownResponse ? QStringLiteral("Uploading...") + kOwnResponseNote : QStringLiteral("Uploading..."));
}

}  // namespace qeltx::app
