// The parameter block the pedal answers Request (02 N) with: 4N + 41 bytes holding every
// parameter value, the assignments, the reverse flags, the mode, bank or preset number and the
// MIDI channel. Its layout, its parsing, and the rules by which its values set the panel.
#pragma once

#include "core/refusable.h"
#include "core/replies.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qeltx::core {

// Byte offsets within the block of an algorithm with N parameters.
struct ParameterBlockLayout {
    std::size_t numControls;

    std::size_t valueOffset(std::size_t control) const { return 4 * control; }   // 4 bytes each
    std::size_t assignmentOffset() const { return 4 * numControls; }              // 16 bytes
    std::size_t bypassOffset() const { return 4 * numControls + 16; }
    std::size_t presetOffset() const { return 4 * numControls + 17; }
    std::size_t readbackOffset() const { return 4 * numControls + 18; }           // 4 bytes
    std::size_t reverseOffset() const { return 4 * numControls + 22; }            // 16 bytes
    std::size_t modeOffset() const { return 4 * numControls + 38; }
    std::size_t bankOffset() const { return 4 * numControls + 39; }
    std::size_t midiOffset() const { return 4 * numControls + 40; }
    std::size_t size() const { return parameterBlockLength(numControls); }
};

struct ParameterBlock {
    // Per control: the signed 32-bit big-endian word ÷ 8192, truncated toward zero
    // (FF FF E0 00 → −1).
    std::vector<std::int32_t> values;
    std::vector<std::uint8_t> assignments;          // N codes (0..11, 255 = none; others kept as they are)
    std::uint8_t bypassAssignment = 0;              // 8, 9, 10, 255
    std::uint8_t presetAssignment = 0;              // 8, 9, 10, 255
    std::vector<std::uint8_t> readbackAssignments;  // R codes (0..3, 255 = none)
    std::vector<std::uint8_t> reverseFlags;         // N raw flags: see reverseFlagState
    std::uint8_t mode = 0;                          // see pedalModeFromBlock
    std::uint8_t bankOrPreset = 0;                  // bank 0..2 in bank mode, preset number in preset mode
    std::uint8_t midiChannel = 0;                   // see midiMenuItemFromBlock
};

// Reads the block of an algorithm with N parameters and R read-backs. Refused with a message
// when the block is shorter than 4N + 41 bytes (nothing is read beyond it, nothing applied),
// or when N is above 16 or R above 4. Bytes beyond 4N + 41 are not read.
Refusable<ParameterBlock> parseParameterBlock(std::span<const std::uint8_t> block, std::size_t numControls,
                                              std::size_t numReadbacks);

// ---- How the values set the panel -------------------------------------------------------

// A pot: the value kept within 0..1023 (the track bar's range).
int potPositionFromValue(std::int32_t value);
// A switch: 0 → off, above 0 → on, negative → unchanged (nullopt).
std::optional<bool> switchStateFromValue(std::int32_t value);
// A multi-switch with K options: k = value ÷ (1024 div K) truncated toward zero; k ≥ K or k < 0
// is reduced by one; the option selected, or nothing when k is still outside 0..K−1
// (K = 3: 1023 → 2, 681 → 1; K = 4: −1 → 0, −512 → nothing).
std::optional<int> multiSwitchOptionFromValue(std::int32_t value, int optionCount);

// A reverse flag: 1 → on, 255 → off, other → unchanged.
std::optional<bool> reverseFlagState(std::uint8_t flag);

enum class PedalMode { Preset = 0, Bank = 1 };
// 1 → bank mode, 0 → preset mode, other → no change.
std::optional<PedalMode> pedalModeFromBlock(std::uint8_t mode);
// In bank mode: 0, 1, 2 → "Bank I", "Bank II", "Bank III" (radio button index), other → none.
std::optional<int> bankIndexFromBlock(std::uint8_t bank);
// The MIDI menu entry to check: 0 or 255 → 0 ("OMNI"), 1..16 → that entry, other → none.
std::optional<int> midiMenuItemFromBlock(std::uint8_t channel);

}  // namespace qeltx::core
