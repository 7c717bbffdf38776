// The libftdi1 backend. ftdi.h defines NONE, ODD and EVEN as global names, so it is included
// here and nowhere else.
#include "link/libftdi_backend.h"

#include "link/libftdi_open_error.h"

#include <ftdi.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <limits>

namespace qeltx::link {

using core::FT_DEVICE_NOT_FOUND;
using core::FT_DEVICE_NOT_OPENED;
using core::FT_INVALID_BAUD_RATE;
using core::FT_INVALID_HANDLE;
using core::FT_INVALID_PARAMETER;
using core::FT_IO_ERROR;
using core::FT_OK;

namespace {

constexpr int kFtdiVendor = 0x0403;
constexpr int kStringBufferSize = 128;

// libftdi's return codes of the transfer calls the backend tells apart (the open's are
// libftdi_open_error's).
constexpr int kFtdiDeviceUnavailable = -666;
constexpr int kFtdiBaudInvalid = -1;

// What a device is set to when opened: the pedal's line, and a short latency timer so that a
// read that finds nothing comes back within 2 ms instead of the chip's default 16.
constexpr int kOpenBaudRate = 115200;
constexpr unsigned char kOpenLatencyMs = 2;
// The longest a bulk read may wait; the chip answers within one latency period.
constexpr int kUsbReadTimeoutMs = 50;
// One USB read, and the most the backend buffers before the editor reads it.
constexpr int kReadChunk = 4096;
constexpr std::size_t kMaxBuffered = 1 << 20;

// D2XX line codes; libftdi's enums use the same numbers.
constexpr std::uint8_t kBits7 = 7;
constexpr std::uint8_t kStopBits2 = 2;
constexpr std::uint8_t kParitySpace = 4;

struct ContextDeleter {
    void operator()(ftdi_context* context) const { ftdi_free(context); }
};
using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

std::string errorText(ftdi_context* context) {
    const char* text = ftdi_get_error_string(context);
    return text ? text : "";
}

}  // namespace

struct LibFtdiDriver::Device {
    Context context;
    std::deque<std::uint8_t> received;
    bool gone = false;
};

LibFtdiDriver::LibFtdiDriver() = default;

LibFtdiDriver::~LibFtdiDriver() {
    for (const FtHandle handle : devices_.handles()) close(handle);
}

FtStatus LibFtdiDriver::listDeviceCount(std::uint32_t& count) {
    listed_.clear();
    count = 0;
    // ftdi_new fails when USB cannot be reached at all: then there is simply nothing to list.
    const Context context(ftdi_new());
    if (!context) return FT_OK;
    for (const int product : kFtdiProductIds) {
        ftdi_device_list* list = nullptr;
        if (ftdi_usb_find_all(context.get(), &list, kFtdiVendor, product) <= 0) {
            ftdi_list_free(&list);
            continue;
        }
        for (ftdi_device_list* node = list; node; node = node->next) {
            char description[kStringBufferSize] = {};
            char serial[kStringBufferSize] = {};
            if (ftdi_usb_get_strings(context.get(), node->dev, nullptr, 0, description, kStringBufferSize, serial,
                                     kStringBufferSize) < 0)
                continue;
            description[kStringBufferSize - 1] = '\0';
            serial[kStringBufferSize - 1] = '\0';
            listed_.push_back({serial, description});
        }
        ftdi_list_free(&list);
    }
    count = static_cast<std::uint32_t>(listed_.size());
    return FT_OK;
}

FtStatus LibFtdiDriver::listSerialNumber(std::uint32_t index, std::string& serial) {
    return listedText(listed_, index, &Listed::serial, serial);
}

FtStatus LibFtdiDriver::listDescription(std::uint32_t index, std::string& description) {
    return listedText(listed_, index, &Listed::description, description);
}

FtStatus LibFtdiDriver::openBySerialNumber(const std::string& serial, FtHandle& handle) {
    lastOpenProblem_.clear();
    if (serial.empty()) return FT_DEVICE_NOT_FOUND;
    Context context(ftdi_new());
    if (!context) return FT_DEVICE_NOT_FOUND;
    // On close libusb gives the interface back to the kernel's serial driver.
    context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;

    // Only "no such bridge" moves on to the next product number: a bridge that was found and
    // failed to open says why, unless another product number opens it after all.
    FtdiOpenOutcome failure = FtdiOpenOutcome::NotFound;
    std::string failureText;
    bool opened = false;
    for (const int product : kFtdiProductIds) {
        errno = 0;
        const int result = ftdi_usb_open_desc(context.get(), kFtdiVendor, product, nullptr, serial.c_str());
        const int systemError = errno;
        const std::string text = errorText(context.get());
        const FtdiOpenOutcome outcome = classifyFtdiOpen(result, systemError, text);
        if (outcome == FtdiOpenOutcome::Opened) {
            opened = true;
            break;
        }
        if (outcome != FtdiOpenOutcome::NotFound && failure == FtdiOpenOutcome::NotFound) {
            failure = outcome;
            failureText = text;
        }
    }
    if (!opened) {
        if (failure == FtdiOpenOutcome::NotFound) return FT_DEVICE_NOT_FOUND;
        lastOpenProblem_ = ftdiOpenProblem(failure, serial, failureText);
        return FT_DEVICE_NOT_OPENED;
    }

    ftdi_context* ftdi = context.get();
    ftdi->usb_read_timeout = kUsbReadTimeoutMs;
    if (ftdi_set_baudrate(ftdi, kOpenBaudRate) < 0 || ftdi_set_line_property(ftdi, BITS_8, STOP_BIT_1, NONE) < 0 ||
        ftdi_setflowctrl(ftdi, SIO_DISABLE_FLOW_CTRL) < 0 || ftdi_set_latency_timer(ftdi, kOpenLatencyMs) < 0) {
        lastOpenProblem_ = ftdiOpenProblem(FtdiOpenOutcome::NotConfigurable, serial, errorText(ftdi));
        ftdi_usb_close(ftdi);
        return FT_DEVICE_NOT_OPENED;
    }
    auto device = std::make_unique<Device>();
    device->context = std::move(context);
    handle = devices_.add(std::move(device));
    return FT_OK;
}

FtStatus LibFtdiDriver::usable(FtHandle handle, Device*& device) {
    device = devices_.object(handle);
    if (!device) return FT_INVALID_HANDLE;
    return device->gone ? FT_IO_ERROR : FT_OK;
}

FtStatus LibFtdiDriver::close(FtHandle handle) {
    Device* device = devices_.object(handle);
    if (!device) return FT_INVALID_HANDLE;
    // Releasing the interface lets the kernel's serial driver take the device again; for one
    // that was unplugged there is nothing to give back, and the handle goes all the same.
    ftdi_usb_close(device->context.get());
    devices_.erase(handle);
    return FT_OK;
}

FtStatus LibFtdiDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    Device* device = nullptr;
    if (const FtStatus status = usable(handle, device); status != FT_OK) return status;
    if (baud == 0 || baud > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) return FT_INVALID_BAUD_RATE;
    const int result = ftdi_set_baudrate(device->context.get(), static_cast<int>(baud));
    if (result == kFtdiBaudInvalid) return FT_INVALID_BAUD_RATE;
    if (result == kFtdiDeviceUnavailable) device->gone = true;
    return result < 0 ? FT_IO_ERROR : FT_OK;
}

