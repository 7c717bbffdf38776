// The names of the catalogue's resources: the algorithm list, the seven category
// lists in the browser's order, and the naming rule that turns an algorithm's display name
// into the names of its image and its control layout. Lookup ignores letter case, so these
// mixed-case names find the upper-case names the catalogue stores.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qeltx::core {

inline constexpr std::string_view kEffectListResource = "EFFECT_LIST";
// The control layout of an algorithm is its base name followed by this suffix.
inline constexpr std::string_view kLayoutSuffix = "_ctrls";
// Line 0 of EFFECT_LIST: algorithm number 0 means no algorithm; it has no image and no layout.
inline constexpr std::string_view kNoEffectName = "empty";

// One category of the browser: its display name (`categoryNames`) and the
// resource that lists its algorithms.
struct Category {
    std::string_view displayName;
    std::string_view resourceName;
};

inline constexpr std::size_t categoryCount = 7;
inline constexpr std::size_t kImpulseResponseCategory = 5;
// In the order of the category list and of every search over categories.
inline constexpr std::array<Category, categoryCount> categories{{
    {"Gain", "gain"},
    {"Modulation", "modulation"},
    {"Synthesis", "synthesis"},
    {"Filter", "filter"},
    {"Dynamic", "dynamic"},
    {"Impulse Response", "impulse_response"},
    {"Other", "other"},
}};

// The index of a category by its display name, compared exactly.
std::optional<std::size_t> categoryIndex(std::string_view displayName);

// The naming rule: four replace-all passes, each matching letter case exactly, in this order:
// " " -> "_", "-" -> "_", "+" -> "plus", "X" -> "mult" ("Tape-Delay + Chorus" ->
// "Tape_Delay_plus_Chorus", "MaXi" -> "Mamulti", "Fuzz x Octave" -> "Fuzz_x_Octave").
std::string format_resource_name(std::string_view displayName);

// format_resource_name(displayName) + "_ctrls".
std::string layoutResourceName(std::string_view displayName);

}  // namespace qeltx::core
