// The D2XX library backend: the library's calls, resolved at run time, behind small handles.
#include "link/d2xx_library_backend.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace qeltx::link {

using core::FT_DEVICE_NOT_FOUND;
using core::FT_INVALID_HANDLE;
using core::FT_NOT_SUPPORTED;
using core::FT_OK;

struct D2xxLibraryDriver::Api {
    d2xx::FT_ListDevices_t listDevices = nullptr;
    d2xx::FT_OpenEx_t openEx = nullptr;
    d2xx::FT_Close_t close = nullptr;
    d2xx::FT_SetBaudRate_t setBaudRate = nullptr;
    d2xx::FT_SetDataCharacteristics_t setDataCharacteristics = nullptr;
    d2xx::FT_GetQueueStatus_t getQueueStatus = nullptr;
    d2xx::FT_Read_t read = nullptr;
    d2xx::FT_Write_t write = nullptr;
    d2xx::FT_Purge_t purge = nullptr;
    // Older libraries lack these two; the backend then says FT_NOT_SUPPORTED for them.
    d2xx::FT_SetLatencyTimer_t setLatencyTimer = nullptr;
    d2xx::FT_GetLatencyTimer_t getLatencyTimer = nullptr;
    // Every library has this one; without it the wait for bytes naps in short slices.
    d2xx::FT_SetEventNotification_t setEventNotification = nullptr;
};

// What the library signals when a byte comes in, one per open device.
class D2xxLibraryDriver::RxEvent {
public:
#if defined(_WIN32)
    RxEvent() : event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~RxEvent() {
        if (event_) CloseHandle(event_);
    }
    void* parameter() { return event_; }
    bool usable() const { return event_ != nullptr; }
    // Checks the queue, and waits for the event only when it is empty. An auto-reset event
    // stays signalled for a byte that came in between the check and the wait.
    template <typename Check>
    FtStatus wait(std::uint32_t timeoutMs, Check&& queued) {
        std::uint32_t count = 0;
        if (const FtStatus status = queued(count); status != FT_OK || count > 0) return status;
        WaitForSingleObject(event_, timeoutMs);
        return FT_OK;
    }

private:
    HANDLE event_;
#else
    RxEvent() {
        pthread_mutex_init(&event_.eMutex, nullptr);
        pthread_cond_init(&event_.eCondVar, nullptr);
    }
    ~RxEvent() {
        pthread_cond_destroy(&event_.eCondVar);
        pthread_mutex_destroy(&event_.eMutex);
    }
    void* parameter() { return &event_; }
    bool usable() const { return true; }
    // The library signals while holding the mutex: checking the queue while holding it too
    // means a byte that comes in before the wait begins is seen, not missed.
    template <typename Check>
    FtStatus wait(std::uint32_t timeoutMs, Check&& queued) {
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        const long long nanos = deadline.tv_nsec + static_cast<long long>(timeoutMs % 1000) * 1'000'000;
        deadline.tv_sec += static_cast<time_t>(timeoutMs / 1000 + nanos / 1'000'000'000);
        deadline.tv_nsec = static_cast<long>(nanos % 1'000'000'000);
        pthread_mutex_lock(&event_.eMutex);
        std::uint32_t count = 0;
        const FtStatus status = queued(count);
        if (status == FT_OK && count == 0) pthread_cond_timedwait(&event_.eCondVar, &event_.eMutex, &deadline);
        pthread_mutex_unlock(&event_.eMutex);
        return status;
    }

private:
    d2xx::EVENT_HANDLE event_{};
#endif
};

struct D2xxLibraryDriver::Device {
    d2xx::FT_HANDLE library = nullptr;
    // Null when the library could not be told to signal it.
    std::unique_ptr<RxEvent> received;
};

namespace {

// How long the wait for bytes naps at a time with a library that cannot signal them.
constexpr int kNapWithoutEventsMs = 1;

void* openLibrary(const std::string& path) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

// Why `path` did not load, without the name: the caller's message names it once.
std::string lastLoadError(const std::string& path) {
#if defined(_WIN32)
    (void)path;
    return "error " + std::to_string(GetLastError());
#else
    const char* text = dlerror();
    std::string why = text ? text : "unknown error";
    // dlerror opens with the name it was given ("libftd2xx.so: cannot open shared object file").
    const std::string named = path + ": ";
    if (why.starts_with(named)) why.erase(0, named.size());
    return why;
#endif
}

void closeLibrary(void* library) {
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
}

template <typename Fn>
bool resolve(void* library, const char* name, Fn& fn) {
#if defined(_WIN32)
    fn = reinterpret_cast<Fn>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
#else
    fn = reinterpret_cast<Fn>(dlsym(library, name));
#endif
    return fn != nullptr;
}

void* indexArgument(std::uint32_t index) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(index)); }

}  // namespace