FtStatus LibFtdiDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                               std::uint8_t parity) {
    Device* device = nullptr;
    if (const FtStatus status = usable(handle, device); status != FT_OK) return status;
    if (wordLength != kBits7 && wordLength != kBits8) return FT_INVALID_PARAMETER;
    if (stopBits != kStopBits1 && stopBits != kStopBits2) return FT_INVALID_PARAMETER;
    if (parity > kParitySpace) return FT_INVALID_PARAMETER;
    const int result = ftdi_set_line_property(device->context.get(), static_cast<ftdi_bits_type>(wordLength),
                                              static_cast<ftdi_stopbits_type>(stopBits),
                                              static_cast<ftdi_parity_type>(parity));
    if (result == kFtdiDeviceUnavailable) device->gone = true;
    return result < 0 ? FT_IO_ERROR : FT_OK;
}

FtStatus LibFtdiDriver::takeIn(Device& device) {
    unsigned char chunk[kReadChunk];
    while (device.received.size() < kMaxBuffered) {
        const int got = ftdi_read_data(device.context.get(), chunk, kReadChunk);
        if (got < 0) {
            // A bridge that stops answering bulk reads has been unplugged (libusb says no
            // device) or has failed; either way the link is over, as with the serial port.
            device.gone = true;
            return FT_IO_ERROR;
        }
        device.received.insert(device.received.end(), chunk, chunk + got);
        if (got < kReadChunk) break;
    }
    return FT_OK;
}

