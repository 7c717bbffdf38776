// Comparing two sounds of one algorithm, parameter by parameter.
#include "core/preset_diff.h"

#include "core/assignments.h"
#include "core/parameter_block.h"
#include "core/settings_backup.h"

#include <algorithm>

namespace qeltx::core {

namespace {

std::string readbackText(std::uint8_t code) {
    if (code == kNoAssignment) return std::string(kNoAssignmentLabel);
    if (code < kReadbackChoices.size()) return std::string(kReadbackChoices[code]);
    return "code " + std::to_string(code);
}

std::string assignmentText(std::uint8_t code) {
    const std::string_view label = assignmentLabel(code);
    return label.empty() ? "code " + std::to_string(code) : std::string(label);
}

}  // namespace

std::string parameterValueText(const ControlLayout& layout, std::size_t i, std::int32_t value) {
    const ParameterKind kind = parameterKindOf(layout, i);
    if (kind == ParameterKind::Switch || kind == ParameterKind::Button) {
        if (const auto on = switchStateFromValue(value)) return *on ? "on" : "off";
    } else if (kind == ParameterKind::MultiSwitch) {
        const auto row = i - static_cast<std::size_t>(layout.counts.pots + layout.counts.switches);
        if (row < layout.multiSwitchRows.size()) {
            const auto& options = layout.multiSwitchRows[row].options;
            const auto option = multiSwitchOptionFromValue(value, static_cast<int>(options.size()));
            if (option) return options[static_cast<std::size_t>(*option)];
        }
    }
    return std::to_string(value);
}

Refusable<std::vector<PresetDifference>> presetDifferences(const ControlLayout& layout, const PresetFile& left,
                                                           const PresetFile& right) {
    using Result = Refusable<std::vector<PresetDifference>>;
    const auto controls = static_cast<std::size_t>(layout.counts.controls());
    for (const PresetFile* side : {&left, &right}) {
        if (side->values.size() != controls) {
            return Result::refused("it has " + std::to_string(side->values.size()) + " parameters; the algorithm has " +
                                   std::to_string(controls));
        }
    }
    std::vector<PresetDifference> differences;
    for (std::size_t i = 0; i < controls; ++i) {
        if (left.values[i] == right.values[i]) continue;
        std::string leftText = parameterValueText(layout, i, left.values[i]);
        std::string rightText = parameterValueText(layout, i, right.values[i]);
        // Two values the panel shows alike (one position of a multi-switch) still differ.
        if (leftText == rightText) {
            leftText += " (" + std::to_string(left.values[i]) + ")";
            rightText += " (" + std::to_string(right.values[i]) + ")";
        }
        differences.push_back({PresetDifference::Field::Value, i, controlName(layout, i), left.values[i], right.values[i],
                               std::move(leftText), std::move(rightText)});
    }
    const std::size_t assigned = std::min({controls, left.assignments.size(), right.assignments.size()});
    for (std::size_t i = 0; i < assigned; ++i) {
        const std::uint8_t a = left.assignments[i];
        const std::uint8_t b = right.assignments[i];
        if (a == b) continue;
        differences.push_back({PresetDifference::Field::Assignment, i, controlName(layout, i), a, b, assignmentText(a),
                               assignmentText(b)});
    }
    const std::size_t readbacks = std::min({static_cast<std::size_t>(layout.counts.readbacks), layout.readbackNames.size(),
                                            left.readbackAssignments.size(), right.readbackAssignments.size()});
    for (std::size_t j = 0; j < readbacks; ++j) {
        const std::uint8_t a = left.readbackAssignments[j];
        const std::uint8_t b = right.readbackAssignments[j];
        if (a == b) continue;
        differences.push_back({PresetDifference::Field::ReadbackAssignment, j, layout.readbackNames[j], a, b,
                               readbackText(a), readbackText(b)});
    }
    return Result::accepted(std::move(differences));
}

}  // namespace qeltx::core
