// Encoders of the pedal's normal-mode commands and the command-text conversion.
#include "core/commands.h"

#include "core/hex.h"

#include <algorithm>
#include <cmath>

namespace qeltx::core {

namespace {

constexpr std::uint8_t kUnusedAssignment = 0xFF;
constexpr std::size_t kQuotedTextLength = 40;  // of a refused text, for the console
constexpr std::string_view kOmniCaption = "OMNI";

PedalCommand make(const CommandSpec& spec, std::string text) { return {std::move(text), spec}; }

std::string parameterText(std::uint16_t address, std::uint32_t word) {
    return byteToHex(command_code::kParameter) + toHexDigits(address, 4) + word32ToHex(word);
}

// The console's address choice as a byte: exactly two hex digits.
std::optional<std::uint8_t> eepromAddress(std::string_view text) {
    if (text.size() != 2) return std::nullopt;
    auto bytes = parseHex(text);
    if (!bytes) return std::nullopt;
    return (*bytes)[0];
}

}  // namespace

Refusable<std::vector<std::uint8_t>> commandTextToBytes(std::string_view text) {
    using Result = Refusable<std::vector<std::uint8_t>>;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!hexDigitValue(text[i])) {
            return Result::refused("command text refused: the character at position " + std::to_string(i) +
                                   " is not a hex digit (the text begins \"" +
                                   std::string(text.substr(0, kQuotedTextLength)) + "\")");
        }
    }
    const std::size_t n = text.size() / 2;
    if (n == 0) return Result::refused("command text refused: it holds no whole byte (\"" + std::string(text) + "\")");
    if (n > kTxBufferSize) {
        return Result::refused("command text refused: " + std::to_string(n) + " bytes are more than the transmit buffer (" +
                               std::to_string(kTxBufferSize) + " bytes)");
    }
    return Result::accepted(*parseHex(text.substr(0, 2 * n)));
}

std::string countByteText(std::size_t n) { return byteToHex(static_cast<std::uint8_t>(n % 256)); }

std::uint32_t valueWord(std::uint32_t value) { return value * kValueWordScale; }

std::uint32_t potValue(double position) {
    if (!(position > 0.0)) return 0;  // also NaN
    if (position >= kPotMax) return kPotMax;
    const double whole = std::floor(position);
    const double fraction = position - whole;
    auto v = static_cast<std::uint32_t>(whole);
    if (fraction > 0.5 || (fraction == 0.5 && v % 2 == 1)) ++v;
    return v;
}

std::uint32_t switchValueWord(bool on) { return on ? valueWord(kOnValue) : 0; }

std::uint32_t buttonValueWord(bool pressed) { return switchValueWord(pressed); }

std::optional<std::uint32_t> multiSwitchStep(int optionCount) {
    if (optionCount < 1 || optionCount > static_cast<int>(kOnValue)) return std::nullopt;
    return kOnValue / static_cast<std::uint32_t>(optionCount);
}

std::optional<std::uint32_t> multiSwitchValueWord(int optionCount, int option) {
    const auto step = multiSwitchStep(optionCount);
    if (!step || option < 0 || option >= optionCount) return std::nullopt;
    return valueWord(static_cast<std::uint32_t>(option) * *step);
}

std::optional<PedalCommand> uploadCommand(std::string_view imageHex, UploadTarget target) {
    if (imageHex.size() < 2) return std::nullopt;
    std::string text(imageHex);
    switch (target) {
        case UploadTarget::Preset: break;
        case UploadTarget::Bank1: text.replace(0, 2, byteToHex(command_code::kUploadBank1)); break;
        case UploadTarget::Bank2: text.replace(0, 2, byteToHex(command_code::kUploadBank2)); break;
        case UploadTarget::Bank3: text.replace(0, 2, byteToHex(command_code::kUploadBank3)); break;
    }
    return make(kUploadSpec, std::move(text));
}

PedalCommand parameterCommand(std::uint16_t address, std::uint32_t word) {
    return make(kParameterSpec, parameterText(address, word));
}

PedalCommand potCommand(std::uint16_t address, double position) {
    return make(kPotParameterSpec, parameterText(address, valueWord(potValue(position))));
}

