// The latency timer lowered for the length of a conversation and put back after it, on bridges
// that take 1 ms, ones that take no less than 2, ones already fast, and backends without one.
#include "session/exchange.h"
#include "link/d2xx_unit.h"
#include "one_device_driver.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace qeltx::session {
namespace {

// A device with nothing but a latency timer, noting every value it is given.
class TimerDriver : public testing::OneDeviceDriver {
public:
    std::optional<std::uint8_t> timer;  // nothing: the backend has none
    std::uint8_t shortest = 1;
    core::FtStatus failSetting = core::FT_OK;
    std::vector<std::uint8_t> setTo;

    core::FtStatus getQueueStatus(link::FtHandle, std::uint32_t& rx) override {
        rx = 0;
        return core::FT_OK;
    }
    core::FtStatus waitForQueue(link::FtHandle, std::uint32_t, std::uint32_t& rx) override {
        rx = 0;
        return core::FT_OK;
    }
    core::FtStatus read(link::FtHandle, std::uint8_t*, std::uint32_t, std::uint32_t& n) override {
        n = 0;
        return core::FT_OK;
    }
    core::FtStatus write(link::FtHandle, const std::uint8_t*, std::uint32_t count, std::uint32_t& n) override {
        n = count;
        return core::FT_OK;
    }
    core::FtStatus purge(link::FtHandle, std::uint32_t) override { return core::FT_OK; }
    core::FtStatus setLatencyTimer(link::FtHandle, std::uint8_t ms) override {
        if (!timer) return core::FT_NOT_SUPPORTED;
        if (failSetting != core::FT_OK) return failSetting;
        if (ms < shortest) return core::FT_INVALID_PARAMETER;
        setTo.push_back(ms);
        timer = ms;
        return core::FT_OK;
    }
    core::FtStatus getLatencyTimer(link::FtHandle, std::uint8_t& ms) override {
        if (!timer) return core::FT_NOT_SUPPORTED;
        ms = *timer;
        return core::FT_OK;
    }
    std::string backendName() const override { return "timer"; }
};

struct TimerCase {
    const char* name;
    std::optional<std::uint8_t> timer;
    std::uint8_t shortest;
    core::FtStatus failSetting;
    std::optional<std::uint8_t> during;       // the timer inside the scope, as lowered() says
    std::vector<std::uint8_t> setTo;          // every value given, the putting back included
    std::optional<std::uint8_t> after;
};

class LatencyLoweredTest : public ::testing::TestWithParam<TimerCase> {};

TEST_P(LatencyLoweredTest, LowersForTheScopeAndPutsBackWhatWasThere) {
    const TimerCase& c = GetParam();
    TimerDriver driver;
    driver.timer = c.timer;
    driver.shortest = c.shortest;
    driver.failSetting = c.failSetting;
    std::vector<std::string> shown;
    link::D2XXUnit usb(driver, [&](const std::string& text) { shown.push_back(text); });
    ASSERT_EQ(usb.Open_USB_Device_By_Serial_Number("T1"), core::FT_OK);
    QStringList logged;
    {
        LatencyLowered lowered(usb, [&](const QString& line) { logged << line; });
        EXPECT_EQ(lowered.lowered(), c.during);
        if (c.during) {
            EXPECT_EQ(driver.timer, c.during);
            EXPECT_EQ(logged, QStringList{QStringLiteral("latency timer: %1 ms (was %2 ms)").arg(*c.during).arg(*c.timer)});
        } else {
            EXPECT_TRUE(logged.isEmpty());
        }
    }
    EXPECT_EQ(driver.setTo, c.setTo);
    EXPECT_EQ(driver.timer, c.after);
    EXPECT_TRUE(shown.empty());  // a bridge without a fast timer is nothing to tell the user
}

INSTANTIATE_TEST_SUITE_P(
    Bridges, LatencyLoweredTest,
    ::testing::Values(
        TimerCase{"TakesOneMillisecond", 16, 1, core::FT_OK, 1, {1, 16}, 16},
        TimerCase{"TakesNoLessThanTwo", 16, 2, core::FT_OK, 2, {2, 16}, 16},
        TimerCase{"SetByTheUserToFortyMilliseconds", 40, 1, core::FT_OK, 1, {1, 40}, 40},
        TimerCase{"AlreadyAtOneMillisecond", 1, 1, core::FT_OK, std::nullopt, {}, 1},
        TimerCase{"WithoutATimer", std::nullopt, 1, core::FT_OK, std::nullopt, {}, std::nullopt},
        TimerCase{"RefusingEveryChange", 16, 1, core::FT_IO_ERROR, std::nullopt, {}, 16}),
    [](const ::testing::TestParamInfo<TimerCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qeltx::session
