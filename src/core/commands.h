// The commands the editor sends to the pedal in normal operation: their first bytes, the
// purge and pause each one needs, and encoders that compose the hex command text exactly as
// the senders do. The transmit step (`SendCommandText`) is the app's; its pure part, turning
// the text into the bytes written, is `commandTextToBytes` below.
#pragma once

#include "core/refusable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// ---- First bytes ------------------------------------------------------------------------

namespace command_code {
inline constexpr std::uint8_t kUploadPreset = 0x00;  // the image's own first byte
inline constexpr std::uint8_t kUploadBank1 = 0x0E;   // "Bank I"
inline constexpr std::uint8_t kUploadBank2 = 0x0F;   // "Bank II"
inline constexpr std::uint8_t kUploadBank3 = 0x10;   // "Bank III"
inline constexpr std::uint8_t kParameter = 0x01;
inline constexpr std::uint8_t kRequest = 0x02;
inline constexpr std::uint8_t kStoreSettings = 0x03;
inline constexpr std::uint8_t kAssign = 0x04;
inline constexpr std::uint8_t kUpgradeMode = 0x05;
inline constexpr std::uint8_t kStoredEffectQuery = 0x06;
inline constexpr std::uint8_t kMidiChannel = 0x07;
inline constexpr std::uint8_t kReverse = 0x08;
inline constexpr std::uint8_t kLive = 0x0A;
inline constexpr std::uint8_t kEepromErase = 0x0B;
inline constexpr std::uint8_t kEepromRead = 0x0C;
inline constexpr std::uint8_t kBypass = 0x0D;
}  // namespace command_code

// ---- The command table ------------------------------------------------------------------

// How a command goes out: its first byte, its length in bytes (0 = the image's length), whether
// the driver's transmit queue is emptied before the write, and what follows the write.
// A command the pedal does not answer keeps a blocking pause: the pedal may need that time,
// and nothing on the line shows when it is done. A command the pedal answers has no pause:
// its answer is read as it arrives and the wait ends the moment it is whole, with
// `replyLimitMs` (counted from the write) as the time limit of that wait.
struct CommandSpec {
    std::uint8_t code;
    std::size_t length;
    bool purgeFirst;
    int pauseMs;
    std::string_view name;
    int replyLimitMs = 0;  // 0: the pedal does not answer it
};

// The time limits of the answers. The pedal's parameter block (at most 105 lines, about 50 ms
// on the wire) and its four-line answer to the query used to be given 200 ms and 100 ms before
// one read took them; the limit is the editor's general one, so a pedal or a USB stack slower
// than that is still read. It costs time only when the answer does not come whole.
inline constexpr int kReplyLimitMs = 2000;
// An EEPROM dump is 16,385 bytes, 1.4 s on the wire at 8N1; the pedal was given 4 s before the
// editor looked. A dump that starts late still has the time it needs on the wire.
inline constexpr int kEepromDumpLimitMs = 6000;

inline constexpr CommandSpec kUploadSpec{command_code::kUploadPreset, 0, false, 0, "upload"};
// The parameter command pauses 1 ms after a pot (a drag sends a stream of them), not after
// switches, buttons and multi-switches.
inline constexpr CommandSpec kPotParameterSpec{command_code::kParameter, 7, false, 1, "parameter (pot)"};
inline constexpr CommandSpec kParameterSpec{command_code::kParameter, 7, false, 0, "parameter"};
inline constexpr CommandSpec kRequestSpec{command_code::kRequest, 2, true, 0, "request", kReplyLimitMs};
inline constexpr CommandSpec kStoreSettingsSpec{command_code::kStoreSettings, 2, true, 100, "store settings"};
inline constexpr CommandSpec kAssignSpec{command_code::kAssign, 23, false, 100, "assign"};
inline constexpr CommandSpec kUpgradeModeSpec{command_code::kUpgradeMode, 8, false, 100, "upgrade mode"};
inline constexpr CommandSpec kStoredEffectQuerySpec{command_code::kStoredEffectQuery, 2, true, 0,
                                                    "stored-effect query", kReplyLimitMs};
inline constexpr CommandSpec kMidiChannelSpec{command_code::kMidiChannel, 2, false, 0, "MIDI channel"};
inline constexpr CommandSpec kReverseSpec{command_code::kReverse, 3, false, 0, "reverse"};
inline constexpr CommandSpec kLiveSpec{command_code::kLive, 3, false, 0, "live"};
inline constexpr CommandSpec kEepromEraseSpec{command_code::kEepromErase, 5, true, 100, "EEPROM erase"};
inline constexpr CommandSpec kEepromReadSpec{command_code::kEepromRead, 6, false, 0, "EEPROM read", kEepromDumpLimitMs};
inline constexpr CommandSpec kBypassSpec{command_code::kBypass, 2, false, 0, "bypass"};

// One command ready to send: the hex text (logged as is, then converted with
// `commandTextToBytes`) and how to send it.
struct PedalCommand {
    std::string text;
    CommandSpec spec;
};

// ---- Limits -----------------------------------------------------------------------------

inline constexpr std::size_t kTxBufferSize = 65536;  // the longest command, in bytes
inline constexpr int kMaxControls = 16;               // parameters of one algorithm
inline constexpr int kMaxReadbacks = 4;               // read-back outputs of one algorithm
inline constexpr int kMaxMidiChannel = 16;            // 0 = OMNI, 1..16

