// What a preset file is for, by name, and its values as commands for a freshly uploaded algorithm.
#include "core/preset_algorithm.h"

#include "core/catalogue_lists.h"
#include "core/settings_backup.h"

#include <algorithm>

namespace qeltx::core {

std::string presetAlgorithmText(std::string_view presetText, const std::vector<std::string>& effectListLines) {
    const auto preset = parsePresetFile(presetText);
    return preset ? presetAlgorithmText(*preset, effectListLines) : std::string("not a preset file");
}

std::string presetAlgorithmText(const PresetFile& preset, const std::vector<std::string>& effectListLines) {
    // Line 0 of the list stands for "no algorithm", which no preset is saved for.
    const auto name = preset.effectNumber == 0 ? std::nullopt : effectNameByNumber(effectListLines, preset.effectNumber);
    if (name && !name->empty()) return *name;
    return "algorithm number " + std::to_string(preset.effectNumber) + ", which this editor's catalogue does not have";
}

std::vector<PresetValueCommand> presetValueChanges(const PresetFile& preset, const ControlLayout& layout,
                                                   const ImageHeader& header) {
    std::vector<PresetValueCommand> changes;
    const std::size_t count = std::min({preset.values.size(), static_cast<std::size_t>(layout.counts.controls()),
                                        header.addresses.size()});
    for (std::size_t i = 0; i < count; ++i) {
        const ParameterKind kind = parameterKindOf(layout, i);
        const std::int32_t value = preset.values[i];
        if (kind == ParameterKind::Button || value < 0 || value > maxParameterValue(kind)) continue;
        changes.push_back({i, value, parameterCommand(header.addresses[i], valueWord(static_cast<std::uint32_t>(value)))});
    }
    return changes;
}

std::vector<PedalCommand> presetValueCommands(const PresetFile& preset, const ControlLayout& layout,
                                              const ImageHeader& header) {
    std::vector<PedalCommand> commands;
    for (PresetValueCommand& change : presetValueChanges(preset, layout, header)) commands.push_back(std::move(change.command));
    return commands;
}

}  // namespace qeltx::core
