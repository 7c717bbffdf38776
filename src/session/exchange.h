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
// reply whose end nothing else tells (longer than the bridge's 16 ms latency timer). How often
// the window's events run meanwhile is the line owner's frame.
struct ReplyLimits {
    int replyTimeoutMs = core::kReplyLimitMs;
    int quietGapMs = 60;
};

enum class DrainOutcome {
    Complete,      // the expected reply is in
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
    // command. False when the command did not reach the driver whole: a text holding a
    // non-hex character (nothing is sent), a write the driver failed, or one it took only part
    // of. Then the console hears why, sendProblem() says it for the user, and the pause is
    // skipped: the pedal has no whole command to act on.
    bool SendCommandText(const QString& text, bool purgeFirst, int pauseMs);
    // The same for a composed command, with the purge and pause of its kind.
    bool send(const core::PedalCommand& command);
    // Copies raw bytes (a bootloader frame) into txBuffer and writes them; false as above.
    bool sendBufferBytes(std::span<const std::uint8_t> bytes);
    // Why the last send failed, for a message to the user ("only 6 of 7 bytes were written");
    // empty after one that went out whole.
    const QString& sendProblem() const { return sendProblem_; }
    // "`what` could not be written to the pedal: " and sendProblem(), for a refusal or a
    // command-line failure after a failed send.
    QString notSentText(const QString& what) const {
        return what + QStringLiteral(" could not be written to the pedal: ") + sendProblem_;
    }

    // Gathers the reply as it arrives until `complete` says it is whole, or the time limit runs
    // out (`limitMs` from now on a monotonic clock; 0: limits.replyTimeoutMs), or the driver
    // fails. A reply whose end `complete` knows is not ended by a silence: the pedal or the
    // USB stack may pause in the middle of one, and what is missing can only come later. Only
    // without `complete` does a silence of limits.quietGapMs after the last byte end it.
    // Blocks in the driver, which wakes as soon as bytes come in, and lets window events run
    // through the line's dispatch once a frame: nothing sleeps on the path of a reply, so a
    // command the pedal answers needs no pause before this wait.
    Drained drainReply(const Completeness& complete, int limitMs = 0);

private:
    // The one place where bytes leave for the pedal: writes the first `count` bytes of
    // txBuffer and checks that the driver took every one. `what` names them for the console
    // when they did not go out; none names them as a frame of their size (named only then:
    // the flasher sends one between every answer of the bootloader and its next command).
    bool writeTxBuffer(std::size_t count, const QString& what = {});

    link::D2XXUnit& usb_;
    LineOwner& line_;
    Timing& timing_;
    LogSink log_;
    QString sendProblem_;
};

// Lowers the bridge's latency timer while the editor waits on the pedal's short answers (the
// bootloader's one-byte acknowledges, Request's parameter block), so the bridge hands each
// over at once instead of holding it for its timer (16 ms by default), and puts it back
// afterwards. Every backend that has a timer takes part, none needs root; one without is left
// alone, and nothing depends on it.
class LatencyLowered {
public:
    // `log`, when given, hears what the timer was set to.
    explicit LatencyLowered(link::D2XXUnit& usb, const Exchange::LogSink& log = {});
    ~LatencyLowered();
    LatencyLowered(const LatencyLowered&) = delete;
    LatencyLowered& operator=(const LatencyLowered&) = delete;

    // The timer while lowered, or nothing when it was left alone.
    std::optional<std::uint8_t> lowered() const { return lowered_; }

private:
    link::D2XXUnit& usb_;
    std::optional<std::uint8_t> saved_;
    std::optional<std::uint8_t> lowered_;
};

}  // namespace qeltx::session
