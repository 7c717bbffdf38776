// Compare with the sound stored on the pedal, and back to the edits.
#include "app/stored_compare.h"

#include "app/editor.h"
#include "app/fx_parameters.h"
#include "session/pedal_state.h"

namespace qeltx::app {

StoredSoundCompare::StoredSoundCompare(Editor& editor) : editor_(editor) {
    session::PedalState& pedal = editor_.pedal();
    // The pedal's values read again, forgotten, or another algorithm: what the pedal holds
    // says what it plays now, and the edits kept for the way back belong to a sound it left.
    auto dropUnlessSending = [this] {
        if (!sending_) drop();
        Q_EMIT changed();
    };
    connect(&pedal, &session::PedalState::valuesReplaced, this, dropUnlessSending);
    connect(&pedal, &session::PedalState::algorithmChanged, this, dropUnlessSending);
    connect(&pedal, &session::PedalState::storedValuesReplaced, this, &StoredSoundCompare::changed);
    connect(&pedal, &session::PedalState::valueChanged, this, [this] {
        if (!sending_) Q_EMIT changed();
    });
}

bool StoredSoundCompare::available() const {
    if (comparing_) return true;
    const session::PedalState& pedal = editor_.pedal();
    const TformFXParameters* panel = editor_.formFXParameters();
    return editor_.state.linked && panel && panel->isBuilt() && editor_.state.panelShowsHeldAlgorithm &&
           pedal.algorithm().name == editor_.state.currentEffectName && pedal.hasValuesFor(editor_.state.currentEffectName) &&
           !pedal.differencesFromStored().empty();
}

void StoredSoundCompare::toggle() {
    if (comparing_) {
        finish();
    } else {
        start();
    }
}

void StoredSoundCompare::start() {
    if (!available()) return;
    const auto talk = editor_.line().begin(session::ConversationKind::LiveEdit);
    if (!talk) return;
    session::PedalState& pedal = editor_.pedal();
    const TformFXParameters& panel = *editor_.formFXParameters();
    const std::vector<std::int32_t> edits = pedal.values();
    const std::vector<std::int32_t> stored = pedal.storedValues();
    bool anySent = false;
    bool failed = false;
    sending_ = true;
    for (const std::size_t i : pedal.differencesFromStored()) {
        const auto command = panel.commandForValue(static_cast<int>(i), stored[i]);
        if (!command) continue;  // a button holds no value to compare
        if (!pedal.change(i, stored[i], *command)) {
            failed = true;
            break;
        }
        anySent = true;
    }
    sending_ = false;
    // Whatever went out is played now: the edits are kept for the way back.
    if (anySent) {
        edits_ = edits;
        comparing_ = true;
    }
    if (failed) editor_.tellNotSent(QStringLiteral("Compare"));
    Q_EMIT changed();
}

void StoredSoundCompare::finish() {
    if (!comparing_) {
        // Called when the link or the panel changes: whether Compare can start may have too.
        Q_EMIT changed();
        return;
    }
    session::PedalState& pedal = editor_.pedal();
    const TformFXParameters* panel = editor_.formFXParameters();
    const auto talk = editor_.line().begin(session::ConversationKind::LiveEdit);
    if (!talk || !editor_.state.linked || !panel || !panel->isBuilt() || edits_.size() != pedal.values().size()) {
        drop();
        return;
    }
    bool failed = false;
    sending_ = true;
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        if (edits_[i] == pedal.values()[i]) continue;
        const auto command = panel->commandForValue(static_cast<int>(i), edits_[i]);
        if (!command) continue;
        if (!pedal.change(i, edits_[i], *command)) {
            failed = true;
            break;
        }
    }
    sending_ = false;
    if (failed) {
        // Still comparing: the edits not yet back are kept, and Compare tries again.
        editor_.tellNotSent(QStringLiteral("Compare"));
    } else {
        comparing_ = false;
        edits_.clear();
    }
    Q_EMIT changed();
}

void StoredSoundCompare::drop() {
    if (!comparing_) return;
    comparing_ = false;
    edits_.clear();
    Q_EMIT changed();
}

}  // namespace qeltx::app
