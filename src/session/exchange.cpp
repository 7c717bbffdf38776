// Sending commands to the pedal and gathering its replies.
#include "session/exchange.h"

#include <algorithm>

namespace qeltx::session {

Exchange::Exchange(link::D2XXUnit& usb, LineOwner& line, LogSink log)
    : usb_(usb), line_(line), timing_(line.timing()), log_(std::move(log)) {}

bool Exchange::SendCommandText(const QString& text, bool purgeFirst, int pauseMs) {
    sendProblem_.clear();
    // A last unpaired digit is dropped; any other character is a composing fault, and sending
    // whatever the buffer held from an earlier command would be worse than sending nothing.
    const auto bytes = core::commandTextToBytes(text.toStdString());
    if (!bytes) {
        log_(QStringLiteral("internal error: ") + QString::fromStdString(bytes.reason()) + QStringLiteral(": ") + text);
        sendProblem_ = QStringLiteral("the command could not be composed");
        return false;
    }
    std::copy(bytes->begin(), bytes->end(), usb_.txBuffer.begin());
    if (purgeFirst) usb_.PurgeFTDeviceTx();
    // The console names a short command by its text, a long one (an algorithm image) by its size.
    constexpr qsizetype kNamedUpTo = 48;
    const QString what = text.size() <= kNamedUpTo ? text : QStringLiteral("a command of %1 bytes").arg(bytes->size());
    if (!writeTxBuffer(bytes->size(), what)) return false;
    if (pauseMs > 0) timing_.pause(pauseMs);
    return true;
}

bool Exchange::send(const core::PedalCommand& command) {
    return SendCommandText(QString::fromStdString(command.text), command.spec.purgeFirst, command.spec.pauseMs);
}

bool Exchange::sendBufferBytes(std::span<const std::uint8_t> bytes) {
    sendProblem_.clear();
    if (bytes.size() > link::kBufferSize) {
        sendProblem_ = QStringLiteral("%1 bytes do not fit the transmit buffer").arg(bytes.size());
        log_(QStringLiteral("not sent: ") + sendProblem_);
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), usb_.txBuffer.begin());
    return writeTxBuffer(bytes.size());
}

bool Exchange::writeTxBuffer(std::size_t count, const QString& what) {
    const auto wanted = static_cast<std::uint32_t>(count);
    const std::uint32_t written = usb_.WriteFTDeviceBuffer(wanted);
    const core::FtStatus status = usb_.lastDeviceStatus;
    if (status == core::FT_OK && written == wanted) return true;
    // A command cut short is as lost as one never written: the pedal waits for the rest, or
    // takes the next command's first bytes for it.
    sendProblem_ = status != core::FT_OK
                       ? QStringLiteral("the write failed (%1)").arg(QString::fromStdString(core::ftErrorMessage("FT_Write", status)))
                       : QStringLiteral("only %1 of %2 bytes were written").arg(written).arg(wanted);
    const QString named = what.isEmpty() ? QStringLiteral("a frame of %1 bytes").arg(count) : what;
    log_(QStringLiteral("not sent: ") + named + QStringLiteral(": ") + sendProblem_);
    return false;
}

Drained Exchange::drainReply(const Completeness& complete, int limitMs) {
    Drained result;
    const qint64 limit = limitMs > 0 ? limitMs : limits.replyTimeoutMs;
    const qint64 start = timing_.nowMs();
    bool driverFailed = false;
    // Blocks in the driver until a byte comes in, `ms` pass or the window's next frame is due.
    const auto waitForBytes = [&](qint64 ms) {
        const int wait = static_cast<int>(std::clamp<qint64>(ms, 0, limit));
        line_.dispatch(wait, [&](int w) {
            driverFailed = usb_.WaitFTDeviceQueue(static_cast<std::uint32_t>(w)) != core::FT_OK;
        });
    };
    // Every read of this exchange is kept, so a reply split over reads stays whole.
    qint64 lastByteAt = start;
    qint64 wait = limit;
    for (;;) {
        waitForBytes(wait);
        if (driverFailed) {
            result.outcome = DrainOutcome::DriverFailed;
            return result;
        }
        if (usb_.rxQueueCount > 0) {
            const std::uint32_t n = usb_.ReadFTDeviceBuffer();
            if (usb_.lastDeviceStatus != core::FT_OK) {
                result.outcome = DrainOutcome::DriverFailed;
                return result;
            }
            if (n > 0) {
                result.bytes.insert(result.bytes.end(), usb_.rxBuffer.begin(), usb_.rxBuffer.begin() + n);
                lastByteAt = timing_.nowMs();
                if (complete && complete(result.bytes)) {
                    result.outcome = DrainOutcome::Complete;
                    return result;
                }
            }
        }
        const qint64 now = timing_.nowMs();
        const bool endsOnSilence = !complete && !result.bytes.empty();
        if (endsOnSilence && now - lastByteAt >= limits.quietGapMs) {
            result.outcome = DrainOutcome::Complete;
            return result;
        }
        if (now - start >= limit) {
            result.outcome = DrainOutcome::TimedOut;
            return result;
        }
        wait = limit - (now - start);
        if (endsOnSilence) wait = std::min(wait, limits.quietGapMs - (now - lastByteAt));
    }
}

namespace {
// The bridge's shortest timer: it hands over each short answer at once.
constexpr std::uint8_t kLoweredLatencyMs = 1;
// Chips whose timer starts at 2 ms refuse 1.
constexpr std::uint8_t kLoweredLatencyFallbackMs = 2;
}  // namespace

LatencyLowered::LatencyLowered(link::D2XXUnit& usb, const Exchange::LogSink& log) : usb_(usb) {
    // Straight to the driver: a backend without a timer is no fault to put in front of the user.
    link::Driver& driver = usb_.driver();
    std::uint8_t current = 0;
    if (driver.getLatencyTimer(usb_.deviceHandle, current) != core::FT_OK) return;
    if (current <= kLoweredLatencyMs) return;
    std::uint8_t lowered = kLoweredLatencyMs;
    core::FtStatus status = driver.setLatencyTimer(usb_.deviceHandle, lowered);
    if (status == core::FT_INVALID_PARAMETER && current > kLoweredLatencyFallbackMs) {
        lowered = kLoweredLatencyFallbackMs;
        status = driver.setLatencyTimer(usb_.deviceHandle, lowered);
    }
    if (status != core::FT_OK) return;
    saved_ = current;
    lowered_ = lowered;
    if (log) log(QStringLiteral("latency timer: %1 ms (was %2 ms)").arg(lowered).arg(current));
}

LatencyLowered::~LatencyLowered() {
    if (saved_) usb_.driver().setLatencyTimer(usb_.deviceHandle, *saved_);
}

}  // namespace qeltx::session
