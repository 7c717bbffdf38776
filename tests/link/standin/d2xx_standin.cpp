// A stand-in for the chip maker's D2XX library, built as a shared library so the loader's tests
// go through the real run-time loading. Its C calls are served by a driver backend that the
// test attaches (the virtual pedal); handles are real pointers, as the library's are.
#include "link/d2xx_api.h"
#include "link/driver.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

#if defined(_WIN32)
#define QELTX_STANDIN_EXPORT __declspec(dllexport)
#else
#define QELTX_STANDIN_EXPORT __attribute__((visibility("default")))
#endif

using namespace qeltx::link::d2xx;
using qeltx::link::Driver;
using qeltx::link::FtHandle;

namespace {

// What the library's handles point at.
struct Opened {
    FtHandle inner = 0;
    UCHAR latency = 16;  // FTDI's default
    // What FT_SetEventNotification asked to be signalled when bytes come in.
    DWORD eventMask = 0;
    void* event = nullptr;
};



// The real library keeps its devices in process-wide state behind a context-free C API; the
// stand-in has to do the same.
struct StandIn {
    Driver* backend = nullptr;
    std::set<Opened*> open;
};

StandIn& standIn() {
    static StandIn state;
    return state;
}

Opened* lookUp(FT_HANDLE handle) {
    auto* opened = static_cast<Opened*>(handle);
    return standIn().backend && standIn().open.count(opened) ? opened : nullptr;
}

void signalEvent(Opened& opened);

// Signals the device's event as the library's reader thread does when bytes come in: under
// the event's mutex. The stand-in's backend answers within the write that asks, so that is
// when it signals.
void signalReceived(Opened& opened) {
    if (!(opened.eventMask & FT_EVENT_RXCHAR) || !opened.event) return;
    std::uint32_t queued = 0;
    if (standIn().backend->getQueueStatus(opened.inner, queued) != 0 || queued == 0) return;
    signalEvent(opened);
}

void signalEvent(Opened& opened) {
    if (!(opened.eventMask & FT_EVENT_RXCHAR) || !opened.event) return;
#if defined(_WIN32)
    SetEvent(static_cast<HANDLE>(opened.event));
#else
    auto* event = static_cast<EVENT_HANDLE*>(opened.event);
    pthread_mutex_lock(&event->eMutex);
    pthread_cond_signal(&event->eCondVar);
    pthread_mutex_unlock(&event->eMutex);
#endif
}

constexpr FT_STATUS kInvalidHandle = 1;
constexpr FT_STATUS kDeviceNotFound = 2;
constexpr FT_STATUS kInvalidParameter = 6;
constexpr std::size_t kListedStringMax = 63;

}  // namespace

