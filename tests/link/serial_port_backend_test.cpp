// The serial-port backend against a real pseudo-terminal.
#include "link/serial_port_backend.h"
#include "pty_pair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>

namespace qeltx::link {
namespace {

using testing::eventually;
using testing::PtyPair;

class SerialPortBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        driver.addExplicitPort(pty.slavePath());
    }

    // Lists, finds the pty among the devices and opens it.
    FtHandle openPty() {
        std::uint32_t count = 0;
        EXPECT_EQ(driver.listDeviceCount(count), core::FT_OK);
        std::string serial;
        for (std::uint32_t i = 0; i < count; ++i) {
            EXPECT_EQ(driver.listSerialNumber(i, serial), core::FT_OK);
            if (serial == pty.slavePath()) break;
        }
        EXPECT_EQ(serial, pty.slavePath());
        FtHandle handle = 0;
        EXPECT_EQ(driver.openBySerialNumber(serial, handle), core::FT_OK) << driver.lastOpenProblem();
        EXPECT_NE(handle, 0u);
        return handle;
    }

    std::uint32_t queued(FtHandle handle) {
        std::uint32_t count = 0;
        EXPECT_EQ(driver.getQueueStatus(handle, count), core::FT_OK);
        return count;
    }

    PtyPair pty;
    SerialPortDriver driver;
};

