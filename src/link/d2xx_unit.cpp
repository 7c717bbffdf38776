// D2XXUnit over the driver seam.
#include "link/d2xx_unit.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace qeltx::link {

D2XXUnit::D2XXUnit(Driver& driver, MessageSink showMessage)
    : rxBuffer(kBufferSize, 0), txBuffer(kBufferSize, 0), driver_(&driver), showMessage_(std::move(showMessage)) {
    traceClock = [start = std::chrono::steady_clock::now()] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
}

void D2XXUnit::trace(core::TraceDirection direction, const std::vector<std::uint8_t>& buffer, std::uint32_t count) {
    if (count == 0) return;
    messageTrace.record(traceClock ? traceClock() : 0, direction, std::span(buffer.data(), count));
}

FtStatus D2XXUnit::check(const char* label, FtStatus status) {
    if (status == core::FT_OK) return status;
    if (onFailure) onFailure(label, status);
    ReportFTError(label, status);
    return status;
}

void D2XXUnit::takeListedString(const std::array<char, 64>& buffer) {
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    deviceString.assign(buffer.begin(), end);
}

FtStatus D2XXUnit::GetFTDeviceCount() {
    std::uint32_t count = 0;
    const FtStatus status = driver_->listDeviceCount(count);
    if (status == core::FT_OK) deviceCount = count;
    return check("GetFTDeviceCount", status);
}

FtStatus D2XXUnit::GetFTDeviceSerialNo(std::uint32_t index) {
    std::string serial;
    const FtStatus status = driver_->listSerialNumber(index, serial);
    if (status == core::FT_OK) {
        serialNumberBuffer.fill('\0');
        std::memcpy(serialNumberBuffer.data(), serial.data(), std::min(serial.size(), serialNumberBuffer.size()));
        takeListedString(serialNumberBuffer);
    }
    return check("GetFTDeviceSerialNo", status);
}

FtStatus D2XXUnit::GetFTDeviceDescription(std::uint32_t index) {
    std::string description;
    const FtStatus status = driver_->listDescription(index, description);
    if (status == core::FT_OK) {
        descriptionBuffer.fill('\0');
        std::memcpy(descriptionBuffer.data(), description.data(),
                    std::min(description.size(), descriptionBuffer.size()));
        takeListedString(descriptionBuffer);
    }
    return check("GetFTDeviceDescription", status);
}

void D2XXUnit::SetSerialNumberToOpen(const std::string& serial) {
    openSerialNumber.fill('\0');
    std::memcpy(openSerialNumber.data(), serial.data(), std::min(serial.size(), kMaxSerialNumberLength));
}

FtStatus D2XXUnit::Open_USB_Device_By_Serial_Number(const std::string& serial) {
    SetSerialNumberToOpen(serial);
    FtHandle handle = 0;
    const FtStatus status = driver_->openBySerialNumber(openSerialNumber.data(), handle);
    if (status == core::FT_OK) deviceHandle = handle;
    return check("Open_USB_Device_By_Serial_Number", status);
}

FtStatus D2XXUnit::CloseFTDevice() { return check("FT_Close", driver_->close(deviceHandle)); }

std::uint32_t D2XXUnit::ReadFTDeviceBuffer(std::uint32_t /*requested*/) {
    std::uint32_t queued = 0;
    driver_->getQueueStatus(deviceHandle, queued);  // its status is not examined, as on the pedal's first tools
    queued = std::min<std::uint32_t>(queued, kBufferSize);
    std::uint32_t got = 0;
    lastDeviceStatus = driver_->read(deviceHandle, rxBuffer.data(), queued, got);
    if (check("FT_Read", lastDeviceStatus) != core::FT_OK) return 0;
    trace(core::TraceDirection::Received, rxBuffer, got);
    return got;
}

std::uint32_t D2XXUnit::WriteFTDeviceBuffer(std::uint32_t count) {
    count = std::min<std::uint32_t>(count, kBufferSize);
    std::uint32_t written = 0;
    lastDeviceStatus = driver_->write(deviceHandle, txBuffer.data(), count, written);
    if (check("FT_Write", lastDeviceStatus) != core::FT_OK) return 0;
    trace(core::TraceDirection::Sent, txBuffer, written);
    return written;
}

FtStatus D2XXUnit::SetFTDeviceBaudRate() {
    return check("FT_SetBaudRate", driver_->setBaudRate(deviceHandle, portBaudRate));
}

FtStatus D2XXUnit::SetFTDeviceDataCharacteristics() {
    return check("FT_SetDataCharacteristics",
                 driver_->setDataCharacteristics(deviceHandle, portDataBits, portStopBits, portParity));
}

FtStatus D2XXUnit::PurgeFTDeviceRx() { return check("FT_Purge RX", driver_->purge(deviceHandle, kPurgeRx)); }

FtStatus D2XXUnit::PurgeFTDeviceTx() { return check("FT_Purge TX", driver_->purge(deviceHandle, kPurgeTx)); }

FtStatus D2XXUnit::GetFTDeviceQueueStatus() {
    std::uint32_t count = 0;
    const FtStatus status = driver_->getQueueStatus(deviceHandle, count);
    if (status == core::FT_OK) rxQueueCount = count;
    return check("FT_GetQueueStatus", status);
}

FtStatus D2XXUnit::WaitFTDeviceQueue(std::uint32_t timeoutMs) {
    std::uint32_t count = 0;
    const FtStatus status = driver_->waitForQueue(deviceHandle, timeoutMs, count);
    if (status == core::FT_OK) rxQueueCount = count;
    return check("FT_GetQueueStatus", status);
}

void D2XXUnit::SetPortParameters(int mode) {
    portBaudRate = kPedalBaudRate;
    portDataBits = kBits8;
    portStopBits = kStopBits1;
    if (mode == portModeBootloader) portParity = kParityEven;
    if (mode == portModeNormal) portParity = kParityNone;
}

void D2XXUnit::ReportFTError(const std::string& label, FtStatus status) {
    if (!showDeviceErrors || status == core::FT_OK) return;
    if (showMessage_) showMessage_(core::ftErrorMessage(label, status));
}

}  // namespace qeltx::link
