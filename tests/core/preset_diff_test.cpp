// What differs between two sounds of one algorithm, by parameter name, as a player reads it.
#include "core/preset_diff.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

namespace {

// Two pots, a switch, a button, a multi-switch of 4 options and one read-back.
ControlLayout smallLayout() {
    ControlLayout layout;
    layout.counts = LayoutCounts{2, 2, 1, 1};
    layout.potNames = {"Drive", "Tone"};
    layout.twoStateRows = {TwoStateRow{"Boost", "OFF", "ON", false}, TwoStateRow{"Tap", "", "", true}};
    layout.multiSwitchRows = {MultiSwitchRow{"Shape", {"A", "B", "C", "D"}}};
    layout.readbackNames = {"Level"};
    return layout;
}

PresetFile sound() {
    PresetFile p;
    p.effectNumber = 2;
    p.effectVersion = 1;
    p.values = {512, 0, 0, 0, 0};
    p.assignments = {0, 255, 255, 255, 255};
    p.readbackAssignments = {255};
    return p;
}

using Field = PresetDifference::Field;

struct Case {
    const char* what;
    void (*change)(PresetFile&);
    std::vector<std::tuple<Field, std::string, std::string, std::string>> expected;
};

}  // namespace

TEST(PresetDiff, NamesWhatDiffersAsAPlayerReadsIt) {
    const std::vector<Case> cases = {
        {"the same sound", [](PresetFile&) {}, {}},
        {"a pot", [](PresetFile& p) { p.values[0] = 300; }, {{Field::Value, "Drive", "512", "300"}}},
        {"a switch", [](PresetFile& p) { p.values[2] = 1024; }, {{Field::Value, "Boost", "off", "on"}}},
        {"a multi-switch", [](PresetFile& p) { p.values[4] = 2 * 256; }, {{Field::Value, "Shape", "A", "C"}}},
        {"a multi-switch off its position's value", [](PresetFile& p) { p.values[4] = 100; },
         {{Field::Value, "Shape", "A (0)", "A (100)"}}},
        {"an assignment", [](PresetFile& p) { p.assignments[1] = 11; }, {{Field::Assignment, "Tone", "--", "EXP"}}},
        {"a read-back", [](PresetFile& p) { p.readbackAssignments[0] = 2; },
         {{Field::ReadbackAssignment, "Level", "--", "RED"}}},
        {"values before assignments, in order",
         [](PresetFile& p) {
             p.assignments[0] = 255;
             p.values[1] = 7;
             p.values[0] = 0;
         },
         {{Field::Value, "Drive", "512", "0"}, {Field::Value, "Tone", "0", "7"}, {Field::Assignment, "Drive", "KI", "--"}}},
        // A file that ends after its values has no assignments to compare.
        {"no assignment lines",
         [](PresetFile& p) {
             p.assignments.clear();
             p.readbackAssignments.clear();
         },
         {}},
    };
    for (const Case& c : cases) {
        PresetFile right = sound();
        c.change(right);
        const auto found = presetDifferences(smallLayout(), sound(), right);
        ASSERT_TRUE(found) << c.what << ": " << found.reason();
        std::vector<std::tuple<Field, std::string, std::string, std::string>> got;
        for (const PresetDifference& d : *found) got.emplace_back(d.field, d.name, d.leftText, d.rightText);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST(PresetDiff, RefusesASideWithAnotherParameterCount) {
    PresetFile shorter = sound();
    shorter.values.pop_back();
    const auto found = presetDifferences(smallLayout(), sound(), shorter);
    ASSERT_FALSE(found);
    EXPECT_EQ(found.reason(), "it has 4 parameters; the algorithm has 5");
}
