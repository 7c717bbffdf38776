// The in-process driver backend over the virtual pedal.
#include "pedal_sim/virtual_pedal_driver.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qeltx::pedal_sim {

using core::FT_DEVICE_NOT_FOUND;
using core::FT_INVALID_HANDLE;
using core::FT_IO_ERROR;
using core::FT_OK;

VirtualPedalDriver::VirtualPedalDriver(PedalModel& model) : model_(model) {}

core::FtStatus VirtualPedalDriver::check(link::FtHandle handle) const {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    if (model_.faults().offBus) return FT_IO_ERROR;
    return FT_OK;
}

std::size_t VirtualPedalDriver::readable() {
    std::size_t n = wire_.available();
    VirtualClock* clock = model_.virtualClock();
    if (model_.pacing().skipAhead && clock != nullptr) {
        while (n == 0) {
            const auto next = wire_.nextChange();
            if (!next) break;
            clock->advanceTo(*next);
            n = wire_.available();
        }
    }
    if (model_.faults().splitReadsAt != 0) n = std::min(n, model_.faults().splitReadsAt);
    return n;
}

core::FtStatus VirtualPedalDriver::listDeviceCount(std::uint32_t& count) {
    count = model_.faults().offBus ? 0 : 1;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::listSerialNumber(std::uint32_t index, std::string& serial) {
    if (index != 0 || model_.faults().offBus) return FT_DEVICE_NOT_FOUND;
    serial = kVirtualPedalSerial;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::listDescription(std::uint32_t index, std::string& description) {
    if (index != 0 || model_.faults().offBus) return FT_DEVICE_NOT_FOUND;
    description = kVirtualPedalDescription;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::openBySerialNumber(const std::string& serial, link::FtHandle& handle) {
    if (serial != kVirtualPedalSerial || model_.faults().offBus) return FT_DEVICE_NOT_FOUND;
    if (openHandle_ != 0) return core::FT_DEVICE_NOT_OPENED;  // one program at a time, as a real bridge
    openHandle_ = nextHandle_++;
    handle = openHandle_;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::close(link::FtHandle handle) {
    // Closing releases the handle even when the device is gone, so the editor can recover.
    if (!valid(handle)) return FT_INVALID_HANDLE;
    openHandle_ = 0;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::setBaudRate(link::FtHandle handle, std::uint32_t baud) {
    if (auto status = check(handle)) return status;
    line_.baud = baud;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::setDataCharacteristics(link::FtHandle handle, std::uint8_t wordLength,
                                                          std::uint8_t stopBits, std::uint8_t parity) {
    if (auto status = check(handle)) return status;
    line_.wordLength = wordLength;
    line_.stopBits = stopBits;
    line_.parity = parity;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::getQueueStatus(link::FtHandle handle, std::uint32_t& rxBytes) {
    if (auto status = check(handle)) return status;
    rxBytes = static_cast<std::uint32_t>(readable());
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::waitForQueue(link::FtHandle handle, std::uint32_t timeoutMs,
                                                std::uint32_t& rxBytes) {
    if (auto status = check(handle)) return status;
    rxBytes = static_cast<std::uint32_t>(readable());
    // In real time the wire knows when its next byte arrives: sleep until then, or until the
    // time limit, whichever comes first. Nothing else can bring a byte in meanwhile (the
    // pedal is only moved from this thread). On a virtual clock the caller moves time.
    if (rxBytes > 0 || timeoutMs == 0 || model_.virtualClock() != nullptr) return FT_OK;
    const Nanos deadline = model_.clock().now() + std::chrono::milliseconds(timeoutMs);
    while (rxBytes == 0) {
        const Nanos now = model_.clock().now();
        if (now >= deadline) break;
        const auto next = wire_.nextChange();
        std::this_thread::sleep_for(next ? std::min(*next, deadline) - now : deadline - now);
        rxBytes = static_cast<std::uint32_t>(readable());
    }
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::read(link::FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead,
                                        std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (auto status = check(handle)) return status;
    const std::size_t n = std::min<std::size_t>(toRead, readable());
    bytesRead = static_cast<std::uint32_t>(wire_.read(buffer, n));
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::write(link::FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                                         std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    if (auto status = check(handle)) return status;
    if (model_.faults().writeFails) return FT_IO_ERROR;
    const std::uint32_t taken = model_.faults().shortWrites && toWrite > 0 ? toWrite - 1 : toWrite;
    wire_.write(buffer, taken, line_);
    bytesWritten = taken;
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::purge(link::FtHandle handle, std::uint32_t mask) {
    if (auto status = check(handle)) return status;
    if (mask & link::kPurgeRx) wire_.purgeReceived();
    if (mask & link::kPurgeTx) wire_.purgeUnsent();
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::setLatencyTimer(link::FtHandle handle, std::uint8_t milliseconds) {
    if (auto status = check(handle)) return status;
    latencyMs_ = milliseconds;
    Pacing pacing = model_.pacing();
    pacing.latency = std::chrono::milliseconds(milliseconds);
    model_.setPacing(pacing);
    return FT_OK;
}

core::FtStatus VirtualPedalDriver::getLatencyTimer(link::FtHandle handle, std::uint8_t& milliseconds) {
    if (auto status = check(handle)) return status;
    milliseconds = latencyMs_;
    return FT_OK;
}

}  // namespace qeltx::pedal_sim
