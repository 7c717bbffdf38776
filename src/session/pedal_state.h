// What the pedal holds, as the editor and qeltx-cli know it: its algorithm, the parameter values
// with where each came from, the assignments and reverse flags, the mode, the bank, the MIDI
// channel and the impulse response it confirmed. Windows draw from it; nothing here knows a widget.
//
// Two ways in. From the pedal (a read-back, the pedal's reports, the query): the state changes
// and says so, and nothing is sent. From the player (a control moved, a preset applied): the
// command goes out through the one send path, and the state keeps the new value only when the
// command's bytes went out whole. A view that draws the state therefore never sends it back.
#pragma once

#include "core/commands.h"
#include "core/parameter_block.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qeltx::session {

// The algorithm the pedal holds. An empty name: none (or none the editor knows of).
struct HeldAlgorithm {
    std::uint32_t number = 0;
    // The pedal says its algorithm's version only when asked (the query); after an upload or
    // its own algorithm report it is not known until the next query.
    std::optional<std::uint32_t> version;
    QString name;
    bool known() const { return !name.isEmpty(); }
    bool operator==(const HeldAlgorithm&) const = default;
};

// Where a parameter value came from.
enum class ValueOrigin {
    Pedal,  // read back from the pedal, or reported by its own knob or button
    Here,   // changed on the panel and sent
    File,   // applied from a preset file and sent
};

// An impulse-response algorithm's image with the response merged in, and its algorithm.
struct ImpulseResponseImage {
    QString effectName;
    QString image;
    bool empty() const { return image.isEmpty(); }
    bool operator==(const ImpulseResponseImage&) const = default;
};

inline constexpr std::size_t kHeldControls = 16;
inline constexpr std::size_t kHeldReadbacks = 4;
inline constexpr std::uint8_t kNoCode = 255;

class PedalState : public QObject {
    Q_OBJECT
public:
    // How a command reaches the pedal: true when its bytes went out whole.
    using Sender = std::function<bool(const core::PedalCommand&)>;
    explicit PedalState(Sender send = {});
    void setSender(Sender send) { send_ = std::move(send); }

    // ---- The algorithm. ----
    const HeldAlgorithm& algorithm() const { return algorithm_; }
    // The one setter of the held algorithm (query, the pedal's report, "Upload complete", a
    // restore, a preset's upload). Values of another algorithm are forgotten with it.
    void setHeldAlgorithm(const HeldAlgorithm& algorithm);
    std::uint32_t firmwareVersion() const { return firmwareVersion_; }
    void setFirmwareVersion(std::uint32_t version) { firmwareVersion_ = version; }

    // ---- The parameter values of `valuesEffect()` (empty: none known). ----
    const QString& valuesEffect() const { return valuesEffect_; }
    const std::vector<std::int32_t>& values() const { return values_; }
    // True when values are known for the algorithm named.
    bool hasValuesFor(const QString& effect) const { return !effect.isEmpty() && valuesEffect_ == effect; }
    std::optional<ValueOrigin> origin(std::size_t i) const;
    // Whether any value was changed by the player since the pedal's values were last read.
    bool changedSinceReadBack() const;

    // ---- The pedal's stored sound: the values last read from it or stored on it. ----
    // Empty when none is known for `valuesEffect()`.
    const std::vector<std::int32_t>& storedValues() const { return storedValues_; }
    // The parameters whose value differs from the stored sound, in order (none when no stored
    // sound is known).
    std::vector<std::size_t> differencesFromStored() const;

    // ---- From the pedal: the state follows, nothing is sent. ----
    // A read-back of `effect`'s parameter block: values, assignments, reverse flags, mode,
    // bank and MIDI channel.
    void takeReadBack(const QString& effect, const core::ParameterBlock& block, std::size_t numControls,
                      std::size_t numReadbacks);
    // The pedal's own control moved parameter i to `value`.
    void takePedalReport(std::size_t i, std::int32_t value);
    // What the editor knew of the pedal's settings no longer holds (erased, another algorithm).
    void forgetValues();

