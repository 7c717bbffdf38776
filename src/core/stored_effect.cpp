// Parsing the stored-effect reply.
#include "core/stored_effect.h"

#include "core/hex.h"
#include "core/replies.h"
#include "core/text_lines.h"

#include <array>

namespace qeltx::core {

namespace {

constexpr std::size_t kNumberLines = 3;  // lines 2, 3 and 4

bool sameNoEffectPair(std::string_view line1, std::string_view line2) {
    return (line1 == "255" && line2 == "255") || (line1 == "0" && line2 == "0");
}

}  // namespace

Refusable<StoredEffectReply> parse_stored_effect_reply(std::string_view text) {
    using Result = Refusable<StoredEffectReply>;
    // The fourth line may end the text without a line end; lines after it are not read.
    const std::vector<std::string> lines = splitLines(text);
    const auto line = [&](std::size_t index) -> std::string_view {
        return index < lines.size() ? std::string_view(lines[index]) : std::string_view{};
    };

    StoredEffectReply reply;
    reply.effectStored = !sameNoEffectPair(line(0), line(1));
    std::array<std::uint32_t*, kNumberLines> targets{&reply.effectNumber, &reply.effectVersion,
                                                     &reply.firmwareVersion};
    for (std::size_t k = 0; k < kNumberLines; ++k) {
        const std::size_t index = k + 1;
        if (index >= lines.size()) {
            return Result::refused("stored-effect reply refused: line " + std::to_string(index + 1) + " is missing");
        }
        auto number = decimalDigitsToNumber(line(index));
        if (!number) {
            return Result::refused("stored-effect reply refused: line " + std::to_string(index + 1) + " ('" +
                                   std::string(line(index)) + "') is not a decimal number");
        }
        *targets[k] = *number;
    }
    return Result::accepted(reply);
}

Refusable<StoredEffectReply> parse_stored_effect_reply(std::span<const std::uint8_t> received) {
    return parse_stored_effect_reply(bytesAsText(received));
}

std::vector<std::string> storedEffectLogLines(const StoredEffectReply& reply) {
    return {
        "effect number DEC: " + std::to_string(reply.effectNumber),
        "effect number HEX: " + word32ToHex(reply.effectNumber),
        "effect version: " + std::to_string(reply.effectVersion),
        "firmware version: " + std::to_string(reply.firmwareVersion),
    };
}

std::string storedEffectNameLogLine(std::string_view name) { return "effect name from the list: " + std::string(name); }

std::string firmwareVersionLabel(std::uint32_t firmwareVersion) {
    return "Firmware Version: " + std::to_string(firmwareVersion);
}

}  // namespace qeltx::core
