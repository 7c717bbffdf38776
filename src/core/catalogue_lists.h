// The algorithm list (EFFECT_LIST) and the category lists: finding an algorithm's name by its
// number and the other way round, and fetching everything the catalogue holds for one
// algorithm. Line n of EFFECT_LIST holds algorithm n as "number:name" (number in upper-case
// hex without leading zeros); line 0 is "0:empty".
#pragma once

#include "core/catalogue_resources.h"
#include "core/control_layout.h"
#include "core/effect_image.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

struct EffectListEntry {
    std::string numberText;  // before the first ":"; empty when the line has none
    std::string name;        // after the first ":"; the whole line when it has none
    bool hasColon = false;
};

EffectListEntry parseEffectListLine(std::string_view line);
// The number text as a number; throws ConversionError when it is not hex (the editor itself
// finds algorithms by line position and never needs it; the tools and the pedal do).
std::uint32_t effectListNumber(const EffectListEntry& entry);

// The name on line `number`, or nothing beyond the last line.
std::optional<std::string> effectNameByNumber(const std::vector<std::string>& effectListLines, std::uint32_t number);
// The line position of the first line whose name equals `name` exactly.
std::optional<std::uint32_t> effectNumberByName(const std::vector<std::string>& effectListLines, std::string_view name);

// Everything the catalogue holds for one algorithm.
struct CatalogueEffect {
    std::uint32_t number = 0;
    std::string name;       // display name
    std::string baseName;   // format_resource_name(name)
    std::string imageText;  // line 0 of the image resource
    std::vector<std::uint8_t> image;
    ImageHeader header;
    std::string layoutText;  // the whole "_ctrls" resource
};

struct CatalogueEffectResult {
    std::optional<CatalogueEffect> effect;
    std::string error;  // empty when found
};

// Algorithm `number` of the catalogue behind `lookup`: refused for 0 ("empty"), a number past
// the list, a missing image or layout, or an image that is not hex with a whole header.
CatalogueEffectResult loadCatalogueEffect(std::uint32_t number, const ResourceLookup& lookup);

// One algorithm of the catalogue as an index shows it.
struct CatalogueIndexEntry {
    std::uint32_t number = 0;
    std::string name;
    // The first category (in the browser's order) whose list offers it; none when no list does.
    std::optional<std::string> category;
    // As its layout's counts line declares them; none when the layout is missing or its counts
    // line is unreadable.
    std::optional<LayoutCounts> counts;
};

// Every algorithm of EFFECT_LIST (line 0, "empty", left out), in number order. Empty when the
// catalogue has no EFFECT_LIST.
std::vector<CatalogueIndexEntry> catalogueIndex(const ResourceLookup& lookup);

}  // namespace qeltx::core
