// Pacing of bytes between the host and the virtual pedal.
#include "pedal_sim/serial_wire.h"

#include <algorithm>

namespace qeltx::pedal_sim {

namespace {

Nanos byteTime(const LineSettings& line, std::uint32_t baud) {
    return Nanos(std::int64_t{1'000'000'000} * bitsPerByte(line) / baud);
}

}  // namespace

void SerialWire::write(const std::uint8_t* data, std::size_t size, const LineSettings& line) {
    const Pacing& pacing = model_.pacing();
    if (!pacing.enabled()) {
        model_.receive(data, size, line);
        return;
    }
    update();
    const Nanos now = model_.clock().now();
    const Nanos each = byteTime(line, pacing.baud);
    for (std::size_t k = 0; k < size; ++k) {
        hostLineFree_ = std::max(hostLineFree_, now) + each;
        toPedal_.push_back({data[k], hostLineFree_, line});
    }
}

void SerialWire::update() {
    if (!model_.pacing().enabled()) return;
    const Nanos now = model_.clock().now();
    // Whatever the pedal sent on its own (a person at the pedal) leaves now.
    scheduleOutput(now);
    while (!toPedal_.empty() && toPedal_.front().arrival <= now) {
        const InByte in = toPedal_.front();
        toPedal_.pop_front();
        model_.receive(&in.value, 1, in.line);
        scheduleOutput(in.arrival);
    }
}

void SerialWire::scheduleOutput(Nanos from) {
    auto& out = model_.output();
    if (out.empty()) return;
    const Pacing& pacing = model_.pacing();
    const Nanos each = byteTime(model_.expectedLine(), pacing.baud);
    for (std::uint8_t value : out) {
        pedalLineFree_ = std::max(pedalLineFree_, from) + each;
        const Nanos done = pedalLineFree_;
        // The bridge sends a packet when it is full or when its latency timer runs out.
        if (openPacketCount_ == 0 || openPacketCount_ == kUsbPacketPayload || done > openPacketFlush_) {
            openPacketCount_ = 0;
            openPacketFlush_ = done + pacing.latency;
        }
        ++openPacketCount_;
        toHost_.push_back({value, openPacketFlush_, done});
        if (openPacketCount_ == kUsbPacketPayload) {
            for (std::size_t k = 0; k < kUsbPacketPayload; ++k) toHost_[toHost_.size() - 1 - k].readable = done;
        }
    }
    out.clear();
}

std::size_t SerialWire::readableCount(Nanos now) const {
    std::size_t n = 0;
    while (n < toHost_.size() && toHost_[n].readable <= now) ++n;
    return n;
}

std::size_t SerialWire::available() {
    if (!model_.pacing().enabled() && toHost_.empty()) return model_.output().size();
    update();
    return readableCount(model_.clock().now());
}

std::size_t SerialWire::read(std::uint8_t* buffer, std::size_t maxBytes) {
    if (!model_.pacing().enabled() && toHost_.empty()) {
        auto& out = model_.output();
        const std::size_t n = std::min(maxBytes, out.size());
        std::copy_n(out.begin(), n, buffer);
        out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }
    update();
    const std::size_t n = std::min(maxBytes, readableCount(model_.clock().now()));
    for (std::size_t k = 0; k < n; ++k) {
        buffer[k] = toHost_.front().value;
        toHost_.pop_front();
    }
    return n;
}

void SerialWire::purgeReceived() {
    if (!model_.pacing().enabled() && toHost_.empty()) {
        model_.output().clear();
        return;
    }
    update();
    const std::size_t n = readableCount(model_.clock().now());
    toHost_.erase(toHost_.begin(), toHost_.begin() + static_cast<std::ptrdiff_t>(n));
}

void SerialWire::purgeUnsent() {
    update();
    const Nanos now = model_.clock().now();
    std::erase_if(toPedal_, [now](const InByte& in) { return in.arrival > now; });
    hostLineFree_ = std::min(hostLineFree_, now);
}

std::optional<Nanos> SerialWire::nextChange() {
    update();
    std::optional<Nanos> next;
    if (!toPedal_.empty()) next = toPedal_.front().arrival;
    // The first byte the host has not read, even when it could be read already: bytes that
    // became readable since the caller last took them are due now, not "nothing on the way",
    // or a server that looked a moment too early would sleep on them for good.
    if (!toHost_.empty()) {
        const Nanos at = toHost_.front().readable;
        next = next ? std::min(*next, at) : at;
    }
    return next;
}

}  // namespace qeltx::pedal_sim
