// D2XXUnit over the virtual pedal: the buffer rules, the serial-number cut, the line
// parameters, the error texts and stale handles.
#include "link/d2xx_unit.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qeltx::link {
namespace {

using pedal_sim::kVirtualPedalSerial;

// The virtual pedal, noting the serial number every open is given.
class RecordingPedalDriver : public pedal_sim::VirtualPedalDriver {
public:
    using VirtualPedalDriver::VirtualPedalDriver;
    FtStatus openBySerialNumber(const std::string& serial, FtHandle& handle) override {
        openedWith.push_back(serial);
        return VirtualPedalDriver::openBySerialNumber(serial, handle);
    }
    std::vector<std::string> openedWith;
};

class D2XXUnitTest : public ::testing::Test {
protected:
    void pedalSends(const std::vector<std::uint8_t>& bytes) {
        model.output().insert(model.output().end(), bytes.begin(), bytes.end());
    }

    pedal_sim::PedalModel model;
    RecordingPedalDriver driver{model};
    std::vector<std::string> messages;
    D2XXUnit usb{driver, [this](const std::string& text) { messages.push_back(text); }};
};

TEST_F(D2XXUnitTest, ReadsLandAtTheStartOfTheBufferAndLeaveOlderBytesBeyond) {
    ASSERT_EQ(usb.Open_USB_Device_By_Serial_Number(kVirtualPedalSerial), core::FT_OK);

    pedalSends({0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9});
    EXPECT_EQ(usb.ReadFTDeviceBuffer(), 10u);
    pedalSends({0xB0, 0xB1, 0xB2, 0xB3});
    EXPECT_EQ(usb.ReadFTDeviceBuffer(), 4u);

    const std::vector<std::uint8_t> start(usb.rxBuffer.begin(), usb.rxBuffer.begin() + 11);
    EXPECT_EQ(start, (std::vector<std::uint8_t>{0xB0, 0xB1, 0xB2, 0xB3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0x00}));
    EXPECT_TRUE(model.output().empty());

    // Nothing queued: nothing read, the buffer as it was.
    const std::vector<std::uint8_t> before = usb.rxBuffer;
    EXPECT_EQ(usb.ReadFTDeviceBuffer(), 0u);
    EXPECT_EQ(usb.lastDeviceStatus, core::FT_OK);
    EXPECT_EQ(usb.rxBuffer, before);
    EXPECT_TRUE(messages.empty());
}

TEST_F(D2XXUnitTest, OpenTakesAtMost49CharactersOfTheSerialNumber) {
    const std::string sixty(60, 'S');
    usb.showDeviceErrors = false;
    usb.Open_USB_Device_By_Serial_Number(sixty);
    usb.Open_USB_Device_By_Serial_Number(kVirtualPedalSerial);
    usb.Open_USB_Device_By_Serial_Number("");

    ASSERT_EQ(driver.openedWith.size(), 3u);
    EXPECT_EQ(driver.openedWith[0], sixty.substr(0, 49));
    EXPECT_EQ(driver.openedWith[1], kVirtualPedalSerial);
    EXPECT_EQ(driver.openedWith[2], "");
    EXPECT_EQ(usb.openSerialNumber[0], '\0');
    EXPECT_TRUE(driver.isOpen());
}

TEST_F(D2XXUnitTest, PortModesChooseTheParityAndTheLinkAppliesThem) {
    struct Case {
        std::vector<int> modes;
        std::uint8_t parity;
    };
    const Case cases[] = {
        {{portModeBootloader}, kParityEven},
        {{portModeBootloader, portModeNormal}, kParityNone},
        {{portModeBootloader, 1}, kParityEven},  // an unknown mode keeps the parity
        {{portModeNormal, 7}, kParityNone},
    };
    for (const Case& c : cases) {
        pedal_sim::PedalModel caseModel;
        pedal_sim::VirtualPedalDriver caseDriver(caseModel);
        D2XXUnit unit(caseDriver, {});
        for (const int mode : c.modes) unit.SetPortParameters(mode);
        EXPECT_EQ(unit.portBaudRate, 115200u);
        EXPECT_EQ(unit.portDataBits, 8);
        EXPECT_EQ(unit.portStopBits, 0);
        EXPECT_EQ(unit.portParity, c.parity);

        ASSERT_EQ(unit.Open_USB_Device_By_Serial_Number(kVirtualPedalSerial), core::FT_OK);
        EXPECT_EQ(unit.SetFTDeviceBaudRate(), core::FT_OK);
        EXPECT_EQ(unit.SetFTDeviceDataCharacteristics(), core::FT_OK);
        EXPECT_EQ(caseDriver.line().baud, 115200u);
        EXPECT_EQ(caseDriver.line().wordLength, 8);
        EXPECT_EQ(caseDriver.line().stopBits, 0);
        EXPECT_EQ(caseDriver.line().parity, c.parity);
    }
}

TEST_F(D2XXUnitTest, ReportFTErrorShowsLabelAndTextOnlyWhenReportsAreOn) {
    struct Case {
        bool show;
        FtStatus status;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {true, 0, {}},
        {false, 0, {}},
        {false, 4, {}},
        {false, 18, {}},
        {true, 1, {"FT_Read - Invalid handle..."}},
        {true, 8, {"FT_Read Device not opened for erase..."}},
        {true, 17, {"FT_Read - Other error ..."}},
        {true, 18, {"FT_Read - Unknown error (status 18)"}},
    };
    for (const Case& c : cases) {
        messages.clear();
        usb.showDeviceErrors = c.show;
        usb.ReportFTError("FT_Read", c.status);
        EXPECT_EQ(messages, c.expected) << "status " << c.status << " show " << c.show;
    }
}

TEST_F(D2XXUnitTest, AClosedHandleIsRefusedAndReported) {
    ASSERT_EQ(usb.Open_USB_Device_By_Serial_Number(kVirtualPedalSerial), core::FT_OK);
    const FtHandle handle = usb.deviceHandle;
    ASSERT_EQ(usb.CloseFTDevice(), core::FT_OK);
    EXPECT_EQ(usb.deviceHandle, handle);  // closing keeps the number

    usb.txBuffer[0] = 0x01;
    EXPECT_EQ(usb.WriteFTDeviceBuffer(1), 0u);
    EXPECT_EQ(usb.lastDeviceStatus, core::FT_INVALID_HANDLE);
    EXPECT_EQ(usb.ReadFTDeviceBuffer(), 0u);
    EXPECT_EQ(usb.CloseFTDevice(), core::FT_INVALID_HANDLE);
    EXPECT_EQ(usb.PurgeFTDeviceRx(), core::FT_INVALID_HANDLE);
    EXPECT_TRUE(model.received().empty());
    EXPECT_EQ(messages, (std::vector<std::string>{"FT_Write - Invalid handle...", "FT_Read - Invalid handle...",
                                                  "FT_Close - Invalid handle...", "FT_Purge RX - Invalid handle..."}));
}

TEST_F(D2XXUnitTest, TraceHoldsWhatWentOutAndCameInWithTheClocksTime) {
    std::int64_t now = 1000;
    usb.traceClock = [&now] { return now; };
    ASSERT_EQ(usb.Open_USB_Device_By_Serial_Number(kVirtualPedalSerial), core::FT_OK);
    EXPECT_EQ(usb.ReadFTDeviceBuffer(), 0u);  // nothing came: nothing traced

    // The stored-effect query, and the pedal's answer.
    usb.txBuffer[0] = 0x06;
    usb.txBuffer[1] = 0x00;
    ASSERT_EQ(usb.WriteFTDeviceBuffer(2), 2u);
    now = 1105;
    const std::uint32_t got = usb.ReadFTDeviceBuffer();
    ASSERT_GT(got, 0u);
    const std::vector<std::uint8_t> answer(usb.rxBuffer.begin(), usb.rxBuffer.begin() + got);
    // A write that fails sent nothing, and is not traced as sent.
    ASSERT_EQ(usb.CloseFTDevice(), core::FT_OK);
    usb.showDeviceErrors = false;
    EXPECT_EQ(usb.WriteFTDeviceBuffer(2), 0u);

    const auto entries = usb.messageTrace.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].ms, 1000);
    EXPECT_EQ(entries[0].direction, core::TraceDirection::Sent);
    EXPECT_EQ(entries[0].bytes, (std::vector<std::uint8_t>{0x06, 0x00}));
    EXPECT_EQ(entries[1].ms, 1105);
    EXPECT_EQ(entries[1].direction, core::TraceDirection::Received);
    EXPECT_EQ(entries[1].bytes, answer);
}

}  // namespace
}  // namespace qeltx::link
