// The serial-port backend on Qt SerialPort.
#include "link/serial_port_backend.h"

#include "link/libftdi_open_error.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <limits>

#if defined(Q_OS_UNIX)
#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#if defined(Q_OS_LINUX)
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#endif
#endif

namespace qeltx::link {

using core::FT_DEVICE_NOT_FOUND;
using core::FT_DEVICE_NOT_OPENED;
using core::FT_INVALID_BAUD_RATE;
using core::FT_INVALID_HANDLE;
using core::FT_INVALID_PARAMETER;
using core::FT_IO_ERROR;
using core::FT_OK;

namespace {

// D2XX line codes the backend accepts.
constexpr std::uint8_t kBits7 = 7;
constexpr std::uint8_t kStopBits2 = 2;
constexpr std::uint8_t kParityOdd = 1;
constexpr std::uint8_t kParityMark = 3;
constexpr std::uint8_t kParitySpace = 4;

// Linux gives the slave sides of pseudo-terminals the majors 136 to 143.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

// A write may take twice its time on the line, plus this, before the backend stops waiting.
constexpr int kWriteSlackMs = 500;
constexpr int kBitsPerByteOnLine = 11;  // start, eight data, parity, stop
// How many times one call takes in newly received data; data that keeps streaming in is
// counted on the next call rather than holding this one.
constexpr int kMaxPullsPerCall = 8;

// What the port has taken in from the system and not yet handed over.
std::uint32_t bufferedBytes(const QSerialPort& serial) {
    const qint64 buffered = serial.bytesAvailable();
    return static_cast<std::uint32_t>(std::min<qint64>(buffered, std::numeric_limits<std::uint32_t>::max()));
}

// Takes into the port what the system holds, waiting up to `waitMs` for the first byte;
// whether anything came (or the port failed, which the port then knows). On Unix the wait is
// the system's own: Qt's wait that ends with nothing costs a translated error text and a
// signal, and the editor waits once or more between every answer of the pedal and its next
// command.
bool takeIn(QSerialPort& serial, int waitMs) {
#if defined(Q_OS_UNIX)
    pollfd descriptor{static_cast<int>(serial.handle()), POLLIN, 0};
    // An error or a hang-up counts as something: Qt's read is where the port learns it is gone.
    if (::poll(&descriptor, 1, waitMs) == 0) return false;
    waitMs = 0;
#endif
    return serial.waitForReadyRead(waitMs);
}

// Writes `count` bytes before `deadline` and returns how many went to the system. A command
// cut short is a failed write, and its tail is never sent later, where the pedal would take
// it for the start of the next command.
std::uint32_t writeWithin(QSerialPort& serial, const std::uint8_t* data, std::uint32_t count,
                          const QDeadlineTimer& deadline) {
#if defined(Q_OS_UNIX)
    // Straight to the descriptor (the port is open non-blocking): Qt's buffered write would
    // switch its write notifier on and off and wake the event loop for every command, between
    // an answer of the pedal and the next command. Nothing else writes through Qt's buffer.
    const int fd = static_cast<int>(serial.handle());
    std::uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
        if (deadline.hasExpired()) break;
        pollfd descriptor{fd, POLLOUT, 0};
        const qint64 left = deadline.remainingTime();
        const auto waitMs = static_cast<int>(std::clamp<qint64>(left, 1, std::numeric_limits<int>::max()));
        if (::poll(&descriptor, 1, waitMs) < 0 && errno != EINTR) break;
    }
    return done;
#else
    if (serial.write(reinterpret_cast<const char*>(data), count) != static_cast<qint64>(count)) return 0;
    while (serial.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!serial.waitForBytesWritten(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)))) break;
    }
    // What is still queued is this write's tail (earlier writes go out first).
    const qint64 left = std::min<qint64>(serial.bytesToWrite(), count);
    if (left > 0) serial.clear(QSerialPort::Output);
    return count - static_cast<std::uint32_t>(left);
#endif
}

