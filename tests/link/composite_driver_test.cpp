// The composite driver: one list over several backends, each serial number once, and every
// call routed to the backend that opened the device.
#include "link/composite_driver.h"
#include "link/d2xx_unit.h"
#include "link/serial_port_backend.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <map>

namespace qeltx::link {
namespace {

// A backend with the devices a test gives it; it notes what reaches it.
class ListedBackend : public Driver {
public:
    struct Device {
        Device(std::string serial_, std::string description_, FtStatus openResult_ = core::FT_OK,
               std::string openProblem_ = {})
            : serial(std::move(serial_)),
              description(std::move(description_)),
              openResult(openResult_),
              openProblem(std::move(openProblem_)) {}
        std::string serial;
        std::string description;
        FtStatus openResult = core::FT_OK;
        std::string openProblem;
    };

    ListedBackend(std::string name, std::vector<Device> devices) : name_(std::move(name)), devices_(std::move(devices)) {}

    FtStatus listDeviceCount(std::uint32_t& count) override {
        count = static_cast<std::uint32_t>(devices_.size());
        return core::FT_OK;
    }
    FtStatus listSerialNumber(std::uint32_t index, std::string& serial) override {
        if (index >= devices_.size()) return core::FT_DEVICE_NOT_FOUND;
        serial = devices_[index].serial;
        return core::FT_OK;
    }
    FtStatus listDescription(std::uint32_t index, std::string& description) override {
        if (index >= devices_.size()) return core::FT_DEVICE_NOT_FOUND;
        description = devices_[index].description;
        return core::FT_OK;
    }
    FtStatus openBySerialNumber(const std::string& serial, FtHandle& handle) override {
        openTries.push_back(serial);
        problem_.clear();
        for (const Device& d : devices_) {
            if (d.serial != serial) continue;
            if (d.openResult != core::FT_OK) {
                problem_ = d.openProblem;
                return d.openResult;
            }
            handle = nextHandle_++;
            open[handle] = serial;
            return core::FT_OK;
        }
        return core::FT_DEVICE_NOT_FOUND;
    }
    FtStatus close(FtHandle handle) override {
        if (failNextClose) {
            failNextClose = false;
            return core::FT_IO_ERROR;
        }
        return open.erase(handle) ? core::FT_OK : core::FT_INVALID_HANDLE;
    }
    FtStatus setBaudRate(FtHandle handle, std::uint32_t) override { return known(handle); }
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t, std::uint8_t, std::uint8_t) override {
        return known(handle);
    }
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) override {
        rxBytes = 0;
        return known(handle);
    }
    FtStatus waitForQueue(FtHandle handle, std::uint32_t, std::uint32_t& rxBytes) override {
        return getQueueStatus(handle, rxBytes);
    }
    FtStatus read(FtHandle handle, std::uint8_t*, std::uint32_t, std::uint32_t& bytesRead) override {
        bytesRead = 0;
        return known(handle);
    }
    FtStatus write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                   std::uint32_t& bytesWritten) override {
        bytesWritten = 0;
        if (const FtStatus status = known(handle); status != core::FT_OK) return status;
        written[handle].insert(written[handle].end(), buffer, buffer + toWrite);
        bytesWritten = toWrite;
        return core::FT_OK;
    }
    FtStatus purge(FtHandle handle, std::uint32_t) override { return known(handle); }
    std::string lastOpenProblem() const override { return problem_; }
    std::string backendName() const override { return name_; }

    std::vector<std::string> openTries;
    std::map<FtHandle, std::string> open;
    std::map<FtHandle, std::vector<std::uint8_t>> written;
    int calls = 0;
    bool failNextClose = false;

private:
    FtStatus known(FtHandle handle) {
        ++calls;
        return open.count(handle) ? core::FT_OK : core::FT_INVALID_HANDLE;
    }

    std::string name_;
    std::vector<Device> devices_;
    std::string problem_;
    FtHandle nextHandle_ = 1;  // the backends' own numbers overlap on purpose
};

std::vector<std::pair<std::string, std::string>> listing(Driver& driver) {
    std::uint32_t count = 0;
    EXPECT_EQ(driver.listDeviceCount(count), core::FT_OK);
    std::vector<std::pair<std::string, std::string>> out;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string serial;
        std::string description;
        EXPECT_EQ(driver.listSerialNumber(i, serial), core::FT_OK);
        EXPECT_EQ(driver.listDescription(i, description), core::FT_OK);
        out.emplace_back(serial, description);
    }
    return out;
}

class CompositeTest : public ::testing::Test {
protected:
    ListedBackend d2xx{"d2xx", {{"FT1", "FT230X Basic UART"}, {"", "Unnamed A"}}};
    ListedBackend serial{"serial", {{"FT1", "Qelt X (COM port)"}, {"FT2", "FT230X Basic UART"}, {"", "Unnamed B"}}};
    ListedBackend libftdi{"libftdi", {{"FT2", "libftdi FT2"}, {"FT3", "FT232R USB UART"}}};
    CompositeDriver composite{{&d2xx, &serial, &libftdi}};
};

