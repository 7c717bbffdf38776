// Hexadecimal and decimal text conversions shared by every module.
#include "core/hex.h"

#include "core/errors.h"

#include <charconv>
#include <limits>

namespace qeltx::core {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

std::string toHex(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.resize(bytes.size() * 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    return out;
}

std::string byteToHex(std::uint8_t value) {
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string word32ToHex(std::uint32_t value) { return toHexDigits(value, 8); }

std::string toHexDigits(std::uint64_t value, int minDigits) {
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 0x0F]);
        value >>= 4;
    } while (value != 0);
    while (static_cast<int>(out.size()) < minDigits) out.insert(out.begin(), '0');
    return out;
}

std::optional<std::uint8_t> hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> out(text.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        auto hi = hexDigitValue(text[2 * i]);
        auto lo = hexDigitValue(text[2 * i + 1]);
        if (!hi || !lo) return std::nullopt;
        out[i] = static_cast<std::uint8_t>((*hi << 4) | *lo);
    }
    return out;
}

std::uint32_t hexTextToNumber(std::string_view text) {
    if (text.empty() || text.size() > 8) {
        throw ConversionError("'" + std::string(text) + "' is not a valid hexadecimal value");
    }
    std::uint32_t value = 0;
    for (char c : text) {
        auto digit = hexDigitValue(c);
        if (!digit) throw ConversionError("'" + std::string(text) + "' is not a valid hexadecimal value");
        value = (value << 4) | *digit;
    }
    return value;
}

long long decimalTextToNumber(std::string_view text) {
    long long value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || ptr != last) {
        throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
    }
    return value;
}

std::optional<std::uint32_t> decimalDigitsToNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace qeltx::core