std::string canonicalPath(const std::string& path) {
    const QString canonical = QFileInfo(QString::fromStdString(path)).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical.toStdString();
}

bool lacksPermission([[maybe_unused]] const std::string& path) {
#if defined(Q_OS_UNIX)
    return ::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    return false;
#endif
}

std::string permissionProblem(const std::string& path) {
#if defined(Q_OS_LINUX)
    return "No permission to open " + path + ". " + std::string(kUdevRuleHelp) +
           ", or add yourself to the dialout group (sudo usermod -aG dialout $USER, then log out and in).";
#else
    return "No permission to open " + path + ".";
#endif
}

std::string busyProblem(const std::string& path) {
#if defined(Q_OS_LINUX)
    return path +
           " is in use by another program. Close any other program using the pedal. If none is open, "
           "ModemManager or brltty may be holding the port: stop ModemManager (sudo systemctl stop "
           "ModemManager), remove brltty (sudo apt remove brltty), or install the udev rule "
           "packaging/99-qeltx.rules, which tells ModemManager to leave the pedal alone.";
#else
    return path + " is in use by another program. Close any other program using the pedal and try again.";
#endif
}

#if defined(Q_OS_LINUX)
// The bridge's timer while the serial driver's low-latency mode is on.
constexpr std::uint8_t kLowLatencyMs = 1;
// FTDI's default, for a driver that does not show its timer.
constexpr std::uint8_t kDefaultLatencyMs = 16;

// The timer the kernel's FTDI driver gives the bridge when its low-latency mode is off, as it
// shows it (readable by anyone) in its tty's sysfs folder.
std::uint8_t driverLatencyMs(const std::string& path) {
    const QString name = QFileInfo(QString::fromStdString(canonicalPath(path))).fileName();
    std::ifstream in("/sys/class/tty/" + name.toStdString() + "/device/latency_timer");
    unsigned value = 0;
    if (name.isEmpty() || !(in >> value) || value == 0 || value > 0xFF) return kDefaultLatencyMs;
    return static_cast<std::uint8_t>(value);
}
#endif

}  // namespace

struct SerialPortDriver::Port {
    std::string path;
    bool pseudoTerminal = false;
    // Set on the first read or resource error: the far end went away.
    bool gone = false;
    LineRequest line;
    // Last, so it goes first: its signals reach the fields above.
    std::unique_ptr<QSerialPort> serial;
};

SerialPortDriver::SerialPortDriver() = default;

SerialPortDriver::~SerialPortDriver() {
    for (const FtHandle handle : ports_.handles()) close(handle);
}

void SerialPortDriver::addExplicitPort(const std::string& path) {
    if (std::find(explicitPorts_.begin(), explicitPorts_.end(), path) == explicitPorts_.end())
        explicitPorts_.push_back(path);
}

bool SerialPortDriver::isPseudoTerminalPath(const std::string& path) {
    const std::string real = canonicalPath(path);
    if (real.rfind("/dev/pts/", 0) == 0) return true;
#if defined(Q_OS_LINUX)
    struct stat info {};
    if (::stat(real.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) {
        const unsigned major = ::major(info.st_rdev);
        return major >= kPtySlaveMajorFirst && major <= kPtySlaveMajorLast;
    }
#elif defined(Q_OS_MACOS)
    if (real.rfind("/dev/ttys", 0) == 0) return true;
#endif
    return false;
}

void SerialPortDriver::refreshListing() {
    listed_.clear();
    std::vector<std::string> ftdiPaths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (!info.hasVendorIdentifier() || info.vendorIdentifier() != kFtdiVendorId) continue;
        const std::string path = info.systemLocation().toStdString();
        // A bridge without a serial number can still be opened, by its path.
        std::string serial = info.serialNumber().toStdString();
        if (serial.empty()) serial = path;
        listed_.push_back({serial, info.description().toStdString(), path});
        ftdiPaths.push_back(canonicalPath(path));
    }
    for (const std::string& path : explicitPorts_) {
        if (std::find(ftdiPaths.begin(), ftdiPaths.end(), canonicalPath(path)) != ftdiPaths.end()) continue;
        listed_.push_back({path, path, path});
    }
}

