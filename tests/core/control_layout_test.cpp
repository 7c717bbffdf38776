// Control layouts: the counts line, every kind of row, and the refusals that keep the panel
// inside its 16 control and 4 read-back slots.
#include "core/control_layout.h"
#include "core/text_lines.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

namespace {

ControlLayout parsed(std::string_view text) {
    const auto result = parseControlLayoutText("Test FX", text);
    EXPECT_TRUE(result.layout) << result.error;
    return result.layout.value_or(ControlLayout{});
}

std::string lines(int count, std::string_view prefix) {
    std::string out;
    for (int i = 1; i <= count; ++i) out += std::string(prefix) + std::to_string(i) + "\n";
    return out;
}

}  // namespace

TEST(ControlLayout, CountsLines) {
    struct Case {
        const char* line;
        int pots, switches, multis, readbacks;
    };
    const Case cases[] = {
        {"3000", 3, 0, 0, 0}, {"4001", 4, 0, 0, 1}, {"7522", 7, 5, 2, 2}, {"C100", 12, 1, 0, 0},
        {"A21", 10, 2, 1, 0},  // three characters: no read-backs
        {"30014", 3, 0, 0, 0},  // five characters: no read-backs either
        {"F010", 15, 0, 1, 0},
    };
    for (const auto& c : cases) {
        const auto counts = parseLayoutCounts(c.line);
        ASSERT_TRUE(counts.counts) << c.line << ": " << counts.error;
        EXPECT_EQ(counts.counts->pots, c.pots) << c.line;
        EXPECT_EQ(counts.counts->switches, c.switches) << c.line;
        EXPECT_EQ(counts.counts->multiSwitches, c.multis) << c.line;
        EXPECT_EQ(counts.counts->readbacks, c.readbacks) << c.line;
    }
    for (const char* bad : {"30", "", "3G00", "c100", "300 ", " 300"}) {
        EXPECT_FALSE(parseLayoutCounts(bad).counts) << bad;
    }
}

TEST(ControlLayout, PotsOnlyAndReadBack) {
    const auto l = parsed("3000\r\nDrive\r\nTone\r\nLevel\r\n");
    EXPECT_EQ(l.potNames, (std::vector<std::string>{"Drive", "Tone", "Level"}));
    EXPECT_TRUE(l.twoStateRows.empty());
    EXPECT_EQ(parameterWindowHeight(l.counts.controls(), l.counts.readbacks), 185);

    const auto r = parsed("4001\nRate\nDepth\nMix\nTone\nLFO");
    EXPECT_EQ(r.readbackNames, std::vector<std::string>{"LFO"});
    EXPECT_EQ(parameterWindowHeight(r.counts.controls(), r.counts.readbacks), 235);
    EXPECT_EQ(layoutLogLines(r, "4001"),
              (std::vector<std::string>{"num of pots: 4", "num of switches: 0", "num of multi switch: 0",
                                        "num of readbacks: 1", "Rate", "Depth", "Mix", "Tone", "LFO"}));
    EXPECT_EQ(layoutLogLines(parsed("210\nA\nB\nC:0:1\n"), "210").size(), 6u);  // no read-back count line
}

