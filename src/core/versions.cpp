// Reading and comparing editor version numbers.
#include "core/versions.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace qeltx::core {

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::strong_ordering operator<=>(const Version& a, const Version& b) {
    const std::size_t count = std::max(a.numbers.size(), b.numbers.size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t x = i < a.numbers.size() ? a.numbers[i] : 0;
        const std::uint32_t y = i < b.numbers.size() ? b.numbers[i] : 0;
        if (x != y) return x <=> y;
    }
    return std::strong_ordering::equal;
}

bool operator==(const Version& a, const Version& b) { return (a <=> b) == std::strong_ordering::equal; }

Refusable<Version> parseVersion(std::string_view text) {
    const std::string_view body = trimmed(text);
    const auto refuse = [&] {
        return Refusable<Version>::refused("\"" + std::string(text) + "\" is not a version number");
    };
    if (body.empty()) return refuse();
    Version version;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = std::min(body.find('.', start), body.size());
        const std::string_view part = body.substr(start, dot - start);
        // from_chars alone would take a leading part of "1x"; every character must be a digit.
        if (part.empty() || !std::all_of(part.begin(), part.end(), isDigit)) return refuse();
        std::uint32_t number = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), number);
        if (error != std::errc{} || end != part.data() + part.size()) return refuse();
        version.numbers.push_back(number);
        if (dot == body.size()) break;
        start = dot + 1;
    }
    return Refusable<Version>::accepted(std::move(version));
}

Refusable<bool> isNewerVersion(std::string_view offered, std::string_view own) {
    const auto offeredVersion = parseVersion(offered);
    if (!offeredVersion) return Refusable<bool>::refused("Newest version: " + offeredVersion.reason());
    const auto ownVersion = parseVersion(own);
    if (!ownVersion) return Refusable<bool>::refused("This editor's version: " + ownVersion.reason());
    return Refusable<bool>::accepted(*offeredVersion > *ownVersion);
}

}  // namespace qeltx::core
