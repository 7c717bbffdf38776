// A backup of everything the pedal keeps: its algorithm (number, name, version, and for an
// impulse-response algorithm the image with the response the pedal confirmed taking, when that
// is known: the pedal cannot say which response it runs) and the whole parameter
// block (values, assignments, reverse flags, mode, bank or preset number, MIDI channel).
// Checking a backup against the catalogue, the commands that put it back on a pedal, and the
// comparison of what the pedal reads back afterwards. The file format is in docs/backup-format.md
// (session/settings_backup_file.h reads and writes it).
#pragma once

#include "core/catalogue_lists.h"
#include "core/catalogue_resources.h"
#include "core/commands.h"
#include "core/control_layout.h"
#include "core/parameter_block.h"
#include "core/refusable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qeltx::core {

struct SettingsBackup {
    std::uint32_t effectNumber = 0;
    std::string effectName;
    std::uint32_t effectVersion = 0;
    std::uint32_t firmwareVersion = 0;
    // The parameter block as the pedal reported it, one entry per control and read-back.
    ParameterBlock settings;
    // Per control (may be empty = none): true where the pedal held the algorithm's own starting
    // value, which is outside the control's range (the editor never set it). Restore leaves such
    // a value to the upload instead of sending it.
    std::vector<bool> algorithmDefaults;
    // The image with the pedal's impulse response merged in, as hex text: the one the pedal
    // confirmed taking from this editor (or the response qeltx-cli backup --ir was given); empty
    // when none is known, and a restore then uploads the algorithm with its own.
    std::string irImage;
};

// What kind of row control i is, in the layout's order: pots, two-state rows, multi-switches.
enum class ParameterKind { Pot, Switch, Button, MultiSwitch };
ParameterKind parameterKindOf(const ControlLayout& layout, std::size_t control);
std::string_view parameterKindName(ParameterKind kind);  // "pot", "switch", "button", "multi-switch"
std::string controlName(const ControlLayout& layout, std::size_t control);

// The largest value a control of each kind holds: 1023 for pots and multi-switches, 1024
// (on) for switches and buttons. The smallest is 0.
std::int32_t maxParameterValue(ParameterKind kind);

// Marks each value outside its control's range as the algorithm's starting value (a pedal
// that has not been set from the editor since its upload reports those).
void markAlgorithmDefaults(SettingsBackup& backup, const ControlLayout& layout);
bool isAlgorithmDefault(const SettingsBackup& backup, std::size_t control);

// The algorithm a backup is for, as this editor's catalogue has it.
struct BackupTarget {
    CatalogueEffect effect;
    ControlLayout layout;
};

// Checks a backup before anything of it is sent. Refused, with one sentence for the user, when
// the catalogue has no algorithm of its number, or one of another name; when its control or
// read-back count is not the algorithm's; when any value, assignment code, reverse flag, mode,
// bank or MIDI channel is outside what the pedal takes; or when it holds an impulse-response
// image for an algorithm that takes none, or one that differs from the algorithm's image
// anywhere outside its tap block.
Refusable<BackupTarget> checkBackup(const SettingsBackup& backup, const ResourceLookup& lookup);

// Where an upload puts the algorithm so that the pedal ends in the backup's mode and bank.
UploadTarget uploadTargetOf(const SettingsBackup& backup);
// Whether restoring needs an upload: the pedal holds no algorithm or another one, or another
// mode or bank (only an upload sets them), the backup carries a merged image (the pedal
// cannot say which impulse response it holds), or a value the backup keeps as the algorithm's
// starting value differs (only an upload brings it back). `heldSettings` is null when the pedal
// holds no algorithm of the backup's number.
bool restoreNeedsUpload(const SettingsBackup& backup, bool effectStored, std::uint32_t heldNumber,
                        const ParameterBlock* heldSettings);

// The commands that put the backup's settings on a pedal that already holds its algorithm in
// its mode and bank, in order: every value (through the image's address table) but the
// algorithm's starting values, Assign, every
// reverse flag, the MIDI channel, Store Settings (without its purge of the transmit queue,
// which would drop the commands before it). `header` is the algorithm image's.
std::vector<PedalCommand> restoreCommands(const SettingsBackup& backup, const ImageHeader& header);

// How many settings a restore puts back: the algorithm, each control's value, assignment and
// reverse flag, each read-back's assignment, the two footswitch assignments, the mode (with its
// bank) and the MIDI channel: 3N + R + 5.
std::size_t settingsCount(const SettingsBackup& backup);

// Each setting whose read-back differs from the backup, as a line for the user
// ("control 1 (Tone) value: 300 in the backup, 512 on the pedal"). `heldNumber` is what the
// stored-effect query reported afterwards; `readBack` is the parameter block then.
std::vector<std::string> settingsDifferences(const SettingsBackup& backup, const ControlLayout& layout,
                                             std::uint32_t heldNumber, const ParameterBlock& readBack);

// "restored 14 of 14 settings", or with the differences after it, one per line.
std::string restoreSummary(std::size_t total, const std::vector<std::string>& differences);

// ---- Texts of the codes, as the backup file shows them ----------------------------------
// Each gives the label ("KI", "--", "FS", "SX", "OMNI") of a code the pedal takes, or nothing.
std::optional<std::string> controlAssignmentText(std::uint8_t code);
std::optional<std::string> readbackAssignmentText(std::uint8_t code);
std::optional<std::string> footswitchAssignmentText(std::uint8_t code);
// And back: the code of a label, or nothing for a label that is not in the list.
std::optional<std::uint8_t> controlAssignmentCode(std::string_view label);
std::optional<std::uint8_t> readbackAssignmentCode(std::string_view label);
std::optional<std::uint8_t> footswitchAssignmentCode(std::string_view label);

}  // namespace qeltx::core