TEST(ControlLayout, EveryKindOfRowInControlIndexOrder) {
    const auto l = parsed(
        "7522\n" + lines(7, "Pot ") +
        "Mute:ON:OFF\nClock:Internal:MIDI:Ext\nSample:OFF:ON@\nSync:-:-@\nClear:OFF:ON\n"
        "Tracking;1;2;3;4\nSine Range;I;II;III;IV;V\nEnvelope\nGate ON\nextra line is ignored\n");
    ASSERT_EQ(l.controlLines.size(), 14u);
    EXPECT_EQ(l.controlLines[7], "Mute:ON:OFF");
    EXPECT_EQ(l.controlLines[12], "Tracking;1;2;3;4");
    ASSERT_EQ(l.twoStateRows.size(), 5u);
    EXPECT_EQ(l.twoStateRows[0].offLabel, "ON");  // the first label is the off state
    EXPECT_EQ(l.twoStateRows[0].onLabel, "OFF");
    EXPECT_EQ(l.twoStateRows[1].offLabel, "Internal");
    EXPECT_EQ(l.twoStateRows[1].onLabel, "MIDI:Ext");
    EXPECT_TRUE(l.twoStateRows[2].isButton);
    EXPECT_EQ(l.twoStateRows[2].name, "Sample");
    EXPECT_EQ(l.twoStateRows[2].onLabel, "ON@");
    EXPECT_TRUE(l.twoStateRows[3].isButton);
    EXPECT_FALSE(l.twoStateRows[4].isButton);
    ASSERT_EQ(l.multiSwitchRows.size(), 2u);
    EXPECT_EQ(l.multiSwitchRows[0].options, (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(l.multiSwitchRows[1].name, "Sine Range");
    EXPECT_EQ(l.multiSwitchRows[1].options.size(), 5u);
    EXPECT_EQ(l.readbackNames, (std::vector<std::string>{"Envelope", "Gate ON"}));

    const auto c = parsed("C100\n" + lines(12, "Bar ") + "Percussion:OFF:ON");
    EXPECT_EQ(c.potNames.size(), 12u);
    EXPECT_EQ(c.twoStateRows[0].name, "Percussion");
}

TEST(ControlLayout, TwoStateAndMultiSwitchFields) {
    const auto noColon = parseTwoStateLine("Bypass");
    EXPECT_EQ(noColon.name, "Bypass");
    EXPECT_EQ(noColon.offLabel, "");
    const auto oneColon = parseTwoStateLine("Mode:Solo");
    EXPECT_EQ(oneColon.offLabel, "Solo");
    EXPECT_EQ(oneColon.onLabel, "");
    EXPECT_EQ(parseTwoStateLine("Direction:UP&DOWN:UP").offLabel, "UP&DOWN");

    EXPECT_EQ(parseMultiSwitchLine("Octave;-1;;+1").options, (std::vector<std::string>{"-1", "", "+1"}));
    EXPECT_EQ(parseMultiSwitchLine("Trailing;A;").options, (std::vector<std::string>{"A", ""}));
    EXPECT_TRUE(parseMultiSwitchLine("No options").options.empty());
}

TEST(ControlLayout, LayoutsBeyondTheTablesAreRefusedNamingTheAlgorithm) {
    std::string thousand = "Big";
    for (int k = 0; k < 1025; ++k) thousand += ";o";
    struct Case {
        const char* what;
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        // The catalogue's malformed layout: 24 controls declared and one read-back not listed.
        {"24 controls and a missing read-back", "C841\n" + lines(12, "P") + lines(8, "S:0:") + lines(4, "M;1;"),
         "24 controls"},
        {"17 controls", "F200\n" + lines(17, "P"), "17 controls"},
        {"5 read-backs", "1005\nP\n" + lines(5, "R"), "5 read-backs"},
        {"fewer lines than declared", "3001\nA\nB\nC\n", "lists 3 lines instead of 4"},
        {"bad counts character", "3G00\nA\nB\nC\n", "character 2"},
        {"lower-case counts digit", "c100\n" + lines(12, "P") + "S:0:1\n", "character 1"},
        {"short counts line", "30\nA\nB\nC\n", "fewer than three"},
        {"no counts line", "", "no counts line"},
        {"multi-switch without an option", "0010\nMode\n", "has 0 options"},
        {"multi-switch with 1025 options", "0010\n" + thousand + "\n", "has 1025 options"},
    };
    for (const auto& c : cases) {
        const auto result = parseControlLayoutText("Prototype Matrix", c.text);
        EXPECT_FALSE(result.layout) << c.what;
        EXPECT_NE(result.error.find("\"Prototype Matrix\""), std::string::npos) << c.what << ": " << result.error;
        EXPECT_NE(result.error.find(c.reason), std::string::npos) << c.what << ": " << result.error;
    }
    // 16 controls with 4 read-backs and 1024 options are within the tables.
    std::string k1024 = "Big";
    for (int k = 0; k < 1024; ++k) k1024 += ";o";
    EXPECT_TRUE(parseControlLayoutText("Full", "F014\n" + lines(15, "P") + k1024 + "\n" + lines(4, "R")).layout);
}
