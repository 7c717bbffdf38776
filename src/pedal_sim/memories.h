// The pedal's non-volatile memories: the two settings EEPROMs on its I2C bus and the
// microcontroller's flash (with its RAM and option bytes, as the bootloader sees them).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qeltx::pedal_sim {

inline constexpr std::uint8_t kErased = 0xFF;

// A block of memory at a bus address; reads and writes outside it are the caller's check.
class MemoryRegion {
public:
    MemoryRegion(std::uint32_t base, std::size_t size, std::uint8_t fill = kErased)
        : base_(base), bytes_(size, fill) {}

    std::uint32_t base() const { return base_; }
    std::size_t size() const { return bytes_.size(); }
    // True when [address, address + length) lies wholly inside the region (length >= 1).
    bool contains(std::uint32_t address, std::size_t length) const;
    bool isErased(std::uint32_t address, std::size_t length) const;

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::span<std::uint8_t> bytes() { return bytes_; }
    std::span<const std::uint8_t> view(std::uint32_t address, std::size_t length) const;
    void write(std::uint32_t address, std::span<const std::uint8_t> data);
    void fill(std::uint8_t value) { std::fill(bytes_.begin(), bytes_.end(), value); }

private:
    std::uint32_t base_;
    std::vector<std::uint8_t> bytes_;
};

// 24LC128-sized EEPROMs at bus addresses 0x50 and 0x51.
inline constexpr std::uint8_t kEepromSettingsAddress = 0x50;
inline constexpr std::uint8_t kEepromBanksAddress = 0x51;
inline constexpr std::size_t kEepromSize = 16384;

class Eeprom : public MemoryRegion {
public:
    Eeprom() : MemoryRegion(0, kEepromSize) {}
    void erase() { fill(kErased); }
};

// The microcontroller, a medium-density part (device ID 0x410): 128 KiB of flash in 1 KiB
// pages at 0x08000000, 20 KiB of RAM at 0x20000000 of which the bootloader keeps the first
// 512 bytes for itself, and 16 option bytes at 0x1FFFF800.
inline constexpr std::uint32_t kFlashBase = 0x08000000;
inline constexpr std::size_t kFlashSize = 128 * 1024;
inline constexpr std::size_t kFlashPageSize = 1024;
inline constexpr std::size_t kFlashPageCount = kFlashSize / kFlashPageSize;
inline constexpr std::uint32_t kRamBase = 0x20000000;
inline constexpr std::size_t kRamSize = 20 * 1024;
inline constexpr std::uint32_t kRamBootloaderReserve = 0x200;
inline constexpr std::uint32_t kOptionBytesBase = 0x1FFFF800;
inline constexpr std::size_t kOptionBytesSize = 16;

// Where the firmware keeps its version marker (eight bytes, big-endian).
inline constexpr std::uint32_t kFirmwareMarkerAddress = 0x0801FC00;
inline constexpr std::size_t kFirmwareMarkerSize = 8;

class Flash : public MemoryRegion {
public:
    Flash() : MemoryRegion(kFlashBase, kFlashSize) {}
    void erasePage(std::size_t page);
    void eraseAll() { fill(kErased); }
};

}  // namespace qeltx::pedal_sim