// ---- Text to bytes (the pure part of SendCommandText) -----------------------------------

// The bytes a command text puts on the wire: two digits per byte, first byte first, either
// letter case. An odd last digit is dropped. Refused, with the reason, when the text holds a
// character that is not a hex digit (the app logs it as an internal error and sends nothing:
// the transmit buffer's stale bytes never go out), when it holds no whole byte, and when it is
// longer than the transmit buffer.
Refusable<std::vector<std::uint8_t>> commandTextToBytes(std::string_view text);

// ---- Number rules -----------------------------------------------------------------------

// A count N written as a byte: two upper-case digits of N modulo 256 ("0C" for 12, "07" for 7).
std::string countByteText(std::size_t n);

// The 32-bit value word of a 10-bit control value: v × 8192 (v << 13). 1024 × 8192 = 00 80 00 00
// is the full-scale "on" value.
inline constexpr std::uint32_t kValueWordScale = 8192;
inline constexpr std::uint32_t kPotMax = 1023;
inline constexpr std::uint32_t kOnValue = 1024;
std::uint32_t valueWord(std::uint32_t value);

// A track bar position taken to the nearest integer, ties to the even one (511.5 → 512,
// 510.5 → 510), kept within 0..1023.
std::uint32_t potValue(double position);
// 00 80 00 00 when on, 00 00 00 00 when off.
std::uint32_t switchValueWord(bool on);
// A panel button acts as the pedal's own buttons: 00 80 00 00 when pressed, 00 00 00 00 when
// released.
std::uint32_t buttonValueWord(bool pressed);
// The value step between the options of a multi-switch with K options: 1024 div K (K = 3: 341,
// K = 4: 256). Nothing when K is 0 or above 1024.
std::optional<std::uint32_t> multiSwitchStep(int optionCount);
// Option k (0-based) of a multi-switch with K options: k × (1024 div K) × 8192
// (K = 3, k = 2 → 00 55 40 00). Nothing when K is 0 or above 1024, or k is not below K.
std::optional<std::uint32_t> multiSwitchValueWord(int optionCount, int option);

// A reverse flag as the reverse command and the parameter block carry it.
inline constexpr std::uint8_t kReverseFlagOn = 0x01;
inline constexpr std::uint8_t kReverseFlagOff = 0xFF;

// ---- Encoders ---------------------------------------------------------------------------

enum class UploadTarget { Preset, Bank1, Bank2, Bank3 };

// The upload message: the image text (catalogue image or merged IR image) as it is in preset
// mode; in bank mode with its first byte replaced by 0E, 0F or 10. Nothing for a text shorter
// than one byte.
std::optional<PedalCommand> uploadCommand(std::string_view imageHex, UploadTarget target);

// 01, the parameter's 16-bit address, the 32-bit value word, all big-endian.
PedalCommand parameterCommand(std::uint16_t address, std::uint32_t valueWord);
// The same for each kind of control; the pot's carries the 1 ms pause.
PedalCommand potCommand(std::uint16_t address, double position);
PedalCommand switchCommand(std::uint16_t address, bool on);
PedalCommand buttonCommand(std::uint16_t address, bool pressed);
std::optional<PedalCommand> multiSwitchCommand(std::uint16_t address, int optionCount, int option);

// 02 N, 03 N with the count-byte rule.
PedalCommand requestCommand(std::size_t numControls);
PedalCommand storeSettingsCommand(std::size_t numControls);

// 04, 16 control assignment codes, 4 read-back assignment codes (positions beyond the given
// codes hold FF), the bypass and the preset-change assignment: 23 bytes. Nothing when more
// than 16 control or 4 read-back codes are given.
std::optional<PedalCommand> assignCommand(std::span<const std::uint8_t> controlCodes,
                                          std::span<const std::uint8_t> readbackCodes,
                                          std::uint8_t bypassAssignment, std::uint8_t presetAssignment);

// 05 00 01 02 03 04 05 06: restart into the bootloader.
PedalCommand upgradeModeCommand();
// 06 00: which algorithm the pedal holds.
PedalCommand storedEffectQueryCommand();

// 07 and the channel byte (0 = OMNI, 1..16). Nothing for a channel above 16.
std::optional<PedalCommand> midiChannelCommand(int channel);
// The channel byte of a MIDI menu entry's caption: "OMNI" → 0, "1".."16" → 1..16, else nothing.
std::optional<int> midiChannelFromCaption(std::string_view caption);

// 08, 01 (box ticked) or FF (box cleared), the control index. Nothing for an index outside 0..15.
std::optional<PedalCommand> reverseCommand(bool on, int controlIndex);
// 0A 01 00 (live on) or 0A 00 00 (live off).
PedalCommand liveCommand(bool on);
// 0D 01 (bypass on) or 0D 00 (bypass off).
PedalCommand bypassCommand(bool on);

// The EEPROM tools take the bus address as the console's choice shows it ("50", "51"). With no
// address chosen (empty text) or one that is not two hex digits they refuse: nothing is sent
// (never the short frame to bus address 0x00).
inline constexpr std::uint8_t kEepromAddress1 = 0x50;
inline constexpr std::uint8_t kEepromAddress2 = 0x51;
// 0B, address, 00, 00 00.
std::optional<PedalCommand> eepromEraseCommand(std::string_view i2cAddrText);
// 0C, address, 00 00, 00 00.
std::optional<PedalCommand> eepromReadCommand(std::string_view i2cAddrText);

}  // namespace qeltx::core
