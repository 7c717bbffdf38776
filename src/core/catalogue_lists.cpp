// EFFECT_LIST lookups and whole-algorithm fetches.
#include "core/catalogue_lists.h"

#include "core/hex.h"
#include "core/resource_names.h"
#include "core/text_lines.h"

#include <algorithm>

namespace qeltx::core {

EffectListEntry parseEffectListLine(std::string_view line) {
    EffectListEntry entry;
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        entry.name = std::string(line);
        return entry;
    }
    entry.hasColon = true;
    entry.numberText = std::string(line.substr(0, colon));
    entry.name = std::string(line.substr(colon + 1));
    return entry;
}

std::uint32_t effectListNumber(const EffectListEntry& entry) { return hexTextToNumber(entry.numberText); }

std::optional<std::string> effectNameByNumber(const std::vector<std::string>& effectListLines, std::uint32_t number) {
    if (number >= effectListLines.size()) return std::nullopt;
    return parseEffectListLine(effectListLines[number]).name;
}

std::optional<std::uint32_t> effectNumberByName(const std::vector<std::string>& effectListLines, std::string_view name) {
    for (std::size_t n = 0; n < effectListLines.size(); ++n) {
        if (parseEffectListLine(effectListLines[n]).name == name) return static_cast<std::uint32_t>(n);
    }
    return std::nullopt;
}

CatalogueEffectResult loadCatalogueEffect(std::uint32_t number, const ResourceLookup& lookup) {
    CatalogueEffectResult result;
    auto refuse = [&](std::string text) {
        result.error = std::move(text);
        return result;
    };
    const auto list = lookup ? lookup(kEffectListResource) : std::nullopt;
    if (!list) return refuse("the catalogue has no " + std::string(kEffectListResource));
    const auto name = effectNameByNumber(splitLines(*list), number);
    if (!name) return refuse("algorithm " + std::to_string(number) + " is not in the catalogue");
    if (number == 0) return refuse("algorithm 0 means no algorithm");

    CatalogueEffect effect;
    effect.number = number;
    effect.name = *name;
    effect.baseName = format_resource_name(*name);
    const auto image = lookup(effect.baseName);
    if (!image) return refuse("the catalogue has no image " + effect.baseName);
    const auto imageLines = splitLines(*image);
    if (imageLines.empty()) return refuse("the image " + effect.baseName + " is empty");
    effect.imageText = imageLines.front();
    auto bytes = parseHex(effect.imageText);
    if (!bytes) return refuse("the image " + effect.baseName + " is not hex text of whole bytes");
    const auto header = parseImageHeader(*bytes);
    if (!header.header) return refuse("the image " + effect.baseName + ": " + header.error);
    effect.image = std::move(*bytes);
    effect.header = *header.header;
    const auto layout = lookup(layoutResourceName(*name));
    if (!layout) return refuse("the catalogue has no layout " + layoutResourceName(*name));
    effect.layoutText = *layout;
    result.effect = std::move(effect);
    return result;
}

std::vector<CatalogueIndexEntry> catalogueIndex(const ResourceLookup& lookup) {
    std::vector<CatalogueIndexEntry> index;
    const auto list = lookup ? lookup(kEffectListResource) : std::nullopt;
    if (!list) return index;
    std::vector<std::vector<std::string>> offered;
    for (const Category& category : categories) {
        const auto lines = lookup(format_resource_name(category.displayName));
        offered.push_back(lines ? splitLines(*lines) : std::vector<std::string>{});
    }
    const std::vector<std::string> lines = splitLines(*list);
    for (std::size_t n = 1; n < lines.size(); ++n) {
        CatalogueIndexEntry entry;
        entry.number = static_cast<std::uint32_t>(n);
        entry.name = parseEffectListLine(lines[n]).name;
        for (std::size_t c = 0; c < categories.size() && !entry.category; ++c) {
            if (std::find(offered[c].begin(), offered[c].end(), entry.name) != offered[c].end()) {
                entry.category = std::string(categories[c].displayName);
            }
        }
        if (const auto layout = lookup(layoutResourceName(entry.name))) {
            const auto layoutLines = splitLines(*layout);
            if (!layoutLines.empty()) entry.counts = parseLayoutCounts(layoutLines.front()).counts;
        }
        index.push_back(std::move(entry));
    }
    return index;
}

}  // namespace qeltx::core