    // ---- From the player: sent, and kept only when it went out whole. ----
    // Parameter i to `value` with `command`; false (nothing kept) when the send failed.
    bool change(std::size_t i, std::int32_t value, const core::PedalCommand& command,
                ValueOrigin origin = ValueOrigin::Here);
    // A command that sets no kept value (a button press, bypass).
    bool send(const core::PedalCommand& command);
    // Store Settings with `command`: when it went out whole, the values held become the
    // pedal's stored sound.
    bool storeValues(const core::PedalCommand& command);
    // Reverse flag of control i, with its command.
    bool changeReverse(std::size_t i, bool on, const core::PedalCommand& command);

    // ---- Assignments: chosen on the panel, sent together by Assign. ----
    const std::array<std::uint8_t, kHeldControls>& assignments() const { return assignments_; }
    const std::array<std::uint8_t, kHeldReadbacks>& readbackAssignments() const { return readbackAssignments_; }
    std::uint8_t bypassAssignment() const { return bypassAssignment_; }
    std::uint8_t presetAssignment() const { return presetAssignment_; }
    void chooseAssignment(std::size_t i, std::uint8_t code);
    void chooseReadbackAssignment(std::size_t j, std::uint8_t code);
    void chooseBypassAssignment(std::uint8_t code);
    void choosePresetAssignment(std::uint8_t code);
    // Reverse flags as 1 (on), 255 (off) or another code the pedal sent.
    const std::array<std::uint8_t, kHeldControls>& reverseFlags() const { return reverseFlags_; }

    // ---- Mode, bank, MIDI channel, as last read back. ----
    std::optional<std::uint8_t> modeCode() const { return mode_; }
    std::optional<std::uint8_t> bankOrPreset() const { return bankOrPreset_; }
    std::optional<std::uint8_t> midiChannel() const { return midiChannel_; }

    // ---- The impulse response. ----
    // What Load IR merged (to look at and to upload) is the IR loader's, not the pedal's: only
    // an upload the pedal confirmed makes it the pedal's.
    // The one the pedal confirmed with "Upload complete"; empty when the editor does not know
    // one (the pedal cannot say which response it runs).
    const ImpulseResponseImage& confirmedIr() const { return confirmedIr_; }
    // An upload of `effect` went out (with `irImage` when it carried a merged response).
    void uploadSent(const HeldAlgorithm& effect, const QString& irImage);
    // The algorithm of the upload in flight, until the pedal confirms it.
    const std::optional<HeldAlgorithm>& uploadInFlight() const { return uploadInFlight_; }
    // The pedal said "Upload complete": the uploaded algorithm (and response) is held. Returns
    // it, or nothing when no upload was in flight.
    std::optional<HeldAlgorithm> uploadConfirmed();
    // A conversation that awaited "Upload complete" itself (a restore, a preset's algorithm):
    // the pedal holds `effect`, with `irImage` merged in (empty: the catalogue's own response).
    void uploadTaken(const HeldAlgorithm& effect, const QString& irImage);

Q_SIGNALS:
    void algorithmChanged();
    // Every value at once (a read-back, values forgotten).
    void valuesReplaced();
    void valueChanged(int index);
    // Assignments, reverse flags, mode, bank or MIDI channel read back.
    void settingsReplaced();
    // The stored sound was read back, stored or forgotten.
    void storedValuesReplaced();
    // The player's reverse flag of control `index` went out.
    void reverseFlagChanged(int index);
    // An assignment, read-back, bypass or preset-change choice was made (not yet sent).
    void assignmentsChosen();

private:
    Sender send_;
    HeldAlgorithm algorithm_;
    std::uint32_t firmwareVersion_ = 0;
    QString valuesEffect_;
    std::vector<std::int32_t> values_;
    std::vector<ValueOrigin> origins_;
    std::vector<std::int32_t> storedValues_;
    std::array<std::uint8_t, kHeldControls> assignments_{};
    std::array<std::uint8_t, kHeldReadbacks> readbackAssignments_{};
    std::uint8_t bypassAssignment_ = kNoCode;
    std::uint8_t presetAssignment_ = kNoCode;
    std::array<std::uint8_t, kHeldControls> reverseFlags_{};
    std::optional<std::uint8_t> mode_;
    std::optional<std::uint8_t> bankOrPreset_;
    std::optional<std::uint8_t> midiChannel_;
    ImpulseResponseImage confirmedIr_;
    std::optional<HeldAlgorithm> uploadInFlight_;
    ImpulseResponseImage irInFlight_;
};

}  // namespace qeltx::session
