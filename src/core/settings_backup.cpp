// Checking a settings backup, the commands that restore it, and the comparison afterwards.
#include "core/settings_backup.h"

#include "core/assignments.h"
#include "core/effect_browser.h"
#include "core/hex.h"
#include "core/impulse_response.h"

#include <algorithm>

namespace qeltx::core {

namespace {

using TargetResult = Refusable<BackupTarget>;

std::string number(long long n) { return std::to_string(n); }

std::string controlLabel(const ControlLayout& layout, std::size_t i) {
    return "control " + number(static_cast<long long>(i)) + " (" + controlName(layout, i) + ")";
}

std::string readbackLabel(const ControlLayout& layout, std::size_t j) {
    const std::string name = j < layout.readbackNames.size() ? layout.readbackNames[j] : std::string();
    return "read-back " + number(static_cast<long long>(j)) + " (" + name + ")";
}

// A code as the user reads it in a difference line: its label, or the number.
template <typename Text>
std::string codeText(std::uint8_t code, Text text) {
    const auto label = text(code);
    return label ? *label : "code " + number(code);
}

std::string reverseText(std::uint8_t flag) {
    if (flag == kReverseFlagOn) return "on";
    if (flag == kReverseFlagOff) return "off";
    return "code " + number(flag);
}

std::string modeText(std::uint8_t mode, std::uint8_t bank) {
    if (mode == static_cast<std::uint8_t>(PedalMode::Bank)) return "bank mode, bank " + number(bank + 1);
    if (mode == static_cast<std::uint8_t>(PedalMode::Preset)) return "preset mode";
    return "mode code " + number(mode);
}

std::string midiText(std::uint8_t channel) {
    const auto item = midiMenuItemFromBlock(channel);
    if (!item) return "code " + number(channel);
    return *item == 0 ? std::string("OMNI") : number(*item);
}

bool sameMode(const ParameterBlock& a, const ParameterBlock& b) {
    if (a.mode != b.mode) return false;
    return a.mode != static_cast<std::uint8_t>(PedalMode::Bank) || a.bankOrPreset == b.bankOrPreset;
}

// The image text with the impulse response in place must be the algorithm's own outside the
// tap block: anything else would upload an image the pedal was never meant to run.
std::optional<std::string> irImageProblem(const SettingsBackup& backup, const CatalogueEffect& effect) {
    const auto geometry = irLoaderGeometry(effect.name);
    if (!geometry) return effect.name + " takes no impulse response, but the backup holds an image for one.";
    const std::string& image = backup.irImage;
    const std::string& original = effect.imageText;
    const auto keep = static_cast<std::size_t>(geometry->charsKeptBefore);
    const auto resume = static_cast<std::size_t>(geometry->resumeChar - 1);
    if (!parseHex(image)) return "The backup's impulse-response image is not hexadecimal text.";
    if (image.size() != original.size() || image.compare(0, keep, original, 0, keep) != 0 ||
        image.compare(resume, std::string::npos, original, resume, std::string::npos) != 0) {
        return "The backup's impulse-response image is not an image of " + effect.name + ".";
    }
    return std::nullopt;
}

}  // namespace

ParameterKind parameterKindOf(const ControlLayout& layout, std::size_t i) {
    const auto pots = static_cast<std::size_t>(layout.counts.pots);
    const auto twoState = static_cast<std::size_t>(layout.counts.switches);
    if (i < pots) return ParameterKind::Pot;
    if (i < pots + twoState) {
        const std::size_t row = i - pots;
        return row < layout.twoStateRows.size() && layout.twoStateRows[row].isButton ? ParameterKind::Button
                                                                                      : ParameterKind::Switch;
    }
    return ParameterKind::MultiSwitch;
}

std::string_view parameterKindName(ParameterKind kind) {
    switch (kind) {
        case ParameterKind::Pot: return "pot";
        case ParameterKind::Switch: return "switch";
        case ParameterKind::Button: return "button";
        case ParameterKind::MultiSwitch: return "multi-switch";
    }
    return {};
}

std::string controlName(const ControlLayout& layout, std::size_t i) {
    const auto pots = static_cast<std::size_t>(layout.counts.pots);
    const auto twoState = static_cast<std::size_t>(layout.counts.switches);
    if (i < pots) return i < layout.potNames.size() ? layout.potNames[i] : std::string();
    if (i < pots + twoState) return i - pots < layout.twoStateRows.size() ? layout.twoStateRows[i - pots].name : std::string();
    const std::size_t row = i - pots - twoState;
    return row < layout.multiSwitchRows.size() ? layout.multiSwitchRows[row].name : std::string();
}

std::int32_t maxParameterValue(ParameterKind kind) {
    return kind == ParameterKind::Switch || kind == ParameterKind::Button ? static_cast<std::int32_t>(kOnValue)
                                                                          : static_cast<std::int32_t>(kPotMax);
}

void markAlgorithmDefaults(SettingsBackup& backup, const ControlLayout& layout) {
    const std::vector<std::int32_t>& values = backup.settings.values;
    backup.algorithmDefaults.assign(values.size(), false);
    for (std::size_t i = 0; i < values.size(); ++i) {
        backup.algorithmDefaults[i] = values[i] < 0 || values[i] > maxParameterValue(parameterKindOf(layout, i));
    }
}

bool isAlgorithmDefault(const SettingsBackup& backup, std::size_t control) {
    return control < backup.algorithmDefaults.size() && backup.algorithmDefaults[control];
}

Refusable<BackupTarget> checkBackup(const SettingsBackup& backup, const ResourceLookup& lookup) {
    const std::string numberText = number(backup.effectNumber);
    const auto loaded = loadCatalogueEffect(backup.effectNumber, lookup);
    if (!loaded.effect) {
        return TargetResult::refused("This editor's catalogue has no algorithm number " + numberText + " (" +
                                     backup.effectName + ").");
    }
    const CatalogueEffect& effect = *loaded.effect;
    if (effect.name != backup.effectName) {
        return TargetResult::refused("The backup names algorithm " + numberText + " \"" + backup.effectName +
                                     "\", but in this editor's catalogue it is \"" + effect.name + "\".");
    }
    const auto parsed = parseControlLayoutText(effect.name, effect.layoutText);
    if (!parsed.layout) return TargetResult::refused(parsed.error);
    const ControlLayout& layout = *parsed.layout;
    const ParameterBlock& s = backup.settings;
    const auto n = static_cast<std::size_t>(layout.counts.controls());
    const auto r = static_cast<std::size_t>(layout.counts.readbacks);
    if (s.values.size() != n || s.assignments.size() != n || s.reverseFlags.size() != n) {
        return TargetResult::refused("The backup has " + number(static_cast<long long>(s.values.size())) +
                                     " controls; " + effect.name + " has " + number(static_cast<long long>(n)) + ".");
    }
    if (s.readbackAssignments.size() != r) {
        return TargetResult::refused("The backup has " + number(static_cast<long long>(s.readbackAssignments.size())) +
                                     " read-backs; " + effect.name + " has " + number(static_cast<long long>(r)) + ".");
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t max = maxParameterValue(parameterKindOf(layout, i));
        if (!isAlgorithmDefault(backup, i) && (s.values[i] < 0 || s.values[i] > max)) {
            return TargetResult::refused("The value of " + controlLabel(layout, i) + " is " + number(s.values[i]) +
                                         "; it must be 0 to " + number(max) + ".");
        }
        if (!controlAssignmentText(s.assignments[i])) {
            return TargetResult::refused("The assignment code of " + controlLabel(layout, i) + " is " +
                                         number(s.assignments[i]) + ", which names no control of the pedal.");
        }
        if (s.reverseFlags[i] != kReverseFlagOn && s.reverseFlags[i] != kReverseFlagOff) {
            return TargetResult::refused("The reverse flag of " + controlLabel(layout, i) + " is " +
                                         number(s.reverseFlags[i]) + "; it must be on or off.");
        }
    }
    for (std::size_t j = 0; j < r; ++j) {
        if (!readbackAssignmentText(s.readbackAssignments[j])) {
            return TargetResult::refused("The assignment code of " + readbackLabel(layout, j) + " is " +
                                         number(s.readbackAssignments[j]) + ", which names no output of the pedal.");
        }
    }
    if (!footswitchAssignmentText(s.bypassAssignment) || !footswitchAssignmentText(s.presetAssignment)) {
        return TargetResult::refused("The bypass toggle and preset change must be FS, FL, RMT or --.");
    }
    if (!pedalModeFromBlock(s.mode)) {
        return TargetResult::refused("The mode code " + number(s.mode) + " is neither preset mode nor bank mode.");
    }
    if (s.mode == static_cast<std::uint8_t>(PedalMode::Bank) && !bankIndexFromBlock(s.bankOrPreset)) {
        return TargetResult::refused("The bank is " + number(s.bankOrPreset + 1) + "; the pedal has banks 1 to 3.");
    }
    if (!midiMenuItemFromBlock(s.midiChannel)) {
        return TargetResult::refused("The MIDI channel is " + number(s.midiChannel) + "; it must be OMNI or 1 to 16.");
    }
    if (s.mode == static_cast<std::uint8_t>(PedalMode::Bank) && exceedsBankModeLimit(imageSizeOfText(effect.imageText))) {
        return TargetResult::refused(effect.name + " is larger than 5440 bytes and cannot be stored in a bank.");
    }
    if (!backup.irImage.empty()) {
        if (const auto problem = irImageProblem(backup, effect)) return TargetResult::refused(*problem);
    }
    return TargetResult::accepted(BackupTarget{effect, layout});
}

UploadTarget uploadTargetOf(const SettingsBackup& backup) {
    if (backup.settings.mode != static_cast<std::uint8_t>(PedalMode::Bank)) return UploadTarget::Preset;
    switch (backup.settings.bankOrPreset) {
        case 0: return UploadTarget::Bank1;
        case 1: return UploadTarget::Bank2;
        default: return UploadTarget::Bank3;
    }
}

bool restoreNeedsUpload(const SettingsBackup& backup, bool effectStored, std::uint32_t heldNumber,
                        const ParameterBlock* heldSettings) {
    if (!effectStored || heldNumber != backup.effectNumber || heldSettings == nullptr) return true;
    if (!backup.irImage.empty()) return true;
    for (std::size_t i = 0; i < backup.settings.values.size(); ++i) {
        if (isAlgorithmDefault(backup, i) &&
            (i >= heldSettings->values.size() || heldSettings->values[i] != backup.settings.values[i])) {
            return true;
        }
    }
    return !sameMode(backup.settings, *heldSettings);
}

std::vector<PedalCommand> restoreCommands(const SettingsBackup& backup, const ImageHeader& header) {
    const ParameterBlock& s = backup.settings;
    std::vector<PedalCommand> commands;
    const std::size_t n = std::min(s.values.size(), header.addresses.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (isAlgorithmDefault(backup, i)) continue;
        commands.push_back(parameterCommand(header.addresses[i], valueWord(static_cast<std::uint32_t>(s.values[i]))));
    }
    if (auto assign = assignCommand(s.assignments, s.readbackAssignments, s.bypassAssignment, s.presetAssignment)) {
        commands.push_back(std::move(*assign));
    }
    for (std::size_t i = 0; i < s.reverseFlags.size(); ++i) {
        if (auto reverse = reverseCommand(s.reverseFlags[i] == kReverseFlagOn, static_cast<int>(i))) {
            commands.push_back(std::move(*reverse));
        }
    }
    const auto midi = midiMenuItemFromBlock(s.midiChannel);
    if (auto command = midiChannelCommand(midi.value_or(0))) commands.push_back(std::move(*command));
    // Store follows commands that may still be in the bridge's transmit queue: the purge it has
    // when the user clicks it would throw them away.
    PedalCommand store = storeSettingsCommand(s.values.size());
    store.spec.purgeFirst = false;
    commands.push_back(std::move(store));
    return commands;
}

std::size_t settingsCount(const SettingsBackup& backup) {
    return 3 * backup.settings.values.size() + backup.settings.readbackAssignments.size() + 5;
}

std::vector<std::string> settingsDifferences(const SettingsBackup& backup, const ControlLayout& layout,
                                             std::uint32_t heldNumber, const ParameterBlock& readBack) {
    std::vector<std::string> out;
    const ParameterBlock& want = backup.settings;
    auto differ = [&](const std::string& what, const std::string& backedUp, const std::string& held) {
        out.push_back(what + ": " + backedUp + " in the backup, " + held + " on the pedal");
    };
    if (heldNumber != backup.effectNumber) {
        differ("algorithm", number(backup.effectNumber) + " " + backup.effectName, "number " + number(heldNumber));
    }
    const std::size_t n = want.values.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::string label = controlLabel(layout, i);
        const bool present = i < readBack.values.size();
        if (!present || readBack.values[i] != want.values[i]) {
            differ(label + " value", number(want.values[i]), present ? number(readBack.values[i]) : "nothing");
        }
        if (i >= readBack.assignments.size() || readBack.assignments[i] != want.assignments[i]) {
            differ(label + " assignment", codeText(want.assignments[i], controlAssignmentText),
                   i < readBack.assignments.size() ? codeText(readBack.assignments[i], controlAssignmentText) : "nothing");
        }
        if (i >= readBack.reverseFlags.size() || readBack.reverseFlags[i] != want.reverseFlags[i]) {
            differ(label + " reverse", reverseText(want.reverseFlags[i]),
                   i < readBack.reverseFlags.size() ? reverseText(readBack.reverseFlags[i]) : "nothing");
        }
    }
    for (std::size_t j = 0; j < want.readbackAssignments.size(); ++j) {
        const bool present = j < readBack.readbackAssignments.size();
        if (!present || readBack.readbackAssignments[j] != want.readbackAssignments[j]) {
            differ(readbackLabel(layout, j) + " assignment", codeText(want.readbackAssignments[j], readbackAssignmentText),
                   present ? codeText(readBack.readbackAssignments[j], readbackAssignmentText) : "nothing");
        }
    }
    if (readBack.bypassAssignment != want.bypassAssignment) {
        differ("bypass toggle", codeText(want.bypassAssignment, footswitchAssignmentText),
               codeText(readBack.bypassAssignment, footswitchAssignmentText));
    }
    if (readBack.presetAssignment != want.presetAssignment) {
        differ("preset change", codeText(want.presetAssignment, footswitchAssignmentText),
               codeText(readBack.presetAssignment, footswitchAssignmentText));
    }
    if (!sameMode(want, readBack)) {
        differ("mode", modeText(want.mode, want.bankOrPreset), modeText(readBack.mode, readBack.bankOrPreset));
    }
    if (midiMenuItemFromBlock(readBack.midiChannel) != midiMenuItemFromBlock(want.midiChannel)) {
        differ("MIDI channel", midiText(want.midiChannel), midiText(readBack.midiChannel));
    }
    return out;
}

