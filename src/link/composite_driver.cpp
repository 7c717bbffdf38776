// The composite driver and the standard set of backends.
#include "link/composite_driver.h"

#include "link/d2xx_library_backend.h"
#include "link/d2xx_unit.h"
#include "link/libftdi_backend.h"
#include "link/serial_port_backend.h"

#include <algorithm>

namespace qeltx::link {

using core::FT_DEVICE_NOT_FOUND;
using core::FT_INVALID_HANDLE;
using core::FT_OK;

CompositeDriver::CompositeDriver(std::vector<Driver*> backends) : backends_(std::move(backends)) {
    backends_.erase(std::remove(backends_.begin(), backends_.end(), nullptr), backends_.end());
}

CompositeDriver::~CompositeDriver() {
    for (const FtHandle handle : routes_.handles()) close(handle);
}

void CompositeDriver::addBackend(Driver& backend) { backends_.push_back(&backend); }

Driver& CompositeDriver::adoptBackend(std::unique_ptr<Driver> backend) {
    Driver& added = *backend;
    owned_.push_back(std::move(backend));
    backends_.push_back(&added);
    return added;
}

void CompositeDriver::refreshListing() {
    listed_.clear();
    listedOnce_ = true;
    for (Driver* backend : backends_) {
        std::uint32_t count = 0;
        if (backend->listDeviceCount(count) != FT_OK) continue;
        for (std::uint32_t i = 0; i < count; ++i) {
            Listed entry{{backend}, {}, {}};
            if (backend->listSerialNumber(i, entry.serial) != FT_OK) continue;
            if (backend->listDescription(i, entry.description) != FT_OK) entry.description.clear();
            if (!entry.serial.empty()) {
                if (Listed* same = listedBySerial(listed_, entry.serial)) {
                    if (std::find(same->backends.begin(), same->backends.end(), backend) == same->backends.end())
                        same->backends.push_back(backend);
                    continue;
                }
            }
            listed_.push_back(std::move(entry));
        }
    }
}

FtStatus CompositeDriver::listDeviceCount(std::uint32_t& count) {
    refreshListing();
    count = static_cast<std::uint32_t>(listed_.size());
    return FT_OK;
}

FtStatus CompositeDriver::listSerialNumber(std::uint32_t index, std::string& serial) {
    if (!listedOnce_) refreshListing();
    return listedText(listed_, index, &Listed::serial, serial);
}

FtStatus CompositeDriver::listDescription(std::uint32_t index, std::string& description) {
    if (!listedOnce_) refreshListing();
    return listedText(listed_, index, &Listed::description, description);
}

Driver* CompositeDriver::listedBackend(std::uint32_t index) const {
    return index < listed_.size() ? listed_[index].backends.front() : nullptr;
}

const CompositeDriver::Listed* CompositeDriver::findListed(const std::string& serial) const {
    if (serial.empty()) return nullptr;
    if (const Listed* exact = listedBySerial(listed_, serial)) return exact;
    // The open call passes at most 49 characters; a longer listed serial number (a port path
    // given on the command line, say) is found by its start when only one device has it.
    if (serial.size() != kMaxSerialNumberLength) return nullptr;
    const Listed* found = nullptr;
    for (const Listed& l : listed_) {
        if (l.serial.size() > serial.size() && l.serial.compare(0, serial.size(), serial) == 0) {
            if (found) return nullptr;
            found = &l;
        }
    }
    return found;
}

FtStatus CompositeDriver::openThrough(const std::vector<Driver*>& backends, const std::string& serial,
                                      FtHandle& handle) {
    FtStatus first = FT_DEVICE_NOT_FOUND;
    bool failed = false;
    for (Driver* backend : backends) {
        FtHandle inner = 0;
        const FtStatus status = backend->openBySerialNumber(serial, inner);
        if (status == FT_OK) {
            handle = routes_.add({backend, inner});
            lastOpenProblem_.clear();
            return FT_OK;
        }
        // "Not found" from a backend that never knew the device says nothing; any other
        // failure is the one to tell the user about.
        if (!failed && status != FT_DEVICE_NOT_FOUND) {
            failed = true;
            first = status;
            lastOpenProblem_ = backend->lastOpenProblem();
        }
    }
    return first;
}

FtStatus CompositeDriver::openBySerialNumber(const std::string& serial, FtHandle& handle) {
    lastOpenProblem_.clear();
    if (!listedOnce_) refreshListing();
    if (const Listed* listed = findListed(serial)) {
        const Listed chosen = *listed;  // a backend's open must not pull the entry away
        return openThrough(chosen.backends, chosen.serial, handle);
    }
    return openThrough(backends_, serial, handle);
}

Driver* CompositeDriver::backendOf(FtHandle handle) {
    const Route* route = routes_.find(handle);
    return route ? route->backend : nullptr;
}

FtStatus CompositeDriver::close(FtHandle handle) {
    const Route* route = routes_.find(handle);
    if (!route) return FT_INVALID_HANDLE;
    const FtStatus status = route->backend->close(route->inner);
    // A failed close keeps the handle so the user can try again; one the backend no longer
    // knows is gone either way.
    if (status == FT_OK || status == FT_INVALID_HANDLE) routes_.erase(handle);
    return status;
}

FtStatus CompositeDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    const Route* route = routes_.find(handle);
    return route ? route->backend->setBaudRate(route->inner, baud) : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                                 std::uint8_t parity) {
    const Route* route = routes_.find(handle);
    return route ? route->backend->setDataCharacteristics(route->inner, wordLength, stopBits, parity)
                 : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    const Route* route = routes_.find(handle);
    return route ? route->backend->getQueueStatus(route->inner, rxBytes) : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) {
    const Route* route = routes_.find(handle);
    return route ? route->backend->waitForQueue(route->inner, timeoutMs, rxBytes) : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead,
                               std::uint32_t& bytesRead) {
    const Route* route = routes_.find(handle);
    if (!route) {
        bytesRead = 0;
        return FT_INVALID_HANDLE;
    }
    return route->backend->read(route->inner, buffer, toRead, bytesRead);
}

FtStatus CompositeDriver::write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                                std::uint32_t& bytesWritten) {
    const Route* route = routes_.find(handle);
    if (!route) {
        bytesWritten = 0;
        return FT_INVALID_HANDLE;
    }
    return route->backend->write(route->inner, buffer, toWrite, bytesWritten);
}

FtStatus CompositeDriver::purge(FtHandle handle, std::uint32_t mask) {
    const Route* route = routes_.find(handle);
    return route ? route->backend->purge(route->inner, mask) : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    const Route* route = routes_.find(handle);
    return route ? route->backend->setLatencyTimer(route->inner, milliseconds) : FT_INVALID_HANDLE;
}

FtStatus CompositeDriver::getLatencyTimer(FtHandle handle, std::uint8_t& milliseconds) {
    const Route* route = routes_.find(handle);
    return route ? route->backend->getLatencyTimer(route->inner, milliseconds) : FT_INVALID_HANDLE;
}

std::unique_ptr<CompositeDriver> makeSystemDrivers(const SystemDriverOptions& options) {
    auto composite = std::make_unique<CompositeDriver>();
    composite->adoptBackend(std::make_unique<D2xxLibraryDriver>(options.d2xxLibraryPath));
    auto serial = std::make_unique<SerialPortDriver>();
    for (const std::string& path : options.explicitPorts) serial->addExplicitPort(path);
    composite->adoptBackend(std::move(serial));
    composite->adoptBackend(std::make_unique<LibFtdiDriver>());
    return composite;
}

}  // namespace qeltx::link
