// The in-process driver backend: the virtual pedal listed as one device and reached through
// the same D2XX operation set as a real bridge. Bytes cross at once, or paced on the model's
// clock when the model is told to pace them; a pedal that dropped off the bus fails every
// call on its handle with FT_IO_ERROR and is no longer listed.
#pragma once

#include "link/driver.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/serial_wire.h"

#include <string>

namespace qeltx::pedal_sim {

inline constexpr const char* kVirtualPedalSerial = "QXVIRTUAL1";
inline constexpr const char* kVirtualPedalDescription = "Qelt X Virtual Pedal";

class VirtualPedalDriver : public link::Driver {
public:
    explicit VirtualPedalDriver(PedalModel& model);

    core::FtStatus listDeviceCount(std::uint32_t& count) override;
    core::FtStatus listSerialNumber(std::uint32_t index, std::string& serial) override;
    core::FtStatus listDescription(std::uint32_t index, std::string& description) override;
    core::FtStatus openBySerialNumber(const std::string& serial, link::FtHandle& handle) override;
    core::FtStatus close(link::FtHandle handle) override;
    core::FtStatus setBaudRate(link::FtHandle handle, std::uint32_t baud) override;
    core::FtStatus setDataCharacteristics(link::FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                          std::uint8_t parity) override;
    core::FtStatus getQueueStatus(link::FtHandle handle, std::uint32_t& rxBytes) override;
    // In real time, sleeps until the wire's next byte is due; on a virtual clock, never blocks.
    core::FtStatus waitForQueue(link::FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) override;
    core::FtStatus read(link::FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead,
                        std::uint32_t& bytesRead) override;
    core::FtStatus write(link::FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                         std::uint32_t& bytesWritten) override;
    core::FtStatus purge(link::FtHandle handle, std::uint32_t mask) override;
    // Sets the latency of paced answers (FTDI's default is 16 ms).
    core::FtStatus setLatencyTimer(link::FtHandle handle, std::uint8_t milliseconds) override;
    core::FtStatus getLatencyTimer(link::FtHandle handle, std::uint8_t& milliseconds) override;
    std::string backendName() const override { return "virtual"; }

    PedalModel& model() { return model_; }
    const LineSettings& line() const { return line_; }
    bool isOpen() const { return openHandle_ != 0; }

private:
    bool valid(link::FtHandle handle) const { return handle != 0 && handle == openHandle_; }
    // FT_OK for a usable handle, else what the call returns.
    core::FtStatus check(link::FtHandle handle) const;
    std::size_t readable();

    PedalModel& model_;
    SerialWire wire_{model_};
    LineSettings line_;
    std::uint8_t latencyMs_ = 16;
    link::FtHandle openHandle_ = 0;
    link::FtHandle nextHandle_ = 0x2A;
};

}  // namespace qeltx::pedal_sim
