// Before an action that would drop values not stored on the pedal (closing, Unlink, another
// algorithm, a preset, a restore, Erase Settings, Upgrade Mode): the one question that lets
// the player store them, save them in a preset file, let them go, or stay where they are.
#include "app/editor.h"
#include "app/main_window.h"
#include "app/stored_compare.h"

namespace qeltx::app {

namespace {
const QString kStore = QStringLiteral("Store on pedal");
const QString kSave = QStringLiteral("Save preset…");
const QString kDiscard = QStringLiteral("Discard");
const QString kCancel = QStringLiteral("Cancel");
}  // namespace

bool TformMain::settleUnstoredChanges(const QString& action, bool storeUseful) {
    // While comparing, the pedal plays the stored sound and the edits wait in the comparison:
    // they go back first, so the question counts them.
    editor_.compare().finish();
    const session::PedalState& pedal = editor_.pedal();
    const std::size_t changed = pedal.differencesFromStored().size();
    // Unlinked, nothing can be stored, and the question would come again at every step after
    // Unlink: the edits were asked about when the link ended.
    if (changed == 0 || !editor_.state.linked) return true;
    const QString text =
        QStringLiteral("%1 of %2 %3 not stored on the pedal.\r\nStore the sound on the pedal, save it in a preset "
                       "file, or discard the changes before %4?")
            .arg(changed == 1 ? QStringLiteral("One parameter") : QStringLiteral("%1 parameters").arg(changed),
                 pedal.valuesEffect(), changed == 1 ? QStringLiteral("is") : QStringLiteral("are"), action);
    QStringList answers;
    if (storeUseful) answers << kStore;
    answers << kSave << kDiscard << kCancel;
    const int chosen = editor_.dialogs().choose(text, answers, static_cast<int>(answers.size()) - 1);
    const QString answer = chosen >= 0 && chosen < answers.size() ? answers[chosen] : kCancel;
    editor_.printToConsole(QStringLiteral("changes not stored, before ") + action + QStringLiteral(": ") + answer);
    if (answer == kStore) {
        // What the pedal holds is the algorithm of the stored values, whatever the panel previews.
        return storeSettingsOnPedal(pedal.values().size());
    }
    if (answer == kSave) return savePreset();
    return answer == kDiscard;
}

}  // namespace qeltx::app
