// Algorithm images from the embedded catalogue.
#include "pedal_sim/catalogue_images.h"

#include "core/hex.h"
#include "resources/resource_store.h"

namespace qeltx::pedal_sim {

namespace {

constexpr std::string_view kAlgorithmList = "EFFECT_LIST";
constexpr std::size_t kHighestAlgorithm = 0xFF;

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) out.push_back(line);
    return out;
}

std::string nameOf(const std::string& entry) {
    const auto colon = entry.find(':');
    return colon == std::string::npos ? entry : entry.substr(colon + 1);
}

std::optional<std::vector<std::uint8_t>> imageNamed(const std::string& displayName);

std::optional<std::vector<std::uint8_t>> imageOf(std::uint8_t number) {
    const auto list = resources::catalogueResource(kAlgorithmList);
    if (!list) return std::nullopt;
    const auto entries = lines(*list);
    if (number == 0 || number >= entries.size()) return std::nullopt;
    return imageNamed(nameOf(entries[number]));
}

}  // namespace

std::string catalogueBaseName(std::string_view displayName) {
    std::string name(displayName);
    replaceAll(name, " ", "_");
    replaceAll(name, "-", "_");
    replaceAll(name, "+", "plus");
    replaceAll(name, "X", "mult");
    return name;
}

namespace {

std::optional<std::vector<std::uint8_t>> imageNamed(const std::string& displayName) {
    const auto text = resources::catalogueResource(catalogueBaseName(displayName));
    if (!text) return std::nullopt;
    const auto imageLines = lines(*text);
    if (imageLines.empty()) return std::nullopt;
    return core::parseHex(imageLines.front());
}

}  // namespace

ImageSource catalogueImageSource() { return imageOf; }

std::optional<std::uint8_t> firstCatalogueAlgorithm() {
    const auto list = resources::catalogueResource(kAlgorithmList);
    if (!list) return std::nullopt;
    const auto entries = lines(*list);
    for (std::size_t n = 1; n < entries.size() && n <= kHighestAlgorithm; ++n) {
        if (imageNamed(nameOf(entries[n]))) return static_cast<std::uint8_t>(n);
    }
    return std::nullopt;
}

}  // namespace qeltx::pedal_sim
