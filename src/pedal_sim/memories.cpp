// The pedal's memories.
#include "pedal_sim/memories.h"

#include <algorithm>

namespace qeltx::pedal_sim {

bool MemoryRegion::contains(std::uint32_t address, std::size_t length) const {
    if (length == 0 || address < base_) return false;
    const std::uint64_t offset = address - base_;
    return offset + length <= bytes_.size();
}

bool MemoryRegion::isErased(std::uint32_t address, std::size_t length) const {
    auto v = view(address, length);
    return std::all_of(v.begin(), v.end(), [](std::uint8_t b) { return b == kErased; });
}

std::span<const std::uint8_t> MemoryRegion::view(std::uint32_t address, std::size_t length) const {
    return std::span<const std::uint8_t>(bytes_).subspan(address - base_, length);
}

void MemoryRegion::write(std::uint32_t address, std::span<const std::uint8_t> data) {
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(address - base_));
}

void Flash::erasePage(std::size_t page) {
    auto b = bytes();
    std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(page * kFlashPageSize), kFlashPageSize, kErased);
}

}  // namespace qeltx::pedal_sim
