// Editor version numbers ("1.0.0.0") as the maker's web server and the program file give them,
// and which of two is newer.
#pragma once

#include "core/refusable.h"

#include <compare>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qeltx::core {

// Dotted decimal numbers, most significant first.
struct Version {
    std::vector<std::uint32_t> numbers;
};

// Numbers are compared one by one from the left; a missing number counts as 0, so 1.1 equals
// 1.1.0.0 and is newer than 1.0.0.0, and 1.0.10.0 is older than 1.1.0.0.
std::strong_ordering operator<=>(const Version& a, const Version& b);
bool operator==(const Version& a, const Version& b);

// Reads "1.0.10.0". White space around the text (a server's trailing line break) is ignored;
// anything else that is not dot-separated decimal numbers is refused: an empty text or part,
// signs, letters, inner spaces, a number above 4294967295.
Refusable<Version> parseVersion(std::string_view text);

// Whether `offered` (the server's newest version) is newer than `own` (this editor's);
// refused, naming the text, when either does not read as a version.
Refusable<bool> isNewerVersion(std::string_view offered, std::string_view own);

}  // namespace qeltx::core
