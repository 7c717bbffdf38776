// A preset file and the algorithm it was saved for: the algorithm's name as players know it
// (for refusals and the Load dialog's preview), and the commands that put the preset's values
// on a pedal that has just taken that algorithm.
#pragma once

#include "core/catalogue_lists.h"
#include "core/catalogue_resources.h"
#include "core/commands.h"
#include "core/control_layout.h"
#include "core/effect_image.h"
#include "core/preset_file.h"
#include "core/refusable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// What a preset file is for, in a few words: the algorithm's name ("Amber Drive"), "algorithm
// number 4095, which this editor's catalogue does not have", or "not a preset file" when the
// text does not parse. `effectListLines` is the catalogue's EFFECT_LIST; number 0 is no algorithm.
std::string presetAlgorithmText(std::string_view presetText, const std::vector<std::string>& effectListLines);

// The same for a preset already read.
std::string presetAlgorithmText(const PresetFile& preset, const std::vector<std::string>& effectListLines);

// One parameter command per pot, switch and multi-switch value of the preset that lies in its
// control's range, through the image's address table, in control order. Buttons are left out
// (a press is an action, not a setting), and so is a value out of range, which leaves the
// algorithm's own starting value in place. Controls past the layout's or the table's are ignored.
std::vector<PedalCommand> presetValueCommands(const PresetFile& preset, const ControlLayout& layout,
                                              const ImageHeader& header);

// The same commands, each with the control it sets and the value it gives it.
struct PresetValueCommand {
    std::size_t control = 0;
    std::int32_t value = 0;
    PedalCommand command;
};
std::vector<PresetValueCommand> presetValueChanges(const PresetFile& preset, const ControlLayout& layout,
                                                   const ImageHeader& header);

// The algorithm a pedal holds, as a preset load compares it with the preset's.
struct HeldForPreset {
    std::uint32_t number = 0;
    std::string name;
};

// How a preset is put on the pedal, once it is known to fit: its algorithm from the catalogue and
// that algorithm's layout. `otherAlgorithm` is set when the pedal holds another algorithm (or
// none): the preset's is uploaded first, and this sentence names both ("This preset is for Glass
// Phaser; the pedal holds Amber Drive.").
struct PresetLoadPlan {
    CatalogueEffect effect;
    ControlLayout layout;
    std::optional<std::string> otherAlgorithm;
};

// The one decision of Load Configuration and qeltx-cli preset load, before anything is sent.
// `held` is the pedal's algorithm (nothing: it holds none); `intoBank`: an upload would go into a
// bank of bank mode. Refused, in one sentence naming the algorithms, when the catalogue lacks the
// preset's algorithm or cannot give its layout, when the preset holds another number of values
// than the algorithm has controls, and when the algorithm would have to be uploaded into a bank
// and is larger than a bank holds.
Refusable<PresetLoadPlan> planPresetLoad(const PresetFile& preset, const std::optional<HeldForPreset>& held, bool intoBank,
                                         const ResourceLookup& lookup, const std::vector<std::string>& effectListLines);

}  // namespace qeltx::core
