// Reader of catalogue.txt.
#include "catalogue_tools/catalogue_source.h"

#include "core/hex.h"
#include "core/errors.h"
#include "core/text_lines.h"

#include <algorithm>
#include <charconv>

namespace qeltx::catalogue_tools {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The first word and the rest of a line, both trimmed.
std::pair<std::string_view, std::string_view> splitWord(std::string_view line) {
    line = trim(line);
    const auto space = line.find_first_of(" \t");
    if (space == std::string_view::npos) return {line, {}};
    return {line.substr(0, space), trim(line.substr(space))};
}

std::optional<std::size_t> decimal(std::string_view text) {
    std::size_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

SourceResult parseCatalogueSource(std::string_view text, std::string_view fileLabel) {
    SourceResult result;
    CatalogueSource source;
    EffectSource* current = nullptr;
    const auto lines = core::splitLines(text);
    auto fail = [&](std::size_t index, const std::string& message) {
        result.errors.push_back(std::string(fileLabel) + ":" + std::to_string(index + 1) + ": " + message);
    };

    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (!line.empty() && line.front() == '|') {
            if (!current) {
                fail(i, "layout line outside an effect block");
                continue;
            }
            std::string_view layoutLine = line.substr(1);
            if (!layoutLine.empty() && layoutLine.front() == ' ') layoutLine.remove_prefix(1);
            current->layoutLines.emplace_back(layoutLine);
            continue;
        }
        if (trim(line).empty() || trim(line).front() == '#') continue;
        const auto [key, value] = splitWord(line);
        if (key == "effect") {
            const auto [numberText, name] = splitWord(value);
            EffectSource effect;
            effect.sourceLine = static_cast<int>(i + 1);
            try {
                effect.number = core::hexTextToNumber(numberText);
            } catch (const core::ConversionError&) {
                fail(i, "effect number '" + std::string(numberText) + "' is not hexadecimal");
            }
            effect.name = std::string(name);
            if (effect.name.empty()) fail(i, "effect without a name");
            source.effects.push_back(std::move(effect));
            current = &source.effects.back();
            continue;
        }
        if (!current) {
            fail(i, "'" + std::string(key) + "' outside an effect block");
            continue;
        }
        if (key == "category") {
            current->category = value == "none" ? std::string() : std::string(value);
        } else if (key == "size") {
            const auto size = decimal(value);
            if (!size) fail(i, "size '" + std::string(value) + "' is not a decimal number");
            current->imageSize = size.value_or(0);
        } else if (key == "controls") {
            const auto controls = decimal(value);
            if (!controls || *controls > 16) fail(i, "controls must be a decimal number from 0 to 16");
            current->imageControls = static_cast<int>(controls.value_or(0));
        } else if (key == "ir-taps") {
            const auto [startText, tapsText] = splitWord(value);
            const auto start = decimal(startText);
            const auto taps = decimal(tapsText);
            if (!start || !taps) fail(i, "ir-taps needs the first image byte and the tap count, in decimal");
            current->tapBlock = TapBlock{start.value_or(0), taps.value_or(0)};
        } else if (key == "layout") {
            const auto [ends, rest] = splitWord(value);
            if (ends == "CRLF") {
                current->layoutCrLf = true;
            } else if (ends == "LF") {
                current->layoutCrLf = false;
            } else {
                fail(i, "layout line ends must be CRLF or LF");
            }
            if (rest == "no-final-break") {
                current->layoutFinalBreak = false;
            } else if (!rest.empty()) {
                fail(i, "unknown layout option '" + std::string(rest) + "'");
            }
        } else {
            fail(i, "unknown key '" + std::string(key) + "'");
        }
    }
    if (source.effects.empty()) result.errors.push_back(std::string(fileLabel) + ": no effects described");
    // The blocks may come in any order (grouped by category, say); the list is by number.
    std::stable_sort(source.effects.begin(), source.effects.end(),
                     [](const auto& a, const auto& b) { return a.number < b.number; });
    for (std::size_t n = 0; n < source.effects.size(); ++n) {
        const auto& e = source.effects[n];
        if (e.number != n) {
            result.errors.push_back(std::string(fileLabel) + ":" + std::to_string(e.sourceLine) + ": effect " +
                                    core::toHexDigits(e.number, 2) +
                                    (e.number < n ? " is described twice" : ": numbers must run from 00 without gaps; " +
                                                                                  core::toHexDigits(n, 2) + " is missing"));
            break;
        }
    }
    if (result.errors.empty()) result.source = std::move(source);
    return result;
}

}  // namespace qeltx::catalogue_tools