FtStatus SerialPortDriver::listDeviceCount(std::uint32_t& count) {
    refreshListing();
    count = static_cast<std::uint32_t>(listed_.size());
    return FT_OK;
}

FtStatus SerialPortDriver::listSerialNumber(std::uint32_t index, std::string& serial) {
    return listedText(listed_, index, &Listed::serial, serial);
}

FtStatus SerialPortDriver::listDescription(std::uint32_t index, std::string& description) {
    return listedText(listed_, index, &Listed::description, description);
}

FtStatus SerialPortDriver::openBySerialNumber(const std::string& serial, FtHandle& handle) {
    lastOpenProblem_.clear();
    if (serial.empty()) return FT_DEVICE_NOT_FOUND;
    // Opening without a listing first is allowed, as with the chip maker's library.
    if (!listedBySerial(listed_, serial)) refreshListing();
    const Listed* listed = listedBySerial(listed_, serial);
    if (!listed) return FT_DEVICE_NOT_FOUND;
    const std::string path = listed->path;

    for (const FtHandle open : ports_.handles()) {
        if (ports_.object(open)->path == path) {
            lastOpenProblem_ = path + " is already open in the editor.";
            return FT_DEVICE_NOT_OPENED;
        }
    }

    auto port = std::make_unique<Port>();
    port->path = path;
    port->pseudoTerminal = isPseudoTerminalPath(path);
    port->serial = std::make_unique<QSerialPort>();
    QSerialPort& serialPort = *port->serial;
    serialPort.setPortName(QString::fromStdString(path));
    serialPort.setBaudRate(static_cast<qint32>(kSerialOpenBaudRate));
    serialPort.setDataBits(QSerialPort::Data8);
    serialPort.setStopBits(QSerialPort::OneStop);
    serialPort.setParity(QSerialPort::NoParity);
    serialPort.setFlowControl(QSerialPort::NoFlowControl);
    if (!serialPort.open(QIODevice::ReadWrite)) {
        switch (serialPort.error()) {
        case QSerialPort::DeviceNotFoundError:
            return FT_DEVICE_NOT_FOUND;
        case QSerialPort::PermissionError:
            // Qt says PermissionError both for a device the user may not open and for one
            // that another program holds (its lock file, or exclusive mode).
            lastOpenProblem_ = lacksPermission(path) ? permissionProblem(path) : busyProblem(path);
            return FT_DEVICE_NOT_OPENED;
        default:
            lastOpenProblem_ = path + " could not be opened: " + serialPort.errorString().toStdString();
            return FT_DEVICE_NOT_OPENED;
        }
    }

    // When the far end goes away, Qt reports the error again on every notification until the
    // port is closed: note it once and close from the event loop (closing inside the signal
    // would pull the port out from under the read that raised it). Calls that come first
    // close it themselves.
    Port* raw = port.get();
    QObject::connect(&serialPort, &QSerialPort::errorOccurred, &serialPort,
                     [raw](QSerialPort::SerialPortError error) {
                         if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) return;
                         if (raw->gone) return;
                         raw->gone = true;
                         QSerialPort* serial = raw->serial.get();
                         QMetaObject::invokeMethod(serial, [serial] { serial->close(); }, Qt::QueuedConnection);
                     });
    handle = ports_.add(std::move(port));
    return FT_OK;
}

SerialPortDriver::Port* SerialPortDriver::findPort(FtHandle handle) { return ports_.object(handle); }

