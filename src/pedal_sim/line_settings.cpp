// Line framing rules.
#include "pedal_sim/line_settings.h"

namespace qeltx::pedal_sim {

namespace {
constexpr std::uint32_t kBaudTolerancePercent = 3;
}

bool sameFraming(const LineSettings& sent, const LineSettings& expected) {
    const std::uint64_t diff = sent.baud > expected.baud ? sent.baud - expected.baud : expected.baud - sent.baud;
    return sent.wordLength == expected.wordLength && sent.stopBits == expected.stopBits &&
           sent.parity == expected.parity && diff * 100 <= std::uint64_t{expected.baud} * kBaudTolerancePercent;
}

unsigned bitsPerByte(const LineSettings& line) {
    return 1u + line.wordLength + (line.parity != kParityNone ? 1u : 0u) + (line.stopBits == kStopBitsTwo ? 2u : 1u);
}

}  // namespace qeltx::pedal_sim