const char* D2xxLibraryDriver::defaultLibraryName() {
#if defined(_WIN32)
    return "ftd2xx.dll";
#elif defined(__APPLE__)
    return "libftd2xx.dylib";
#else
    return "libftd2xx.so";
#endif
}

D2xxLibraryDriver::D2xxLibraryDriver(std::string libraryPath) {
    if (libraryPath.empty()) libraryPath = defaultLibraryName();
    library_ = openLibrary(libraryPath);
    if (!library_) {
        loadProblem_ = libraryPath + " not loaded: " + lastLoadError(libraryPath);
        return;
    }
    auto api = std::make_unique<Api>();
    std::string missing;
    const auto need = [&](const char* name, auto& fn) {
        if (!resolve(library_, name, fn)) missing += missing.empty() ? name : std::string(", ") + name;
    };
    need("FT_ListDevices", api->listDevices);
    need("FT_OpenEx", api->openEx);
    need("FT_Close", api->close);
    need("FT_SetBaudRate", api->setBaudRate);
    need("FT_SetDataCharacteristics", api->setDataCharacteristics);
    need("FT_GetQueueStatus", api->getQueueStatus);
    need("FT_Read", api->read);
    need("FT_Write", api->write);
    need("FT_Purge", api->purge);
    resolve(library_, "FT_SetLatencyTimer", api->setLatencyTimer);
    resolve(library_, "FT_GetLatencyTimer", api->getLatencyTimer);
    resolve(library_, "FT_SetEventNotification", api->setEventNotification);
    if (!missing.empty()) {
        loadProblem_ = libraryPath + " lacks " + missing;
        closeLibrary(library_);
        library_ = nullptr;
        return;
    }
    api_ = std::move(api);
}

D2xxLibraryDriver::~D2xxLibraryDriver() {
    if (api_) {
        for (const FtHandle handle : handles_.handles()) close(handle);
    }
    if (library_) closeLibrary(library_);
}

d2xx::FT_HANDLE* D2xxLibraryDriver::find(FtHandle handle) {
    Device* device = api_ ? handles_.object(handle) : nullptr;
    return device ? &device->library : nullptr;
}

FtStatus D2xxLibraryDriver::listDeviceCount(std::uint32_t& count) {
    if (!api_) {
        count = 0;
        return FT_OK;
    }
    d2xx::DWORD devices = 0;
    const FtStatus status = api_->listDevices(&devices, nullptr, d2xx::FT_LIST_NUMBER_ONLY);
    if (status == FT_OK) count = devices;
    return status;
}

FtStatus D2xxLibraryDriver::listString(std::uint32_t index, d2xx::DWORD what, std::string& out) {
    if (!api_) return FT_DEVICE_NOT_FOUND;
    std::array<char, d2xx::kListStringBufferSize> buffer{};
    const FtStatus status = api_->listDevices(indexArgument(index), buffer.data(), d2xx::FT_LIST_BY_INDEX | what);
    if (status != FT_OK) return status;
    buffer.back() = '\0';
    out.assign(buffer.data(), std::find(buffer.begin(), buffer.end(), '\0'));
    return FT_OK;
}

FtStatus D2xxLibraryDriver::listSerialNumber(std::uint32_t index, std::string& serial) {
    return listString(index, d2xx::FT_OPEN_BY_SERIAL_NUMBER, serial);
}

FtStatus D2xxLibraryDriver::listDescription(std::uint32_t index, std::string& description) {
    return listString(index, d2xx::FT_OPEN_BY_DESCRIPTION, description);
}

FtStatus D2xxLibraryDriver::openBySerialNumber(const std::string& serial, FtHandle& handle) {
    if (!api_) return FT_DEVICE_NOT_FOUND;
    d2xx::FT_HANDLE opened = nullptr;
    std::string argument = serial;  // the library takes a non-const pointer
    const FtStatus status = api_->openEx(argument.data(), d2xx::FT_OPEN_BY_SERIAL_NUMBER, &opened);
    if (status != FT_OK) return status;
    auto device = std::make_unique<Device>();
    device->library = opened;
    if (api_->setEventNotification) {
        auto received = std::make_unique<RxEvent>();
        if (received->usable() &&
            api_->setEventNotification(opened, d2xx::FT_EVENT_RXCHAR, received->parameter()) == FT_OK)
            device->received = std::move(received);
    }
    handle = handles_.add(std::move(device));
    return FT_OK;
}

