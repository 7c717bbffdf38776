// The host's end of the line to the virtual pedal: bytes written reach the pedal, and its
// answers become readable, either at once or paced at a baud rate with USB latency on the
// model's clock (a virtual clock in tests, the steady clock for real durations).
#pragma once

#include "pedal_sim/pedal_model.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace qeltx::pedal_sim {

// The bridge hands the host a full-speed USB packet of 64 bytes, two of them modem status.
inline constexpr std::size_t kUsbPacketPayload = 62;

class SerialWire {
public:
    explicit SerialWire(PedalModel& model) : model_(model) {}

    void write(const std::uint8_t* data, std::size_t size, const LineSettings& line);
    // Bytes the host can read now.
    std::size_t available();
    std::size_t read(std::uint8_t* buffer, std::size_t maxBytes);
    // The host's receive queue emptied (bytes still on the line arrive later), and its
    // transmit queue (bytes not yet on the line are dropped).
    void purgeReceived();
    void purgeUnsent();
    // When something next arrives at either end, if anything is on its way; a time already
    // past while the host has bytes it has not read (readable times only grow, so the first
    // unread byte says when).
    std::optional<Nanos> nextChange();

private:
    struct InByte {
        std::uint8_t value;
        Nanos arrival;
        LineSettings line;
    };
    struct OutByte {
        std::uint8_t value;
        Nanos readable;
        Nanos done;
    };

    void update();
    void scheduleOutput(Nanos from);
    std::size_t readableCount(Nanos now) const;

    PedalModel& model_;
    std::deque<InByte> toPedal_;
    std::deque<OutByte> toHost_;
    Nanos hostLineFree_{0};
    Nanos pedalLineFree_{0};
    std::size_t openPacketCount_ = 0;
    Nanos openPacketFlush_{-1};
};

}  // namespace qeltx::pedal_sim
