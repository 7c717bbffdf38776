// Parsing the parameter block and the rules that turn its bytes into panel settings.
#include "core/parameter_block.h"

#include "core/commands.h"

#include <algorithm>
#include <string>

namespace qeltx::core {

namespace {

constexpr std::uint8_t kOmniAlternative = 255;
constexpr int kBankCount = 3;

std::int32_t signedWord(std::span<const std::uint8_t> bytes) {
    const std::uint32_t word = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                               (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
    return static_cast<std::int32_t>(word);
}

std::vector<std::uint8_t> slice(std::span<const std::uint8_t> block, std::size_t offset, std::size_t count) {
    return {block.begin() + static_cast<std::ptrdiff_t>(offset),
            block.begin() + static_cast<std::ptrdiff_t>(offset + count)};
}

}  // namespace

Refusable<ParameterBlock> parseParameterBlock(std::span<const std::uint8_t> block, std::size_t numControls,
                                              std::size_t numReadbacks) {
    using Result = Refusable<ParameterBlock>;
    if (numControls > static_cast<std::size_t>(kMaxControls) || numReadbacks > static_cast<std::size_t>(kMaxReadbacks)) {
        return Result::refused("parameter block refused: " + std::to_string(numControls) + " parameters and " +
                               std::to_string(numReadbacks) + " read-backs are beyond the pedal's 16 and 4");
    }
    const ParameterBlockLayout layout{numControls};
    if (block.size() < layout.size()) {
        return Result::refused("parameter block refused: " + std::to_string(block.size()) + " bytes received, " +
                               std::to_string(layout.size()) + " expected for " + std::to_string(numControls) +
                               " parameters");
    }
    ParameterBlock out;
    out.values.reserve(numControls);
    for (std::size_t i = 0; i < numControls; ++i) {
        out.values.push_back(signedWord(block.subspan(layout.valueOffset(i), 4)) /
                             static_cast<std::int32_t>(kValueWordScale));
    }
    out.assignments = slice(block, layout.assignmentOffset(), numControls);
    out.bypassAssignment = block[layout.bypassOffset()];
    out.presetAssignment = block[layout.presetOffset()];
    out.readbackAssignments = slice(block, layout.readbackOffset(), numReadbacks);
    out.reverseFlags = slice(block, layout.reverseOffset(), numControls);
    out.mode = block[layout.modeOffset()];
    out.bankOrPreset = block[layout.bankOffset()];
    out.midiChannel = block[layout.midiOffset()];
    return Result::accepted(std::move(out));
}

int potPositionFromValue(std::int32_t value) {
    return std::clamp(value, std::int32_t{0}, static_cast<std::int32_t>(kPotMax));
}

std::optional<bool> switchStateFromValue(std::int32_t value) {
    if (value < 0) return std::nullopt;
    return value > 0;
}

std::optional<int> multiSwitchOptionFromValue(std::int32_t value, int optionCount) {
    const auto step = multiSwitchStep(optionCount);
    if (!step) return std::nullopt;
    // Wide enough for the reduction: a step of 1 leaves k at INT32_MIN for the most negative value.
    std::int64_t k = value / static_cast<std::int32_t>(*step);
    if (k >= optionCount || k < 0) --k;
    if (k < 0 || k >= optionCount) return std::nullopt;
    return static_cast<int>(k);
}

std::optional<bool> reverseFlagState(std::uint8_t flag) {
    if (flag == kReverseFlagOn) return true;
    if (flag == kReverseFlagOff) return false;
    return std::nullopt;
}

std::optional<PedalMode> pedalModeFromBlock(std::uint8_t mode) {
    if (mode == static_cast<std::uint8_t>(PedalMode::Bank)) return PedalMode::Bank;
    if (mode == static_cast<std::uint8_t>(PedalMode::Preset)) return PedalMode::Preset;
    return std::nullopt;
}

std::optional<int> bankIndexFromBlock(std::uint8_t bank) {
    if (bank < kBankCount) return bank;
    return std::nullopt;
}

std::optional<int> midiMenuItemFromBlock(std::uint8_t channel) {
    if (channel == kOmniAlternative) return 0;
    if (channel <= kMaxMidiChannel) return channel;
    return std::nullopt;
}

}  // namespace qeltx::core
