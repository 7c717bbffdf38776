// The parameter block's layout, its refusal when short, and the rules that set the panel.
#include "core/hex.h"
#include "hex_bytes.h"
#include "core/parameter_block.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>

using namespace qeltx::core;

namespace {

using test_support::hexBytes;

// N = 3, R = 0: 53 bytes.
const std::vector<std::uint8_t> kThreeControlBlock = hexBytes(
    "00 40 00 00  FF FF E0 00  00 7F E0 00"                    // values 512, -1, 1023
    " 00 FF 0B FF FF FF FF FF FF FF FF FF FF FF FF FF"         // assignments KI, --, EXP
    " 08 09"                                                   // bypass FS, preset change FL
    " FF FF FF FF"                                             // read-backs
    " 01 FF 07 00 00 00 00 00 00 00 00 00 00 00 00 00"         // reverse on, off, unchanged
    " 01 02 10");                                              // bank mode, Bank III, MIDI 16

TEST(ParameterBlock, ThreeControlsNoReadbacks) {
    ASSERT_EQ(kThreeControlBlock.size(), 53u);
    const auto block = parseParameterBlock(kThreeControlBlock, 3, 0);
    ASSERT_TRUE(block.ok()) << block.reason();
    EXPECT_EQ(block->values, (std::vector<std::int32_t>{512, -1, 1023}));
    EXPECT_EQ(block->assignments, (std::vector<std::uint8_t>{0x00, 0xFF, 0x0B}));
    EXPECT_EQ(block->bypassAssignment, 8);
    EXPECT_EQ(block->presetAssignment, 9);
    EXPECT_TRUE(block->readbackAssignments.empty());
    EXPECT_EQ(block->reverseFlags, (std::vector<std::uint8_t>{1, 255, 7}));
    EXPECT_EQ(block->mode, 1);
    EXPECT_EQ(block->bankOrPreset, 2);
    EXPECT_EQ(block->midiChannel, 16);
}

TEST(ParameterBlock, LayoutOffsetsForThreeControls) {
    const ParameterBlockLayout layout{3};
    EXPECT_EQ(layout.assignmentOffset(), 12u);
    EXPECT_EQ(layout.bypassOffset(), 28u);
    EXPECT_EQ(layout.presetOffset(), 29u);
    EXPECT_EQ(layout.readbackOffset(), 30u);
    EXPECT_EQ(layout.reverseOffset(), 34u);
    EXPECT_EQ(layout.modeOffset(), 50u);
    EXPECT_EQ(layout.bankOffset(), 51u);
    EXPECT_EQ(layout.midiOffset(), 52u);
    EXPECT_EQ(layout.size(), 53u);
}

TEST(ParameterBlock, SixteenControlsFourReadbacksReadEveryField) {
    std::vector<std::uint8_t> raw(105);
    std::iota(raw.begin(), raw.end(), std::uint8_t{0});  // byte i holds i
    const auto block = parseParameterBlock(raw, 16, 4);
    ASSERT_TRUE(block.ok()) << block.reason();
    ASSERT_EQ(block->values.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i) {
        const auto b = static_cast<std::uint32_t>(4 * i);
        const std::int32_t word = static_cast<std::int32_t>((b << 24) | ((b + 1) << 16) | ((b + 2) << 8) | (b + 3));
        EXPECT_EQ(block->values[i], word / 8192) << i;
    }
    std::vector<std::uint8_t> assignments(16), reverse(16);
    std::iota(assignments.begin(), assignments.end(), std::uint8_t{64});
    std::iota(reverse.begin(), reverse.end(), std::uint8_t{86});
    EXPECT_EQ(block->assignments, assignments);
    EXPECT_EQ(block->bypassAssignment, 80);
    EXPECT_EQ(block->presetAssignment, 81);
    EXPECT_EQ(block->readbackAssignments, (std::vector<std::uint8_t>{82, 83, 84, 85}));
    EXPECT_EQ(block->reverseFlags, reverse);
    EXPECT_EQ(block->mode, 102);
    EXPECT_EQ(block->bankOrPreset, 103);
    EXPECT_EQ(block->midiChannel, 104);
}

TEST(ParameterBlock, AShortBlockIsRefusedWithAMessage) {
    const std::span<const std::uint8_t> all(kThreeControlBlock);
    const auto shortBlock = parseParameterBlock(all.first(52), 3, 0);
    ASSERT_FALSE(shortBlock.ok());
    EXPECT_NE(shortBlock.reason().find("52"), std::string::npos) << shortBlock.reason();
    EXPECT_NE(shortBlock.reason().find("53"), std::string::npos) << shortBlock.reason();
    EXPECT_FALSE(parseParameterBlock({}, 0, 0).ok());
    EXPECT_TRUE(parseParameterBlock(std::vector<std::uint8_t>(41), 0, 0).ok());
}

TEST(ParameterBlock, ALongerBlockIsReadUpTo4NPlus41) {
    auto longer = kThreeControlBlock;
    longer.push_back(0x77);
    const auto block = parseParameterBlock(longer, 3, 0);
    ASSERT_TRUE(block.ok());
    EXPECT_EQ(block->midiChannel, 16);
}

TEST(ParameterBlock, CountsBeyondThePedalsAreRefused) {
    std::vector<std::uint8_t> raw(200);
    EXPECT_FALSE(parseParameterBlock(raw, 17, 0).ok());
    EXPECT_FALSE(parseParameterBlock(raw, 3, 5).ok());
}

TEST(ParameterBlock, ValuesTruncateTowardZero) {
    // -512 × 8192 and a word just below -1 × 8192.
    auto raw = hexBytes("FF C0 00 00  FF FF DF FF  00 00 1F FF");
    raw.resize(53, 0);
    const auto block = parseParameterBlock(raw, 3, 0);
    ASSERT_TRUE(block.ok());
    EXPECT_EQ(block->values, (std::vector<std::int32_t>{-512, -1, 0}));
}

// ---- Panel rules ------------------------------------------------------------------------

struct MultiCase {
    std::int32_t value;
    int options;
    std::optional<int> option;
};

class MultiSwitchReadBack : public ::testing::TestWithParam<MultiCase> {};

TEST_P(MultiSwitchReadBack, SelectsTheReducedOption) {
    const auto& c = GetParam();
    EXPECT_EQ(multiSwitchOptionFromValue(c.value, c.options), c.option) << c.value << " / " << c.options;
}

INSTANTIATE_TEST_SUITE_P(Cases, MultiSwitchReadBack,
                         ::testing::Values(MultiCase{1023, 3, 2},  // 1023 ÷ 341 = 3, reduced to 2
                                           MultiCase{681, 3, 1}, MultiCase{682, 3, 2}, MultiCase{0, 3, 0},
                                           MultiCase{-1, 4, 0},             // −1 ÷ 256 truncates to 0
                                           MultiCase{-512, 4, std::nullopt},  // −2, reduced to −3
                                           MultiCase{-256, 4, std::nullopt},  // −1, reduced to −2
                                           MultiCase{5000, 4, std::nullopt},  // 19, reduced to 18
                                           MultiCase{768, 4, 3}, MultiCase{1024, 4, 3},
                                           MultiCase{512, 0, std::nullopt},
                                           // A preset value of 80000000 on 513..1024 options (step 1):
                                           // reducing k = INT32_MIN must not overflow (UBSan pass).
                                           MultiCase{std::numeric_limits<std::int32_t>::min(), 600, std::nullopt},
                                           MultiCase{std::numeric_limits<std::int32_t>::min(), 1024, std::nullopt},
                                           MultiCase{std::numeric_limits<std::int32_t>::max(), 1024, std::nullopt},
                                           MultiCase{1024, 1024, 1023}));

TEST(PanelRules, PotsSwitchesAndReverseFlags) {
    EXPECT_EQ(potPositionFromValue(512), 512);
    EXPECT_EQ(potPositionFromValue(-1), 0);
    EXPECT_EQ(potPositionFromValue(1024), 1023);
    EXPECT_EQ(switchStateFromValue(0), false);
    EXPECT_EQ(switchStateFromValue(1024), true);
    EXPECT_EQ(switchStateFromValue(1), true);
    EXPECT_EQ(switchStateFromValue(-1), std::nullopt);
    EXPECT_EQ(reverseFlagState(1), true);
    EXPECT_EQ(reverseFlagState(255), false);
    EXPECT_EQ(reverseFlagState(0), std::nullopt);
    EXPECT_EQ(reverseFlagState(7), std::nullopt);
}

TEST(PanelRules, ModeBankAndMidi) {
    EXPECT_EQ(pedalModeFromBlock(1), PedalMode::Bank);
    EXPECT_EQ(pedalModeFromBlock(0), PedalMode::Preset);
    EXPECT_EQ(pedalModeFromBlock(2), std::nullopt);
    EXPECT_EQ(bankIndexFromBlock(2), 2);
    EXPECT_EQ(bankIndexFromBlock(3), std::nullopt);
    EXPECT_EQ(midiMenuItemFromBlock(0), 0);
    EXPECT_EQ(midiMenuItemFromBlock(255), 0);
    EXPECT_EQ(midiMenuItemFromBlock(16), 16);
    EXPECT_EQ(midiMenuItemFromBlock(17), std::nullopt);
}

}  // namespace
