// The looks keep their text readable: the contrast ratio, the reading of style sheets, and
// every text colour of every look against what it is drawn on.
#include "core/look_colours.h"
#include "resources/resource_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using namespace qeltx::core;

namespace {

struct RatioCase {
    const char* a;
    const char* b;
    double ratio;
};

class ContrastRatio : public ::testing::TestWithParam<RatioCase> {};

TEST_P(ContrastRatio, MatchesTheAccessibilityGuidelinesFigure) {
    const RatioCase& c = GetParam();
    const auto a = parseColour(c.a);
    const auto b = parseColour(c.b);
    ASSERT_TRUE(a && b);
    EXPECT_NEAR(contrastRatio(*a, *b), c.ratio, 0.01);
    EXPECT_DOUBLE_EQ(contrastRatio(*a, *b), contrastRatio(*b, *a));
}

// Figures from the guidelines' formula, worked by hand.
INSTANTIATE_TEST_SUITE_P(Pairs, ContrastRatio,
                         ::testing::Values(RatioCase{"#000000", "#ffffff", 21.0}, RatioCase{"white", "black", 21.0},
                                           RatioCase{"#777777", "#ffffff", 4.48}, RatioCase{"#767676", "#fff", 4.54},
                                           RatioCase{"#98a1ab", "#eef0f3", 2.29}, RatioCase{"#3b6ea5", "#3B6EA5", 1.0},
                                           RatioCase{"#ff0000", "#ffffff", 4.0}));

TEST(ParseColour, TakesHexAndTheTwoNamesOnly) {
    EXPECT_EQ(parseColour("#fff"), (Rgb{255, 255, 255}));
    EXPECT_EQ(parseColour(" #1F2933 "), (Rgb{0x1f, 0x29, 0x33}));
    for (const char* text : {"", "#", "#ffff", "#12345g", "transparent", "none", "red", "123456",
                             "qlineargradient(stop: 0 #ffffff)"}) {
        EXPECT_FALSE(parseColour(text)) << text;
    }
}

TEST(StyleRules, OneRulePerSelectorCommentsLeftOut) {
    const auto rules = readStyleRules("/* a { color: #000; } */\n"
                                      "QListWidget, QListView\n  ::item { color: #111; background: none; }\n"
                                      "#formPrint   QPushButton { font-size: 8pt }");
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].selector, "QListWidget");
    EXPECT_EQ(rules[1].selector, "QListView ::item");
    EXPECT_EQ(rules[2].selector, "#formPrint QPushButton");
    ASSERT_EQ(rules[0].properties.size(), 2u);
    EXPECT_EQ(rules[0].properties[0], (std::pair<std::string, std::string>{"color", "#111"}));
    EXPECT_EQ(rules[2].properties[0], (std::pair<std::string, std::string>{"font-size", "8pt"}));
}