FtStatus SerialPortDriver::usable(FtHandle handle, Port*& port) {
    port = findPort(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (port->gone) {
        if (port->serial->isOpen()) port->serial->close();
        return FT_IO_ERROR;
    }
    return FT_OK;
}

FtStatus SerialPortDriver::close(FtHandle handle) {
    Port* port = findPort(handle);
    if (!port) return FT_INVALID_HANDLE;
    QObject::disconnect(port->serial.get(), nullptr, nullptr, nullptr);
    if (port->serial->isOpen()) port->serial->close();
    ports_.erase(handle);
    return FT_OK;
}

FtStatus SerialPortDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    Port* port = nullptr;
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    if (baud == 0 || baud > static_cast<std::uint32_t>(std::numeric_limits<qint32>::max())) return FT_INVALID_BAUD_RATE;
    port->line.baud = baud;
    if (port->pseudoTerminal) return FT_OK;
    return port->serial->setBaudRate(static_cast<qint32>(baud)) ? FT_OK : FT_INVALID_BAUD_RATE;
}

FtStatus SerialPortDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                                  std::uint8_t parity) {
    Port* port = nullptr;
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    if (wordLength != kBits7 && wordLength != kBits8) return FT_INVALID_PARAMETER;
    if (stopBits != kStopBits1 && stopBits != kStopBits2) return FT_INVALID_PARAMETER;
    if (parity > kParitySpace) return FT_INVALID_PARAMETER;
    port->line.wordLength = wordLength;
    port->line.stopBits = stopBits;
    port->line.parity = parity;
    if (port->pseudoTerminal) return FT_OK;

    QSerialPort& serial = *port->serial;
    const auto dataBits = wordLength == kBits7 ? QSerialPort::Data7 : QSerialPort::Data8;
    const auto stop = stopBits == kStopBits2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
    QSerialPort::Parity qtParity = QSerialPort::NoParity;
    switch (parity) {
    case kParityOdd: qtParity = QSerialPort::OddParity; break;
    case kParityEven: qtParity = QSerialPort::EvenParity; break;
    case kParityMark: qtParity = QSerialPort::MarkParity; break;
    case kParitySpace: qtParity = QSerialPort::SpaceParity; break;
    default: break;
    }
    const bool applied = serial.setDataBits(dataBits) && serial.setStopBits(stop) && serial.setParity(qtParity);
    return applied ? FT_OK : FT_IO_ERROR;
}

FtStatus SerialPortDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    Port* port = nullptr;
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    // A zero wait takes in what the system holds without blocking; the editor may poll where
    // no event loop runs.
    for (int i = 0; i < kMaxPullsPerCall && !port->gone && takeIn(*port->serial, 0); ++i) {
    }
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    rxBytes = bufferedBytes(*port->serial);
    return FT_OK;
}

FtStatus SerialPortDriver::waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) {
    Port* port = nullptr;
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    if (timeoutMs == 0 || bufferedBytes(*port->serial) > 0) return getQueueStatus(handle, rxBytes);
    // Straight into the wait, which returns at once when the system holds bytes already: the
    // editor comes here right after each command, and the sooner it sleeps, the sooner the
    // system hands the command on. The wait takes what came into the port's buffer.
    const int wait = static_cast<int>(std::min<std::uint32_t>(timeoutMs, std::numeric_limits<int>::max()));
    takeIn(*port->serial, wait);
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    rxBytes = bufferedBytes(*port->serial);
    return FT_OK;
}

FtStatus SerialPortDriver::read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead,
                                std::uint32_t& bytesRead) {
    bytesRead = 0;
    Port* port = nullptr;
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    // What the port holds already is read at once (the caller has usually just asked for the
    // queue); the system is asked only when it holds nothing.
    std::uint32_t queued = bufferedBytes(*port->serial);
    if (queued == 0) {
        if (const FtStatus status = getQueueStatus(handle, queued); status != FT_OK) return status;
    }
    const std::uint32_t wanted = std::min(toRead, queued);
    if (wanted == 0) return FT_OK;
    const qint64 got = findPort(handle)->serial->read(reinterpret_cast<char*>(buffer), wanted);
    if (got < 0) return FT_IO_ERROR;
    bytesRead = static_cast<std::uint32_t>(got);
    return FT_OK;
}

