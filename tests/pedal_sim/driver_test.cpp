// The in-process driver backend: pacing on the virtual clock, USB latency, and the faults
// a host sees (split replies, silence, noise, a bridge gone from the bus).
#include "pedal_fixture.h"
#include "pedal_sim/virtual_pedal_driver.h"

#include <gtest/gtest.h>

namespace qeltx::pedal_sim::test {
namespace {

using namespace std::chrono_literals;

class Driver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(driver.openBySerialNumber(kVirtualPedalSerial, handle), core::FT_OK);
        ASSERT_EQ(driver.setBaudRate(handle, 115200), core::FT_OK);
        ASSERT_EQ(driver.setDataCharacteristics(handle, 8, 0, 0), core::FT_OK);
    }
    void write(const Bytes& bytes) {
        std::uint32_t written = 0;
        ASSERT_EQ(driver.write(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()), written), core::FT_OK);
        ASSERT_EQ(written, bytes.size());
    }
    std::uint32_t queued() {
        std::uint32_t n = 0;
        EXPECT_EQ(driver.getQueueStatus(handle, n), core::FT_OK);
        return n;
    }
    Bytes read(std::uint32_t max = 65536) {
        Bytes buffer(max);
        std::uint32_t got = 0;
        EXPECT_EQ(driver.read(handle, buffer.data(), max, got), core::FT_OK);
        buffer.resize(got);
        return buffer;
    }
    void at(Nanos t) { model.virtualClock()->advanceTo(t); }

    PedalModel model{Pedal::options({})};
    VirtualPedalDriver driver{model};
    link::FtHandle handle = 0;
};

const std::string kQueryReply = "1\r\n43\r\n1\r\n1\r\n";

TEST_F(Driver, UnpacedAnswersAreThereAtOnce) {
    write({0x06, 0x00});
    EXPECT_EQ(queued(), kQueryReply.size());
    const Bytes reply = read();
    EXPECT_EQ(std::string(reply.begin(), reply.end()), kQueryReply);
}

TEST_F(Driver, PacedBytesTakeTenBitTimesEachAtEightNOne) {
    model.setPacing({115200, 0ns});
    write({0x06, 0x00});
    // 2 bytes in, 13 out, 10 bits each at 115,200 baud: the last is in at 15 x 86.8 us.
    at(1302us);
    EXPECT_EQ(queued(), 12u);
    at(1303us);
    EXPECT_EQ(queued(), 13u);
    const Bytes reply = read();
    EXPECT_EQ(std::string(reply.begin(), reply.end()), kQueryReply);
}

TEST_F(Driver, PacedBytesTakeElevenBitTimesEachAtEightEOne) {
    PedalOptions options = Pedal::options({});
    options.startInBootloader = true;
    PedalModel boot(options);
    boot.setPacing({115200, 0ns});
    VirtualPedalDriver d(boot);
    link::FtHandle h = 0;
    ASSERT_EQ(d.openBySerialNumber(kVirtualPedalSerial, h), core::FT_OK);
    ASSERT_EQ(d.setDataCharacteristics(h, 8, 0, 2), core::FT_OK);
    const std::uint8_t sync = 0x7F;
    std::uint32_t n = 0;
    ASSERT_EQ(d.write(h, &sync, 1, n), core::FT_OK);
    boot.virtualClock()->advanceTo(190us);  // 2 x 95.5 us
    ASSERT_EQ(d.getQueueStatus(h, n), core::FT_OK);
    EXPECT_EQ(n, 0u);
    boot.virtualClock()->advanceTo(191us);
    ASSERT_EQ(d.getQueueStatus(h, n), core::FT_OK);
    EXPECT_EQ(n, 1u);
}

TEST_F(Driver, LatencyHoldsAPartPacketButAFullOneGoesAtOnce) {
    model.setPacing({115200, 16ms});
    write({0x06, 0x00});
    at(16ms);
    EXPECT_EQ(queued(), 0u);
    at(16ms + 261us);  // the first answer byte was in at 260.4 us
    EXPECT_EQ(queued(), 13u);
    read();

    write({0x0C, 0x50, 0x00, 0x00, 0x00, 0x00});  // a 16,385-byte dump
    const Nanos start = model.clock().now();
    // 6 bytes in, then 62 out make the first full packet.
    at(start + (6 + 62) * 86806ns + 1us);
    EXPECT_EQ(queued(), 62u);
}

TEST_F(Driver, SkipAheadMovesTheVirtualClockToTheAnswer) {
    Pacing pacing{115200, 16ms};
    pacing.skipAhead = true;
    model.setPacing(pacing);
    write({0x06, 0x00});
    EXPECT_EQ(queued(), 13u);  // 2 bytes in, the first byte out, then the latency
    EXPECT_EQ(model.clock().now(), 3 * 86805ns + 16ms);
    read();
    EXPECT_EQ(queued(), 0u);  // nothing on its way: the clock stays
    EXPECT_EQ(model.clock().now(), 3 * 86805ns + 16ms);
}

