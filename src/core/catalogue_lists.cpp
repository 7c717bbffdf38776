// EFFECT_LIST lookups and whole-algorithm fetches.
#include "core/catalogue_lists.h"

#include "core/hex.h"
#include "core/resource_names.h"
#include "core/text_lines.h"

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

}  // namespace qeltx::core
