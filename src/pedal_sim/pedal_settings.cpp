// The settings EEPROM layout.
#include "pedal_sim/pedal_settings.h"

#include <algorithm>

namespace qeltx::pedal_sim {

namespace {

constexpr std::uint8_t kRecordMagic = 0x51;
constexpr std::size_t kSlotValues = 0;
constexpr std::size_t kSlotAssignments = 64;
constexpr std::size_t kSlotBypass = 80;
constexpr std::size_t kSlotPreset = 81;
constexpr std::size_t kSlotReadbacks = 82;
constexpr std::size_t kSlotReverse = 86;
constexpr std::size_t kSlotMagic = 102;

void put32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 24);
    b[at + 1] = static_cast<std::uint8_t>(v >> 16);
    b[at + 2] = static_cast<std::uint8_t>(v >> 8);
    b[at + 3] = static_cast<std::uint8_t>(v);
}

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}

std::optional<AlgorithmImage> imageAt(std::span<const std::uint8_t> area) {
    if (area.size() < kImageHeaderSize) return std::nullopt;
    const std::size_t length = imageLengthField(area);
    if (length > area.size()) return std::nullopt;
    return parseAlgorithmImage(area.first(length));
}

bool imageInto(Eeprom& eeprom, std::size_t offset, std::size_t capacity, std::span<const std::uint8_t> image) {
    if (image.size() > capacity) return false;
    auto area = eeprom.bytes().subspan(offset, capacity);
    std::fill(area.begin(), area.end(), kErased);
    std::copy(image.begin(), image.end(), area.begin());
    return true;
}

}  // namespace

std::size_t settingsSlot(std::uint8_t mode, std::uint8_t bank) {
    if (mode != kModeBank || bank >= kBankCount) return 0;
    return 1 + bank;
}

std::optional<PedalRecord> loadPedalRecord(const Eeprom& settings) {
    auto b = settings.bytes().subspan(kPedalRecordOffset);
    if (b[0] != kRecordMagic) return std::nullopt;
    PedalRecord record;
    record.mode = b[1];
    record.bankOrPreset = b[2];
    record.midiChannel = b[3];
    record.presetVersion = get32(b, 4);
    for (std::size_t i = 0; i < kBankCount; ++i) record.bankVersions[i] = get32(b, 8 + 4 * i);
    return record;
}

void storePedalRecord(Eeprom& settings, const PedalRecord& record) {
    auto b = settings.bytes().subspan(kPedalRecordOffset);
    b[0] = kRecordMagic;
    b[1] = record.mode;
    b[2] = record.bankOrPreset;
    b[3] = record.midiChannel;
    put32(b, 4, record.presetVersion);
    for (std::size_t i = 0; i < kBankCount; ++i) put32(b, 8 + 4 * i, record.bankVersions[i]);
}

std::optional<StoredSlot> loadSlot(const Eeprom& settings, std::size_t slot) {
    auto b = settings.bytes().subspan(kSlotOffset + slot * kSlotSize, kSlotSize);
    if (b[kSlotMagic] != kRecordMagic) return std::nullopt;
    StoredSlot s;
    for (std::size_t i = 0; i < kMaxControls; ++i) {
        s.values[i] = get32(b, kSlotValues + 4 * i);
        s.settings.assignments[i] = b[kSlotAssignments + i];
        s.settings.reverse[i] = b[kSlotReverse + i];
    }
    s.settings.bypassAssignment = b[kSlotBypass];
    s.settings.presetAssignment = b[kSlotPreset];
    for (std::size_t j = 0; j < kMaxReadbacks; ++j) s.settings.readbackAssignments[j] = b[kSlotReadbacks + j];
    return s;
}

void storeSlot(Eeprom& settings, std::size_t slot, const StoredSlot& s) {
    auto b = settings.bytes().subspan(kSlotOffset + slot * kSlotSize, kSlotSize);
    for (std::size_t i = 0; i < kMaxControls; ++i) {
        put32(b, kSlotValues + 4 * i, s.values[i]);
        b[kSlotAssignments + i] = s.settings.assignments[i];
        b[kSlotReverse + i] = s.settings.reverse[i];
    }
    b[kSlotBypass] = s.settings.bypassAssignment;
    b[kSlotPreset] = s.settings.presetAssignment;
    for (std::size_t j = 0; j < kMaxReadbacks; ++j) b[kSlotReadbacks + j] = s.settings.readbackAssignments[j];
    b[kSlotMagic] = kRecordMagic;
}

std::optional<AlgorithmImage> loadPresetImage(const Eeprom& settings) {
    return imageAt(settings.bytes().first(kPresetImageCapacity));
}

std::optional<AlgorithmImage> loadBankImage(const Eeprom& banks, std::size_t bank) {
    if (bank >= kBankCount) return std::nullopt;
    return imageAt(banks.bytes().subspan(bank * kBankImageCapacity, kBankImageCapacity));
}

bool storePresetImage(Eeprom& settings, std::span<const std::uint8_t> image) {
    return imageInto(settings, 0, kPresetImageCapacity, image);
}

bool storeBankImage(Eeprom& banks, std::size_t bank, std::span<const std::uint8_t> image) {
    if (bank >= kBankCount) return false;
    return imageInto(banks, bank * kBankImageCapacity, kBankImageCapacity, image);
}

}  // namespace qeltx::pedal_sim
