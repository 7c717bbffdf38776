// Completeness and decoding of the pedal's replies.
#include "core/replies.h"

#include "core/hex.h"
#include "core/text_lines.h"

#include <algorithm>

namespace qeltx::core {

namespace {

constexpr std::size_t kMostDigits = 3;  // a byte's value needs at most three

bool isEnded(const LineWithBreak& line) { return line.lineBreak != LineBreak::None; }

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// A line quoted for the console: printable characters as they are, others as \xNN.
std::string quoted(std::string_view line) {
    std::string out = "\"";
    for (char c : line) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            out += "\\x" + byteToHex(b);
        }
    }
    return out + "\"";
}

}  // namespace

std::string_view bytesAsText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::size_t countReplyLines(std::span<const std::uint8_t> received) {
    const auto lines = splitLinesWithBreaks(bytesAsText(received));
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), isEnded));
}

bool isNumericReplyComplete(std::span<const std::uint8_t> received, std::size_t expectedNumbers) {
    return countReplyLines(received) >= expectedNumbers;
}

bool isTextReplyComplete(std::span<const std::uint8_t> received, std::size_t expectedLines) {
    return countReplyLines(received) >= expectedLines;
}

Refusable<NumericReply> DecodeReplyNumbers(std::span<const std::uint8_t> received) {
    using Result = Refusable<NumericReply>;
    const auto lines = splitLinesWithBreaks(bytesAsText(received));
    const auto ended = static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), isEnded));
    if (ended == 0) {
        return Result::refused("reply refused: it holds no complete number (" + std::to_string(received.size()) +
                               " bytes received)");
    }
    NumericReply reply;
    reply.values.reserve(ended);
    std::uint8_t previous = 0;
    for (std::size_t k = 0; k < ended; ++k) {
        const std::string_view line = lines[k].text;
        for (char c : line) {
            if (!isDecimalDigit(c)) {
                return Result::refused("reply refused: line " + std::to_string(k + 1) +
                                       " is not a decimal number: " + quoted(line));
            }
        }
        if (!line.empty() && line.size() <= kMostDigits) {
            previous = static_cast<std::uint8_t>(*decimalDigitsToNumber(line) % 256);
        }
        reply.values.push_back(previous);
    }
    // Only the last line can lack its line end.
    if (ended < lines.size()) reply.unterminatedBytes = lines.back().text.size();
    return Result::accepted(std::move(reply));
}

std::vector<std::string> decodeLogLines(const NumericReply& reply) {
    std::vector<std::string> lines;
    lines.reserve(reply.values.size() + 2);
    lines.push_back("num of bytes received: " + std::to_string(reply.values.size()));
    lines.push_back("receive array size: " + std::to_string(reply.values.size()));
    for (std::size_t i = 0; i < reply.values.size(); ++i) {
        lines.push_back(std::to_string(i) + ": " + byteToHex(reply.values[i]));
    }
    return lines;
}

std::string receivedBytesLogLine(std::size_t byteCount) {
    return "num of bytes received: " + std::to_string(byteCount);
}

}  // namespace qeltx::core
