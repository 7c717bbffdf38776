// The reply to the stored-effect query (06 00): which algorithm the pedal holds, its version
// and the pedal's firmware version, as four decimal lines.
#pragma once

#include "core/refusable.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

inline constexpr std::string_view kNoEffectMessage = "No effect found on pedal";

struct StoredEffectReply {
    // False when lines 1 and 2 are both "255" or both "0" (compared as text): the pedal holds
    // no algorithm. The three numbers are converted either way (the firmware label follows
    // them even then).
    bool effectStored = false;
    std::uint32_t effectNumber = 0;     // line 2: the algorithm's number in the algorithm list
    std::uint32_t effectVersion = 0;    // line 3
    std::uint32_t firmwareVersion = 0;  // line 4
};

// Reads the first four lines of the reply (each ended by CR LF, LF or CR alone; the fourth may
// also end the text; anything after it is ignored). Refused, naming the line, when line 2, 3
// or 4 is missing or is not a decimal number; then nothing of the reply is applied.
Refusable<StoredEffectReply> parse_stored_effect_reply(std::string_view text);
Refusable<StoredEffectReply> parse_stored_effect_reply(std::span<const std::uint8_t> received);

// "effect number DEC: 43", "effect number HEX: 0000002B", "effect version: 2",
// "firmware version: 9".
std::vector<std::string> storedEffectLogLines(const StoredEffectReply& reply);
// "effect name from the list: Amber Drive": the console's line for the algorithm list's name of
// the stored algorithm.
std::string storedEffectNameLogLine(std::string_view name);
// "Firmware Version: 9", the firmware label's text.
std::string firmwareVersionLabel(std::uint32_t firmwareVersion);

}  // namespace qeltx::core
