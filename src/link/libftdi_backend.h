// The backend on libftdi1: FTDI bridges reached directly over USB, for a pedal that no virtual
// COM port driver has claimed. Opening detaches the kernel's serial driver from the device;
// closing hands it back.
#pragma once

#include "link/driver.h"
#include "link/backend_tables.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ftdi_context;

namespace qeltx::link {

// The FTDI product numbers the backend looks for (FT232R, FT2232, FT4232H, FT232H and the
// X series, to which the pedal's FT230X belongs), all under FTDI's vendor number 0x0403.
inline constexpr std::array<int, 5> kFtdiProductIds = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

class LibFtdiDriver : public Driver {
public:
    LibFtdiDriver();
    // Closes what is still open, giving the devices back to the kernel.
    ~LibFtdiDriver() override;
    LibFtdiDriver(const LibFtdiDriver&) = delete;
    LibFtdiDriver& operator=(const LibFtdiDriver&) = delete;

    // Lists the bridges whose serial number and description can be read; one that cannot
    // (no permission) is left out.
    FtStatus listDeviceCount(std::uint32_t& count) override;
    FtStatus listSerialNumber(std::uint32_t index, std::string& serial) override;
    FtStatus listDescription(std::uint32_t index, std::string& description) override;
    FtStatus openBySerialNumber(const std::string& serial, FtHandle& handle) override;
    FtStatus close(FtHandle handle) override;
    FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) override;
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                    std::uint8_t parity) override;
    // libftdi1 has no receive-queue call: this reads what the chip holds into the backend's
    // own buffer (one USB round trip, at most one latency period) and counts that buffer.
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) override;
    // Reads with libusb's time limit until the chip has handed over something.
    FtStatus waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) override;
    FtStatus read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& bytesRead) override;
    FtStatus write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                   std::uint32_t& bytesWritten) override;
    FtStatus purge(FtHandle handle, std::uint32_t mask) override;
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) override;
    FtStatus getLatencyTimer(FtHandle handle, std::uint8_t& milliseconds) override;
    std::string lastOpenProblem() const override { return lastOpenProblem_; }
    std::string backendName() const override { return "libftdi"; }

private:
    struct Listed {
        std::string serial;
        std::string description;
    };
    struct Device;

    // The open device of a handle that is still attached, or the status to return.
    FtStatus usable(FtHandle handle, Device*& device);
    // Moves what the chip has received into the device's buffer.
    FtStatus takeIn(Device& device);

    std::vector<Listed> listed_;
    HandleTable<std::unique_ptr<Device>> devices_;
    std::string lastOpenProblem_;
};

}  // namespace qeltx::link
