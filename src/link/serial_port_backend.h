// The backend on the operating system's serial ports (Qt SerialPort): the virtual COM ports of
// FTDI bridges, and port paths given by the caller (a pseudo-terminal served by
// qeltx-pedal-sim). Never blocks on reads; a port whose far end went away is closed at once and
// every later call on its handle says FT_IO_ERROR until the handle is closed.
#pragma once

#include "link/driver.h"
#include "link/backend_tables.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qeltx::link {

// FTDI's USB vendor number: the ports of its bridges are the ones listed.
inline constexpr std::uint16_t kFtdiVendorId = 0x0403;

// Ports open at the pedal's rate, eight data bits, one stop bit, no parity, no flow control.
inline constexpr std::uint32_t kSerialOpenBaudRate = 115200;

// The line settings last asked for on a handle, in D2XX codes.
struct LineRequest {
    std::uint32_t baud = kSerialOpenBaudRate;
    std::uint8_t wordLength = kBits8;
    std::uint8_t stopBits = kStopBits1;
    std::uint8_t parity = kParityNone;
};

class SerialPortDriver : public Driver {
public:
    SerialPortDriver();
    ~SerialPortDriver() override;
    SerialPortDriver(const SerialPortDriver&) = delete;
    SerialPortDriver& operator=(const SerialPortDriver&) = delete;

    // Lists `path` as one more device, after the FTDI ports, with the path as both its serial
    // number and its description. A path that names one of the listed FTDI ports is not
    // listed twice.
    void addExplicitPort(const std::string& path);

    // True for a pseudo-terminal: its slave side lives under /dev/pts (or is a link to one),
    // or, on Linux, has a pseudo-terminal's device number.
    static bool isPseudoTerminalPath(const std::string& path);

    FtStatus listDeviceCount(std::uint32_t& count) override;
    FtStatus listSerialNumber(std::uint32_t index, std::string& serial) override;
    FtStatus listDescription(std::uint32_t index, std::string& description) override;
    // FT_DEVICE_NOT_FOUND when nothing with that serial number is listed; FT_DEVICE_NOT_OPENED
    // when the port cannot be opened, with lastOpenProblem() saying why and what to do.
    FtStatus openBySerialNumber(const std::string& serial, FtHandle& handle) override;
    FtStatus close(FtHandle handle) override;
    // On a pseudo-terminal, which carries bytes only, line settings are checked and
    // remembered but not applied (setting parity on an open one fails).
    FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) override;
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                    std::uint8_t parity) override;
    // Takes in what the system has received first, so it counts bytes even when no event loop
    // runs.
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) override;
    FtStatus waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) override;
    FtStatus read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& bytesRead) override;
    // Returns once the system has taken the bytes. When it will not take them all within twice
    // the time they take on the line, the rest is dropped and the write fails (FT_IO_ERROR),
    // with bytesWritten saying how many it took.
    FtStatus write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                   std::uint32_t& bytesWritten) override;
    FtStatus purge(FtHandle handle, std::uint32_t mask) override;
    // Through the serial driver's low-latency mode (Linux TIOCSSERIAL, no root needed), which
    // offers two timers: 1 ms while it is on, the driver's own (16 ms unless set otherwise)
    // while it is off. Asking for less than the driver's own turns it on, anything else turns
    // it off. FT_NOT_SUPPORTED where the port has none (a pseudo-terminal, other systems).
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) override;
    FtStatus getLatencyTimer(FtHandle handle, std::uint8_t& milliseconds) override;
    std::string lastOpenProblem() const override { return lastOpenProblem_; }
    std::string backendName() const override { return "serial"; }

    // What tests and the console may ask about an open handle.
    std::optional<LineRequest> requestedLine(FtHandle handle);
    bool isPseudoTerminal(FtHandle handle);
    // Whether the system port is open: the backend closes it as soon as its device goes away
    // (the handle stays until closed). False for handles that are not open.
    bool isPortOpen(FtHandle handle);
    // The port's path, empty for handles that are not open.
    std::string portPath(FtHandle handle);

private:
    struct Listed {
        std::string serial;
        std::string description;
        std::string path;
    };
    struct Port;

    void refreshListing();
    Port* findPort(FtHandle handle);
    // The open port of a handle that is still attached, or the status to return.
    FtStatus usable(FtHandle handle, Port*& port);

    std::vector<std::string> explicitPorts_;
    std::vector<Listed> listed_;
    HandleTable<std::unique_ptr<Port>> ports_;
    std::string lastOpenProblem_;
};

}  // namespace qeltx::link
