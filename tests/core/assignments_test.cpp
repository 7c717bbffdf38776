// Assignment codes: box entries to codes and back, empty choices, bank mode's footswitches.
#include "core/assignments.h"
#include "core/commands.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qeltx::core;

namespace {

TEST(AssignmentLists, NameThePedalsControls) {
    EXPECT_EQ(kAssignChoices.front(), "KI");
    EXPECT_EQ(kAssignChoices[5], "B1");
    EXPECT_EQ(kAssignChoices[8], "FS");
    EXPECT_EQ(kAssignChoices[11], "EXP");
    EXPECT_EQ(kReadbackChoices[3], "GREEN");
    EXPECT_EQ(assignmentLabel(10), "RMT");
    EXPECT_EQ(assignmentLabel(255), "--");
    EXPECT_EQ(assignmentLabel(12), "");
    // The footswitch boxes' entries are the same physical controls as in the control list.
    for (std::size_t i = 0; i < kFootswitchChoices.size(); ++i) {
        EXPECT_EQ(kFootswitchChoices[i], kAssignChoices[kFootswitchCodeBase + i]);
    }
}

struct ChoiceCase {
    int index;
    std::uint8_t control, readback, footswitch;
};

class ChoiceToCode : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChoiceToCode, NoChoiceAndDashesGive255) {
    const auto& c = GetParam();
    EXPECT_EQ(assignmentCodeFromChoice(c.index), c.control) << c.index;
    EXPECT_EQ(readbackCodeFromChoice(c.index), c.readback) << c.index;
    EXPECT_EQ(footswitchCodeFromChoice(c.index), c.footswitch) << c.index;
}

INSTANTIATE_TEST_SUITE_P(Cases, ChoiceToCode,
                         ::testing::Values(ChoiceCase{-1, 255, 255, 255},  // the box shows no choice
                                           ChoiceCase{0, 0, 0, 8}, ChoiceCase{2, 2, 2, 10},
                                           ChoiceCase{3, 3, 3, 255},   // footswitch "--"
                                           ChoiceCase{4, 4, 255, 255},  // read-back "--"
                                           ChoiceCase{11, 11, 255, 255},
                                           ChoiceCase{12, 255, 255, 255},  // control "--"
                                           ChoiceCase{40, 255, 255, 255}));

struct CodeCase {
    std::uint8_t code;
    std::optional<int> control, readback, footswitch;
};

class CodeToChoice : public ::testing::TestWithParam<CodeCase> {};

TEST_P(CodeToChoice, SelectsTheEntryOrNothing) {
    const auto& c = GetParam();
    EXPECT_EQ(assignmentChoiceFromCode(c.code), c.control) << int{c.code};
    EXPECT_EQ(readbackChoiceFromCode(c.code), c.readback) << int{c.code};
    EXPECT_EQ(footswitchChoiceFromCode(c.code), c.footswitch) << int{c.code};
}

INSTANTIATE_TEST_SUITE_P(Cases, CodeToChoice,
                         ::testing::Values(CodeCase{255, 12, 4, 3}, CodeCase{0, 0, 0, std::nullopt},
                                           CodeCase{3, 3, 3, std::nullopt}, CodeCase{4, 4, std::nullopt, std::nullopt},
                                           CodeCase{8, 8, std::nullopt, 0}, CodeCase{10, 10, std::nullopt, 2},
                                           CodeCase{11, 11, std::nullopt, 3},  // footswitch 11 → "--"
                                           CodeCase{12, 12, std::nullopt, std::nullopt},
                                           CodeCase{13, std::nullopt, std::nullopt, std::nullopt},
                                           CodeCase{254, std::nullopt, std::nullopt, std::nullopt}));

TEST(BankMode, FootswitchesAreFixedToFsAndFl) {
    EXPECT_EQ(kBankModeBypassAssignment, footswitchCodeFromChoice(0));
    EXPECT_EQ(kBankModePresetAssignment, footswitchCodeFromChoice(1));
    const std::vector<std::uint8_t> controls{assignmentCodeFromChoice(0), assignmentCodeFromChoice(12),
                                             assignmentCodeFromChoice(11)};
    const auto assign = assignCommand(controls, {}, kBankModeBypassAssignment, kBankModePresetAssignment);
    ASSERT_TRUE(assign);
    EXPECT_EQ(assign->text.substr(0, 8), "0400FF0B");
    EXPECT_EQ(assign->text.substr(assign->text.size() - 4), "0809");
}

}  // namespace
