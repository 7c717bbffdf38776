// Preset files: the written bytes and reading them back in any line-end style.
#include "core/preset_file.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

namespace {
const PresetFile kExample{0x0002, 1, {512, 1024, 512}, {0x00, 0xFF, 0x0B}, {}};
const std::string kExampleBytes = "\xEF\xBB\xBF" "0002\r01\r03\r00000200\r00000400\r00000200\r00\rFF\r0B\r";
}  // namespace

TEST(PresetFile, WritesTheFixedWidthLines) {
    EXPECT_EQ(formatPresetFile(kExample), kExampleBytes);
    PresetFile withReadbacks = kExample;
    withReadbacks.values = {1023, -1};
    withReadbacks.assignments = {0, 1};
    withReadbacks.readbackAssignments = {3, 0xFF};
    EXPECT_EQ(formatPresetFile(withReadbacks), "\xEF\xBB\xBF" "0002\r01\r02\r000003FF\rFFFFFFFF\r00\r01\r03\rFF\r");
}

TEST(PresetFile, ReadsBackWhatItWroteWhateverTheLineEnds) {
    for (const std::string& text : {kExampleBytes, std::string("0002\r\n01\r\n03\r\n00000200\r\n00000400\r\n00000200\r\n00\r\nFF\r\n0B"),
                                    std::string("\xEF\xBB\xBF" "0002\n01\n03\n00000200\n00000400\n00000200\n00\nFF\n0B\n")}) {
        const auto parsed = parsePresetFile(text);
        ASSERT_TRUE(parsed) << parsed.reason();
        EXPECT_EQ(parsed->effectNumber, 2u);
        EXPECT_EQ(parsed->effectVersion, 1u);
        EXPECT_EQ(parsed->values, kExample.values);
        EXPECT_EQ(parsed->assignments, kExample.assignments);
    }
    const auto negative = parsePresetFile("0002\r01\r01\rFFFFFFFF\r");
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->values, std::vector<std::int32_t>{-1});
}

TEST(PresetFile, RefusesWhatIsNotAPresetFile) {
    struct Case { const char* text; const char* reason; };
    const Case cases[] = {
        {"", "line 1"},
        {"02\r01\r01\r00000000\r", "line 1"},
        {"0002\r01\r03\r00000200\r00000400\r", "line 6"},  // fewer values than the count
        {"0002\r01\r01\r0000020G\r", "line 4"},
        {"0002\r01\r01\r00000200\rXY\r", "line 5"},
    };
    for (const Case& c : cases) {
        const auto parsed = parsePresetFile(c.text);
        ASSERT_FALSE(parsed) << c.text;
        EXPECT_NE(parsed.reason().find(c.reason), std::string::npos) << parsed.reason();
    }
}
