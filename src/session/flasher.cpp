// The flasher's steps over the bootloader protocol, with the console's labels.
#include "session/flasher.h"

#include "core/hex.h"

#include <QStringList>

#include <algorithm>

namespace qeltx::session {

namespace {

namespace boot = core::bootloader;

// Get answers ACK, N, the version, N command codes (N counts the version too), ACK.
constexpr std::size_t kGetOverhead = 3;
constexpr std::uint8_t kNeededCommands[] = {boot::kReadMemory, boot::kWriteMemory, boot::kErase, boot::kGo};

QString hex8(std::uint32_t value) { return QString::fromStdString(core::word32ToHex(value)); }
QString hex2(std::uint8_t value) { return QString::fromStdString(core::byteToHex(value)); }

// How many bytes of an answer a failure shows; a Read Memory block is far longer.
constexpr std::size_t kShownReplyBytes = 32;

// A step that failed on the answer `bytes`: the first byte, as the console logs it, and all of
// them, as the failure shows them.
FlashFailure failureWith(FlashError error, const QString& step, std::span<const std::uint8_t> bytes) {
    FlashFailure failure{error, step, QString::fromStdString(core::bootloaderReplyText(bytes)), {}};
    QStringList shown;
    for (const std::uint8_t b : bytes.first(std::min(bytes.size(), kShownReplyBytes))) shown << hex2(b);
    failure.received = shown.join(QLatin1Char(' '));
    if (bytes.size() > kShownReplyBytes) failure.received += QStringLiteral(" … (%1 bytes in all)").arg(bytes.size());
    return failure;
}

// Puts the exchange's time limit to one step's and back. Every answer of the bootloader has a
// length known before it comes, so only the step's limit ends a wait for the rest of one: a
// pause of the line in the middle of a block (a busy computer, a hub) is not its end.
class StepLimit {
public:
    StepLimit(Exchange& exchange, int limitMs) : exchange_(exchange), saved_(exchange.limits) {
        exchange_.limits.replyTimeoutMs = limitMs;
        exchange_.limits.quietGapMs = limitMs;
    }
    ~StepLimit() { exchange_.limits = saved_; }
    StepLimit(const StepLimit&) = delete;
    StepLimit& operator=(const StepLimit&) = delete;

private:
    Exchange& exchange_;
    ReplyLimits saved_;
};

}  // namespace

QString flashErrorText(FlashError error) {
    switch (error) {
        case FlashError::NoReply: return QStringLiteral("the bootloader did not answer in time");
        case FlashError::Refused: return QStringLiteral("the bootloader refused it (NOT ACK)");
        case FlashError::UnexpectedReply: return QStringLiteral("the bootloader gave an unexpected answer");
        case FlashError::ShortReply: return QStringLiteral("the bootloader's answer was cut short");
        case FlashError::DriverFailed: return QStringLiteral("the USB driver failed");
        case FlashError::MissingCommand: return QStringLiteral("the bootloader does not offer a command the upgrade needs");
        case FlashError::VerifyMismatch: return QStringLiteral("the flash read back differs from the firmware");
    }
    return {};
}

QString FlashFailure::describe() const {
    QString text = step + QStringLiteral(": ") + flashErrorText(error);
    const QString shown = received.isEmpty() ? reply : received;
    // A lone NACK is what the words already say.
    if (!shown.isEmpty() && !(error == FlashError::Refused && shown == reply)) {
        text += QStringLiteral(" (received: ") + shown + QLatin1Char(')');
    }
    return text;
}

core::Refusable<FlashPlan> planFlash(std::span<const std::uint8_t> image, std::uint32_t base, int firmwareNumber) {
    auto chunks = core::chunkFirmware(image, base);
    if (!chunks) return core::Refusable<FlashPlan>::refused(chunks.reason());
    FlashPlan plan;
    plan.chunks = *chunks;
    plan.marker = core::firmwareMarker(firmwareNumber);
    plan.imageSize = image.size();
    return core::Refusable<FlashPlan>::accepted(std::move(plan));
}

Flasher::Flasher(link::D2XXUnit& usb, Exchange& exchange, LogSink log)
    : usb_(usb), exchange_(exchange), log_(std::move(log)) {}

void Flasher::progress(FlashStage stage, std::size_t done, std::size_t total) {
    if (onProgress) onProgress({stage, done, total});
}

Flasher::Reply Flasher::exchangeFrame(std::span<const std::uint8_t> frame, std::size_t expected, int limitMs,
                                      const QString& step) {
    Reply reply;
    if (!exchange_.sendBufferBytes(frame)) {
        reply.failure = FlashFailure{FlashError::DriverFailed, step, {}, {}};
        return reply;
    }
    StepLimit limit(exchange_, limitMs);
    Drained drained = exchange_.drainReply([expected](std::span<const std::uint8_t> bytes) {
        return !bytes.empty() && (bytes.front() != boot::kAck || bytes.size() >= expected);
    });
    reply.bytes = std::move(drained.bytes);
    const QString text = QString::fromStdString(core::bootloaderReplyText(reply.bytes));
    log_(QStringLiteral("received: ") + text);
    switch (core::classifyBootloaderReply(reply.bytes)) {
        case core::BootloaderReply::Ack:
            log_(QStringLiteral("ACK"));
            if (reply.bytes.size() < expected) {
                reply.failure = failureWith(drained.outcome == DrainOutcome::DriverFailed ? FlashError::DriverFailed
                                                                                          : FlashError::ShortReply,
                                            step, reply.bytes);
            }
            break;
        case core::BootloaderReply::Nack:
            log_(QStringLiteral("NOT ACK"));
            reply.failure = failureWith(FlashError::Refused, step, reply.bytes);
            break;
        case core::BootloaderReply::Unexpected:
            reply.failure = failureWith(FlashError::UnexpectedReply, step, reply.bytes);
            break;
        case core::BootloaderReply::None:
            reply.failure = FlashFailure{
                drained.outcome == DrainOutcome::DriverFailed ? FlashError::DriverFailed : FlashError::NoReply, step, {}, {}};
            break;
    }
    return reply;
}

std::optional<FlashFailure> Flasher::expectAck(std::span<const std::uint8_t> frame, int limitMs, const QString& step) {
    return exchangeFrame(frame, 1, limitMs, step).failure;
}

std::optional<FlashFailure> Flasher::commandAndAddress(std::uint8_t command, std::uint32_t address, const QString& step) {
    // Whatever an earlier, abandoned exchange left behind is not an answer to this one.
    usb_.PurgeFTDeviceRx();
    if (auto failure = expectAck(core::commandFrame(command), limits.ackMs, step + QStringLiteral(": command")))
        return failure;
    const core::Frame frame = core::addressFrame(address);
    log_(QStringLiteral("SEND ADDRESS + CHECKSUM"));
    log_(QStringLiteral("Address: ") + hex8(address));
    log_(QStringLiteral("address checksum: ") + hex2(frame.back()));
    return expectAck(frame, limits.ackMs, step + QStringLiteral(": address"));
}

std::optional<FlashFailure> Flasher::synchronise() {
    usb_.PurgeFTDeviceRx();
    const std::uint8_t sync[] = {boot::kSync};
    return expectAck(sync, limits.syncMs, QStringLiteral("Synchronisation"));
}

std::optional<FlashFailure> Flasher::checkCommands() {
    const QString step = QStringLiteral("Get (the bootloader's commands)");
    usb_.PurgeFTDeviceRx();
    log_(QStringLiteral("SEND GET COMMAND"));
    const core::Frame get = core::commandFrame(boot::kGet);
    // The count byte says how long the answer is: ask for the two bytes that hold it first.
    if (!exchange_.sendBufferBytes(get)) return FlashFailure{FlashError::DriverFailed, step, {}, {}};
    StepLimit limit(exchange_, limits.ackMs);
    const Drained drained = exchange_.drainReply([](std::span<const std::uint8_t> bytes) {
        if (bytes.empty() || bytes.front() != boot::kAck) return !bytes.empty();
        return bytes.size() >= 2 && bytes.size() >= std::size_t{bytes[1]} + 1 + kGetOverhead;
    });
    const QString text = QString::fromStdString(core::bootloaderReplyText(drained.bytes));
    log_(QStringLiteral("received: ") + text);
    switch (core::classifyBootloaderReply(drained.bytes)) {
        case core::BootloaderReply::None:
            return FlashFailure{
                drained.outcome == DrainOutcome::DriverFailed ? FlashError::DriverFailed : FlashError::NoReply, step, {}, {}};
        case core::BootloaderReply::Nack:
            log_(QStringLiteral("NOT ACK"));
            return failureWith(FlashError::Refused, step, drained.bytes);
        case core::BootloaderReply::Unexpected: return failureWith(FlashError::UnexpectedReply, step, drained.bytes);
        case core::BootloaderReply::Ack: break;
    }
    log_(QStringLiteral("ACK"));
    const auto& bytes = drained.bytes;
    if (bytes.size() < 2 || bytes.size() < std::size_t{bytes[1]} + 1 + kGetOverhead)
        return failureWith(FlashError::ShortReply, step, bytes);
    log_(QStringLiteral("bootloader version: ") + hex2(bytes[2]));
    const auto offered = std::span(bytes).subspan(3, bytes[1]);
    for (std::uint8_t needed : kNeededCommands) {
        if (std::find(offered.begin(), offered.end(), needed) == offered.end()) {
            return failureWith(FlashError::MissingCommand, step + QStringLiteral(": command ") + hex2(needed), bytes);
        }
    }
    return std::nullopt;
}

std::optional<FlashFailure> Flasher::eraseAll() {
    const QString step = QStringLiteral("Erase");
    log_(QStringLiteral("Start Erase Command"));
    usb_.PurgeFTDeviceRx();
    if (auto failure = expectAck(core::commandFrame(boot::kErase), limits.ackMs, step + QStringLiteral(": command")))
        return failure;
    return expectAck(core::globalEraseFrame(), limits.eraseMs, step + QStringLiteral(": whole flash"));
}

std::optional<FlashFailure> Flasher::writeChunk(const core::FlashChunk& chunk, const QString& step) {
    const auto data = core::writeDataFrame(chunk.data);
    if (!data) return FlashFailure{FlashError::ShortReply, step + QStringLiteral(": block size"), {}, {}};
    log_(QStringLiteral("SEND WRITE COMMAND"));
    if (auto failure = commandAndAddress(boot::kWriteMemory, chunk.address, step)) return failure;
    log_(QStringLiteral("SEND N BYTE + DATA + CHECKSUM"));
    log_(QStringLiteral("N_byte: ") + hex2(data->front()));
    log_(QStringLiteral("chunk size: ") + QString::number(chunk.data.size()));
    log_(QStringLiteral("data checksum: ") + hex2(data->back()));
    return expectAck(*data, limits.writeMs, step + QStringLiteral(": data"));
}

std::optional<FlashFailure> Flasher::verifyChunk(const core::FlashChunk& chunk, const QString& step) {
    const auto length = core::readLengthFrame(chunk.data.size());
    if (!length) return FlashFailure{FlashError::ShortReply, step + QStringLiteral(": block size"), {}, {}};
    log_(QStringLiteral("SEND READ COMMAND"));
    if (auto failure = commandAndAddress(boot::kReadMemory, chunk.address, step)) return failure;
    Reply reply = exchangeFrame(*length, chunk.data.size() + 1, limits.readMs, step + QStringLiteral(": data"));
    if (reply.failure) return reply.failure;
    const auto readBack = std::span(reply.bytes).subspan(1, chunk.data.size());
    const auto differs = std::mismatch(readBack.begin(), readBack.end(), chunk.data.begin());
    if (differs.first != readBack.end()) {
        const auto offset = static_cast<std::uint32_t>(differs.first - readBack.begin());
        log_(QStringLiteral("differs at ") + hex8(chunk.address + offset) + QStringLiteral(": read ") +
             hex2(*differs.first) + QStringLiteral(", written ") + hex2(*differs.second));
        return FlashFailure{FlashError::VerifyMismatch,
                            step + QStringLiteral(": at 0x") + hex8(chunk.address + offset), {}, {}};
    }
    return std::nullopt;
}

std::optional<FlashFailure> Flasher::go(std::uint32_t address) {
    log_(QString());
    log_(QStringLiteral("SEND GO COMMAND"));
    return commandAndAddress(boot::kGo, address, QStringLiteral("Go at 0x") + hex8(address));
}

std::optional<FlashFailure> Flasher::run(const FlashPlan& plan) {
    const std::size_t count = plan.chunks.size();
    const auto chunkStep = [count](const char* command, std::size_t i, std::uint32_t address) {
        return QLatin1String(command) + QStringLiteral(", chunk %1 of %2 at 0x").arg(i + 1).arg(count) + hex8(address);
    };
    const auto markerStep = [](const char* command, std::uint32_t address) {
        return QLatin1String(command) + QStringLiteral(", firmware marker at 0x") + hex8(address);
    };
    const std::size_t total = count + (plan.marker ? 1 : 0);

    if (auto failure = checkCommands()) return failure;

    progress(FlashStage::Erase, 0, 1);
    if (auto failure = eraseAll()) return failure;
    progress(FlashStage::Erase, 1, 1);

    log_(QStringLiteral("Start Write Command"));
    log_(QString());
    for (std::size_t i = 0; i < count; ++i) {
        progress(FlashStage::Write, i, total);
        const core::FlashChunk& chunk = plan.chunks[i];
        if (auto failure = writeChunk(chunk, chunkStep("Write Memory", i, chunk.address))) return failure;
        log_(QString());
    }
    if (plan.marker) {
        progress(FlashStage::Write, count, total);
        if (auto failure = writeChunk(*plan.marker, markerStep("Write Memory", plan.marker->address))) return failure;
    }
    progress(FlashStage::Write, total, total);

    if (plan.verify) {
        log_(QStringLiteral("Start Verify"));
        for (std::size_t i = 0; i < count; ++i) {
            progress(FlashStage::Verify, i, total);
            const core::FlashChunk& chunk = plan.chunks[i];
            if (auto failure = verifyChunk(chunk, chunkStep("Read Memory", i, chunk.address))) return failure;
        }
        if (plan.marker) {
            progress(FlashStage::Verify, count, total);
            if (auto failure = verifyChunk(*plan.marker, markerStep("Read Memory", plan.marker->address))) return failure;
        }
        progress(FlashStage::Verify, total, total);
        log_(QStringLiteral("verified: ") + QString::number(plan.imageSize) + QStringLiteral(" bytes") +
             (plan.marker ? QStringLiteral(" and the firmware marker") : QString()));
    } else {
        log_(QStringLiteral("not verified: the flash was not read back"));
    }

    if (!plan.goAddress) {
        log_(QStringLiteral("no Go: the pedal stays in its bootloader"));
        return std::nullopt;
    }
    progress(FlashStage::Go, 0, 1);
    if (auto failure = go(*plan.goAddress)) return failure;
    progress(FlashStage::Go, 1, 1);
    return std::nullopt;
}

}  // namespace qeltx::session
