// The D2XX library loader, against the stand-in library built by these tests (served by the
// virtual pedal) and against libraries that are absent or are not the right one.
#include "link/d2xx_library_backend.h"
#include "link/d2xx_unit.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "standin_hooks.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <dlfcn.h>
#include <thread>

namespace qeltx::link {
namespace {

using pedal_sim::kVirtualPedalDescription;
using pedal_sim::kVirtualPedalSerial;

class D2xxLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standIn.ok()) << dlerror();
        standIn.attach(&pedal);
        ASSERT_TRUE(loader.isAvailable()) << loader.loadProblem();
    }

    testing::StandIn standIn;
    pedal_sim::PedalModel model;
    pedal_sim::VirtualPedalDriver pedal{model};
    D2xxLibraryDriver loader{QELTX_D2XX_STANDIN_PATH};
};

TEST_F(D2xxLoaderTest, ListsAndOpensThroughTheLibrary) {
    std::vector<std::string> shown;
    D2XXUnit usb(loader, [&](const std::string& text) { shown.push_back(text); });
    ASSERT_EQ(usb.GetFTDeviceCount(), core::FT_OK);
    EXPECT_EQ(usb.deviceCount, 1u);
    ASSERT_EQ(usb.GetFTDeviceSerialNo(0), core::FT_OK);
    EXPECT_EQ(usb.deviceString, kVirtualPedalSerial);
    ASSERT_EQ(usb.GetFTDeviceDescription(0), core::FT_OK);
    EXPECT_EQ(usb.deviceString, kVirtualPedalDescription);
    EXPECT_EQ(usb.GetFTDeviceSerialNo(1), core::FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(usb.deviceString, kVirtualPedalDescription);
    EXPECT_EQ(shown, std::vector<std::string>{"GetFTDeviceSerialNo - Device not found..."});
    shown.clear();

    usb.SetPortParameters(portModeBootloader);
    ASSERT_EQ(usb.Open_USB_Device_By_Serial_Number(kVirtualPedalSerial), core::FT_OK);
    EXPECT_NE(usb.deviceHandle, 0u);
    EXPECT_EQ(standIn.openCount(), 1u);
    EXPECT_EQ(usb.SetFTDeviceBaudRate(), core::FT_OK);
    EXPECT_EQ(usb.SetFTDeviceDataCharacteristics(), core::FT_OK);
    EXPECT_EQ(pedal.line().baud, 115200u);
    EXPECT_EQ(pedal.line().parity, kParityEven);

    // Bytes reach the pedal, and its answer comes back.
    usb.txBuffer[0] = 0x7F;
    usb.txBuffer[1] = 0x00;
    EXPECT_EQ(usb.WriteFTDeviceBuffer(2), 2u);
    EXPECT_EQ(model.received(), (std::vector<std::uint8_t>{0x7F, 0x00}));
    model.output().insert(model.output().end(), {0x79, 0x1F, 0x79});
    ASSERT_EQ(usb.GetFTDeviceQueueStatus(), core::FT_OK);
    EXPECT_EQ(usb.rxQueueCount, 3u);
    EXPECT_EQ(usb.ReadFTDeviceBuffer(), 3u);
    EXPECT_EQ(usb.rxBuffer[0], 0x79);
    EXPECT_EQ(usb.rxBuffer[1], 0x1F);

    model.output().push_back(0x42);
    EXPECT_EQ(usb.PurgeFTDeviceRx(), core::FT_OK);
    EXPECT_EQ(usb.PurgeFTDeviceTx(), core::FT_OK);
    EXPECT_EQ(usb.ReadFTDeviceBuffer(), 0u);

    EXPECT_EQ(usb.CloseFTDevice(), core::FT_OK);
    EXPECT_EQ(standIn.openCount(), 0u);
    EXPECT_FALSE(pedal.isOpen());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(usb.WriteFTDeviceBuffer(1), 0u);
    EXPECT_EQ(usb.lastDeviceStatus, core::FT_INVALID_HANDLE);
    EXPECT_EQ(shown, (std::vector<std::string>{"FT_Write - Invalid handle..."}));
}

TEST_F(D2xxLoaderTest, ReadNeverAsksTheLibraryForMoreThanHasArrived) {
    FtHandle handle = 0;
    ASSERT_EQ(loader.openBySerialNumber(kVirtualPedalSerial, handle), core::FT_OK);
    model.output().insert(model.output().end(), {1, 2, 3});
    std::uint8_t buffer[16] = {};
    std::uint32_t n = 0;
    ASSERT_EQ(loader.read(handle, buffer, sizeof buffer, n), core::FT_OK);
    EXPECT_EQ(n, 3u);
    ASSERT_EQ(loader.read(handle, buffer, sizeof buffer, n), core::FT_OK);
    EXPECT_EQ(n, 0u);
}

TEST_F(D2xxLoaderTest, TheWaitForBytesSleepsOnTheLibrarysReceiveEvent) {
    FtHandle handle = 0;
    ASSERT_EQ(loader.openBySerialNumber(kVirtualPedalSerial, handle), core::FT_OK);
    EXPECT_EQ(standIn.receiveEvents(), 1u);

    // Bytes already there: no waiting.
    model.output().insert(model.output().end(), {0x79, 0x1F});
    std::uint32_t n = 0;
    ASSERT_EQ(loader.waitForQueue(handle, 60'000, n), core::FT_OK);
    EXPECT_EQ(n, 2u);
    std::uint8_t buffer[4] = {};
    ASSERT_EQ(loader.read(handle, buffer, sizeof buffer, n), core::FT_OK);

    // Nothing there: the library's signal ends the wait, not its minute's limit. The signal
    // repeats, as bytes keep coming, so a wait that begins late still hears one.
    std::atomic<bool> woken{false};
    std::thread library([&] {
        while (!woken) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            standIn.signalReceived();
        }
    });
    QElapsedTimer clock;
    clock.start();
    const FtStatus status = loader.waitForQueue(handle, 60'000, n);
    const qint64 waited = clock.elapsed();
    woken = true;
    library.join();
    EXPECT_EQ(status, core::FT_OK);
    EXPECT_EQ(n, 0u);
    EXPECT_LT(waited, 30'000);

    ASSERT_EQ(loader.close(handle), core::FT_OK);
    EXPECT_EQ(standIn.receiveEvents(), 0u);
    EXPECT_EQ(loader.waitForQueue(handle, 10, n), core::FT_INVALID_HANDLE);
}

TEST_F(D2xxLoaderTest, LatencyTimerAndFailuresComeFromTheLibrary) {
    FtHandle handle = 0;
    EXPECT_EQ(loader.openBySerialNumber("NOT-THE-PEDAL", handle), core::FT_DEVICE_NOT_FOUND);
    ASSERT_EQ(loader.openBySerialNumber(kVirtualPedalSerial, handle), core::FT_OK);
    FtHandle again = 0;
    EXPECT_EQ(loader.openBySerialNumber(kVirtualPedalSerial, again), core::FT_DEVICE_NOT_OPENED);

    std::uint8_t latency = 0;
    ASSERT_EQ(loader.getLatencyTimer(handle, latency), core::FT_OK);
    EXPECT_EQ(latency, 16);
    ASSERT_EQ(loader.setLatencyTimer(handle, 2), core::FT_OK);
    ASSERT_EQ(loader.getLatencyTimer(handle, latency), core::FT_OK);
    EXPECT_EQ(latency, 2);
    EXPECT_EQ(loader.setLatencyTimer(handle, 0), core::FT_INVALID_PARAMETER);
}

TEST_F(D2xxLoaderTest, UnloadingClosesWhatIsStillOpen) {
    {
        D2xxLibraryDriver second{QELTX_D2XX_STANDIN_PATH};
        FtHandle handle = 0;
        ASSERT_EQ(second.openBySerialNumber(kVirtualPedalSerial, handle), core::FT_OK);
        EXPECT_EQ(standIn.openCount(), 1u);
    }
    EXPECT_EQ(standIn.openCount(), 0u);
    EXPECT_FALSE(pedal.isOpen());
}

TEST(D2xxLoader, WithoutTheLibraryListsNothing) {
    struct Case {
        const char* path;
        const char* problem;
    };
    const Case cases[] = {
        {"/nonexistent/libftd2xx.so", "/nonexistent/libftd2xx.so not loaded: cannot open shared object file"},
        {"libftd2xx-not-installed.so", "libftd2xx-not-installed.so not loaded: cannot open shared object file"},
        {"libm.so.6", "libm.so.6 lacks FT_ListDevices"},  // a library, but not the chip maker's
    };
    for (const Case& c : cases) {
        D2xxLibraryDriver loader{c.path};
        EXPECT_FALSE(loader.isAvailable());
        const std::string& problem = loader.loadProblem();
        EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << problem;
        // The library is named once, by the loader, not again in the system's words.
        EXPECT_EQ(problem.find(c.path, 1), std::string::npos) << problem;
        std::uint32_t count = 99;
        EXPECT_EQ(loader.listDeviceCount(count), core::FT_OK);
        EXPECT_EQ(count, 0u);
        std::string serial;
        EXPECT_EQ(loader.listSerialNumber(0, serial), core::FT_DEVICE_NOT_FOUND);
        FtHandle handle = 0;
        EXPECT_EQ(loader.openBySerialNumber(kVirtualPedalSerial, handle), core::FT_DEVICE_NOT_FOUND);
        EXPECT_EQ(loader.backendName(), "d2xx");
    }
}

}  // namespace
}  // namespace qeltx::link
