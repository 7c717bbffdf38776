// Sending commands to the pedal and gathering its replies.
#include "session/exchange.h"


#include <algorithm>

namespace qeltx::session {

Exchange::Exchange(link::D2XXUnit& usb, LineOwner& line, LogSink log)
    : usb_(usb), line_(line), timing_(line.timing()), log_(std::move(log)) {}

bool Exchange::SendCommandText(const QString& text, bool purgeFirst, int pauseMs) {
    // A last unpaired digit is dropped; any other character is a composing fault, and sending
    // whatever the buffer held from an earlier command would be worse than sending nothing.
    const auto bytes = core::commandTextToBytes(text.toStdString());
    if (!bytes) {
        log_(QStringLiteral("internal error: ") + QString::fromStdString(bytes.reason()) + QStringLiteral(": ") + text);
        return false;
    }
    std::copy(bytes->begin(), bytes->end(), usb_.txBuffer.begin());
    if (purgeFirst) usb_.PurgeFTDeviceTx();
    usb_.WriteFTDeviceBuffer(static_cast<std::uint32_t>(bytes->size()));
    if (pauseMs > 0) timing_.pause(pauseMs);
    return true;
}

bool Exchange::send(const core::PedalCommand& command) {
    return SendCommandText(QString::fromStdString(command.text), command.spec.purgeFirst, command.spec.pauseMs);
}

bool Exchange::sendBufferBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > link::kBufferSize) return false;
    std::copy(bytes.begin(), bytes.end(), usb_.txBuffer.begin());
    return usb_.WriteFTDeviceBuffer(static_cast<std::uint32_t>(bytes.size())) == bytes.size();
}

Drained Exchange::drainReply(const Completeness& complete) {
    Drained result;
    const qint64 start = timing_.nowMs();
    // The wait for the first byte.
    for (;;) {
        line_.dispatch(0);
        if (usb_.GetFTDeviceQueueStatus() != core::FT_OK) {
            result.outcome = DrainOutcome::DriverFailed;
            return result;
        }
        if (usb_.rxQueueCount > 0) break;
        if (timing_.nowMs() - start >= limits.replyTimeoutMs) return result;
        line_.dispatch(limits.sliceMs);
    }
    // The drain: every read of this exchange is kept, so a reply split over reads stays whole.
    qint64 lastByteAt = timing_.nowMs();
    for (;;) {
        line_.dispatch(0);
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
        const qint64 now = timing_.nowMs();
        if (now - lastByteAt >= limits.quietGapMs) {
            result.outcome = complete ? DrainOutcome::Quiet : DrainOutcome::Complete;
            return result;
        }
        if (now - start >= limits.replyTimeoutMs) {
            result.outcome = DrainOutcome::TimedOut;
            return result;
        }
        line_.dispatch(limits.sliceMs);
    }
}

}  // namespace qeltx::session
