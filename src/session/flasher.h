// Programs the pedal's flash through its serial bootloader as a chain of named steps (check,
// erase, write, marker, verify, go), each with a time limit, progress and a typed error. No
// widgets: the firmware window and headless programs run it over a link already at even parity.
#pragma once

#include "session/exchange.h"
#include "core/bootloader_frames.h"
#include "core/refusable.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qeltx::session {

// Why a step failed.
enum class FlashError {
    NoReply,          // nothing came back within the step's time limit
    Refused,          // the bootloader answered NACK (0x1F)
    UnexpectedReply,  // the first byte back was neither ACK nor NACK
    ShortReply,       // the bootloader acknowledged but sent fewer bytes than the step needs
    DriverFailed,     // the driver could not write, or failed while waiting
    MissingCommand,   // the bootloader does not offer a command the flasher needs
    VerifyMismatch,   // the flash read back differs from what was written
};

// A few words for the user ("the bootloader refused it (NACK)").
QString flashErrorText(FlashError error);

struct FlashFailure {
    FlashError error;
    QString step;   // which step, e.g. "Write Memory, chunk 17 of 162 at 0x08001000: data"
    QString reply;     // the first byte back as two hex digits, empty when none came
    QString received;  // every byte back ("1F 00 41"; a long answer ends with its count)
    // "<step>: <what went wrong>", for the console and the failure message.
    QString describe() const;
};

// Time limits of the bootloader's answers. The erase limit covers erasing the whole flash
// page by page on the slowest parts.
struct FlashTimeLimits {
    int syncMs = 1000;
    int ackMs = 1000;       // a command or an address frame
    int eraseMs = 40000;    // the whole flash
    int writeMs = 1000;     // programming one block of 256 bytes
    int readMs = 1000;      // one block of 256 bytes read back
};

// The job: the image's chunks, the marker (firmware 1 only) and where Go starts.
struct FlashPlan {
    std::vector<core::FlashChunk> chunks;
    std::optional<core::FlashChunk> marker;
    // Where Go starts the new firmware; nothing leaves the pedal in its bootloader (to read
    // the flash back with another tool).
    std::optional<std::uint32_t> goAddress = core::kFlashBase;
    std::size_t imageSize = 0;
    // Whether the flash is read back and compared before Go (qeltx-cli --no-verify skips it).
    bool verify = true;
};

// Refused, with the reason, when the image does not start at the flash base, is empty or would
// reach the marker at 0x0801FC00; nothing is sent then.
core::Refusable<FlashPlan> planFlash(std::span<const std::uint8_t> image, std::uint32_t base, int firmwareNumber);

enum class FlashStage { Erase, Write, Verify, Go };

struct FlashProgress {
    FlashStage stage;
    std::size_t done;   // chunks finished in this stage (the marker counts as one more)
    std::size_t total;
};

class Flasher {
public:
    using LogSink = std::function<void(const QString&)>;
    using ProgressSink = std::function<void(const FlashProgress&)>;

    // `exchange` writes through and reads from `usb`, the open link to the bootloader.
    Flasher(link::D2XXUnit& usb, Exchange& exchange, LogSink log);

    FlashTimeLimits limits;
    ProgressSink onProgress;

    // The whole job, stopping at the first failure: check the bootloader, erase, write every
    // chunk and the marker, read everything back and compare, then Go. Nothing (success) or
    // the step that failed.
    std::optional<FlashFailure> run(const FlashPlan& plan);

    // The steps, for callers that need one of them alone.
    // Sends 0x7F; success is the acknowledge. Stale bytes are dropped first.
    std::optional<FlashFailure> synchronise();
    // Get: the bootloader answers and offers Read Memory, Write Memory, Erase and Go.
    std::optional<FlashFailure> checkCommands();
    std::optional<FlashFailure> eraseAll();
    std::optional<FlashFailure> writeChunk(const core::FlashChunk& chunk, const QString& step);
    // Read Memory of the chunk's range compared with its bytes.
    std::optional<FlashFailure> verifyChunk(const core::FlashChunk& chunk, const QString& step);
    std::optional<FlashFailure> go(std::uint32_t address);

private:
    struct Reply {
        std::optional<FlashFailure> failure;
        std::vector<std::uint8_t> bytes;
    };
    // Writes `frame` and waits up to `limitMs` for `expected` bytes, the first an ACK.
    Reply exchangeFrame(std::span<const std::uint8_t> frame, std::size_t expected, int limitMs, const QString& step);
    std::optional<FlashFailure> expectAck(std::span<const std::uint8_t> frame, int limitMs, const QString& step);
    // Command code and complement, then the address frame, each acknowledged.
    std::optional<FlashFailure> commandAndAddress(std::uint8_t command, std::uint32_t address, const QString& step);
    void progress(FlashStage stage, std::size_t done, std::size_t total);

    link::D2XXUnit& usb_;
    Exchange& exchange_;
    LogSink log_;
};

}  // namespace qeltx::session
