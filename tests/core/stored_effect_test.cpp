// The stored-effect reply: outcomes, line ends, refusals, log lines.
#include "core/stored_effect.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

namespace {

struct QueryCase {
    std::string name;
    std::string reply;
    bool refused;
    bool stored;
    std::uint32_t number, version, firmware;
};

class StoredEffectReplyTest : public ::testing::TestWithParam<QueryCase> {};

TEST_P(StoredEffectReplyTest, GivesTheOutcome) {
    const auto& c = GetParam();
    const auto result = parse_stored_effect_reply(c.reply);
    if (c.refused) {
        ASSERT_FALSE(result.ok());
        EXPECT_FALSE(result.reason().empty());
        return;
    }
    ASSERT_TRUE(result.ok()) << result.reason();
    EXPECT_EQ(result->effectStored, c.stored);
    EXPECT_EQ(result->effectNumber, c.number);
    EXPECT_EQ(result->effectVersion, c.version);
    EXPECT_EQ(result->firmwareVersion, c.firmware);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredEffectReplyTest,
    ::testing::Values(QueryCase{"NoEffect255", "255\r\n255\r\n1\r\n7\r\n", false, false, 255, 1, 7},
                      QueryCase{"NoEffect00", "0\r\n0\r\n1\r\n7\r\n", false, false, 0, 1, 7},
                      QueryCase{"Stored255And12", "255\r\n12\r\n3\r\n7\r\n", false,
                                true, 12, 3, 7},
                      QueryCase{"Stored43", "1\r\n43\r\n2\r\n9\r\n", false, true, 43, 2, 9},
                      QueryCase{"LineFeedAlone", "1\n43\n2\n9\n", false, true, 43, 2, 9},
                      QueryCase{"CarriageReturnAlone", "1\r43\r2\r9\r", false, true, 43, 2, 9},
                      QueryCase{"LastLineUnended", "1\r\n43\r\n2\r\n9", false, true, 43, 2, 9},
                      QueryCase{"TrailingBytesIgnored", "1\r\n43\r\n2\r\n9\r\nxyz", false, true, 43, 2, 9},
                      QueryCase{"ShortReply", "1\r\n43\r\n", true, false, 0, 0, 0},
                      QueryCase{"EmptyReply", "", true, false, 0, 0, 0},
                      QueryCase{"NotANumber", "1\r\n4x\r\n2\r\n9\r\n", true, false, 0, 0, 0},
                      QueryCase{"NegativeRefused", "1\r\n43\r\n-2\r\n9\r\n", true, false, 0, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST(StoredEffectRefusal, NamesTheLine) {
    const auto result = parse_stored_effect_reply(std::string_view("1\r\n43\r\n2\r\nv9\r\n"));
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.reason().find("line 4"), std::string::npos) << result.reason();
}

TEST(StoredEffectBytes, TheDrainedBytesParseAsText) {
    const std::string reply = "1\r\n43\r\n2\r\n9\r\n";
    const std::vector<std::uint8_t> bytes(reply.begin(), reply.end());
    const auto result = parse_stored_effect_reply(std::span<const std::uint8_t>(bytes));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result->effectNumber, 43u);
}

TEST(StoredEffectLog, ShowsTheNumberInDecimalAndHex) {
    const auto result = parse_stored_effect_reply(std::string_view("1\r\n43\r\n2\r\n9\r\n"));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(storedEffectLogLines(*result),
              (std::vector<std::string>{"effect number DEC: 43", "effect number HEX: 0000002B", "effect version: 2",
                                        "firmware version: 9"}));
    EXPECT_EQ(firmwareVersionLabel(7), "Firmware Version: 7");
    EXPECT_EQ(storedEffectNameLogLine("Amber Drive"), "effect name from the list: Amber Drive");
}

}  // namespace