TEST_F(CompositeTest, ListsEachSerialNumberOnceFromTheFirstBackend) {
    using Row = std::pair<std::string, std::string>;
    EXPECT_EQ(listing(composite), (std::vector<Row>{{"FT1", "FT230X Basic UART"},
                                                    {"", "Unnamed A"},
                                                    {"FT2", "FT230X Basic UART"},
                                                    {"", "Unnamed B"},
                                                    {"FT3", "FT232R USB UART"}}));
    EXPECT_EQ(composite.listedBackend(0), &d2xx);
    EXPECT_EQ(composite.listedBackend(2), &serial);
    EXPECT_EQ(composite.listedBackend(4), &libftdi);
    std::string text;
    EXPECT_EQ(composite.listSerialNumber(5, text), core::FT_DEVICE_NOT_FOUND);
}

TEST_F(CompositeTest, OpensThroughTheBackendThatListedTheDeviceAndRoutesEveryCall) {
    listing(composite);
    FtHandle one = 0;
    FtHandle three = 0;
    ASSERT_EQ(composite.openBySerialNumber("FT1", one), core::FT_OK);
    ASSERT_EQ(composite.openBySerialNumber("FT3", three), core::FT_OK);
    EXPECT_NE(one, three);
    EXPECT_EQ(composite.backendOf(one), &d2xx);
    EXPECT_EQ(composite.backendOf(three), &libftdi);
    EXPECT_EQ(d2xx.openTries, std::vector<std::string>{"FT1"});
    EXPECT_TRUE(serial.openTries.empty());

    const std::uint8_t byte = 0x5A;
    std::uint32_t n = 0;
    ASSERT_EQ(composite.write(three, &byte, 1, n), core::FT_OK);
    EXPECT_EQ(libftdi.written.begin()->second, std::vector<std::uint8_t>{0x5A});
    EXPECT_TRUE(d2xx.written.empty());

    EXPECT_EQ(composite.close(one), core::FT_OK);
    EXPECT_TRUE(d2xx.open.empty());
    EXPECT_EQ(libftdi.open.size(), 1u);
}