extern "C" {

// Not part of the real library: gives the stand-in the backend that serves its calls (null
// detaches it; the stand-in then lists nothing).
QELTX_STANDIN_EXPORT void QeltxStandinAttach(Driver* backend) { standIn().backend = backend; }

// How many handles are open, so a test can see that the loader closed what it opened.
QELTX_STANDIN_EXPORT std::uint32_t QeltxStandinOpenCount() {
    return static_cast<std::uint32_t>(standIn().open.size());
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
    Driver* backend = standIn().backend;
    if (flags & FT_LIST_NUMBER_ONLY) {
        if (!arg1) return kInvalidParameter;
        std::uint32_t count = 0;
        const FT_STATUS status = backend ? backend->listDeviceCount(count) : 0;
        if (status == 0) *static_cast<DWORD*>(arg1) = count;
        return status;
    }
    if (flags & FT_LIST_BY_INDEX) {
        if (!arg2) return kInvalidParameter;
        if (!backend) return kDeviceNotFound;
        const auto index = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(arg1));
        std::string text;
        FT_STATUS status = kInvalidParameter;
        if (flags & FT_OPEN_BY_SERIAL_NUMBER) status = backend->listSerialNumber(index, text);
        if (flags & FT_OPEN_BY_DESCRIPTION) status = backend->listDescription(index, text);
        if (status != 0) return status;
        const std::size_t n = std::min(text.size(), kListedStringMax);
        std::memcpy(arg2, text.data(), n);
        static_cast<char*>(arg2)[n] = '\0';
        return 0;
    }
    return kInvalidParameter;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) {
    if (!arg1 || !handle || flags != FT_OPEN_BY_SERIAL_NUMBER) return kInvalidParameter;
    Driver* backend = standIn().backend;
    if (!backend) return kDeviceNotFound;
    FtHandle inner = 0;
    const FT_STATUS status = backend->openBySerialNumber(static_cast<const char*>(arg1), inner);
    if (status != 0) return status;
    auto opened = std::make_unique<Opened>();
    opened->inner = inner;
    *handle = opened.get();
    standIn().open.insert(opened.release());
    return 0;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_Close(FT_HANDLE handle) {
    auto* opened = static_cast<Opened*>(handle);
    if (!standIn().open.count(opened)) return kInvalidHandle;
    const FT_STATUS status = standIn().backend ? standIn().backend->close(opened->inner) : 0;
    standIn().open.erase(opened);
    delete opened;
    return status;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_SetBaudRate(FT_HANDLE handle, DWORD baud) {
    Opened* opened = lookUp(handle);
    return opened ? standIn().backend->setBaudRate(opened->inner, baud) : kInvalidHandle;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength,
                                                                        UCHAR stopBits, UCHAR parity) {
    Opened* opened = lookUp(handle);
    return opened ? standIn().backend->setDataCharacteristics(opened->inner, wordLength, stopBits, parity)
                  : kInvalidHandle;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    Opened* opened = lookUp(handle);
    if (!opened) return kInvalidHandle;
    std::uint32_t count = 0;
    const FT_STATUS status = standIn().backend->getQueueStatus(opened->inner, count);
    if (status == 0) *rxBytes = count;
    return status;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_Read(FT_HANDLE handle, void* buffer, DWORD toRead,
                                                      DWORD* bytesRead) {
    Opened* opened = lookUp(handle);
    if (!opened) return kInvalidHandle;
    std::uint32_t got = 0;
    const FT_STATUS status = standIn().backend->read(opened->inner, static_cast<std::uint8_t*>(buffer), toRead, got);
    *bytesRead = got;
    return status;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_Write(FT_HANDLE handle, void* buffer, DWORD toWrite,
                                                       DWORD* bytesWritten) {
    Opened* opened = lookUp(handle);
    if (!opened) return kInvalidHandle;
    std::uint32_t written = 0;
    const FT_STATUS status =
        standIn().backend->write(opened->inner, static_cast<const std::uint8_t*>(buffer), toWrite, written);
    *bytesWritten = written;
    if (status == 0) signalReceived(*opened);
    return status;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_Purge(FT_HANDLE handle, DWORD mask) {
    Opened* opened = lookUp(handle);
    return opened ? standIn().backend->purge(opened->inner, mask) : kInvalidHandle;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_SetLatencyTimer(FT_HANDLE handle, UCHAR milliseconds) {
    Opened* opened = lookUp(handle);
    if (!opened) return kInvalidHandle;
    if (milliseconds < 2) return kInvalidParameter;  // the X-series chips take 2 to 255 ms
    opened->latency = milliseconds;
    return 0;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_GetLatencyTimer(FT_HANDLE handle, UCHAR* milliseconds) {
    Opened* opened = lookUp(handle);
    if (!opened) return kInvalidHandle;
    *milliseconds = opened->latency;
    return 0;
}

QELTX_STANDIN_EXPORT FT_STATUS QELTX_D2XX_API FT_SetEventNotification(FT_HANDLE handle, DWORD mask, void* param) {
    Opened* opened = lookUp(handle);
    if (!opened) return kInvalidHandle;
    opened->eventMask = mask;
    opened->event = param;
    return 0;
}

// Not part of the real library: how many open devices asked to be signalled when a byte comes
// in, and a signal to all of them, as the library's reader thread gives (from any thread).
QELTX_STANDIN_EXPORT std::uint32_t QeltxStandinReceiveEvents() {
    return static_cast<std::uint32_t>(std::count_if(standIn().open.begin(), standIn().open.end(), [](Opened* o) {
        return o->event && (o->eventMask & FT_EVENT_RXCHAR);
    }));
}

QELTX_STANDIN_EXPORT void QeltxStandinSignalReceived() {
    for (Opened* opened : standIn().open) signalEvent(*opened);
}

}  // extern "C"
