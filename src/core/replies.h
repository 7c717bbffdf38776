// The pedal's replies to a request: decimal numbers one per line (the parameter block) or a few
// lines of text (the stored-effect query). The app drains the bytes of one exchange into one
// vector across as many reads as it takes, asks whether the reply is complete, then decodes
// exactly those bytes: never what an earlier, longer reply left in a buffer.
#pragma once

#include "core/refusable.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// ---- Lines ------------------------------------------------------------------------------
// A line ends at CR LF, at CR alone or at LF alone, as every text the editor reads
// (core/text_lines.h). The pedal ends its lines with CR LF; a CR alone has always ended one for
// the editor's decoder too. LF CR is therefore a line end followed by an empty line.

// The received bytes as the text they are (no copy).
std::string_view bytesAsText(std::span<const std::uint8_t> bytes);

// The number of ended lines in what has arrived so far.
std::size_t countReplyLines(std::span<const std::uint8_t> received);

// ---- When a reply is complete (ends the drain) ------------------------------------------

// The parameter block of an algorithm with N parameters: 4N + 41 numbers.
inline constexpr std::size_t parameterBlockLength(std::size_t numControls) { return 4 * numControls + 41; }
// The stored-effect query is answered with four lines.
inline constexpr std::size_t kStoredEffectReplyLines = 4;

// A numeric reply is complete once `expectedNumbers` lines have ended.
bool isNumericReplyComplete(std::span<const std::uint8_t> received, std::size_t expectedNumbers);
// A text reply is complete once `expectedLines` lines have ended.
bool isTextReplyComplete(std::span<const std::uint8_t> received, std::size_t expectedLines = kStoredEffectReplyLines);

// ---- Decoding a numeric reply (DecodeReplyNumbers) --------------------------------------

struct NumericReply {
    // One byte per ended line, in order: the line's decimal number modulo 256 (300 → 44). A
    // line with one to three digits gives its number; an empty line or one of four or more
    // digits repeats the previous value (0 when it is the first line).
    std::vector<std::uint8_t> values;
    // Bytes after the last line end: not a number yet, not decoded.
    std::size_t unterminatedBytes = 0;
};

// Decodes the bytes received in this exchange. Refused, naming the line, when a line holds
// anything but the digits 0-9 (no value is taken from such a reply), and when no line has
// ended at all.
Refusable<NumericReply> DecodeReplyNumbers(std::span<const std::uint8_t> received);

// The decoder's console lines: "num of bytes received: " + count, "receive array size: " +
// length, then "i: XX" per value (index in decimal, value as two upper-case hex digits).
std::vector<std::string> decodeLogLines(const NumericReply& reply);

// The text reader's console line: "num of bytes received: " + the bytes drained.
std::string receivedBytesLogLine(std::size_t byteCount);

}  // namespace qeltx::core