TEST_F(CompositeTest, AFailedOpenFallsBackToTheNextBackendThatListedTheDevice) {
    ListedBackend lib{"d2xx", {{"PEDAL", "FT230X Basic UART", core::FT_DEVICE_NOT_OPENED, "kernel driver holds it"}}};
    ListedBackend port{"serial", {{"PEDAL", "Qelt X", core::FT_OK, {}}}};
    ListedBackend usb{"libftdi", {{"PEDAL", "FT230X Basic UART", core::FT_DEVICE_NOT_OPENED, "claimed"}}};
    CompositeDriver stack{{&lib, &port, &usb}};
    listing(stack);
    FtHandle handle = 0;
    ASSERT_EQ(stack.openBySerialNumber("PEDAL", handle), core::FT_OK);
    EXPECT_EQ(stack.backendOf(handle), &port);
    EXPECT_TRUE(stack.lastOpenProblem().empty());
    EXPECT_TRUE(usb.openTries.empty());

    // When every one fails, the first failure is the one reported.
    ListedBackend port2{"serial", {{"PEDAL", "Qelt X", core::FT_DEVICE_NOT_OPENED, "in use by another program"}}};
    CompositeDriver failing{{&lib, &port2}};
    listing(failing);
    EXPECT_EQ(failing.openBySerialNumber("PEDAL", handle), core::FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(failing.lastOpenProblem(), "kernel driver holds it");
}

TEST_F(CompositeTest, OpensWhatTheListingDidNotShowAndFindsCutSerialNumbers) {
    // No listing yet: the device is still found.
    FtHandle handle = 0;
    ASSERT_EQ(composite.openBySerialNumber("FT3", handle), core::FT_OK);
    EXPECT_EQ(composite.backendOf(handle), &libftdi);

    // A device that appeared after the listing is tried on each backend in order.
    listing(composite);
    EXPECT_EQ(composite.openBySerialNumber("LATE", handle), core::FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(d2xx.openTries.back(), "LATE");
    EXPECT_EQ(serial.openTries.back(), "LATE");
    EXPECT_EQ(libftdi.openTries.back(), "LATE");

    // The open call cuts serial numbers at 49 characters; a long port path still opens.
    const std::string path = "/dev/serial/by-id/usb-FTDI_FT230X_Basic_UART_DK0ABCDE-if00-port0";
    ListedBackend ports{"serial", {{path, path}}};
    CompositeDriver stack{{&d2xx, &ports}};
    D2XXUnit usb(stack, {});
    ASSERT_EQ(usb.GetFTDeviceCount(), core::FT_OK);
    ASSERT_EQ(usb.GetFTDeviceSerialNo(usb.deviceCount - 1), core::FT_OK);
    EXPECT_EQ(usb.deviceString, path);
    ASSERT_EQ(usb.Open_USB_Device_By_Serial_Number(usb.deviceString), core::FT_OK);
    EXPECT_EQ(ports.openTries, std::vector<std::string>{path});
}

TEST_F(CompositeTest, RefusesHandlesItDidNotOpenOrHasClosed) {
    listing(composite);
    FtHandle handle = 0;
    ASSERT_EQ(composite.openBySerialNumber("FT2", handle), core::FT_OK);
    // The backend's own number for the device is 1; the composite's numbers are its own.
    const FtHandle strangers[] = {0, handle + 1, 1000};
    for (const FtHandle stranger : strangers) {
        if (stranger == handle) continue;
        std::uint32_t n = 0;
        std::uint8_t byte = 0;
        EXPECT_EQ(composite.write(stranger, &byte, 1, n), core::FT_INVALID_HANDLE);
        EXPECT_EQ(composite.close(stranger), core::FT_INVALID_HANDLE);
    }

    // A close the backend refuses keeps the handle for another try.
    serial.failNextClose = true;
    EXPECT_EQ(composite.close(handle), core::FT_IO_ERROR);
    EXPECT_EQ(composite.purge(handle, kPurgeRx), core::FT_OK);
    EXPECT_EQ(composite.close(handle), core::FT_OK);

    const int callsBefore = serial.calls;
    std::uint32_t n = 0;
    EXPECT_EQ(composite.getQueueStatus(handle, n), core::FT_INVALID_HANDLE);
    EXPECT_EQ(composite.close(handle), core::FT_INVALID_HANDLE);
    EXPECT_EQ(serial.calls, callsBefore);  // a closed handle never reaches the backend
}

TEST(SystemDrivers, StandardSetListsAPortAndTheVirtualPedal) {
    testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pedal_sim::PedalModel model;  // before the drivers, which outlive nothing they serve
    auto drivers = makeSystemDrivers({{pty.slavePath()}, "/nonexistent/libftd2xx.so"});
    ASSERT_EQ(drivers->backends().size(), 3u);
    EXPECT_EQ(drivers->backends()[0]->backendName(), "d2xx");
    EXPECT_EQ(drivers->backends()[1]->backendName(), "serial");
    EXPECT_EQ(drivers->backends()[2]->backendName(), "libftdi");

    pedal_sim::VirtualPedalDriver& pedal = static_cast<pedal_sim::VirtualPedalDriver&>(
        drivers->adoptBackend(std::make_unique<pedal_sim::VirtualPedalDriver>(model)));

    // Linking picks the device listed last: the virtual pedal, after the pty.
    std::vector<std::string> shown;
    D2XXUnit usb(*drivers, [&](const std::string& text) { shown.push_back(text); });
    usb.SetPortParameters(portModeNormal);
    ASSERT_EQ(usb.GetFTDeviceCount(), core::FT_OK);
    ASSERT_GE(usb.deviceCount, 2u);
    ASSERT_EQ(usb.GetFTDeviceSerialNo(usb.deviceCount - 2), core::FT_OK);
    EXPECT_EQ(usb.deviceString, pty.slavePath());
    ASSERT_EQ(usb.GetFTDeviceSerialNo(usb.deviceCount - 1), core::FT_OK);
    EXPECT_EQ(usb.deviceString, pedal_sim::kVirtualPedalSerial);
    ASSERT_EQ(usb.Open_USB_Device_By_Serial_Number(usb.deviceString), core::FT_OK);
    EXPECT_EQ(drivers->backendOf(usb.deviceHandle), &pedal);
    usb.txBuffer[0] = 0x02;
    EXPECT_EQ(usb.WriteFTDeviceBuffer(1), 1u);
    EXPECT_EQ(model.received(), std::vector<std::uint8_t>{0x02});
    EXPECT_EQ(usb.CloseFTDevice(), core::FT_OK);

    // And the pty, through the serial backend.
    ASSERT_EQ(usb.Open_USB_Device_By_Serial_Number(pty.slavePath()), core::FT_OK);
    EXPECT_EQ(drivers->backendOf(usb.deviceHandle), drivers->backends()[1]);
    usb.txBuffer[0] = 0x7F;
    EXPECT_EQ(usb.WriteFTDeviceBuffer(1), 1u);
    EXPECT_EQ(pty.receive(1), std::vector<std::uint8_t>{0x7F});
    EXPECT_TRUE(shown.empty());
    // The composite closes it when it goes.
}

}  // namespace
}  // namespace qeltx::link
