// Every backend refuses a handle it never gave out, or has closed, with FT_INVALID_HANDLE, and
// touches nothing behind it.
#include "link/composite_driver.h"
#include "link/d2xx_library_backend.h"
#include "link/libftdi_backend.h"
#include "link/serial_port_backend.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "pty_pair.h"
#include "standin_hooks.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qeltx::link {
namespace {

// A backend and what it needs around it.
struct Rig {
    virtual ~Rig() = default;
    virtual Driver& driver() = 0;
    // A serial number the backend can open here, or empty.
    virtual std::string openable() { return {}; }
    virtual bool hasLatencyTimer() const { return false; }
};

struct VirtualRig : Rig {
    pedal_sim::PedalModel model;
    pedal_sim::VirtualPedalDriver pedal{model};
    Driver& driver() override { return pedal; }
    std::string openable() override { return pedal_sim::kVirtualPedalSerial; }
};

struct SerialRig : Rig {
    testing::PtyPair pty;
    SerialPortDriver serial;
    SerialRig() { serial.addExplicitPort(pty.slavePath()); }
    Driver& driver() override { return serial; }
    std::string openable() override { return pty.slavePath(); }
    bool hasLatencyTimer() const override { return true; }
};

struct LibFtdiRig : Rig {
    LibFtdiDriver ftdi;
    Driver& driver() override { return ftdi; }
    bool hasLatencyTimer() const override { return true; }
};

struct AbsentD2xxRig : Rig {
    D2xxLibraryDriver loader{"/nonexistent/libftd2xx.so"};
    Driver& driver() override { return loader; }
    bool hasLatencyTimer() const override { return true; }
};

struct StandInD2xxRig : Rig {
    testing::StandIn standIn;
    pedal_sim::PedalModel model;
    pedal_sim::VirtualPedalDriver pedal{model};
    D2xxLibraryDriver loader{QELTX_D2XX_STANDIN_PATH};
    StandInD2xxRig() { standIn.attach(&pedal); }
    Driver& driver() override { return loader; }
    std::string openable() override { return pedal_sim::kVirtualPedalSerial; }
    bool hasLatencyTimer() const override { return true; }
};

struct CompositeRig : Rig {
    pedal_sim::PedalModel model;
    pedal_sim::VirtualPedalDriver pedal{model};
    LibFtdiDriver ftdi;
    CompositeDriver composite{{&ftdi, &pedal}};
    Driver& driver() override { return composite; }
    std::string openable() override { return pedal_sim::kVirtualPedalSerial; }
    bool hasLatencyTimer() const override { return true; }
};

struct RigCase {
    const char* name;
    std::function<std::unique_ptr<Rig>()> make;
};

class StaleHandleTest : public ::testing::TestWithParam<RigCase> {
protected:
    // Every call that takes a handle says FT_INVALID_HANDLE and reports nothing read or written.
    static void expectRefused(Rig& rig, FtHandle handle) {
        Driver& d = rig.driver();
        std::uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        std::uint32_t n = 77;
        std::uint8_t latency = 0;
        SCOPED_TRACE(::testing::Message() << "handle " << handle);
        EXPECT_EQ(d.setBaudRate(handle, 115200), core::FT_INVALID_HANDLE);
        EXPECT_EQ(d.setDataCharacteristics(handle, kBits8, kStopBits1, kParityEven), core::FT_INVALID_HANDLE);
        EXPECT_EQ(d.getQueueStatus(handle, n), core::FT_INVALID_HANDLE);
        EXPECT_EQ(d.waitForQueue(handle, 10, n), core::FT_INVALID_HANDLE);
        n = 77;
        EXPECT_EQ(d.read(handle, buffer, sizeof buffer, n), core::FT_INVALID_HANDLE);
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(buffer[0], 0xEE);
        n = 77;
        EXPECT_EQ(d.write(handle, buffer, sizeof buffer, n), core::FT_INVALID_HANDLE);
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(d.purge(handle, kPurgeRx | kPurgeTx), core::FT_INVALID_HANDLE);
        if (rig.hasLatencyTimer()) {
            EXPECT_EQ(d.setLatencyTimer(handle, 16), core::FT_INVALID_HANDLE);
            EXPECT_EQ(d.getLatencyTimer(handle, latency), core::FT_INVALID_HANDLE);
        }
        EXPECT_EQ(d.close(handle), core::FT_INVALID_HANDLE);
    }
};

TEST_P(StaleHandleTest, NeverOpenedHandlesAreRefused) {
    auto rig = GetParam().make();
    for (const FtHandle handle : {0u, 1u, 0x2Au, 0xFFFFFFFFu}) expectRefused(*rig, handle);
}

class ClosedHandleTest : public StaleHandleTest {};

TEST_P(ClosedHandleTest, ClosedHandlesAreRefused) {
    auto rig = GetParam().make();
    const std::string serial = rig->openable();
    ASSERT_FALSE(serial.empty());
    Driver& d = rig->driver();
    std::uint32_t count = 0;
    ASSERT_EQ(d.listDeviceCount(count), core::FT_OK);
    FtHandle first = 0;
    ASSERT_EQ(d.openBySerialNumber(serial, first), core::FT_OK) << d.lastOpenProblem();
    ASSERT_EQ(d.close(first), core::FT_OK);
    expectRefused(*rig, first);

    // Opening again gives a handle that works, and the old one stays dead.
    FtHandle second = 0;
    ASSERT_EQ(d.openBySerialNumber(serial, second), core::FT_OK) << d.lastOpenProblem();
    std::uint32_t queued = 0;
    EXPECT_EQ(d.getQueueStatus(second, queued), core::FT_OK);
    if (second != first) expectRefused(*rig, first);
    EXPECT_EQ(d.close(second), core::FT_OK);
}

RigCase virtualRig() { return {"VirtualPedal", [] { return std::unique_ptr<Rig>(new VirtualRig); }}; }
RigCase serialRig() { return {"SerialPort", [] { return std::unique_ptr<Rig>(new SerialRig); }}; }
RigCase libFtdiRig() { return {"LibFtdi", [] { return std::unique_ptr<Rig>(new LibFtdiRig); }}; }
RigCase absentD2xxRig() { return {"D2xxAbsent", [] { return std::unique_ptr<Rig>(new AbsentD2xxRig); }}; }
RigCase standInD2xxRig() { return {"D2xxStandIn", [] { return std::unique_ptr<Rig>(new StandInD2xxRig); }}; }
RigCase compositeRig() { return {"Composite", [] { return std::unique_ptr<Rig>(new CompositeRig); }}; }

std::string rigName(const ::testing::TestParamInfo<RigCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(EveryBackend, StaleHandleTest,
                         ::testing::Values(virtualRig(), serialRig(), libFtdiRig(), absentD2xxRig(), standInD2xxRig(),
                                           compositeRig()),
                         rigName);
// Those that have something to open here (no USB bridge, no chip maker's library on a test
// machine).
INSTANTIATE_TEST_SUITE_P(EveryBackend, ClosedHandleTest,
                         ::testing::Values(virtualRig(), serialRig(), standInD2xxRig(), compositeRig()), rigName);

TEST(LibFtdiBackend, ListsWithoutHardwareAndOpensNothing) {
    LibFtdiDriver ftdi;
    std::uint32_t count = 99;
    ASSERT_EQ(ftdi.listDeviceCount(count), core::FT_OK);
    // This machine has no FTDI bridge on its USB; a developer's may.
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string serial;
        EXPECT_EQ(ftdi.listSerialNumber(i, serial), core::FT_OK);
    }
    std::string serial;
    EXPECT_EQ(ftdi.listSerialNumber(count, serial), core::FT_DEVICE_NOT_FOUND);
    FtHandle handle = 0;
    EXPECT_EQ(ftdi.openBySerialNumber("QX-NO-SUCH-BRIDGE", handle), core::FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(ftdi.openBySerialNumber("", handle), core::FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(ftdi.backendName(), "libftdi");
}

}  // namespace
}  // namespace qeltx::link
