// What a preset file is for, by name, and its values as commands for a freshly uploaded algorithm.
#include "core/preset_algorithm.h"

#include "core/catalogue_lists.h"
#include "core/effect_browser.h"
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

Refusable<PresetLoadPlan> planPresetLoad(const PresetFile& preset, const std::optional<HeldForPreset>& held, bool intoBank,
                                         const ResourceLookup& lookup, const std::vector<std::string>& effectListLines) {
    using Result = Refusable<PresetLoadPlan>;
    PresetLoadPlan plan;
    if (!held || held->number != preset.effectNumber) {
        // Players know their algorithms by name, not by number.
        plan.otherAlgorithm = "This preset is for " + presetAlgorithmText(preset, effectListLines) + "; the pedal holds " +
                              (held ? held->name : std::string("no algorithm")) + ".";
    }
    const std::string before = plan.otherAlgorithm ? *plan.otherAlgorithm + " " : std::string();
    auto loaded = loadCatalogueEffect(preset.effectNumber, lookup);
    if (!loaded.effect) {
        if (plan.otherAlgorithm) return Result::refused(*plan.otherAlgorithm);
        return Result::refused(loaded.error);
    }
    const auto layout = parseControlLayoutText(loaded.effect->name, loaded.effect->layoutText);
    if (!layout.layout) return Result::refused(before + layout.error);
    const std::string& name = loaded.effect->name;
    if (preset.values.size() != static_cast<std::size_t>(layout.layout->counts.controls())) {
        return Result::refused(before + "The preset has " + std::to_string(preset.values.size()) + " parameters; " + name +
                               " has " + std::to_string(layout.layout->counts.controls()) + ".");
    }
    if (plan.otherAlgorithm && intoBank && exceedsBankModeLimit(imageSizeOfText(loaded.effect->imageText))) {
        return Result::refused("This preset is for " + name + ", which is larger than 5440 bytes and cannot be stored in a bank.");
    }
    plan.effect = std::move(*loaded.effect);
    plan.layout = *layout.layout;
    return Result::accepted(std::move(plan));
}

std::vector<PedalCommand> presetValueCommands(const PresetFile& preset, const ControlLayout& layout,
                                              const ImageHeader& header) {
    std::vector<PedalCommand> commands;
    for (PresetValueCommand& change : presetValueChanges(preset, layout, header)) commands.push_back(std::move(change.command));
    return commands;
}

}  // namespace qeltx::core
