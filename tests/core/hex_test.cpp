// The one hex conversion and the driver status texts.
#include "core/errors.h"
#include "core/ft_status.h"
#include "core/hex.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

TEST(Hex, RoundTripsBytesInUpperCase) {
    const std::vector<std::uint8_t> bytes{0x0A, 0x01, 0xFF, 0x00};
    EXPECT_EQ(toHex(bytes), "0A01FF00");
    EXPECT_EQ(parseHex("0a01ff00"), bytes);
    EXPECT_EQ(parseHex("0A0"), std::nullopt);
    EXPECT_EQ(parseHex("0G"), std::nullopt);
    EXPECT_EQ(word32ToHex(512u * 8192u), "00400000");
    EXPECT_EQ(byteToHex(0x7F), "7F");
}

TEST(Hex, NumberTextsThatDoNotConvertThrow) {
    EXPECT_EQ(hexTextToNumber("3A"), 0x3Au);
    EXPECT_EQ(decimalTextToNumber("-12"), -12);
    EXPECT_THROW(hexTextToNumber(""), ConversionError);
    EXPECT_THROW(hexTextToNumber("12B!"), ConversionError);
    EXPECT_THROW(decimalTextToNumber("12B"), ConversionError);
    EXPECT_THROW(decimalTextToNumber(""), ConversionError);
}

TEST(FtStatus, TextsFollowTheDriverTable) {
    struct Case { FtStatus status; std::string message; };
    const Case cases[] = {
        {1, "FT_Read - Invalid handle..."},
        {2, "FT_Read - Device not found..."},
        {8, "FT_Read Device not opened for erase..."},
        {9, "FT_Read Device not opened for write..."},
        {17, "FT_Read - Other error ..."},
        {18, "FT_Read - Unknown error (status 18)"},
    };
    for (const auto& c : cases) EXPECT_EQ(ftErrorMessage("FT_Read", c.status), c.message) << c.status;
    EXPECT_EQ(ftStatusText(0), "");
}
