// The in-process driver backend over the virtual pedal.
#include "pedal_sim/virtual_pedal_driver.h"

#include <algorithm>

namespace qeltx::pedal_sim {

using core::FT_DEVICE_NOT_FOUND;
using core::FT_INVALID_HANDLE;
using core::FT_OK;

VirtualPedalDriver::VirtualPedalDriver(PedalModel& model) : model_(model) {}

core::FtStatus VirtualPedalDriver::listDeviceCount(std::uint32_t& count) {
    count = 1;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::listSerialNumber(std::uint32_t index, std::string& serial) {
    if (index != 0) return FT_DEVICE_NOT_FOUND;
    serial = kVirtualPedalSerial;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::listDescription(std::uint32_t index, std::string& description) {
    if (index != 0) return FT_DEVICE_NOT_FOUND;
    description = kVirtualPedalDescription;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::openBySerialNumber(const std::string& serial, link::FtHandle& handle) {
    if (serial != kVirtualPedalSerial) return FT_DEVICE_NOT_FOUND;
    if (openHandle_ != 0) return core::FT_DEVICE_NOT_OPENED;  // one program at a time, as a real bridge
    openHandle_ = nextHandle_++;
    handle = openHandle_;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::close(link::FtHandle handle) {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    openHandle_ = 0;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::setBaudRate(link::FtHandle handle, std::uint32_t baud) {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    line_.baud = baud;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::setDataCharacteristics(link::FtHandle handle, std::uint8_t wordLength,
                                                          std::uint8_t stopBits, std::uint8_t parity) {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    line_.wordLength = wordLength;
    line_.stopBits = stopBits;
    line_.parity = parity;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::getQueueStatus(link::FtHandle handle, std::uint32_t& rxBytes) {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    rxBytes = static_cast<std::uint32_t>(model_.output().size());
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::read(link::FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead,
                                        std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (!valid(handle)) return FT_INVALID_HANDLE;
    auto& out = model_.output();
    const auto n = std::min<std::size_t>(toRead, out.size());
    std::copy_n(out.begin(), n, buffer);
    out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
    bytesRead = static_cast<std::uint32_t>(n);
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::write(link::FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                                         std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    if (!valid(handle)) return FT_INVALID_HANDLE;
    model_.receive(buffer, toWrite, line_);
    bytesWritten = toWrite;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::purge(link::FtHandle handle, std::uint32_t mask) {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    if (mask & link::kPurgeRx) model_.output().clear();
    return FT_OK;
}

}  // namespace qeltx::pedal_sim
