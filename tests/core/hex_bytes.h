// Byte examples written as the pedal's documents write them, spaced: "04 00 FF".
#pragma once

#include "core/hex.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core::test_support {

// "04 00 FF" → "0400FF".
inline std::string compactHex(std::string_view spaced) {
    std::string out;
    for (char c : spaced) {
        if (c != ' ') out += c;
    }
    return out;
}

// "04 00 FF" → {0x04, 0x00, 0xFF}.
inline std::vector<std::uint8_t> hexBytes(std::string_view spaced) { return *parseHex(compactHex(spaced)); }

}  // namespace qeltx::core::test_support
