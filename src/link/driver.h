// The driver seam: the D2XX operation set every backend fills (the chip maker's library,
// the serial port, libftdi1, the virtual pedal). Each call returns a D2XX status, 0 = success.
#pragma once

#include "core/ft_status.h"

#include <cstdint>
#include <string>

namespace qeltx::link {

using core::FtStatus;
// A 32-bit handle, as the editor logs it ("FT_HANDLE: 0x0000002A"); 0 is never a valid one.
using FtHandle = std::uint32_t;

// Purge masks of FT_Purge.
inline constexpr std::uint32_t kPurgeRx = 1;
inline constexpr std::uint32_t kPurgeTx = 2;

// Line-parameter codes of FT_SetDataCharacteristics.
inline constexpr std::uint8_t kBits8 = 8;
inline constexpr std::uint8_t kStopBits1 = 0;
inline constexpr std::uint8_t kParityNone = 0;
inline constexpr std::uint8_t kParityEven = 2;

class Driver {
public:
    virtual ~Driver() = default;

    // Listing: the device count, and the serial number or description of one device by index.
    virtual FtStatus listDeviceCount(std::uint32_t& count) = 0;
    virtual FtStatus listSerialNumber(std::uint32_t index, std::string& serial) = 0;
    virtual FtStatus listDescription(std::uint32_t index, std::string& description) = 0;

    // Opening by serial number; a handle that was closed, or never opened, is refused by
    // every other call with FT_INVALID_HANDLE.
    virtual FtStatus openBySerialNumber(const std::string& serial, FtHandle& handle) = 0;
    virtual FtStatus close(FtHandle handle) = 0;

    virtual FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) = 0;
    virtual FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                            std::uint8_t parity) = 0;

    // Bytes received and not yet read. Never blocks.
    virtual FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) = 0;
    // Blocks until bytes are received and not yet read, or until `timeoutMs` has passed, then
    // says how many there are, as getQueueStatus does. Returns at once when some are there
    // already, or when `timeoutMs` is 0. The reply waits block here, in slices short enough
    // for the window to stay lively, so a reply wakes them the moment it arrives.
    virtual FtStatus waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) = 0;
    // Reads at most `toRead` bytes of what has arrived; never blocks.
    virtual FtStatus read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& bytesRead) = 0;
    virtual FtStatus write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                           std::uint32_t& bytesWritten) = 0;
    virtual FtStatus purge(FtHandle handle, std::uint32_t mask) = 0;

    // The bridge's latency timer (FTDI's default is 16 ms). Backends that cannot set it say
    // FT_NOT_SUPPORTED; the editor never depends on it.
    virtual FtStatus setLatencyTimer(FtHandle, std::uint8_t) { return core::FT_NOT_SUPPORTED; }
    virtual FtStatus getLatencyTimer(FtHandle, std::uint8_t&) { return core::FT_NOT_SUPPORTED; }

    // A line for the user when the last open failed for a reason the status cannot say
    // (permissions, a port held by another program), else empty.
    virtual std::string lastOpenProblem() const { return {}; }

    // What the backend is, for listings ("serial", "libftdi", "d2xx", "virtual").
    virtual std::string backendName() const = 0;
};

}  // namespace qeltx::link
