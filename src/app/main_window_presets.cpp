// Preset files: Save Configuration and Load Configuration.
#include "app/busy_window.h"
#include "app/editor.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/preferences.h"
#include "core/catalogue_lists.h"
#include "core/control_layout.h"
#include "core/effect_browser.h"
#include "core/effect_image.h"
#include "core/preset_algorithm.h"
#include "core/preset_file.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "resources/resource_store.h"
#include "session/save_file.h"
#include "session/settings_conversation.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace qeltx::app {

namespace {
const QString kPresetFolder = QStringLiteral("Preset");
const QString kFilter = QStringLiteral("Preset files (*.txt)");
const QString kExtension = QStringLiteral(".txt");

std::vector<std::string> effectListLines() {
    const auto list = resources::catalogueResource(core::kEffectListResource);
    return list ? core::splitLines(*list) : std::vector<std::string>{};
}
}  // namespace

std::function<QString(const QString&)> TformMain::presetDescription() {
    return [lines = effectListLines()](const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("Algorithm: the file cannot be read");
        if (file.size() > core::kLargestPresetFile) return QStringLiteral("Algorithm: not a preset file");
        return QStringLiteral("Algorithm: ") + QString::fromStdString(core::presetAlgorithmText(file.readAll().toStdString(), lines));
    };
}

QString TformMain::presetFolder() {
    const QString folder = QDir(productFolder()).filePath(kPresetFolder);
    QDir().mkpath(folder);
    return folder;
}

void TformMain::menuSaveConfigurationClick() {
    TformFXParameters& panel = *editor_.formFXParameters();
    session::PedalState& pedal = editor_.pedal();
    const QString& effect = editor_.state.currentEffectName;
    const bool ours = panel.isBuilt() && editor_.state.panelShowsHeldAlgorithm && pedal.hasValuesFor(effect);
    // A preset holds the pedal's values, read back. Linked, a panel changed since the last
    // read-back is read again first (the panel shows what was sent, and the pedal's own knobs
    // may have moved since), and an algorithm uploaded since the last query is asked its
    // version; unlinked, the values the panel shows are saved.
    if (ours && editor_.state.linked && (pedal.changedSinceReadBack() || !pedal.algorithm().version)) {
        if (!pedal.algorithm().version) query_stored_effect();
        if (btnRequest->isEnabled()) btnRequestClick();
        // A Request that did not run or failed has said why; nothing is saved then.
        if (pedal.changedSinceReadBack() || !pedal.hasValuesFor(effect)) return;
    }
    if (!panel.isBuilt() || !pedal.hasValuesFor(effect)) {
        editor_.dialogs().message(QStringLiteral("There are no values to save yet: select the effect stored on the "
                                                 "pedal and press Request first."),
                                  session::MessageKind::Warning);
        return;
    }
    core::PresetFile preset;
    preset.effectNumber = pedal.algorithm().number;
    preset.effectVersion = pedal.algorithm().version.value_or(0);
    preset.values = pedal.values();
    const auto& assignments = pedal.assignments();
    const auto& readbacks = pedal.readbackAssignments();
    preset.assignments.assign(assignments.begin(), assignments.begin() + panel.numControls);
    preset.readbackAssignments.assign(readbacks.begin(), readbacks.begin() + panel.numReadbacks);
    SaveTextWithDialog(QByteArray::fromStdString(core::formatPresetFile(preset)), effect);
}

void TformMain::SaveTextWithDialog(const QByteArray& TextContent, const QString& NameOfFile) {
    const QString folder = presetFolder();
    QString path = editor_.dialogs().saveFile(QStringLiteral("Save Preset File"), QDir(folder).filePath(NameOfFile), kFilter);
    if (path.isEmpty()) return;
    if (!path.endsWith(kExtension, Qt::CaseInsensitive)) path += kExtension;
    // Written beside the old file and renamed over it: a failed save never destroys a preset.
    if (const auto problem = session::saveFile(path, TextContent)) {
        editor_.dialogs().message(QStringLiteral("Error saving file: ") + *problem, session::MessageKind::Error);
        return;
    }
    editor_.dialogs().message(QStringLiteral("File saved successfully: ") + path);
}

std::optional<QByteArray> TformMain::LoadTextWithDialog(QString& path) {
    path = editor_.dialogs().openFileDescribed(QStringLiteral("Open Preset File"), presetFolder(), kFilter,
                                               presetDescription());
    if (path.isEmpty()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        editor_.dialogs().message(QStringLiteral("Error loading file: ") + file.errorString(), session::MessageKind::Error);
        return std::nullopt;
    }
    return file.readAll();
}

