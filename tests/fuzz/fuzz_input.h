// Taking a fuzzer's bytes apart: a few leading bytes choose sizes and cut points, the rest is
// the input under test. Reading past the end gives zeros, so every input is usable.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qeltx::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    std::uint8_t byte() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
    std::uint16_t word() {
        const std::uint16_t high = byte();
        return static_cast<std::uint16_t>(high << 8 | byte());
    }
    // Up to `count` bytes (fewer at the end).
    std::span<const std::uint8_t> take(std::size_t count) {
        const std::size_t n = std::min(count, bytes_.size() - at_);
        const auto part = bytes_.subspan(at_, n);
        at_ += n;
        return part;
    }
    std::span<const std::uint8_t> rest() { return take(bytes_.size() - at_); }
    bool empty() const { return at_ >= bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

inline std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace qeltx::fuzz
