// The messages the pedal sends on its own, as the 20 ms poll reads them: bank and algorithm
// reports and "Upload complete" (ASCII text), 5-byte control frames (0xAA) and the EEPROM dump
// (0xAB + 16,384 bytes). `PedalMessageReader` turns each poll's read into the messages it
// completes; it holds only what a read left unfinished (a frame's first bytes, a dump so far).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qeltx::core {

inline constexpr std::uint8_t kControlFrameStart = 0xAA;
inline constexpr std::uint8_t kEepromDumpStart = 0xAB;
inline constexpr std::size_t kControlFrameSize = 5;
inline constexpr std::size_t kEepromSize = 16384;
inline constexpr std::size_t kEepromDumpFrameSize = 1 + kEepromSize;
inline constexpr std::string_view kUploadCompleteText = "Upload complete";
inline constexpr std::string_view kMemoryErasedMessage = "Memory Erased";

// ---- Messages ---------------------------------------------------------------------------

// "0" + the bank index in decimal ("02" → 2). Indexes 0, 1, 2 select "Bank I", "Bank II",
// "Bank III"; any other changes nothing.
struct BankReport {
    std::uint32_t bankIndex;
};
// "1" + the algorithm number in hex ("12B" → 43): the line of the algorithm list.
struct AlgorithmReport {
    std::uint16_t effectNumber;
};
// "Upload complete": the text for the status line.
struct UploadComplete {};
// AA, pedal control code, control index on the panel, value high byte, value low byte.
struct ControlFrame {
    std::uint8_t code;
    std::uint8_t index;
    std::uint16_t value;
};
// The EEPROM's 16,384 bytes from its first address on.
struct EepromDump {
    std::vector<std::uint8_t> contents;
};
// A bank or algorithm report that does not convert ("0", "1", "0x"): written to the console,
// otherwise ignored (no box). `consoleLine` says what and why.
struct UnconvertibleReport {
    std::string text;
    std::string consoleLine;
};
// Bytes that are no message the editor knows: ignored.
struct IgnoredBytes {
    std::vector<std::uint8_t> bytes;
};

using PedalMessage =
    std::variant<BankReport, AlgorithmReport, UploadComplete, ControlFrame, EepromDump, UnconvertibleReport, IgnoredBytes>;

// ---- Reading the polls ------------------------------------------------------------------

// How one poll's read is taken apart:
// - a run of bytes starting with 0xAA is back-to-back 5-byte control frames, every complete
//   one returned in order; a frame still incomplete at the end of the read is held and
//   completed by the next read (the pedal writes a frame in well under a millisecond, so its
//   rest is there at the next poll);
// - 0xAB starts an EEPROM dump, held across reads until its 16,385 bytes are in; only bytes
//   fed here make it up;
// - anything else is one text message up to the next 0xAA or 0xAB (frames start above 0x7F,
//   text is ASCII). Texts carry no delimiter and are never split further ("0212B" is one
//   report that does not convert); trailing CR and LF are ignored.
// Bytes after a complete frame or dump in the same read are taken apart the same way.
class PedalMessageReader {
public:
    std::vector<PedalMessage> feed(std::span<const std::uint8_t> read);

    // Whether a dump is being collected (the app shows no box and keeps a time limit meanwhile).
    bool collectingDump() const;
    // Bytes held for the next read (a frame's first bytes or a dump so far).
    std::size_t heldBytes() const { return held_.size(); }
    // Forgets what is held (the app's time limit ran out, or the link ended); returns a console
    // line saying what was dropped, empty when nothing was held.
    std::string discardHeld();

private:
    std::vector<std::uint8_t> held_;
};

// One text message: bank report, algorithm report, upload complete, an unconvertible report or
// ignored text; nothing when the text is empty once its trailing CR and LF are removed.
std::optional<PedalMessage> parsePedalText(std::string_view text);

// ---- Applying a control frame -----------------------------------------------------------

// Pedal control codes 0..4 ("KI".."KV") and 11 ("EXP") are continuous, 5..10 ("B1".."B3",
// "FS", "FL", "RMT") on/off; 12 and above are not handled.
enum class ControlHandling { Continuous, OnOff, None };
ControlHandling controlHandling(std::uint8_t code);
// A continuous value for a multi-switch with p options: k = v div (1024 div p), reduced by one
// when k ≥ p; nothing when k is still not below p (or p is 0 or above 1024).
// (p = 3: 0x0200 → 1, 0x03FF → 2.)
std::optional<int> multiSwitchOptionFromReport(std::uint16_t value, int optionCount);
// An on/off value: on when not zero (a button: pressed).
inline bool onOffFromReport(std::uint16_t value) { return value != 0; }

// ---- The EEPROM dump --------------------------------------------------------------------

// What the answer to an EEPROM read holds so far. The pedal sends the dump at once; control
// frames of a knob turned meanwhile may come before it, nothing else may.
struct EepromAnswer {
    enum class Kind {
        Waiting,  // nothing yet, or only whole or partial control frames
        Dump,     // a dump has begun at `dumpStart`
        NoDump,   // something other than a control frame came before any 0xAB
    };
    Kind kind = Kind::Waiting;
    std::size_t dumpStart = 0;     // offset of the dump's 0xAB (Dump only)
    std::size_t dumpReceived = 0;  // bytes of the dump in, its 0xAB included, at most 16,385
    bool complete() const { return kind == Kind::Dump && dumpReceived == kEepromDumpFrameSize; }
    // The wait for the answer can end: the dump is whole, or what came can no longer be one.
    bool decided() const { return complete() || kind == Kind::NoDump; }
};
EepromAnswer readEepromAnswer(std::span<const std::uint8_t> received);
// Why an answer holds no whole dump ("the EEPROM dump stopped after 8192 of 16385 bytes"); empty
// when it does.
std::string eepromAnswerProblem(const EepromAnswer& answer);

// True when every byte is 0xFF: the console shows "Memory Erased".
bool isMemoryErased(const EepromDump& dump);
// The console lines of a dump: "p: XX" per byte (position in decimal, byte as two upper-case
// hex digits), 16,384 lines.
std::vector<std::string> eepromDumpLogLines(const EepromDump& dump);

}  // namespace qeltx::core
