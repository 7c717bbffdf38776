// Assignment codes: which of the pedal's physical controls drives a parameter, which output a
// read-back goes to, which footswitch toggles bypass or changes presets. One byte each, 255 for
// none. Also how the choice boxes' entries map to codes and back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qeltx::core {

inline constexpr std::uint8_t kNoAssignment = 255;
inline constexpr std::string_view kNoAssignmentLabel = "--";

// Control assignments: code = index in this list; the box adds "--" as its last entry (12).
inline constexpr std::array<std::string_view, 12> kAssignChoices = {
    "KI", "KII", "KIII", "KIV", "KV", "B1", "B2", "B3", "FS", "FL", "RMT", "EXP",
};
// Read-back assignments: code = index; "--" is entry 4.
inline constexpr std::array<std::string_view, 4> kReadbackChoices = {"SX", "DX", "RED", "GREEN"};
// Bypass toggle and preset change: entries "FS", "FL", "RMT" carry codes 8, 9, 10 (the same
// physical controls as in the control list); "--" is entry 3.
inline constexpr std::array<std::string_view, 3> kFootswitchChoices = {"FS", "FL", "RMT"};
inline constexpr std::uint8_t kFootswitchCodeBase = 8;

inline constexpr std::uint8_t kCodeFS = 8;
inline constexpr std::uint8_t kCodeFL = 9;
inline constexpr std::uint8_t kCodeRMT = 10;
// In bank mode the pedal's footswitches are fixed: bypass on "FS", preset change on "FL".
inline constexpr std::uint8_t kBankModeBypassAssignment = kCodeFS;
inline constexpr std::uint8_t kBankModePresetAssignment = kCodeFL;

// The "--" entry of each box.
inline constexpr int kAssignNoneIndex = static_cast<int>(kAssignChoices.size());
inline constexpr int kReadbackNoneIndex = static_cast<int>(kReadbackChoices.size());
inline constexpr int kFootswitchNoneIndex = static_cast<int>(kFootswitchChoices.size());

// ---- Box choice → code (what Assign sends and the stored codes hold) -------------------
// `choiceIndex` is the box's selected entry, -1 when it shows no choice. "--", no choice and
// any index outside the list give 255: never a code computed from an empty choice.
std::uint8_t assignmentCodeFromChoice(int choiceIndex);
std::uint8_t readbackCodeFromChoice(int choiceIndex);
std::uint8_t footswitchCodeFromChoice(int choiceIndex);

// ---- Code → box entry (what a read-back selects) ----------------------------------------
// 255 selects "--"; otherwise the entry at the code's position when there is one, else nothing
// (nullopt; the stored code is then the byte itself).
// Control box: codes 0..12 (12 is the "--" entry's position); 13..254 select nothing.
std::optional<int> assignmentChoiceFromCode(std::uint8_t code);
// Read-back box: codes 0..3; 4..254 select nothing.
std::optional<int> readbackChoiceFromCode(std::uint8_t code);
// Footswitch boxes: entry code − 8 when it exists (8..10, and 11 selects "--"); else nothing.
std::optional<int> footswitchChoiceFromCode(std::uint8_t code);

// The label of a control assignment code ("KI" … "EXP", "--" for 255), empty for other codes.
std::string_view assignmentLabel(std::uint8_t code);

}  // namespace qeltx::core
