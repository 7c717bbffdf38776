// What the pedal holds: its two ways in, from the pedal and from the player.
#include "session/pedal_state.h"

#include <algorithm>

namespace qeltx::session {

PedalState::PedalState(Sender send) : send_(std::move(send)) {
    assignments_.fill(kNoCode);
    readbackAssignments_.fill(kNoCode);
    reverseFlags_.fill(kNoCode);
}

void PedalState::setHeldAlgorithm(const HeldAlgorithm& algorithm) {
    if (algorithm == algorithm_) return;
    const bool sameAlgorithm = algorithm.known() && algorithm.name == algorithm_.name;
    algorithm_ = algorithm;
    // The values of another algorithm (or of an erased pedal) say nothing of this one. The same
    // algorithm with its version now known keeps them.
    if (!sameAlgorithm && valuesEffect_ != algorithm_.name) forgetValues();
    Q_EMIT algorithmChanged();
}

std::optional<ValueOrigin> PedalState::origin(std::size_t i) const {
    if (i >= origins_.size()) return std::nullopt;
    return origins_[i];
}

bool PedalState::changedSinceReadBack() const {
    return std::any_of(origins_.begin(), origins_.end(), [](ValueOrigin o) { return o != ValueOrigin::Pedal; });
}

std::vector<std::size_t> PedalState::differencesFromStored() const {
    std::vector<std::size_t> differing;
    if (storedValues_.size() != values_.size()) return differing;
    for (std::size_t i = 0; i < values_.size(); ++i) {
        if (values_[i] != storedValues_[i]) differing.push_back(i);
    }
    return differing;
}

void PedalState::takeReadBack(const QString& effect, const core::ParameterBlock& block, std::size_t numControls,
                              std::size_t numReadbacks) {
    valuesEffect_ = effect;
    values_.assign(block.values.begin(), block.values.begin() + static_cast<std::ptrdiff_t>(
                                                                    std::min(numControls, block.values.size())));
    origins_.assign(values_.size(), ValueOrigin::Pedal);
    storedValues_ = values_;
    assignments_.fill(kNoCode);
    for (std::size_t i = 0; i < numControls && i < block.assignments.size() && i < kHeldControls; ++i) {
        assignments_[i] = block.assignments[i];
    }
    readbackAssignments_.fill(kNoCode);
    for (std::size_t j = 0; j < numReadbacks && j < block.readbackAssignments.size() && j < kHeldReadbacks; ++j) {
        readbackAssignments_[j] = block.readbackAssignments[j];
    }
    bypassAssignment_ = block.bypassAssignment;
    presetAssignment_ = block.presetAssignment;
    // A flag the pedal sends as neither on nor off leaves what was known.
    for (std::size_t i = 0; i < numControls && i < block.reverseFlags.size() && i < kHeldControls; ++i) {
        const std::uint8_t flag = block.reverseFlags[i];
        if (flag == 1 || flag == kNoCode) reverseFlags_[i] = flag;
    }
    mode_ = block.mode;
    bankOrPreset_ = block.bankOrPreset;
    midiChannel_ = block.midiChannel;
    Q_EMIT valuesReplaced();
    Q_EMIT settingsReplaced();
    Q_EMIT storedValuesReplaced();
}

void PedalState::takePedalReport(std::size_t i, std::int32_t value) {
    if (i >= values_.size()) return;
    values_[i] = value;
    origins_[i] = ValueOrigin::Pedal;
    Q_EMIT valueChanged(static_cast<int>(i));
}

void PedalState::forgetValues() {
    valuesEffect_.clear();
    values_.clear();
    origins_.clear();
    storedValues_.clear();
    assignments_.fill(kNoCode);
    readbackAssignments_.fill(kNoCode);
    reverseFlags_.fill(kNoCode);
    Q_EMIT valuesReplaced();
    Q_EMIT storedValuesReplaced();
}

bool PedalState::send(const core::PedalCommand& command) { return send_ && send_(command); }

bool PedalState::storeValues(const core::PedalCommand& command) {
    if (!send(command)) return false;
    storedValues_ = values_;
    Q_EMIT storedValuesReplaced();
    return true;
}

bool PedalState::change(std::size_t i, std::int32_t value, const core::PedalCommand& command, ValueOrigin origin) {
    if (!send(command)) return false;
    if (i < values_.size()) {
        values_[i] = value;
        origins_[i] = origin;
    }
    Q_EMIT valueChanged(static_cast<int>(i));
    return true;
}

bool PedalState::changeReverse(std::size_t i, bool on, const core::PedalCommand& command) {
    if (!send(command)) return false;
    if (i < kHeldControls) reverseFlags_[i] = on ? 1 : kNoCode;
    Q_EMIT reverseFlagChanged(static_cast<int>(i));
    return true;
}

void PedalState::chooseAssignment(std::size_t i, std::uint8_t code) {
    if (i >= kHeldControls) return;
    assignments_[i] = code;
    Q_EMIT assignmentsChosen();
}

void PedalState::chooseReadbackAssignment(std::size_t j, std::uint8_t code) {
    if (j >= kHeldReadbacks) return;
    readbackAssignments_[j] = code;
    Q_EMIT assignmentsChosen();
}

void PedalState::chooseBypassAssignment(std::uint8_t code) {
    bypassAssignment_ = code;
    Q_EMIT assignmentsChosen();
}

void PedalState::choosePresetAssignment(std::uint8_t code) {
    presetAssignment_ = code;
    Q_EMIT assignmentsChosen();
}

void PedalState::uploadSent(const HeldAlgorithm& effect, const QString& irImage) {
    uploadInFlight_ = effect;
    irInFlight_ = irImage.isEmpty() ? ImpulseResponseImage{} : ImpulseResponseImage{effect.name, irImage};
}

std::optional<HeldAlgorithm> PedalState::uploadConfirmed() {
    if (!uploadInFlight_) return std::nullopt;
    const HeldAlgorithm uploaded = *uploadInFlight_;
    const QString image = irInFlight_.image;
    uploadInFlight_.reset();
    irInFlight_ = {};
    uploadTaken(uploaded, image);
    return uploaded;
}

void PedalState::uploadTaken(const HeldAlgorithm& effect, const QString& irImage) {
    // The response the pedal now runs: the one merged into this upload, or none known (the
    // catalogue's own, or an algorithm without one).
    confirmedIr_ = irImage.isEmpty() ? ImpulseResponseImage{} : ImpulseResponseImage{effect.name, irImage};
    // A new upload starts the algorithm from its own starting values, whatever it held before.
    forgetValues();
    setHeldAlgorithm(effect);
}

}  // namespace qeltx::session
