// Algorithm images from the embedded catalogue.
#include "pedal_sim/catalogue_images.h"

#include "core/hex.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "resources/resource_store.h"

#include <string>

namespace qeltx::pedal_sim {

namespace {

constexpr std::size_t kHighestAlgorithm = 0xFF;

std::vector<std::string> algorithmList() {
    const auto list = resources::catalogueResource(core::kEffectListResource);
    return list ? core::splitLines(*list) : std::vector<std::string>{};
}

std::optional<std::vector<std::uint8_t>> imageOfEntry(const std::string& entry) {
    const auto colon = entry.find(':');
    const std::string name = colon == std::string::npos ? entry : entry.substr(colon + 1);
    const auto text = resources::catalogueResource(core::format_resource_name(name));
    if (!text) return std::nullopt;
    const auto lines = core::splitLines(*text);
    if (lines.empty()) return std::nullopt;
    return core::parseHex(lines.front());
}

std::optional<std::vector<std::uint8_t>> imageOf(std::uint8_t number) {
    const auto entries = algorithmList();
    if (number == 0 || number >= entries.size()) return std::nullopt;
    return imageOfEntry(entries[number]);
}

}  // namespace

ImageSource catalogueImageSource() { return imageOf; }

std::optional<std::uint8_t> firstCatalogueAlgorithm() {
    const auto entries = algorithmList();
    for (std::size_t n = 1; n < entries.size() && n <= kHighestAlgorithm; ++n) {
        if (imageOfEntry(entries[n])) return static_cast<std::uint8_t>(n);
    }
    return std::nullopt;
}

}  // namespace qeltx::pedal_sim
