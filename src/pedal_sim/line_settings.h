// The serial line between the bridge and the pedal: the settings each side uses, and the
// pace at which bytes cross it.
#pragma once

#include "pedal_sim/clock.h"

#include <chrono>
#include <cstdint>

namespace qeltx::pedal_sim {

// As set with FT_SetBaudRate / FT_SetDataCharacteristics (parity 0 none, 1 odd, 2 even,
// 3 mark, 4 space; stop bits 0 = one, 2 = two).
struct LineSettings {
    std::uint32_t baud = 115200;
    std::uint8_t wordLength = 8;
    std::uint8_t stopBits = 0;
    std::uint8_t parity = 0;
};

inline constexpr std::uint32_t kPedalBaud = 115200;
inline constexpr std::uint8_t kParityNone = 0;
inline constexpr std::uint8_t kParityEven = 2;
inline constexpr std::uint8_t kStopBitsTwo = 2;

// 8N1 in normal operation, 8E1 while the bootloader runs.
inline constexpr LineSettings kNormalLine{kPedalBaud, 8, 0, kParityNone};
inline constexpr LineSettings kBootloaderLine{kPedalBaud, 8, 0, kParityEven};

// A UART receiver only makes sense of frames sent with its own settings; a rate within
// 3 % still samples correctly.
bool sameFraming(const LineSettings& sent, const LineSettings& expected);

// Start bit, data bits, parity bit if any, stop bits: 10 at 8N1, 11 at 8E1.
unsigned bitsPerByte(const LineSettings& line);

// FTDI's default latency timer: a partly filled packet waits this long for the host.
inline constexpr Nanos kFtdiDefaultLatency = std::chrono::milliseconds(16);

struct Pacing {
    std::uint32_t baud = 0;  // 0: bytes cross at once
    Nanos latency = kFtdiDefaultLatency;  // USB latency of a partly filled packet
    // On a virtual clock: a host that finds nothing to read while bytes are on their way
    // moves the clock on to when the next one arrives, so code that polls in a loop gets
    // its answer and the clock shows the wire time it took.
    bool skipAhead = false;
    bool enabled() const { return baud != 0; }
};

}  // namespace qeltx::pedal_sim
