// Assignment codes and their choice-box entries.
#include "core/assignments.h"

namespace qeltx::core {

namespace {

std::uint8_t codeFromIndex(int choiceIndex, int listSize, int codeBase) {
    if (choiceIndex < 0 || choiceIndex >= listSize) return kNoAssignment;
    return static_cast<std::uint8_t>(choiceIndex + codeBase);
}

}  // namespace

std::uint8_t assignmentCodeFromChoice(int choiceIndex) {
    return codeFromIndex(choiceIndex, static_cast<int>(kAssignChoices.size()), 0);
}

std::uint8_t readbackCodeFromChoice(int choiceIndex) {
    return codeFromIndex(choiceIndex, static_cast<int>(kReadbackChoices.size()), 0);
}

std::uint8_t footswitchCodeFromChoice(int choiceIndex) {
    return codeFromIndex(choiceIndex, static_cast<int>(kFootswitchChoices.size()), kFootswitchCodeBase);
}

std::optional<int> assignmentChoiceFromCode(std::uint8_t code) {
    if (code == kNoAssignment) return kAssignNoneIndex;
    // Code 12 is the position of "--" and selects it, as the box always did.
    if (code <= kAssignNoneIndex) return code;
    return std::nullopt;
}

std::optional<int> readbackChoiceFromCode(std::uint8_t code) {
    if (code == kNoAssignment) return kReadbackNoneIndex;
    if (code < kReadbackChoices.size()) return code;
    return std::nullopt;
}

std::optional<int> footswitchChoiceFromCode(std::uint8_t code) {
    if (code == kNoAssignment) return kFootswitchNoneIndex;
    const int index = static_cast<int>(code) - kFootswitchCodeBase;
    if (index < 0 || index > kFootswitchNoneIndex) return std::nullopt;
    return index;
}

std::string_view assignmentLabel(std::uint8_t code) {
    if (code == kNoAssignment) return kNoAssignmentLabel;
    if (code < kAssignChoices.size()) return kAssignChoices[code];
    return {};
}

}  // namespace qeltx::core
