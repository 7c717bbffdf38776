// One exchange with the pedal: composing a command into the transmit buffer and writing it,
// then waiting for and draining the reply. No widgets here, so the command-line tool uses it too.
#pragma once

#include "session/line_owner.h"
#include "session/seams.h"
#include "core/commands.h"
#include "link/d2xx_unit.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace qeltx::session {

// How long the editor waits for the pedal before it gives up, and how long a silence ends a
// reply (longer than the bridge's 16 ms latency timer).
struct ReplyLimits {
    int replyTimeoutMs = 2000;
    int quietGapMs = 60;
    int sliceMs = 1;
};

enum class DrainOutcome {
    Complete,      // the expected reply is in
    Quiet,         // the pedal went quiet before it was complete
    TimedOut,      // nothing, or not enough, within the time limit
    DriverFailed,  // the driver failed while waiting
};

struct Drained {
    DrainOutcome outcome = DrainOutcome::TimedOut;
    std::vector<std::uint8_t> bytes;  // every byte received in this exchange, in order
};

class Exchange {
public:
    using LogSink = std::function<void(const QString&)>;
    // Decides when the bytes gathered so far are a whole reply.
    using Completeness = std::function<bool(std::span<const std::uint8_t>)>;

    // Every wait goes through `line`, the owner of the pedal's line.
    Exchange(link::D2XXUnit& usb, LineOwner& line, LogSink log);

    ReplyLimits limits;

    // Converts hex command text into txBuffer and writes it, with the purge and pause of the
    // command. A text holding a non-hex character is refused (logged) and nothing is sent.
    bool SendCommandText(const QString& text, bool purgeFirst, int pauseMs);
    // The same for a composed command, with the purge and pause of its kind.
    bool send(const core::PedalCommand& command);
    // Writes the first `count` bytes already placed in txBuffer.
    bool sendBufferBytes(std::span<const std::uint8_t> bytes);

    // Waits for the first byte, then gathers bytes until `complete` says so, the pedal falls
    // quiet, or the time limit runs out (on a monotonic clock). Lets window events run
    // meanwhile through the line's dispatch, without spinning.
    Drained drainReply(const Completeness& complete);

private:
    link::D2XXUnit& usb_;
    LineOwner& line_;
    Timing& timing_;
    LogSink log_;
};

}  // namespace qeltx::session
