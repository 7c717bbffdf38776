// The in-process driver backend: the virtual pedal listed as one device and reached through
// the same D2XX operation set as a real bridge.
#pragma once

#include "link/driver.h"
#include "pedal_sim/pedal_model.h"

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
    core::FtStatus read(link::FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead,
                        std::uint32_t& bytesRead) override;
    core::FtStatus write(link::FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                         std::uint32_t& bytesWritten) override;
    core::FtStatus purge(link::FtHandle handle, std::uint32_t mask) override;
    std::string backendName() const override { return "virtual"; }

    PedalModel& model() { return model_; }
    const LineSettings& line() const { return line_; }
    bool isOpen() const { return openHandle_ != 0; }

private:
    bool valid(link::FtHandle handle) const { return handle != 0 && handle == openHandle_; }

    PedalModel& model_;
    LineSettings line_;
    link::FtHandle openHandle_ = 0;
    link::FtHandle nextHandle_ = 0x2A;
};

}  // namespace qeltx::pedal_sim
