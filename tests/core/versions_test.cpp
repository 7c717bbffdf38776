// Which editor version is newer, and which texts are not versions at all.
#include "core/versions.h"

#include <gtest/gtest.h>

#include <string>

using namespace qeltx::core;

namespace {

struct NewerCase {
    std::string offered;
    std::string own;
    bool newer;
};

class NewerVersion : public ::testing::TestWithParam<NewerCase> {};

TEST_P(NewerVersion, ComparesNumberByNumber) {
    const NewerCase& c = GetParam();
    const auto result = isNewerVersion(c.offered, c.own);
    ASSERT_TRUE(result.ok()) << result.reason();
    EXPECT_EQ(*result, c.newer) << c.offered << " vs " << c.own;
}

INSTANTIATE_TEST_SUITE_P(Versions, NewerVersion,
    ::testing::Values(
        NewerCase{"1.0.0.1", "1.0.0.0", true},
        NewerCase{"1.0.0.0", "1.0.0.0", false},
        NewerCase{"1.0.0.0", "1.0.0.1", false},
        // Joining the digits would call 11 older than 1000 and 10100 newer than 1100.
        NewerCase{"1.1", "1.0.0.0", true},
        NewerCase{"1.0.10.0", "1.1.0.0", false},
        NewerCase{"1.1.0.0", "1.0.10.0", true},
        NewerCase{"2", "1.99.99.99", true},
        // Missing numbers are zeros.
        NewerCase{"1.1", "1.1.0.0", false},
        NewerCase{"1.1.0.0", "1.1", false},
        NewerCase{"1.1.0.1", "1.1", true},
        NewerCase{"01.0.0.2", "1.0.0.1", true},
        NewerCase{"4294967295.0", "4294967294.9", true},
        // What a server sends around the number.
        NewerCase{"1.0.0.1\n", "1.0.0.0", true},
        NewerCase{"  1.0.0.1\r\n", "1.0.0.0", true},
        NewerCase{"\t1.0.0.0 ", "1.0.0.0", false}));

TEST(Version, RefusesWhatIsNotDottedNumbers) {
    const std::string junk[] = {
        "", " \r\n", "Version info not available", "1.0.0.x", "v1.0", "1..0", ".1", "1.0.", "1.0 .0", "1 0",
        "-1.0", "+1.0", "1.0e3", "0x10", "4294967296.0", "1.0.0.0\n1.0.0.1", "<html>404</html>",
    };
    for (const std::string& text : junk) {
        const auto parsed = parseVersion(text);
        EXPECT_FALSE(parsed.ok()) << '"' << text << '"';
        EXPECT_NE(parsed.reason().find(text), std::string::npos) << "the reason names the text: " << parsed.reason();
    }
}

TEST(Version, RefusalSaysWhichSideIsNotAVersion) {
    const auto badServer = isNewerVersion("<html>", "1.0.0.0");
    ASSERT_FALSE(badServer.ok());
    EXPECT_NE(badServer.reason().find("Newest version"), std::string::npos) << badServer.reason();
    const auto badOwn = isNewerVersion("1.0.0.1", "Version info not available");
    ASSERT_FALSE(badOwn.ok());
    EXPECT_NE(badOwn.reason().find("This editor's version"), std::string::npos) << badOwn.reason();
}

TEST(Version, ReadsEveryNumber) {
    const auto parsed = parseVersion(" 1.0.10.200\n");
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->numbers, (std::vector<std::uint32_t>{1, 0, 10, 200}));
}

}  // namespace