FtStatus LibFtdiDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    Device* device = nullptr;
    if (const FtStatus status = usable(handle, device); status != FT_OK) return status;
    if (const FtStatus status = takeIn(*device); status != FT_OK) return status;
    rxBytes = static_cast<std::uint32_t>(device->received.size());
    return FT_OK;
}

FtStatus LibFtdiDriver::waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) {
    Device* device = nullptr;
    if (const FtStatus status = usable(handle, device); status != FT_OK) return status;
    // Each bulk read comes back as soon as the chip hands over a byte, or empty after one
    // latency period: reading until something comes is the wait, with no sleeping of our own.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const FtStatus status = takeIn(*device); status != FT_OK) return status;
        if (!device->received.empty() || std::chrono::steady_clock::now() >= deadline) break;
    }
    rxBytes = static_cast<std::uint32_t>(device->received.size());
    return FT_OK;
}

FtStatus LibFtdiDriver::read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead,
                             std::uint32_t& bytesRead) {
    bytesRead = 0;
    Device* device = nullptr;
    if (const FtStatus status = usable(handle, device); status != FT_OK) return status;
    // The queue count that came just before usually covers the read: no second round trip.
    if (device->received.size() < toRead) {
        if (const FtStatus status = takeIn(*device); status != FT_OK) return status;
    }
    const auto n = std::min<std::size_t>(toRead, device->received.size());
    std::copy_n(device->received.begin(), n, buffer);
    device->received.erase(device->received.begin(), device->received.begin() + static_cast<std::ptrdiff_t>(n));
    bytesRead = static_cast<std::uint32_t>(n);
    return FT_OK;
}

FtStatus LibFtdiDriver::write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                              std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    Device* device = nullptr;
    if (const FtStatus status = usable(handle, device); status != FT_OK) return status;
    if (toWrite == 0) return FT_OK;
    if (toWrite > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) return FT_INVALID_PARAMETER;
    const int written = ftdi_write_data(device->context.get(), buffer, static_cast<int>(toWrite));
    if (written < 0) {
        if (written == kFtdiDeviceUnavailable) device->gone = true;
        return FT_IO_ERROR;
    }
    bytesWritten = static_cast<std::uint32_t>(written);
    return FT_OK;
}

FtStatus LibFtdiDriver::purge(FtHandle handle, std::uint32_t mask) {
    Device* device = nullptr;
    if (const FtStatus status = usable(handle, device); status != FT_OK) return status;
    int result = 0;
    if (mask & kPurgeRx) {
        device->received.clear();
        result = std::min(result, ftdi_tciflush(device->context.get()));
    }
    if (mask & kPurgeTx) result = std::min(result, ftdi_tcoflush(device->context.get()));
    if (result == kFtdiDeviceUnavailable) device->gone = true;
    return result < 0 ? FT_IO_ERROR : FT_OK;
}

FtStatus LibFtdiDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    Device* device = nullptr;
    if (const FtStatus status = usable(handle, device); status != FT_OK) return status;
    if (milliseconds == 0) return FT_INVALID_PARAMETER;
    const int result = ftdi_set_latency_timer(device->context.get(), milliseconds);
    if (result == kFtdiDeviceUnavailable) device->gone = true;
    return result < 0 ? FT_IO_ERROR : FT_OK;
}

FtStatus LibFtdiDriver::getLatencyTimer(FtHandle handle, std::uint8_t& milliseconds) {
    Device* device = nullptr;
    if (const FtStatus status = usable(handle, device); status != FT_OK) return status;
    unsigned char value = 0;
    const int result = ftdi_get_latency_timer(device->context.get(), &value);
    if (result == kFtdiDeviceUnavailable) device->gone = true;
    if (result < 0) return FT_IO_ERROR;
    milliseconds = value;
    return FT_OK;
}

}  // namespace qeltx::link
