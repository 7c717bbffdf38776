// D2XXUnit: the one open device, its line parameters and the two 64 KiB buffers, over the
// driver seam. Every failed call is reported through ReportFTError while showDeviceErrors is on.
#pragma once

#include "core/message_trace.h"
#include "link/driver.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qeltx::link {

inline constexpr std::size_t kBufferSize = 65536;
inline constexpr int portModeNormal = 0;
inline constexpr int portModeBootloader = 2;
inline constexpr std::uint32_t kPedalBaudRate = 115200;
// The open call takes at most 49 single-byte characters and a terminating zero.
inline constexpr std::size_t kMaxSerialNumberLength = 49;

class D2XXUnit {
public:
    using MessageSink = std::function<void(const std::string&)>;
    // Monotonic milliseconds.
    using Clock = std::function<std::int64_t()>;

    // `showMessage` puts a modal message in front of the user (the dialogs seam).
    D2XXUnit(Driver& driver, MessageSink showMessage);

    Driver& driver() { return *driver_; }
    void setDriver(Driver& driver) { driver_ = &driver; }

    // Listing.
    FtStatus GetFTDeviceCount();
    FtStatus GetFTDeviceSerialNo(std::uint32_t index);
    FtStatus GetFTDeviceDescription(std::uint32_t index);

    FtStatus Open_USB_Device_By_Serial_Number(const std::string& serial);
    FtStatus CloseFTDevice();

    // Reads what the driver holds into rxBuffer from offset 0; returns the count read (0 on failure).
    std::uint32_t ReadFTDeviceBuffer(std::uint32_t requested = kBufferSize);
    // Writes the first `count` bytes of txBuffer; returns the count written (0 on failure).
    std::uint32_t WriteFTDeviceBuffer(std::uint32_t count);

    FtStatus SetFTDeviceBaudRate();
    FtStatus SetFTDeviceDataCharacteristics();
    FtStatus PurgeFTDeviceRx();
    FtStatus PurgeFTDeviceTx();
    FtStatus GetFTDeviceQueueStatus();
    // The queue status after waiting at most `timeoutMs` for a byte to come in: the driver
    // returns as soon as one has. Reported as the queue status is.
    FtStatus WaitFTDeviceQueue(std::uint32_t timeoutMs);

    void SetSerialNumberToOpen(const std::string& serial);
    void SetPortParameters(int mode);
    void ReportFTError(const std::string& label, FtStatus status);

    // Module-wide values, named as the pedal's tools have always named them.
    FtHandle deviceHandle = 0;
    bool showDeviceErrors = true;
    FtStatus lastDeviceStatus = 0;
    std::uint32_t portBaudRate = 0;
    std::uint8_t portDataBits = 0;
    std::uint8_t portStopBits = 0;
    std::uint8_t portParity = 0;
    std::uint32_t rxQueueCount = 0;
    std::uint32_t deviceCount = 0;
    std::array<char, 64> serialNumberBuffer{};
    std::array<char, 64> descriptionBuffer{};
    std::string deviceString;
    std::array<char, kMaxSerialNumberLength + 1> openSerialNumber{};
    std::vector<std::uint8_t> rxBuffer;
    std::vector<std::uint8_t> txBuffer;

    // Every write and every read that brought bytes, for the support report: this unit is the
    // one way bytes go to and come from the pedal. Stamped by `traceClock` (the editor's timing
    // seam; a monotonic clock from the unit's creation until one is set).
    core::MessageTrace messageTrace;
    Clock traceClock;

    // Hears every failed call, whether or not reports are shown: the editor tells from it that
    // the pedal went away in the middle of a conversation.
    std::function<void(const std::string& label, FtStatus)> onFailure;

private:
    FtStatus check(const char* label, FtStatus status);
    void trace(core::TraceDirection direction, const std::vector<std::uint8_t>& buffer, std::uint32_t count);
    void takeListedString(const std::array<char, 64>& buffer);

    Driver* driver_;
    MessageSink showMessage_;
};

}  // namespace qeltx::link
