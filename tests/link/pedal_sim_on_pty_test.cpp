// The serial backend against qeltx-pedal-sim on a pseudo-terminal, as a user trying the editor
// without hardware reaches it with --port: the bootloader greeting at even parity, and the
// pedal going away when the simulator stops.
#include "link/composite_driver.h"
#include "link/d2xx_unit.h"
#include "link/serial_port_backend.h"
#include "pty_pair.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace qeltx::link {
namespace {

constexpr std::uint8_t kBootloaderSync = 0x7F;
constexpr std::uint8_t kBootloaderAck = 0x79;
constexpr int kSimulatorStartMs = 10000;

class PedalSimulator {
public:
    explicit PedalSimulator(const QStringList& arguments) {
        process_.start(QStringLiteral(QELTX_PEDAL_SIM_PATH), arguments);
        if (!process_.waitForStarted(kSimulatorStartMs)) return;
        while (!process_.canReadLine() && process_.waitForReadyRead(kSimulatorStartMs)) {
        }
        path_ = QString::fromUtf8(process_.readLine()).trimmed().toStdString();
    }
    ~PedalSimulator() { stop(); }
    PedalSimulator(const PedalSimulator&) = delete;
    PedalSimulator& operator=(const PedalSimulator&) = delete;

    const std::string& path() const { return path_; }
    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(kSimulatorStartMs)) process_.kill();
        process_.waitForFinished(kSimulatorStartMs);
    }

private:
    QProcess process_;
    std::string path_;
};

TEST(PedalSimOnPty, BootloaderGreetingAtEvenParityAndThePedalGoingAway) {
    PedalSimulator simulator({QStringLiteral("--bootloader")});
    ASSERT_FALSE(simulator.path().empty());

    auto drivers = makeSystemDrivers({{simulator.path()}, "/nonexistent/libftd2xx.so"});
    std::vector<std::string> shown;
    D2XXUnit usb(*drivers, [&](const std::string& text) { shown.push_back(text); });
    ASSERT_EQ(usb.Open_USB_Device_By_Serial_Number(simulator.path()), core::FT_OK) << drivers->lastOpenProblem();
    auto* serial = dynamic_cast<SerialPortDriver*>(drivers->backendOf(usb.deviceHandle));
    ASSERT_NE(serial, nullptr);

    usb.SetPortParameters(portModeBootloader);
    EXPECT_EQ(usb.SetFTDeviceBaudRate(), core::FT_OK);
    EXPECT_EQ(usb.SetFTDeviceDataCharacteristics(), core::FT_OK);
    usb.txBuffer[0] = kBootloaderSync;
    ASSERT_EQ(usb.WriteFTDeviceBuffer(1), 1u);
    ASSERT_TRUE(testing::eventually([&] { return usb.GetFTDeviceQueueStatus() == 0 && usb.rxQueueCount >= 1; }));
    ASSERT_EQ(usb.ReadFTDeviceBuffer(), 1u);
    EXPECT_EQ(usb.rxBuffer[0], kBootloaderAck);
    EXPECT_TRUE(shown.empty());

    // The simulator stops, as a pedal pulled out: the link reports an I/O error, the port is
    // closed, and Unlink still succeeds.
    simulator.stop();
    ASSERT_TRUE(testing::eventually([&] { return usb.GetFTDeviceQueueStatus() != core::FT_OK; }));
    EXPECT_EQ(usb.GetFTDeviceQueueStatus(), core::FT_IO_ERROR);
    EXPECT_FALSE(serial->isPortOpen(usb.deviceHandle));
    EXPECT_EQ(usb.CloseFTDevice(), core::FT_OK);
}

}  // namespace
}  // namespace qeltx::link