void TformMain::menuLoadConfigurationClick() {
    TformFXParameters& panel = *editor_.formFXParameters();
    session::PedalState& pedal = editor_.pedal();
    QString path;
    const std::optional<QByteArray> text = LoadTextWithDialog(path);
    if (!text) return;
    editor_.printToConsole(QString::fromUtf8(*text));
    const auto preset = core::parsePresetFile(text->toStdString());
    auto refuse = [&](const QString& why) { refusePreset(path, why); };
    if (!preset) {
        refuse(QStringLiteral("It is not a preset file: ") + QString::fromStdString(preset.reason()) + QLatin1Char('.'));
        return;
    }
    // A preset is applied only to the panel of the algorithm the pedal holds, and only when it
    // was saved for that algorithm: anything else would send wrong values to the pedal.
    if (!panel.isBuilt() || !editor_.state.panelShowsHeldAlgorithm) {
        refuse(QStringLiteral("Open the effect stored on the pedal first (Get FX Stored on Pedal)."));
        return;
    }
    // The same decision as qeltx-cli preset load.
    const session::HeldAlgorithm& held = pedal.algorithm();
    const auto plan = core::planPresetLoad(
        *preset, held.known() ? std::optional<core::HeldForPreset>({held.number, held.name.toStdString()}) : std::nullopt,
        editor_.state.pedalMode == kBankMode, resources::catalogueResource, effectListLines());
    if (!plan) {
        refuse(QString::fromStdString(plan.reason()));
        return;
    }
    if (plan->otherAlgorithm) {
        offerPresetAlgorithm(*preset, *plan, path);
        return;
    }
    // The values the preset does not set are the pedal's: read them first when not known.
    if (!pedal.hasValuesFor(editor_.state.currentEffectName) && btnRequest->isEnabled()) btnRequestClick();
    if (!pedal.hasValuesFor(editor_.state.currentEffectName)) {
        refuse(QStringLiteral("The pedal's values could not be read; press Request and load the preset again."));
        return;
    }
    {
        const auto talk = editor_.line().begin(session::ConversationKind::LiveEdit);
        if (!talk) return;
        if (!applyPresetValues(*preset, plan->layout, plan->effect.header)) return;
    }
    panel.lblPanelStatus->setText(QStringLiteral("Values of the preset file sent to the pedal: ") + QFileInfo(path).fileName());
    editor_.dialogs().message(QStringLiteral("File loaded successfully: ") + path);
}

bool TformMain::applyPresetValues(const core::PresetFile& preset, const core::ControlLayout& layout,
                                  const core::ImageHeader& header) {
    // Every value the panel will show goes out, switches included; the first that does not go
    // out whole ends it, and what the pedal holds keeps only what went out.
    for (const core::PresetValueCommand& change : core::presetValueChanges(preset, layout, header)) {
        if (!editor_.pedal().change(change.control, change.value, change.command, session::ValueOrigin::File)) {
            editor_.tellNotSent(QStringLiteral("The preset's values"));
            return false;
        }
    }
    return true;
}

void TformMain::refusePreset(const QString& path, const QString& why) {
    editor_.printToConsole(why);
    editor_.dialogs().message(QStringLiteral("Error loading file: ") + path + QStringLiteral("\n") + why,
                              session::MessageKind::Error);
}

void TformMain::offerPresetAlgorithm(const core::PresetFile& preset, const core::PresetLoadPlan& plan, const QString& path) {
    const QString name = QString::fromStdString(plan.effect.name);
    if (!editor_.dialogs().confirm(QString::fromStdString(*plan.otherAlgorithm) +
                                   QStringLiteral("\r\nUpload %1 to the pedal and then apply the preset?").arg(name))) {
        editor_.printToConsole(QStringLiteral("preset not loaded: ") + path);
        return;
    }
    const auto target = chosenUploadTarget();
    if (!target) return;
    bool applied = false;
    {
        const auto talk = editor_.line().begin(session::ConversationKind::Upload);
        if (!talk) return;
        BusyWindow busy(*this, QStringLiteral("uploading ") + name, editor_.line());
        session::PedalLine line = editor_.pedalLine();
        // The catalogue's own image, for an impulse-response algorithm too: a response merged
        // for it belongs to another sound than this preset.
        const auto uploaded = session::uploadAndConfirm(line, plan.effect.imageText, *target, name);
        if (!uploaded) {
            refusePreset(path, QString::fromStdString(uploaded.reason()));
        } else {
            editor_.pedal().uploadTaken({preset.effectNumber, std::nullopt, name}, QString());
            // The pedal holds the algorithm's starting values: every value of the preset is
            // sent, not only those that differ from what the panel shows.
            applied = applyPresetValues(preset, plan.layout, plan.effect.header);
        }
    }
    // Whatever came of it, the pedal may hold another algorithm now: the panel is built again
    // for what it holds, so no live edit goes to the old algorithm's addresses.
    if (editor_.state.linked) query_stored_effect();
    if (!applied) return;
    if (btnRequest->isEnabled()) btnRequestClick();
    editor_.dialogs().message(QStringLiteral("File loaded successfully: ") + path);
}

}  // namespace qeltx::app
