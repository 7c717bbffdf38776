// The one hexadecimal conversion of the editor: commands, images and logs travel as
// upper-case hex text, two digits per byte, most significant digit first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// "0A01" from {0x0A, 0x01}.
std::string toHex(std::span<const std::uint8_t> bytes);
// Two upper-case digits for one byte.
std::string byteToHex(std::uint8_t value);
// Eight upper-case digits, big-endian.
std::string word32ToHex(std::uint32_t value);
// Upper-case hex of any width (no padding beyond `minDigits`).
std::string toHexDigits(std::uint64_t value, int minDigits);

// The value of one hex digit (either case), or nothing.
std::optional<std::uint8_t> hexDigitValue(char c);

// Whole-text conversion: every character a hex digit and an even count, else nothing.
std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text);

// A hex number as text ("1F", "0x3A" is refused); throws ConversionError when it does not convert.
std::uint32_t hexTextToNumber(std::string_view text);
// A decimal number as text (optional leading '-'); throws ConversionError when it does not convert.
long long decimalTextToNumber(std::string_view text);
// A number the pedal writes: decimal digits only (no sign, no spaces), at most 2^32 - 1; else nothing.
std::optional<std::uint32_t> decimalDigitsToNumber(std::string_view text);

}  // namespace qeltx::core
