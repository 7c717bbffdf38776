// The driver the editor uses: the devices of several backends as one list, each device once,
// and every call routed to the backend that opened the device.
#pragma once

#include "link/driver.h"
#include "link/backend_tables.h"

#include <memory>
#include <string>
#include <vector>

namespace qeltx::link {

class CompositeDriver : public Driver {
public:
    // `backends` in order of preference; they are not owned and must outlive the composite.
    explicit CompositeDriver(std::vector<Driver*> backends = {});
    // Closes every device still open through it.
    ~CompositeDriver() override;
    CompositeDriver(const CompositeDriver&) = delete;
    CompositeDriver& operator=(const CompositeDriver&) = delete;

    // Appends a backend that the caller keeps (the virtual pedal, for one).
    void addBackend(Driver& backend);
    // Appends a backend and keeps it for as long as the composite lives.
    Driver& adoptBackend(std::unique_ptr<Driver> backend);
    const std::vector<Driver*>& backends() const { return backends_; }

    // Lists every backend's devices in backend order; a serial number already listed by an
    // earlier backend is left out (devices without a serial number are all listed). A
    // backend whose listing fails is skipped.
    FtStatus listDeviceCount(std::uint32_t& count) override;
    FtStatus listSerialNumber(std::uint32_t index, std::string& serial) override;
    FtStatus listDescription(std::uint32_t index, std::string& description) override;
    // Opens through the backend that listed the serial number, and when that fails, through
    // any later backend that listed it too (the chip maker's library lists a bridge that the
    // kernel's serial driver holds but cannot open it; the serial port can). One the last
    // listing did not show is tried on each backend in order. A serial number cut at 49
    // characters by the open call still finds the one listed device that starts with it.
    // When every try fails, the first failure's status and problem are the ones reported.
    FtStatus openBySerialNumber(const std::string& serial, FtHandle& handle) override;
    FtStatus close(FtHandle handle) override;
    FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) override;
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                    std::uint8_t parity) override;
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) override;
    FtStatus waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) override;
    FtStatus read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& bytesRead) override;
    FtStatus write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                   std::uint32_t& bytesWritten) override;
    FtStatus purge(FtHandle handle, std::uint32_t mask) override;
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) override;
    FtStatus getLatencyTimer(FtHandle handle, std::uint8_t& milliseconds) override;
    std::string lastOpenProblem() const override { return lastOpenProblem_; }
    std::string backendName() const override { return "composite"; }

    // The backend behind an open handle, or null.
    Driver* backendOf(FtHandle handle);
    // The backend that listed the device at `index` in the last listing, or null.
    Driver* listedBackend(std::uint32_t index) const;

private:
    struct Listed {
        // The backend that lists it, then the later ones that list the same serial number.
        std::vector<Driver*> backends;
        std::string serial;
        std::string description;
    };
    struct Route {
        Driver* backend;
        FtHandle inner;
    };

    void refreshListing();
    const Listed* findListed(const std::string& serial) const;
    // Tries each backend in turn; see openBySerialNumber.
    FtStatus openThrough(const std::vector<Driver*>& backends, const std::string& serial, FtHandle& handle);

    std::vector<std::unique_ptr<Driver>> owned_;
    std::vector<Driver*> backends_;
    std::vector<Listed> listed_;
    bool listedOnce_ = false;
    HandleTable<Route> routes_;
    std::string lastOpenProblem_;
};

// What the standard set of backends is built with.
struct SystemDriverOptions {
    // Serial-port paths listed as devices besides the FTDI ports (--port).
    std::vector<std::string> explicitPorts;
    // Where to load the chip maker's D2XX library from; empty for its usual name.
    std::string d2xxLibraryPath;
};

// The backends the editor and the command-line tool use, owned by the composite in order of
// preference: the chip maker's D2XX library, the serial ports, libftdi1. The caller may append
// more (the virtual pedal) with addBackend or adoptBackend.
std::unique_ptr<CompositeDriver> makeSystemDrivers(const SystemDriverOptions& options = {});

}  // namespace qeltx::link
