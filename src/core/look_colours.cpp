// Colour rules of the looks' style sheets and the contrast of their text.
#include "core/look_colours.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace qeltx::core {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string withoutComments(std::string_view sheet) {
    std::string out;
    out.reserve(sheet.size());
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        if (sheet.compare(i, 2, "/*") == 0) {
            const std::size_t end = sheet.find("*/", i + 2);
            if (end == std::string_view::npos) break;
            i = end + 1;
            continue;
        }
        out += sheet[i];
    }
    return out;
}

// sRGB channel to linear light.
double linear(std::uint8_t channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(Rgb c) { return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b); }

// Every colour a background value paints with: one for a plain colour, each "#..." stop of a
// gradient; none for "transparent" or "none".
std::vector<Rgb> paintedColours(std::string_view value) {
    if (const auto plain = parseColour(value)) return {*plain};
    std::vector<Rgb> out;
    if (value.find("gradient") == std::string_view::npos) return out;
    for (std::size_t at = value.find('#'); at != std::string_view::npos; at = value.find('#', at + 1)) {
        std::size_t end = at + 1;
        while (end < value.size() && hexDigit(value[end]) >= 0) ++end;
        if (const auto stop = parseColour(value.substr(at, end - at))) out.push_back(*stop);
    }
    return out;
}

// The value the sheet gives `property` for exactly `selector`: the last one written.
std::optional<std::string> valueOf(const std::vector<StyleRule>& rules, const std::string& selector,
                                   std::initializer_list<std::string_view> properties) {
    std::optional<std::string> found;
    for (const StyleRule& rule : rules) {
        if (rule.selector != selector) continue;
        for (const auto& [name, value] : rule.properties) {
            if (std::find(properties.begin(), properties.end(), name) != properties.end()) found = value;
        }
    }
    return found;
}

// What a selector falls back on when it sets no background: without its last state, then
// without its part, then without its name, then QWidget; empty after QWidget.
std::string fallback(std::string selector) {
    if (const std::size_t space = selector.rfind(' '); space != std::string::npos) return selector.substr(space + 1);
    const std::size_t part = selector.find("::");
    const std::size_t state = selector.rfind(':');
    if (state != std::string::npos && (part == std::string::npos || state > part + 1)) return selector.substr(0, state);
    if (part != std::string::npos) return selector.substr(0, part);
    if (const std::size_t name = selector.find('#'); name != std::string::npos && name > 0) return selector.substr(0, name);
    if (selector != "QWidget") return "QWidget";
    return {};
}

std::vector<Rgb> backgroundOf(const std::vector<StyleRule>& rules, std::string selector,
                              std::initializer_list<std::string_view> properties) {
    for (; !selector.empty(); selector = fallback(selector)) {
        if (const auto value = valueOf(rules, selector, properties)) {
            const std::vector<Rgb> colours = paintedColours(*value);
            if (!colours.empty()) return colours;
        }
    }
    return {};
}

}  // namespace

std::optional<Rgb> parseColour(std::string_view text) {
    const std::string value = lower(trim(text));
    if (value == "white") return Rgb{255, 255, 255};
    if (value == "black") return Rgb{0, 0, 0};
    if (value.size() != 4 && value.size() != 7) return std::nullopt;
    if (value[0] != '#') return std::nullopt;
    for (std::size_t i = 1; i < value.size(); ++i) {
        if (hexDigit(value[i]) < 0) return std::nullopt;
    }
    auto channel = [&](std::size_t i) {
        if (value.size() == 4) return static_cast<std::uint8_t>(hexDigit(value[i]) * 17);
        return static_cast<std::uint8_t>(hexDigit(value[2 * i - 1]) * 16 + hexDigit(value[2 * i]));
    };
    return Rgb{channel(1), channel(2), channel(3)};
}

double contrastRatio(Rgb a, Rgb b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::vector<StyleRule> readStyleRules(std::string_view sheet) {
    const std::string text = withoutComments(sheet);
    std::vector<StyleRule> rules;
    std::size_t at = 0;
    while (true) {
        const std::size_t open = text.find('{', at);
        if (open == std::string::npos) break;
        const std::size_t close = text.find('}', open);
        if (close == std::string::npos) break;
        std::vector<std::pair<std::string, std::string>> properties;
        const std::string_view body(text.data() + open + 1, close - open - 1);
        std::size_t start = 0;
        while (start < body.size()) {
            std::size_t end = body.find(';', start);
            if (end == std::string_view::npos) end = body.size();
            const std::string_view declaration = body.substr(start, end - start);
            if (const std::size_t colon = declaration.find(':'); colon != std::string_view::npos) {
                const std::string_view name = trim(declaration.substr(0, colon));
                if (!name.empty()) {
                    properties.emplace_back(lower(name), std::string(trim(declaration.substr(colon + 1))));
                }
            }
            start = end + 1;
        }
        const std::string_view selectors(text.data() + at, open - at);
        std::size_t from = 0;
        while (from <= selectors.size()) {
            std::size_t comma = selectors.find(',', from);
            if (comma == std::string_view::npos) comma = selectors.size();
            // Inner runs of white space (a selector broken over lines) become one space.
            std::string selector;
            for (char c : trim(selectors.substr(from, comma - from))) {
                const bool space = std::isspace(static_cast<unsigned char>(c)) != 0;
                if (space && !selector.empty() && selector.back() == ' ') continue;
                selector += space ? ' ' : c;
            }
            if (!selector.empty()) rules.push_back({selector, properties});
            from = comma + 1;
        }
        at = close + 1;
    }
    return rules;
}

std::string lookName(std::string_view sheet) {
    const std::string_view opening = trim(sheet);
    if (opening.substr(0, 2) != "/*") return {};
    const std::size_t end = opening.find("*/");
    const std::string_view comment = opening.substr(2, end == std::string_view::npos ? std::string_view::npos : end - 2);
    const std::size_t colon = comment.find(':');
    if (colon == std::string_view::npos) return {};
    std::string_view name = comment.substr(colon + 1);
    if (const std::size_t dash = name.find(" - "); dash != std::string_view::npos) name = name.substr(0, dash);
    return std::string(trim(name));
}

std::vector<ColourPair> textColourPairs(std::string_view sheet) {
    const std::vector<StyleRule> rules = readStyleRules(sheet);
    // Each selector once, with the colours it ends up with (a later rule overrides an earlier).
    std::vector<std::string> selectors;
    for (const StyleRule& rule : rules) {
        if (std::find(selectors.begin(), selectors.end(), rule.selector) == selectors.end()) {
            selectors.push_back(rule.selector);
        }
    }
    std::vector<ColourPair> pairs;
    for (const std::string& selector : selectors) {
        const double required = selector.find(":disabled") != std::string::npos ? kGreyedContrast : kTextContrast;
        auto add = [&](const char* name, std::initializer_list<std::string_view> drawnOn) {
            const auto value = valueOf(rules, selector, {name});
            const std::optional<Rgb> text = value ? parseColour(*value) : std::nullopt;
            if (!text) return;
            for (const Rgb& background : backgroundOf(rules, selector, drawnOn)) {
                pairs.push_back({selector, name, *text, background, required});
            }
        };
        add("color", {"background-color", "background"});
        add("selection-color", {"selection-background-color"});
    }
    return pairs;
}

}  // namespace qeltx::core