FtStatus D2xxLibraryDriver::close(FtHandle handle) {
    d2xx::FT_HANDLE* device = find(handle);
    if (!device) return FT_INVALID_HANDLE;
    const FtStatus status = api_->close(*device);
    // The library's handle is spent whatever it said; keeping ours would only pass a dead
    // pointer on later.
    handles_.erase(handle);
    return status;
}

FtStatus D2xxLibraryDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    d2xx::FT_HANDLE* device = find(handle);
    return device ? api_->setBaudRate(*device, baud) : FT_INVALID_HANDLE;
}

FtStatus D2xxLibraryDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                                   std::uint8_t parity) {
    d2xx::FT_HANDLE* device = find(handle);
    return device ? api_->setDataCharacteristics(*device, wordLength, stopBits, parity) : FT_INVALID_HANDLE;
}

FtStatus D2xxLibraryDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    d2xx::FT_HANDLE* device = find(handle);
    if (!device) return FT_INVALID_HANDLE;
    d2xx::DWORD queued = 0;
    const FtStatus status = api_->getQueueStatus(*device, &queued);
    if (status == FT_OK) rxBytes = queued;
    return status;
}

FtStatus D2xxLibraryDriver::waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) {
    Device* device = api_ ? handles_.object(handle) : nullptr;
    if (!device) return FT_INVALID_HANDLE;
    const auto queued = [&](std::uint32_t& count) { return getQueueStatus(handle, count); };
    if (timeoutMs > 0) {
        if (device->received) {
            if (const FtStatus status = device->received->wait(timeoutMs, queued); status != FT_OK) return status;
        } else {
            std::uint32_t count = 0;
            if (const FtStatus status = queued(count); status != FT_OK) return status;
            if (count == 0) std::this_thread::sleep_for(std::chrono::milliseconds(kNapWithoutEventsMs));
        }
    }
    return queued(rxBytes);
}

FtStatus D2xxLibraryDriver::read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead,
                                 std::uint32_t& bytesRead) {
    bytesRead = 0;
    d2xx::FT_HANDLE* device = find(handle);
    if (!device) return FT_INVALID_HANDLE;
    // FT_Read waits until it has every byte asked for; asking only for what has arrived keeps
    // it from blocking.
    d2xx::DWORD queued = 0;
    const FtStatus queueStatus = api_->getQueueStatus(*device, &queued);
    if (queueStatus != FT_OK) return queueStatus;
    const d2xx::DWORD wanted = std::min<d2xx::DWORD>(toRead, queued);
    if (wanted == 0) return FT_OK;
    d2xx::DWORD got = 0;
    const FtStatus status = api_->read(*device, buffer, wanted, &got);
    bytesRead = std::min<d2xx::DWORD>(got, wanted);
    return status;
}

FtStatus D2xxLibraryDriver::write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                                  std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    d2xx::FT_HANDLE* device = find(handle);
    if (!device) return FT_INVALID_HANDLE;
    d2xx::DWORD written = 0;
    // The library's prototype is not const-correct; it does not write to the buffer.
    const FtStatus status = api_->write(*device, const_cast<std::uint8_t*>(buffer), toWrite, &written);
    bytesWritten = std::min<d2xx::DWORD>(written, toWrite);
    return status;
}

FtStatus D2xxLibraryDriver::purge(FtHandle handle, std::uint32_t mask) {
    d2xx::FT_HANDLE* device = find(handle);
    return device ? api_->purge(*device, mask) : FT_INVALID_HANDLE;
}

FtStatus D2xxLibraryDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    d2xx::FT_HANDLE* device = find(handle);
    if (!device) return FT_INVALID_HANDLE;
    return api_->setLatencyTimer ? api_->setLatencyTimer(*device, milliseconds) : FT_NOT_SUPPORTED;
}

FtStatus D2xxLibraryDriver::getLatencyTimer(FtHandle handle, std::uint8_t& milliseconds) {
    d2xx::FT_HANDLE* device = find(handle);
    if (!device) return FT_INVALID_HANDLE;
    if (!api_->getLatencyTimer) return FT_NOT_SUPPORTED;
    d2xx::UCHAR value = 0;
    const FtStatus status = api_->getLatencyTimer(*device, &value);
    if (status == FT_OK) milliseconds = value;
    return status;
}

}  // namespace qeltx::link
