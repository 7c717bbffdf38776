// The D2XX stand-in library's own hooks (not part of the real library), reached the way a test
// reaches any loaded library: the backend that serves its calls, its count of open handles, and
// the events it signals when bytes come in.
#pragma once

#include "link/driver.h"

#include <cstdint>
#include <dlfcn.h>

namespace qeltx::link::testing {

class StandIn {
public:
    StandIn() : library_(dlopen(QELTX_D2XX_STANDIN_PATH, RTLD_NOW | RTLD_LOCAL)) {
        if (!library_) return;
        attach_ = reinterpret_cast<void (*)(Driver*)>(dlsym(library_, "QeltxStandinAttach"));
        openCount_ = reinterpret_cast<std::uint32_t (*)()>(dlsym(library_, "QeltxStandinOpenCount"));
        receiveEvents_ = reinterpret_cast<std::uint32_t (*)()>(dlsym(library_, "QeltxStandinReceiveEvents"));
        signalReceived_ = reinterpret_cast<void (*)()>(dlsym(library_, "QeltxStandinSignalReceived"));
    }
    ~StandIn() {
        if (attach_) attach_(nullptr);
        if (library_) dlclose(library_);
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    bool ok() const { return attach_ && openCount_ && receiveEvents_ && signalReceived_; }
    void attach(Driver* backend) { attach_(backend); }
    std::uint32_t openCount() { return openCount_(); }
    // Open devices that asked the library to signal a received byte.
    std::uint32_t receiveEvents() { return receiveEvents_(); }
    // Signals them, as the library's reader thread does when bytes come in.
    void signalReceived() { signalReceived_(); }

private:
    void* library_;
    void (*attach_)(Driver*) = nullptr;
    std::uint32_t (*openCount_)() = nullptr;
    std::uint32_t (*receiveEvents_)() = nullptr;
    void (*signalReceived_)() = nullptr;
};

}  // namespace qeltx::link::testing