std::string restoreSummary(std::size_t total, const std::vector<std::string>& differences) {
    const std::size_t restored = total >= differences.size() ? total - differences.size() : 0;
    std::string text = "restored " + number(static_cast<long long>(restored)) + " of " +
                       number(static_cast<long long>(total)) + " settings";
    if (!differences.empty()) {
        text += "; these did not take:";
        for (const std::string& line : differences) text += "\n  " + line;
    }
    return text;
}

std::optional<std::string> controlAssignmentText(std::uint8_t code) {
    if (code == kNoAssignment) return std::string(kNoAssignmentLabel);
    if (code < kAssignChoices.size()) return std::string(kAssignChoices[code]);
    return std::nullopt;
}

std::optional<std::string> readbackAssignmentText(std::uint8_t code) {
    if (code == kNoAssignment) return std::string(kNoAssignmentLabel);
    if (code < kReadbackChoices.size()) return std::string(kReadbackChoices[code]);
    return std::nullopt;
}

std::optional<std::string> footswitchAssignmentText(std::uint8_t code) {
    if (code == kNoAssignment) return std::string(kNoAssignmentLabel);
    if (code >= kFootswitchCodeBase && code < kFootswitchCodeBase + kFootswitchChoices.size()) {
        return std::string(kFootswitchChoices[code - kFootswitchCodeBase]);
    }
    return std::nullopt;
}

namespace {

template <std::size_t N>
std::optional<std::uint8_t> codeOfLabel(std::string_view label, const std::array<std::string_view, N>& choices,
                                        std::uint8_t base) {
    if (label == kNoAssignmentLabel) return kNoAssignment;
    for (std::size_t k = 0; k < N; ++k) {
        if (choices[k] == label) return static_cast<std::uint8_t>(base + k);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint8_t> controlAssignmentCode(std::string_view label) { return codeOfLabel(label, kAssignChoices, 0); }
std::optional<std::uint8_t> readbackAssignmentCode(std::string_view label) {
    return codeOfLabel(label, kReadbackChoices, 0);
}
std::optional<std::uint8_t> footswitchAssignmentCode(std::string_view label) {
    return codeOfLabel(label, kFootswitchChoices, kFootswitchCodeBase);
}

}  // namespace qeltx::core