FtStatus SerialPortDriver::write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                                 std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    Port* port = nullptr;
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    if (toWrite == 0) return FT_OK;
    const std::uint32_t baud = std::max<std::uint32_t>(port->line.baud, kSerialOpenBaudRate);
    const qint64 lineMs = static_cast<qint64>(toWrite) * kBitsPerByteOnLine * 1000 / baud;
    const QDeadlineTimer deadline(2 * lineMs + kWriteSlackMs);
    const std::uint32_t written = writeWithin(*port->serial, buffer, toWrite, deadline);
    if (port->gone) return usable(handle, port);
    bytesWritten = written;
    return bytesWritten == toWrite ? FT_OK : FT_IO_ERROR;
}

FtStatus SerialPortDriver::purge(FtHandle handle, std::uint32_t mask) {
    Port* port = nullptr;
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    QSerialPort::Directions directions;
    if (mask & kPurgeRx) directions |= QSerialPort::Input;
    // The transmit queue is what this port still holds unwritten. What a write handed over is on
    // its way to the pedal: the system's flush would take it back from the far end's input (on a
    // pseudo-terminal, or from the adapter's kernel buffer), so a parameter sent just before a
    // query or Request could vanish unseen. Writes wait until they are handed over, so this is
    // empty but for a write cut short.
    if ((mask & kPurgeTx) && port->serial->bytesToWrite() > 0) directions |= QSerialPort::Output;
    if (!directions) return FT_OK;
    return port->serial->clear(directions) ? FT_OK : FT_IO_ERROR;
}

FtStatus SerialPortDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    Port* port = nullptr;
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    if (port->pseudoTerminal) return core::FT_NOT_SUPPORTED;
    if (milliseconds == 0) return FT_INVALID_PARAMETER;
#if defined(Q_OS_LINUX)
    const int fd = static_cast<int>(port->serial->handle());
    serial_struct info{};
    if (fd < 0 || ::ioctl(fd, TIOCGSERIAL, &info) != 0) return core::FT_NOT_SUPPORTED;
    // The driver's low-latency mode is the one setting a user may change without root: the
    // bridge's timer is 1 ms while it is on, the driver's own timer when it is off.
    const bool low = milliseconds < driverLatencyMs(port->path);
    info.flags = low ? (info.flags | ASYNC_LOW_LATENCY) : (info.flags & ~ASYNC_LOW_LATENCY);
    return ::ioctl(fd, TIOCSSERIAL, &info) == 0 ? FT_OK : FT_IO_ERROR;
#else
    return core::FT_NOT_SUPPORTED;
#endif
}

FtStatus SerialPortDriver::getLatencyTimer(FtHandle handle, std::uint8_t& milliseconds) {
    Port* port = nullptr;
    if (const FtStatus status = usable(handle, port); status != FT_OK) return status;
    if (port->pseudoTerminal) return core::FT_NOT_SUPPORTED;
#if defined(Q_OS_LINUX)
    const int fd = static_cast<int>(port->serial->handle());
    serial_struct info{};
    if (fd < 0 || ::ioctl(fd, TIOCGSERIAL, &info) != 0) return core::FT_NOT_SUPPORTED;
    milliseconds = (info.flags & ASYNC_LOW_LATENCY) ? kLowLatencyMs : driverLatencyMs(port->path);
    return FT_OK;
#else
    return core::FT_NOT_SUPPORTED;
#endif
}

std::optional<LineRequest> SerialPortDriver::requestedLine(FtHandle handle) {
    const Port* port = findPort(handle);
    return port ? std::optional<LineRequest>(port->line) : std::nullopt;
}

bool SerialPortDriver::isPseudoTerminal(FtHandle handle) {
    const Port* port = findPort(handle);
    return port && port->pseudoTerminal;
}

bool SerialPortDriver::isPortOpen(FtHandle handle) {
    const Port* port = findPort(handle);
    return port && port->serial->isOpen();
}

std::string SerialPortDriver::portPath(FtHandle handle) {
    const Port* port = findPort(handle);
    return port ? port->path : std::string();
}

}  // namespace qeltx::link
