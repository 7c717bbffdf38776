// The backend over the chip maker's own D2XX library, loaded at run time when it is installed
// (it is never bundled). Without it the backend lists no device and opens nothing.
#pragma once

#include "link/d2xx_api.h"
#include "link/driver.h"
#include "link/backend_tables.h"

#include <memory>
#include <string>

namespace qeltx::link {

class D2xxLibraryDriver : public Driver {
public:
    // Loads the library from `libraryPath`, or by the platform's usual name when empty
    // (libftd2xx.so, ftd2xx.dll, libftd2xx.dylib).
    explicit D2xxLibraryDriver(std::string libraryPath = {});
    // Closes what is still open, then unloads the library.
    ~D2xxLibraryDriver() override;
    D2xxLibraryDriver(const D2xxLibraryDriver&) = delete;
    D2xxLibraryDriver& operator=(const D2xxLibraryDriver&) = delete;

    static const char* defaultLibraryName();

    // True when the library was found and exports every call the editor needs.
    bool isAvailable() const { return api_ != nullptr; }
    // Why it is not available (not found, a missing export), for the console; else empty.
    const std::string& loadProblem() const { return loadProblem_; }

    FtStatus listDeviceCount(std::uint32_t& count) override;
    FtStatus listSerialNumber(std::uint32_t index, std::string& serial) override;
    FtStatus listDescription(std::uint32_t index, std::string& description) override;
    FtStatus openBySerialNumber(const std::string& serial, FtHandle& handle) override;
    FtStatus close(FtHandle handle) override;
    FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) override;
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                    std::uint8_t parity) override;
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) override;
    // Waits on the library's event notification (FT_SetEventNotification, a byte received).
    FtStatus waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) override;
    FtStatus read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& bytesRead) override;
    FtStatus write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                   std::uint32_t& bytesWritten) override;
    FtStatus purge(FtHandle handle, std::uint32_t mask) override;
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) override;
    FtStatus getLatencyTimer(FtHandle handle, std::uint8_t& milliseconds) override;
    std::string backendName() const override { return "d2xx"; }

private:
    struct Api;
    class RxEvent;
    struct Device;
    FtStatus listString(std::uint32_t index, d2xx::DWORD what, std::string& out);
    // The library's handle for one of ours, or null when ours is not open.
    d2xx::FT_HANDLE* find(FtHandle handle);

    void* library_ = nullptr;
    std::unique_ptr<Api> api_;
    std::string loadProblem_;
    HandleTable<std::unique_ptr<Device>> handles_;
};

}  // namespace qeltx::link
