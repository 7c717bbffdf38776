// Reading control layouts, with every count checked before a line is read.
#include "core/control_layout.h"

#include "core/hex.h"
#include "core/text_lines.h"

#include <algorithm>

namespace qeltx::core {

namespace {

constexpr std::size_t kShortCountsLine = 3;
constexpr std::size_t kCountsLineWithReadbacks = 4;

// Only upper-case digits count: the layouts are written that way and a lower-case letter
// marks a damaged line.
std::optional<int> countDigit(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) return hexDigitValue(c);
    return std::nullopt;
}

std::string quoted(std::string_view name) {
    // Appended piece by piece: GCC 12 at -O3 warns wrongly (-Wrestrict) on the operator+ chain.
    std::string out;
    out.reserve(name.size() + 2);
    out += '"';
    out += name;
    out += '"';
    return out;
}

}  // namespace

LayoutCountsResult parseLayoutCounts(std::string_view countsLine) {
    LayoutCountsResult result;
    if (countsLine.size() < kShortCountsLine) {
        result.error = "its counts line \"" + std::string(countsLine) + "\" has fewer than three characters";
        return result;
    }
    const std::size_t digits = countsLine.size() == kCountsLineWithReadbacks ? 4 : 3;
    int values[4] = {0, 0, 0, 0};
    for (std::size_t k = 0; k < digits; ++k) {
        const auto value = countDigit(countsLine[k]);
        if (!value) {
            result.error = "character " + std::to_string(k + 1) + " of its counts line \"" + std::string(countsLine) +
                           "\" is not a digit 0-9 or A-F";
            return result;
        }
        values[k] = *value;
    }
    result.counts = LayoutCounts{values[0], values[1], values[2], values[3]};
    return result;
}

TwoStateRow parseTwoStateLine(std::string_view line) {
    TwoStateRow row;
    row.isButton = line.find('@') != std::string_view::npos;
    const auto first = line.find(':');
    if (first == std::string_view::npos) {
        row.name = std::string(line);
        return row;
    }
    row.name = std::string(line.substr(0, first));
    const std::string_view rest = line.substr(first + 1);
    const auto second = rest.find(':');
    if (second == std::string_view::npos) {
        row.offLabel = std::string(rest);
    } else {
        row.offLabel = std::string(rest.substr(0, second));
        row.onLabel = std::string(rest.substr(second + 1));
    }
    return row;
}

MultiSwitchRow parseMultiSwitchLine(std::string_view line) {
    MultiSwitchRow row;
    auto at = line.find(';');
    row.name = std::string(line.substr(0, at));
    while (at != std::string_view::npos) {
        const auto next = line.find(';', at + 1);
        row.options.emplace_back(line.substr(at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1));
        at = next;
    }
    return row;
}

ControlLayoutResult parseControlLayout(std::string_view algorithmName, const std::vector<std::string>& lines) {
    ControlLayoutResult result;
    auto refuse = [&](const std::string& why) {
        result.error = "The control layout of " + quoted(algorithmName) + " cannot be used: " + why + ".";
        return result;
    };
    if (lines.empty()) return refuse("it has no counts line");
    const auto parsed = parseLayoutCounts(lines.front());
    if (!parsed.counts) return refuse(parsed.error);
    const LayoutCounts counts = *parsed.counts;
    const int n = counts.controls();
    if (n > kLayoutMaxControls) {
        return refuse("it declares " + std::to_string(n) + " controls, more than " + std::to_string(kLayoutMaxControls));
    }
    if (counts.readbacks > kLayoutMaxReadbacks) {
        return refuse("it declares " + std::to_string(counts.readbacks) + " read-backs, more than " +
                      std::to_string(kLayoutMaxReadbacks));
    }
    const std::size_t needed = 1 + static_cast<std::size_t>(n + counts.readbacks);
    if (lines.size() < needed) {
        return refuse("it declares " + std::to_string(n) + " controls and " + std::to_string(counts.readbacks) +
                      (counts.readbacks == 1 ? " read-back" : " read-backs") + " but lists " +
                      std::to_string(lines.size() - 1) + " lines instead of " + std::to_string(needed - 1));
    }

    ControlLayout layout;
    layout.counts = counts;
    layout.controlLines.assign(lines.begin() + 1, lines.begin() + 1 + n);
    const auto& c = layout.controlLines;
    for (int i = 0; i < counts.pots; ++i) layout.potNames.push_back(c[static_cast<std::size_t>(i)]);
    for (int i = counts.pots; i < counts.pots + counts.switches; ++i) {
        layout.twoStateRows.push_back(parseTwoStateLine(c[static_cast<std::size_t>(i)]));
    }
    for (int i = counts.pots + counts.switches; i < n; ++i) {
        auto row = parseMultiSwitchLine(c[static_cast<std::size_t>(i)]);
        const auto k = row.options.size();
        if (k == 0 || k > static_cast<std::size_t>(kLayoutMaxOptions)) {
            return refuse("its multi-switch \"" + row.name + "\" (line " + std::to_string(i + 2) + ") has " +
                          std::to_string(k) + " options; it needs 1 to " + std::to_string(kLayoutMaxOptions));
        }
        layout.multiSwitchRows.push_back(std::move(row));
    }
    layout.readbackNames.assign(lines.begin() + 1 + n, lines.begin() + static_cast<std::ptrdiff_t>(needed));
    result.layout = std::move(layout);
    return result;
}

ControlLayoutResult parseControlLayoutText(std::string_view algorithmName, std::string_view text) {
    return parseControlLayout(algorithmName, splitLines(text));
}

std::vector<std::string> layoutLogLines(const ControlLayout& layout, std::string_view countsLine) {
    std::vector<std::string> out{
        "num of pots: " + std::to_string(layout.counts.pots),
        "num of switches: " + std::to_string(layout.counts.switches),
        "num of multi switch: " + std::to_string(layout.counts.multiSwitches),
    };
    if (countsLine.size() == kCountsLineWithReadbacks) {
        out.push_back("num of readbacks: " + std::to_string(layout.counts.readbacks));
    }
    out.insert(out.end(), layout.controlLines.begin(), layout.controlLines.end());
    out.insert(out.end(), layout.readbackNames.begin(), layout.readbackNames.end());
    return out;
}

int parameterWindowHeight(int controls, int readbacks) {
    return (controls + readbacks + 4) * kPanelRowPitch + kPanelTopOffset;
}

}  // namespace qeltx::core