// Every byte value, the terminal's special ones included, must cross unchanged.
std::vector<std::uint8_t> allByteValues() {
    std::vector<std::uint8_t> bytes(256);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

TEST_F(SerialPortBackendTest, ListsTheExplicitPortByItsPath) {
    std::uint32_t count = 0;
    ASSERT_EQ(driver.listDeviceCount(count), core::FT_OK);
    ASSERT_GE(count, 1u);
    std::string serial;
    std::string description;
    ASSERT_EQ(driver.listSerialNumber(count - 1, serial), core::FT_OK);
    ASSERT_EQ(driver.listDescription(count - 1, description), core::FT_OK);
    EXPECT_EQ(serial, pty.slavePath());
    EXPECT_EQ(description, pty.slavePath());
    EXPECT_EQ(driver.listSerialNumber(count, serial), core::FT_DEVICE_NOT_FOUND);

    FtHandle handle = 0;
    EXPECT_EQ(driver.openBySerialNumber("NOSUCHSERIAL", handle), core::FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver.openBySerialNumber("", handle), core::FT_DEVICE_NOT_FOUND);
}

TEST_F(SerialPortBackendTest, TheWaitForBytesEndsWhenTheyComeNotAtItsLimit) {
    const FtHandle handle = openPty();
    std::uint32_t n = 99;
    ASSERT_EQ(driver.waitForQueue(handle, 0, n), core::FT_OK);
    EXPECT_EQ(n, 0u);
    ASSERT_EQ(driver.waitForQueue(handle, 20, n), core::FT_OK);  // nothing comes: the limit ends it
    EXPECT_EQ(n, 0u);

    // The far end answers a little later, from another thread, as a pedal would.
    QElapsedTimer clock;
    clock.start();
    std::thread answer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.send({0x79, 0x1F, 0x79});
    });
    ASSERT_EQ(driver.waitForQueue(handle, 60'000, n), core::FT_OK);
    const qint64 waited = clock.elapsed();
    answer.join();
    EXPECT_GE(n, 1u);
    EXPECT_LT(waited, 30'000);  // woken by the bytes, not by the minute's limit
    EXPECT_TRUE(eventually([&] { return queued(handle) == 3; }));
    ASSERT_EQ(driver.waitForQueue(handle, 60'000, n), core::FT_OK);  // bytes there: at once
    EXPECT_EQ(n, 3u);

    ASSERT_EQ(driver.close(handle), core::FT_OK);
    EXPECT_EQ(driver.waitForQueue(handle, 10, n), core::FT_INVALID_HANDLE);
}

TEST_F(SerialPortBackendTest, BytesCrossBothWaysWithoutAnEventLoop) {
    const FtHandle handle = openPty();
    EXPECT_TRUE(driver.isPseudoTerminal(handle));
    EXPECT_TRUE(SerialPortDriver::isPseudoTerminalPath(pty.slavePath()));
    EXPECT_FALSE(SerialPortDriver::isPseudoTerminalPath("/dev/null"));

    const std::vector<std::uint8_t> out = allByteValues();
    std::uint32_t written = 0;
    ASSERT_EQ(driver.write(handle, out.data(), static_cast<std::uint32_t>(out.size()), written), core::FT_OK);
    EXPECT_EQ(written, out.size());
    EXPECT_EQ(pty.receive(out.size()), out);

    EXPECT_EQ(queued(handle), 0u);
    std::vector<std::uint8_t> in = allByteValues();
    std::reverse(in.begin(), in.end());
    pty.send(in);
    ASSERT_TRUE(eventually([&] { return queued(handle) == in.size(); })) << queued(handle);

    // Two reads: the count asked for is a limit, and the rest stays queued.
    std::vector<std::uint8_t> got(in.size(), 0);
    std::uint32_t n = 0;
    ASSERT_EQ(driver.read(handle, got.data(), 100, n), core::FT_OK);
    EXPECT_EQ(n, 100u);
    EXPECT_EQ(queued(handle), in.size() - 100);
    ASSERT_EQ(driver.read(handle, got.data() + 100, 65536, n), core::FT_OK);
    EXPECT_EQ(n, in.size() - 100);
    EXPECT_EQ(got, in);
    EXPECT_EQ(queued(handle), 0u);

    EXPECT_EQ(driver.read(handle, got.data(), 65536, n), core::FT_OK);
    EXPECT_EQ(n, 0u);
}

TEST_F(SerialPortBackendTest, AWriteTheSystemWillNotTakeWholeFailsAndItsTailIsDropped) {
    const FtHandle handle = openPty();
    // Nobody reads the far end, so the terminal's buffers fill. At a fast line rate the time
    // limit for the write comes soon after.
    ASSERT_EQ(driver.setBaudRate(handle, 12'000'000), core::FT_OK);
    std::vector<std::uint8_t> big(512 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i % 251);
    std::uint32_t written = 0;
    EXPECT_EQ(driver.write(handle, big.data(), static_cast<std::uint32_t>(big.size()), written), core::FT_IO_ERROR);
    EXPECT_LT(written, big.size());

    // The far end gets what the system took, never the dropped tail: after it, the next
    // command arrives on its own.
    const std::vector<std::uint8_t> taken = pty.receiveUntilQuiet();
    EXPECT_LE(taken.size(), written);
    EXPECT_TRUE(std::equal(taken.begin(), taken.end(), big.begin()));
    const std::vector<std::uint8_t> next = {0x5A, 0xA5, 0x0D};
    ASSERT_EQ(driver.write(handle, next.data(), static_cast<std::uint32_t>(next.size()), written), core::FT_OK);
    EXPECT_EQ(written, next.size());
    EXPECT_EQ(pty.receive(next.size()), next);
}

TEST_F(SerialPortBackendTest, LineSettingsAreCheckedAndRememberedOnAPseudoTerminal) {
    const FtHandle handle = openPty();
    EXPECT_EQ(driver.setBaudRate(handle, 115200), core::FT_OK);
    EXPECT_EQ(driver.setDataCharacteristics(handle, kBits8, kStopBits1, kParityEven), core::FT_OK);
    auto line = driver.requestedLine(handle);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->baud, 115200u);
    EXPECT_EQ(line->wordLength, kBits8);
    EXPECT_EQ(line->stopBits, kStopBits1);
    EXPECT_EQ(line->parity, kParityEven);

    struct Bad {
        std::uint8_t wordLength, stopBits, parity;
    };
    for (const Bad bad : {Bad{9, 0, 0}, Bad{8, 1, 0}, Bad{8, 0, 5}}) {
        EXPECT_EQ(driver.setDataCharacteristics(handle, bad.wordLength, bad.stopBits, bad.parity),
                  core::FT_INVALID_PARAMETER);
    }
    EXPECT_EQ(driver.setBaudRate(handle, 0), core::FT_INVALID_BAUD_RATE);
    EXPECT_EQ(driver.requestedLine(handle)->parity, kParityEven);

    // The port still carries bytes after "even parity".
    const std::vector<std::uint8_t> greeting{0x7F};
    std::uint32_t written = 0;
    ASSERT_EQ(driver.write(handle, greeting.data(), 1, written), core::FT_OK);
    EXPECT_EQ(pty.receive(1), greeting);
    EXPECT_EQ(driver.setDataCharacteristics(handle, kBits8, kStopBits1, kParityNone), core::FT_OK);
    EXPECT_EQ(driver.requestedLine(handle)->parity, kParityNone);

    // A pseudo-terminal has no bridge, so no latency timer.
    std::uint8_t latency = 0;
    EXPECT_EQ(driver.getLatencyTimer(handle, latency), core::FT_NOT_SUPPORTED);
    EXPECT_EQ(driver.setLatencyTimer(handle, 2), core::FT_NOT_SUPPORTED);
}

TEST_F(SerialPortBackendTest, PurgeDropsWhatWasReceived) {
    const FtHandle handle = openPty();
    pty.send({1, 2, 3, 4, 5});
    ASSERT_TRUE(eventually([&] { return queued(handle) == 5; }));
    EXPECT_EQ(driver.purge(handle, kPurgeRx | kPurgeTx), core::FT_OK);
    EXPECT_EQ(queued(handle), 0u);
    pty.send({6});
    ASSERT_TRUE(eventually([&] { return queued(handle) == 1; }));
    std::uint8_t byte = 0;
    std::uint32_t n = 0;
    ASSERT_EQ(driver.read(handle, &byte, 1, n), core::FT_OK);
    EXPECT_EQ(byte, 6);
}

TEST_F(SerialPortBackendTest, PurgingTheTransmitQueueKeepsWhatWasWritten) {
    // A parameter written just before a query's purge reaches the pedal even when the pedal
    // reads it only after the purge.
    const FtHandle handle = openPty();
    const std::vector<std::uint8_t> parameter{0x01, 0x00, 0x7E, 0x00, 0x7F, 0xE0, 0x00};
    std::uint32_t written = 0;
    ASSERT_EQ(driver.write(handle, parameter.data(), static_cast<std::uint32_t>(parameter.size()), written), core::FT_OK);
    EXPECT_EQ(driver.purge(handle, kPurgeTx), core::FT_OK);
    const std::vector<std::uint8_t> query{0x06, 0x00};
    ASSERT_EQ(driver.write(handle, query.data(), 2, written), core::FT_OK);
    std::vector<std::uint8_t> both = parameter;
    both.insert(both.end(), query.begin(), query.end());
    EXPECT_EQ(pty.receive(both.size()), both);
}

TEST_F(SerialPortBackendTest, FarEndGoneClosesThePortAndEveryCallSaysIoError) {
    const FtHandle handle = openPty();
    pty.closeMaster();

    std::uint32_t count = 0;
    EXPECT_EQ(driver.getQueueStatus(handle, count), core::FT_IO_ERROR);
    EXPECT_FALSE(driver.isPortOpen(handle));
    std::uint8_t byte = 0x55;
    std::uint32_t n = 7;
    EXPECT_EQ(driver.read(handle, &byte, 1, n), core::FT_IO_ERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(driver.write(handle, &byte, 1, n), core::FT_IO_ERROR);
    EXPECT_EQ(driver.setBaudRate(handle, 115200), core::FT_IO_ERROR);
    EXPECT_EQ(driver.purge(handle, kPurgeRx), core::FT_IO_ERROR);

    // Unlink still works, once.
    EXPECT_EQ(driver.close(handle), core::FT_OK);
    EXPECT_EQ(driver.close(handle), core::FT_INVALID_HANDLE);
    EXPECT_EQ(driver.getQueueStatus(handle, count), core::FT_INVALID_HANDLE);
}

TEST_F(SerialPortBackendTest, FarEndGoneWhileTheEventLoopRunsClosesThePortByItself) {
    const FtHandle handle = openPty();
    pty.closeMaster();
    // No driver call: the port's own notifier sees the hang-up and the backend closes it, so
    // the error cannot repeat for ever.
    EXPECT_TRUE(eventually([&] { return !driver.isPortOpen(handle); }, true));
    std::uint32_t count = 0;
    EXPECT_EQ(driver.getQueueStatus(handle, count), core::FT_IO_ERROR);
    EXPECT_EQ(driver.close(handle), core::FT_OK);
}

TEST_F(SerialPortBackendTest, APortOpenElsewhereIsRefusedWithTheReason) {
    const FtHandle handle = openPty();

    FtHandle second = 0;
    EXPECT_EQ(driver.openBySerialNumber(pty.slavePath(), second), core::FT_DEVICE_NOT_OPENED);
    EXPECT_NE(driver.lastOpenProblem().find("already open"), std::string::npos) << driver.lastOpenProblem();

    // Another program (here another backend, with its own lock on the port).
    SerialPortDriver other;
    other.addExplicitPort(pty.slavePath());
    EXPECT_EQ(other.openBySerialNumber(pty.slavePath(), second), core::FT_DEVICE_NOT_OPENED);
    const std::string problem = other.lastOpenProblem();
    EXPECT_NE(problem.find("in use by another program"), std::string::npos) << problem;
    EXPECT_NE(problem.find("ModemManager"), std::string::npos) << problem;
    EXPECT_NE(problem.find("brltty"), std::string::npos) << problem;

    // Closed here, it opens there.
    EXPECT_EQ(driver.close(handle), core::FT_OK);
    EXPECT_EQ(other.openBySerialNumber(pty.slavePath(), second), core::FT_OK) << other.lastOpenProblem();
    EXPECT_TRUE(other.lastOpenProblem().empty());
}

TEST(SerialPortBackend, AMissingExplicitPortIsListedButNotFoundOnOpen) {
    SerialPortDriver driver;
    driver.addExplicitPort("/dev/pts/qeltx-no-such-port");
    std::uint32_t count = 0;
    ASSERT_EQ(driver.listDeviceCount(count), core::FT_OK);
    FtHandle handle = 0;
    EXPECT_EQ(driver.openBySerialNumber("/dev/pts/qeltx-no-such-port", handle), core::FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, 0u);
}

}  // namespace
}  // namespace qeltx::link