TEST(TextColourPairs, FallBackToTheBackgroundUnderneath) {
    const char* sheet = R"(
QWidget { background-color: #eeeeee; color: #111111; }
QWidget:disabled { color: #999999; }
QMenu { background-color: #ffffff; }
QMenu::item { background: transparent; }
QMenu::item:disabled { color: #888888; }
QPushButton { background-color: qlineargradient(x1: 0, stop: 0 #ffffff, stop: 1 #dddddd); color: #222222; }
QPushButton { color: #000000; }
QLabel { background: transparent; }
QLabel:disabled { color: #777777; }
QListWidget::item:selected { background-color: #3b6ea5; color: #ffffff; selection-color: #000000; }
)";
    const auto pairs = textColourPairs(sheet);
    auto find = [&](const std::string& selector, const std::string& property) {
        std::vector<ColourPair> found;
        for (const ColourPair& p : pairs) {
            if (p.selector == selector && p.property == property) found.push_back(p);
        }
        return found;
    };
    const Rgb grey{0xee, 0xee, 0xee};
    ASSERT_EQ(find("QWidget:disabled", "color").size(), 1u);
    EXPECT_EQ(find("QWidget:disabled", "color")[0].background, grey);
    EXPECT_EQ(find("QWidget:disabled", "color")[0].required, kGreyedContrast);
    // The transparent item shows its menu; the transparent label the window under it.
    EXPECT_EQ(find("QMenu::item:disabled", "color").at(0).background, (Rgb{255, 255, 255}));
    EXPECT_EQ(find("QLabel:disabled", "color").at(0).background, grey);
    // Each stop of a gradient, with the colour the later rule leaves.
    const auto button = find("QPushButton", "color");
    ASSERT_EQ(button.size(), 2u);
    EXPECT_EQ(button[0].text, (Rgb{0, 0, 0}));
    EXPECT_EQ(button[1].background, (Rgb{0xdd, 0xdd, 0xdd}));
    EXPECT_EQ(button[0].required, kTextContrast);
    // A selection colour without a selection background of its own falls back to none here.
    EXPECT_TRUE(find("QListWidget::item:selected", "selection-color").empty());
    EXPECT_EQ(find("QListWidget::item:selected", "color").at(0).background, (Rgb{0x3b, 0x6e, 0xa5}));
}

struct LookCase {
    int number;
    const char* name;
};

class EveryLook : public ::testing::TestWithParam<LookCase> {
protected:
    std::string sheet() const {
        const auto text = qeltx::resources::styleResource("Style_" + std::to_string(GetParam().number));
        return text ? *text : std::string();
    }
};

TEST_P(EveryLook, NamesItselfAndKeepsEveryTextReadable) {
    const std::string text = sheet();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(lookName(text), GetParam().name);
    // Every text colour the look sets is one the check can read.
    for (const StyleRule& rule : readStyleRules(text)) {
        for (const auto& [property, value] : rule.properties) {
            if (property == "color" || property == "selection-color") {
                EXPECT_TRUE(parseColour(value)) << rule.selector << " " << property << ": " << value;
            }
        }
    }
    const auto pairs = textColourPairs(text);
    // The window's text, greyed text, menus, buttons and lists at least.
    EXPECT_GE(pairs.size(), 20u);
    for (const ColourPair& p : pairs) {
        EXPECT_GE(contrastRatio(p.text, p.background), p.required)
            << "look " << GetParam().number << " " << p.selector << " " << p.property << " #" << std::hex
            << int(p.text.r) << "," << int(p.text.g) << "," << int(p.text.b) << " on " << int(p.background.r) << ","
            << int(p.background.g) << "," << int(p.background.b);
    }
}

// The colours a border value names ("1px solid #3b6ea5", "#fff #000 #000 #fff").
std::vector<Rgb> coloursIn(const std::string& value) {
    std::vector<Rgb> found;
    std::size_t at = 0;
    while ((at = value.find('#', at)) != std::string::npos) {
        const std::size_t end = value.find_first_of(" ;", at);
        if (const auto colour = parseColour(value.substr(at, end == std::string::npos ? end : end - at))) {
            found.push_back(*colour);
        }
        at = end == std::string::npos ? value.size() : end;
    }
    return found;
}

TEST_P(EveryLook, MarksTheKeyboardFocusOnEveryKindOfControl) {
    const auto rules = readStyleRules(sheet());
    std::optional<Rgb> window;
    for (const StyleRule& rule : rules) {
        for (const auto& [property, value] : rule.properties) {
            if (rule.selector == "QWidget" && property == "background-color") window = parseColour(value);
        }
    }
    ASSERT_TRUE(window);
    // A mark that is no text still needs 3:1 against the window around it to be seen.
    for (const char* selector : {"QPushButton:focus", "QSlider:focus", "QCheckBox:focus", "QCheckBox#swLive:focus",
                                 "QRadioButton:focus", "QComboBox:focus", "QListWidget:focus"}) {
        double best = 0;
        for (const StyleRule& rule : rules) {
            if (rule.selector != selector) continue;
            for (const auto& [property, value] : rule.properties) {
                if (property != "border" && property != "border-color") continue;
                for (const Rgb& colour : coloursIn(value)) best = std::max(best, contrastRatio(colour, *window));
            }
        }
        EXPECT_GE(best, kGreyedContrast) << "look " << GetParam().number << ": " << selector;
    }
}

INSTANTIATE_TEST_SUITE_P(Looks, EveryLook,
                         ::testing::Values(LookCase{0, "Default"}, LookCase{1, "Graphite"},
                                           LookCase{2, "High contrast"}, LookCase{3, "Amp"},
                                           LookCase{4, "Studio blue"}, LookCase{5, "Classic"}, LookCase{6, "Stage"},
                                           LookCase{7, "Midnight"}),
                         [](const ::testing::TestParamInfo<LookCase>& info) {
                             return "Style_" + std::to_string(info.param.number);
                         });

}  // namespace
