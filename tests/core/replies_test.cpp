// Decoding numeric replies, the completeness checks that end the drain, and the decoder's log.
#include "core/replies.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

namespace {

std::vector<std::uint8_t> received(std::string_view text) { return {text.begin(), text.end()}; }

struct DecodeCase {
    std::string name;
    std::string reply;
    std::vector<std::uint8_t> values;  // empty with refused = true: refused
    bool refused = false;
    std::size_t unterminated = 0;
};

class DecodeReply : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeReply, GivesTheValuesOrRefuses) {
    const auto& c = GetParam();
    const auto result = DecodeReplyNumbers(received(c.reply));
    if (c.refused) {
        ASSERT_FALSE(result.ok());
        EXPECT_FALSE(result.reason().empty());
        return;
    }
    ASSERT_TRUE(result.ok()) << result.reason();
    EXPECT_EQ(result->values, c.values);
    EXPECT_EQ(result->unterminatedBytes, c.unterminated);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeReply,
    ::testing::Values(
        DecodeCase{"ThreeNumbers", "5\r\n17\r\n255\r\n", {5, 17, 255}},
        DecodeCase{"TwelveAndSeven", "12\r\n7\r\n", {12, 7}},
        DecodeCase{"Modulo256", "300\r\n", {44}},
        DecodeCase{"Zero", "0\r\n", {0}},
        DecodeCase{"FourDigitsRepeatPrevious", "9\r\n1000\r\n", {9, 9}},
        DecodeCase{"EmptyLineRepeatsPrevious", "9\r\n\r\n4\r\n", {9, 9, 4}},
        DecodeCase{"FourDigitsFirstGiveZero", "1234\r\n8\r\n", {0, 8}},
        DecodeCase{"EmptyLineFirstGivesZero", "\r\n8\r\n", {0, 8}},
        DecodeCase{"LeadingZeros", "007\r\n", {7}},
        DecodeCase{"CarriageReturnAlone", "12\r7\r", {12, 7}},
        DecodeCase{"LineFeedAlone", "12\n7\n", {12, 7}},
        DecodeCase{"MixedLineEnds", "1\r\n2\r3\n", {1, 2, 3}},
        DecodeCase{"UnterminatedTailIsNotANumber", "5\r\n17", {5}, false, 2},
        DecodeCase{"NonDigitRefused", "5\r\n1B\r\n7\r\n", {}, true},
        DecodeCase{"SignRefused", "-5\r\n", {}, true},
        DecodeCase{"SpaceRefused", "5 \r\n", {}, true},
        DecodeCase{"NulRefused", std::string("5\r\n\0\r\n", 6), {}, true},
        DecodeCase{"NothingEnded", "17", {}, true},
        DecodeCase{"Nothing", "", {}, true}),
    [](const auto& info) { return info.param.name; });

TEST(DecodeReplyRefusal, NamesTheLine) {
    const auto result = DecodeReplyNumbers(received("5\r\n17\r\n2X5\r\n"));
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.reason().find("line 3"), std::string::npos) << result.reason();
    EXPECT_NE(result.reason().find("2X5"), std::string::npos) << result.reason();
}

TEST(DecodeReplySplit, AReplyAccumulatedOverSeveralReadsDecodesWhole) {
    // The drain appends each read; a number and its line end may arrive in different reads.
    std::vector<std::uint8_t> all;
    for (std::string_view read : {"5\r", "\n1", "7\r\n25", "5\r\n"}) {
        all.insert(all.end(), read.begin(), read.end());
    }
    const auto result = DecodeReplyNumbers(all);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result->values, (std::vector<std::uint8_t>{5, 17, 255}));
}

TEST(DecodeReplyStale, OnlyTheBytesOfThisExchangeAreDecoded) {
    // An earlier, longer reply is not in the span: the decoder reads nothing beyond it.
    const std::string buffer = "9\r\n" "1\r\n2\r\n3\r\n4\r\n";
    const auto result = DecodeReplyNumbers(received(std::string_view(buffer).substr(0, 3)));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result->values, (std::vector<std::uint8_t>{9}));
}

struct CompleteCase {
    std::string reply;
    std::size_t expected;
    bool complete;
};

class NumericComplete : public ::testing::TestWithParam<CompleteCase> {};

TEST_P(NumericComplete, CountsEndedLines) {
    const auto& c = GetParam();
    EXPECT_EQ(isNumericReplyComplete(received(c.reply), c.expected), c.complete) << c.reply;
}

INSTANTIATE_TEST_SUITE_P(Cases, NumericComplete,
                         ::testing::Values(CompleteCase{"1\r\n2\r\n", 2, true}, CompleteCase{"1\r\n2", 2, false},
                                           CompleteCase{"1\r\n2\r", 2, true},  // the LF may follow
                                           CompleteCase{"1\r\n\r\n", 2, true}, CompleteCase{"1\n2\n3\n", 2, true},
                                           CompleteCase{"", 1, false}));

TEST(NumericComplete, AParameterBlockIs4NPlus41Numbers) {
    EXPECT_EQ(parameterBlockLength(3), 53u);
    EXPECT_EQ(parameterBlockLength(16), 105u);
    std::string reply;
    for (int i = 0; i < 52; ++i) reply += "1\r\n";
    EXPECT_FALSE(isNumericReplyComplete(received(reply), parameterBlockLength(3)));
    reply += "1\r\n";
    EXPECT_TRUE(isNumericReplyComplete(received(reply), parameterBlockLength(3)));
}

TEST(TextComplete, TheQueryReplyIsFourLines) {
    EXPECT_FALSE(isTextReplyComplete(received("1\r\n43\r\n2\r\n9")));
    EXPECT_TRUE(isTextReplyComplete(received("1\r\n43\r\n2\r\n9\r\n")));
    EXPECT_TRUE(isTextReplyComplete(received("1\n43\n2\n9\n")));
    EXPECT_TRUE(isTextReplyComplete(received("1\r43\r2\r9\r")));
    EXPECT_EQ(countReplyLines(received("1\r\n43\r\n")), 2u);
}

TEST(TextComplete, LfCrIsALineEndAndAnEmptyLine) {
    EXPECT_EQ(countReplyLines(received("a\r\nb\rc\nd\n\re")), 5u);
}

TEST(DecodeLog, ListsCountSizeAndEveryValue) {
    NumericReply reply;
    reply.values = {5, 17, 255};
    EXPECT_EQ(decodeLogLines(reply), (std::vector<std::string>{"num of bytes received: 3", "receive array size: 3",
                                                                "0: 05", "1: 11", "2: FF"}));
    EXPECT_EQ(receivedBytesLogLine(12), "num of bytes received: 12");
}

}  // namespace
