// The pure part of the effect browser (the category list and the effect list of the main
// window): which rows bank mode greys, what a click on a row decides, the arrow keys, and the
// search for the pedal's stored algorithm through the categories. The main window calls these
// and applies the results to its widgets.
#pragma once

#include "core/catalogue_resources.h"
#include "core/commands.h"
#include "core/resource_names.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// pedalMode values.
inline constexpr int kPresetMode = 0;
inline constexpr int kFxBankMode = 1;
// A bank holds an algorithm of at most this many bytes; exactly 5440 is allowed.
inline constexpr std::uint16_t kBankModeSizeLimit = 5440;
bool exceedsBankModeLimit(std::uint16_t size);

// What a click on a category row does after filling the effect list: every category enables
// "Get FX Stored on Pedal" except "Impulse Response", which shows the how-to message instead.
struct CategoryClick {
    std::string_view resourceName;
    std::string_view displayName;  // becomes selectedCategory
    bool enablesOpenEffect = true;
    bool showsIrHowTo = false;
};
CategoryClick categoryClick(std::size_t categoryIndex);

inline constexpr std::string_view kIrHowToMessage =
    "How to load an impulse response:\r\n"
    "1) Select an IR load algorithm in Impulse Response category\r\n"
    "2) Go to File and click Load IR, choose the desired WAV file\r\n"
    "3) Click UPLOAD SELECTED EFFECT button\r\n"
    "Works best with files sampled at 48 kHz with 24 or 32 bits per sample";

// Upload's confirmation names what goes where: "Upload Amber Drive to the pedal as its algorithm
// (Preset Mode)?", "Upload Amber Drive into Bank II (FX Bank Mode)?".
std::string uploadQuestion(std::string_view effectName, UploadTarget target);

struct EffectRow {
    std::string name;
    bool enabled = true;  // false: drawn greyed, not hit-testable
};

// get_effects_name's rows: one per line of the category list, in order. In FX Bank Mode every
// algorithm is measured (get_effect_size) and one over 5440 bytes is disabled and logged as
// "size of <name> exceed 5440 bytes"; in Preset Mode nothing is measured.
std::vector<EffectRow> effectRows(const std::vector<std::string>& categoryLines, int pedalMode,
                                  CatalogueWorkingLists& lists, const ResourceLookup& lookup, const LogSink& log,
                                  const MessageSink& message);

// What effectListItemClicked decides for a click on a row.
struct EffectSelection {
    // A greyed row in FX Bank Mode: close the parameter window, disable Upload and Store
    // Settings, and nothing else (nothing becomes current).
    bool refused = false;
    bool isHeldAlgorithm = false;      // the clicked algorithm is the one stored on the pedal
    bool enableRequest = false;     // when isHeldAlgorithm
    bool disableRequestAssignStore = false;  // when not isHeldAlgorithm
    bool enableLoadIr = false;      // the selected category is "Impulse Response"
    std::vector<std::string> logLines;  // "efx index :3", "selected effect name: ..."
};
EffectSelection effectListItemClicked(int pedalMode, bool rowEnabled, int rowIndex, std::string_view rowText,
                                 std::string_view storedEffectName, std::string_view selectedCategory);

// Arrow keys in the effect list: the new current row (logs "arrow up pressed" / "arrow down
// pressed"; stays put on the first or last row; other keys change nothing).
inline constexpr int kKeyUp = 38;
inline constexpr int kKeyDown = 40;
int move_up_or_down(int keyCode, int currentRow, int rowCount, const LogSink& log);

// The first line of a category list equal to `storedEffectName`.
std::optional<std::size_t> search_effect_name(const std::vector<std::string>& categoryLines,
                                              std::string_view storedEffectName);

struct EffectLocation {
    std::size_t category = 0;  // index into `categories`
    std::size_t row = 0;       // line of that category's list
};
// locate_effect's search: each category list in order is loaded with read_file_from_stream
// (resource name from format_resource_name of the display name) and searched; it stops at the
// first category holding the name. Nothing when no category lists it.
std::optional<EffectLocation> locate_effect(CatalogueWorkingLists& lists, std::string_view storedEffectName,
                                            const ResourceLookup& lookup, const MessageSink& message);

}  // namespace qeltx::core
