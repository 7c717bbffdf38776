// The looks' colours: reading the colour rules of a look's style sheet, and how well its text
// stands out from what it is drawn on (the contrast ratio of the web's accessibility guidelines).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qeltx::core {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// "#rgb" or "#rrggbb", "white" or "black"; anything else (a gradient, "transparent") is nothing.
std::optional<Rgb> parseColour(std::string_view text);

// From 1 (the same colour) to 21 (black on white); the order of the two does not matter.
double contrastRatio(Rgb a, Rgb b);

// Normal text needs 4.5:1; greyed (disabled) text, which nobody has to read to act, 3:1.
inline constexpr double kTextContrast = 4.5;
inline constexpr double kGreyedContrast = 3.0;

// One selector of a style sheet with its properties in written order; a rule written for
// several selectors ("QListWidget, QListView") gives one of these for each.
struct StyleRule {
    std::string selector;
    std::vector<std::pair<std::string, std::string>> properties;
};

// The rules of a style sheet, comments left out, in written order.
std::vector<StyleRule> readStyleRules(std::string_view sheet);

// The look's name from the sheet's opening comment ("/* Style 1: Graphite - a dark ... */"
// names "Graphite"); empty when the sheet does not open that way.
std::string lookName(std::string_view sheet);

// A text colour the sheet sets and a colour it is drawn on.
struct ColourPair {
    std::string selector;  // where the text colour is set ("QMenu::item:disabled")
    std::string property;  // "color" or "selection-color"
    Rgb text;
    Rgb background;
    double required = kTextContrast;
};

// Every text colour of the sheet with every colour it can be drawn on: the background set in
// the same rule, or else that of the rule it falls back on (without the state, then without
// the part, then the widget kind, then QWidget); each stop of a gradient counts. Text set for a
// ":disabled" state requires kGreyedContrast, any other kTextContrast.
std::vector<ColourPair> textColourPairs(std::string_view sheet);

}  // namespace qeltx::core