PedalCommand switchCommand(std::uint16_t address, bool on) { return parameterCommand(address, switchValueWord(on)); }

PedalCommand buttonCommand(std::uint16_t address, bool pressed) {
    return parameterCommand(address, buttonValueWord(pressed));
}

std::optional<PedalCommand> multiSwitchCommand(std::uint16_t address, int optionCount, int option) {
    auto word = multiSwitchValueWord(optionCount, option);
    if (!word) return std::nullopt;
    return parameterCommand(address, *word);
}

PedalCommand requestCommand(std::size_t numControls) {
    return make(kRequestSpec, byteToHex(command_code::kRequest) + countByteText(numControls));
}

PedalCommand storeSettingsCommand(std::size_t numControls) {
    return make(kStoreSettingsSpec, byteToHex(command_code::kStoreSettings) + countByteText(numControls));
}

std::optional<PedalCommand> assignCommand(std::span<const std::uint8_t> controlCodes,
                                          std::span<const std::uint8_t> readbackCodes,
                                          std::uint8_t bypassAssignment, std::uint8_t presetAssignment) {
    if (controlCodes.size() > static_cast<std::size_t>(kMaxControls)) return std::nullopt;
    if (readbackCodes.size() > static_cast<std::size_t>(kMaxReadbacks)) return std::nullopt;
    std::vector<std::uint8_t> bytes{command_code::kAssign};
    bytes.insert(bytes.end(), controlCodes.begin(), controlCodes.end());
    bytes.resize(1 + kMaxControls, kUnusedAssignment);
    bytes.insert(bytes.end(), readbackCodes.begin(), readbackCodes.end());
    bytes.resize(1 + kMaxControls + kMaxReadbacks, kUnusedAssignment);
    bytes.push_back(bypassAssignment);
    bytes.push_back(presetAssignment);
    return make(kAssignSpec, toHex(bytes));
}

PedalCommand upgradeModeCommand() { return make(kUpgradeModeSpec, "0500010203040506"); }

PedalCommand storedEffectQueryCommand() { return make(kStoredEffectQuerySpec, "0600"); }

std::optional<PedalCommand> midiChannelCommand(int channel) {
    if (channel < 0 || channel > kMaxMidiChannel) return std::nullopt;
    return make(kMidiChannelSpec, byteToHex(command_code::kMidiChannel) + byteToHex(static_cast<std::uint8_t>(channel)));
}

std::optional<int> midiChannelFromCaption(std::string_view caption) {
    if (caption == kOmniCaption) return 0;
    auto n = decimalDigitsToNumber(caption);
    if (!n || *n < 1 || *n > static_cast<std::uint32_t>(kMaxMidiChannel)) return std::nullopt;
    return static_cast<int>(*n);
}

std::optional<PedalCommand> reverseCommand(bool on, int controlIndex) {
    if (controlIndex < 0 || controlIndex >= kMaxControls) return std::nullopt;
    return make(kReverseSpec, byteToHex(command_code::kReverse) + byteToHex(on ? kReverseFlagOn : kReverseFlagOff) +
                                  byteToHex(static_cast<std::uint8_t>(controlIndex)));
}

PedalCommand liveCommand(bool on) { return make(kLiveSpec, on ? "0A0100" : "0A0000"); }

PedalCommand bypassCommand(bool on) { return make(kBypassSpec, on ? "0D01" : "0D00"); }

std::optional<PedalCommand> eepromEraseCommand(std::string_view i2cAddrText) {
    auto address = eepromAddress(i2cAddrText);
    if (!address) return std::nullopt;
    return make(kEepromEraseSpec, byteToHex(command_code::kEepromErase) + byteToHex(*address) + "00" + "0000");
}

std::optional<PedalCommand> eepromReadCommand(std::string_view i2cAddrText) {
    auto address = eepromAddress(i2cAddrText);
    if (!address) return std::nullopt;
    return make(kEepromReadSpec, byteToHex(command_code::kEepromRead) + byteToHex(*address) + "0000" + "0000");
}

}  // namespace qeltx::core