TEST_F(Driver, WaitingOnTheVirtualClockNeverBlocks) {
    model.setPacing({115200, 16ms});
    write({0x06, 0x00});
    std::uint32_t n = 99;
    // Nothing is due yet and the test moves time: the wait says so at once, whatever its limit.
    ASSERT_EQ(driver.waitForQueue(handle, 60'000, n), core::FT_OK);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(model.clock().now(), 0ns);
    at(16ms + 261us);
    ASSERT_EQ(driver.waitForQueue(handle, 60'000, n), core::FT_OK);
    EXPECT_EQ(n, 13u);
}

TEST(DriverInRealTime, TheWaitEndsWhenTheAnswerIsDueNotAtItsLimit) {
    PedalModel model{Pedal::options({})};
    model.useRealTime();
    model.setPacing({115200, 16ms});
    VirtualPedalDriver driver{model};
    link::FtHandle handle = 0;
    ASSERT_EQ(driver.openBySerialNumber(kVirtualPedalSerial, handle), core::FT_OK);
    std::uint32_t n = 0;
    ASSERT_EQ(driver.waitForQueue(handle, 0, n), core::FT_OK);  // nothing asked, nothing due
    EXPECT_EQ(n, 0u);

    const Bytes query{0x06, 0x00};
    std::uint32_t written = 0;
    const Nanos sent = model.clock().now();
    ASSERT_EQ(driver.write(handle, query.data(), 2, written), core::FT_OK);
    // The answer is due 16.3 ms after the write; a wait that slept to its limit would take a minute.
    ASSERT_EQ(driver.waitForQueue(handle, 60'000, n), core::FT_OK);
    const Nanos woke = model.clock().now();
    EXPECT_EQ(n, 13u);
    EXPECT_GE(woke - sent, 16ms + 260us);
    EXPECT_LT(woke - sent, 30s);
}

TEST_F(Driver, SplitRepliesComeInPieces) {
    model.faults().splitReadsAt = 5;
    write({0x06, 0x00});
    EXPECT_EQ(queued(), 5u);
    std::string whole;
    for (int k = 0; k < 3; ++k) {
        const Bytes part = read();
        EXPECT_LE(part.size(), 5u);
        whole.append(part.begin(), part.end());
    }
    EXPECT_EQ(whole, kQueryReply);
    EXPECT_TRUE(read().empty());
}

TEST_F(Driver, SilentPedalTakesCommandsButAnswersNothing) {
    model.faults().silent = true;
    write({0x06, 0x00});
    write({0x0D, 0x01});
    EXPECT_EQ(queued(), 0u);
    EXPECT_TRUE(model.bypass());
}

TEST_F(Driver, GarbageKeepsTheLengthButNotTheText) {
    model.faults().garbage = true;
    write({0x06, 0x00});
    const Bytes reply = read();
    ASSERT_EQ(reply.size(), kQueryReply.size());
    EXPECT_NE(std::string(reply.begin(), reply.end()), kQueryReply);
}

TEST_F(Driver, PedalOffTheBusFailsEveryCallUntilClosed) {
    model.faults().offBus = true;
    std::uint32_t n = 0;
    Bytes buffer(8);
    EXPECT_EQ(driver.getQueueStatus(handle, n), core::FT_IO_ERROR);
    EXPECT_EQ(driver.read(handle, buffer.data(), 8, n), core::FT_IO_ERROR);
    EXPECT_EQ(driver.write(handle, buffer.data(), 2, n), core::FT_IO_ERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(driver.purge(handle, link::kPurgeRx | link::kPurgeTx), core::FT_IO_ERROR);
    EXPECT_EQ(driver.setDataCharacteristics(handle, 8, 0, 2), core::FT_IO_ERROR);
    EXPECT_EQ(driver.listDeviceCount(n), core::FT_OK);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(driver.close(handle), core::FT_OK);
    link::FtHandle again = 0;
    EXPECT_EQ(driver.openBySerialNumber(kVirtualPedalSerial, again), core::FT_DEVICE_NOT_FOUND);
    model.faults().offBus = false;  // plugged in again
    EXPECT_EQ(driver.openBySerialNumber(kVirtualPedalSerial, again), core::FT_OK);
}

TEST_F(Driver, ForgettingEvenParityLeavesTheBootloaderSilent) {
    model.setButton(control::kB2, true);
    write({0x05, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    write({0x7F});
    EXPECT_EQ(queued(), 0u);
    ASSERT_EQ(driver.setDataCharacteristics(handle, 8, 0, 2), core::FT_OK);
    write({0x7F});
    EXPECT_EQ(read(), Bytes{0x79});
}

TEST_F(Driver, PurgeRxDropsWhatArrived) {
    write({0x06, 0x00});
    ASSERT_EQ(driver.purge(handle, link::kPurgeRx), core::FT_OK);
    EXPECT_EQ(queued(), 0u);
}

}  // namespace
}  // namespace qeltx::pedal_sim::test
