// What the pedal keeps besides its algorithm: assignments, reverse flags, mode, bank and
// MIDI channel, and how Store lays them out in the settings EEPROM (0x50) next to the
// preset algorithm; the three bank algorithms fill the other EEPROM (0x51).
#pragma once

#include "pedal_sim/algorithm_image.h"
#include "pedal_sim/memories.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace qeltx::pedal_sim {

inline constexpr std::uint8_t kNoAssignment = 0xFF;
inline constexpr std::uint8_t kReverseOn = 0x01;
inline constexpr std::uint8_t kReverseOff = 0xFF;
inline constexpr std::uint8_t kModePreset = 0;
inline constexpr std::uint8_t kModeBank = 1;
inline constexpr std::size_t kBankCount = 3;

struct PedalSettings {
    std::array<std::uint8_t, kMaxControls> assignments;
    std::uint8_t bypassAssignment = kNoAssignment;
    std::uint8_t presetAssignment = kNoAssignment;
    std::array<std::uint8_t, kMaxReadbacks> readbackAssignments;
    std::array<std::uint8_t, kMaxControls> reverse;
    PedalSettings() {
        assignments.fill(kNoAssignment);
        readbackAssignments.fill(kNoAssignment);
        reverse.fill(kReverseOff);
    }
};

// The pedal-wide record: mode, bank (or preset) number, MIDI channel, algorithm versions.
struct PedalRecord {
    std::uint8_t mode = kModePreset;
    std::uint8_t bankOrPreset = 0;
    std::uint8_t midiChannel = 0;  // 0 = OMNI
    std::uint32_t presetVersion = 1;
    std::array<std::uint32_t, kBankCount> bankVersions{1, 1, 1};
};

// EEPROM layout (the firmware's own choice, kept by this model):
//   0x50: 0..9471 the preset-mode algorithm image; 9472.. the pedal record; 9600 + 128 s
//         the settings and control values of slot s (0 = preset mode, 1..3 = banks I..III).
//   0x51: bank b's algorithm image at b * 5440.
// An area that reads 0xFF throughout holds nothing.
inline constexpr std::size_t kPresetImageCapacity = 9472;
inline constexpr std::size_t kBankImageCapacity = 5440;
inline constexpr std::size_t kPedalRecordOffset = 9472;
inline constexpr std::size_t kSlotOffset = 9600;
inline constexpr std::size_t kSlotSize = 128;
inline constexpr std::size_t kSlotCount = 1 + kBankCount;

// The slot of a mode and bank: preset mode uses slot 0, bank b slot 1 + b.
std::size_t settingsSlot(std::uint8_t mode, std::uint8_t bank);

std::optional<PedalRecord> loadPedalRecord(const Eeprom& settings);
void storePedalRecord(Eeprom& settings, const PedalRecord& record);

struct StoredSlot {
    PedalSettings settings;
    std::array<std::uint32_t, kMaxControls> values{};  // value words of controls 0..15
};
std::optional<StoredSlot> loadSlot(const Eeprom& settings, std::size_t slot);
void storeSlot(Eeprom& settings, std::size_t slot, const StoredSlot& stored);

// The algorithm image kept for preset mode or for bank b; nothing when the area is erased
// or does not hold an image the pedal accepts.
std::optional<AlgorithmImage> loadPresetImage(const Eeprom& settings);
std::optional<AlgorithmImage> loadBankImage(const Eeprom& banks, std::size_t bank);
// False when the image does not fit its area.
bool storePresetImage(Eeprom& settings, std::span<const std::uint8_t> image);
bool storeBankImage(Eeprom& banks, std::size_t bank, std::span<const std::uint8_t> image);

}  // namespace qeltx::pedal_sim
