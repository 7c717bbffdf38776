// Catalogue resources as the browser and the parameter window read them: the algorithm list,
// a category list, an image and a control layout, all taken from the input (parts separated
// by NUL bytes), through the same loading the editor uses for the embedded catalogue.
#include "core/catalogue_lists.h"
#include "core/catalogue_resources.h"
#include "core/control_layout.h"
#include "core/effect_browser.h"
#include "core/errors.h"
#include "core/text_lines.h"
#include "fuzz_input.h"

#include <array>
#include <cstdlib>

namespace {

using namespace qeltx::core;

bool endsWithLayoutSuffix(std::string_view name) {
    if (name.size() < kLayoutSuffix.size()) return false;
    const auto tail = name.substr(name.size() - kLayoutSuffix.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != kLayoutSuffix[i]) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qeltx::fuzz::FuzzInput input(data, size);
    const std::uint8_t number = input.byte();
    const int pedalMode = input.byte() & 1;
    // effect list, category list, image, layout
    std::array<std::string, 4> parts;
    std::size_t part = 0;
    for (const std::uint8_t b : input.rest()) {
        if (b == 0 && part + 1 < parts.size()) {
            ++part;
        } else {
            parts[part].push_back(static_cast<char>(b));
        }
    }
    const ResourceLookup lookup = [&parts](std::string_view name) -> std::optional<std::string> {
        if (name == kEffectListResource) return parts[0];
        if (endsWithLayoutSuffix(name)) return parts[3];
        for (const Category& c : categories) {
            if (name == c.resourceName) return parts[1];
        }
        return parts[2];
    };
    const LogSink log = [](const std::string&) {};
    const MessageSink message = [](const std::string& text) {
        if (text.empty()) std::abort();
    };

    const ResourceLoad list = loadResourceLines(kEffectListResource, lookup);
    for (const std::string& line : list.lines) {
        const EffectListEntry entry = parseEffectListLine(line);
        try {
            (void)effectListNumber(entry);
        } catch (const ConversionError&) {
        }
        if (const auto found = effectNumberByName(list.lines, entry.name); !found || *found >= list.lines.size()) std::abort();
    }
    (void)effectNameByNumber(list.lines, number);

    const CatalogueEffectResult effect = loadCatalogueEffect(number, lookup);
    if (effect.effect.has_value() == !effect.error.empty()) std::abort();

    const ControlLayoutResult layout = parseControlLayoutText("Fuzz", parts[3]);
    if (layout.layout) {
        const ControlLayout& l = *layout.layout;
        if (l.controlLines.size() != static_cast<std::size_t>(l.counts.controls()) ||
            l.counts.controls() > kLayoutMaxControls || l.readbackNames.size() != static_cast<std::size_t>(l.counts.readbacks)) {
            std::abort();
        }
        for (const MultiSwitchRow& row : l.multiSwitchRows) {
            if (row.options.empty() || row.options.size() > static_cast<std::size_t>(kLayoutMaxOptions)) std::abort();
        }
        (void)layoutLogLines(l, splitLines(parts[3]).front());
        (void)parameterWindowHeight(l.counts.controls(), l.counts.readbacks);
    } else if (layout.error.empty()) {
        std::abort();
    }

    CatalogueWorkingLists lists;
    try {
        const std::vector<std::string> categoryLines = splitLines(parts[1]);
        const auto rows = effectRows(categoryLines, pedalMode, lists, lookup, log, message);
        if (rows.size() != categoryLines.size()) std::abort();
        (void)locate_effect(lists, parts[0], lookup, message);
    } catch (const ConversionError&) {
        // A missing or empty image: the editor shows the general error report.
    }
    return 0;
}
