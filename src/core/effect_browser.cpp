// Browser decisions over the catalogue's lists.
#include "core/effect_browser.h"

namespace qeltx::core {

bool exceedsBankModeLimit(std::uint16_t size) { return size > kBankModeSizeLimit; }

CategoryClick categoryClick(std::size_t categoryIndex) {
    const auto& c = categories.at(categoryIndex);
    const bool ir = categoryIndex == kImpulseResponseCategory;
    return {c.resourceName, c.displayName, !ir, ir};
}

std::vector<EffectRow> effectRows(const std::vector<std::string>& categoryLines, int pedalMode,
                                  CatalogueWorkingLists& lists, const ResourceLookup& lookup, const LogSink& log,
                                  const MessageSink& message) {
    std::vector<EffectRow> rows;
    rows.reserve(categoryLines.size());
    for (const auto& name : categoryLines) {
        EffectRow row{name, true};
        if (pedalMode == kFxBankMode && exceedsBankModeLimit(get_effect_size(lists, name, lookup, log, message))) {
            if (log) log("size of " + name + " exceed 5440 bytes");
            row.enabled = false;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

EffectSelection effectListItemClicked(int pedalMode, bool rowEnabled, int rowIndex, std::string_view rowText,
                                 std::string_view storedEffectName, std::string_view selectedCategory) {
    EffectSelection s;
    if (pedalMode == kFxBankMode && !rowEnabled) {
        s.refused = true;
        return s;
    }
    s.logLines.push_back("efx index :" + std::to_string(rowIndex));
    s.logLines.push_back("selected effect name: " + std::string(rowText));
    s.isHeldAlgorithm = rowText == storedEffectName;
    s.enableRequest = s.isHeldAlgorithm;
    s.disableRequestAssignStore = !s.isHeldAlgorithm;
    s.enableLoadIr = selectedCategory == categories[kImpulseResponseCategory].displayName;
    return s;
}

int move_up_or_down(int keyCode, int currentRow, int rowCount, const LogSink& log) {
    if (keyCode == kKeyUp) {
        if (log) log("arrow up pressed");
        return currentRow > 0 ? currentRow - 1 : currentRow;
    }
    if (keyCode == kKeyDown) {
        if (log) log("arrow down pressed");
        return currentRow < rowCount - 1 ? currentRow + 1 : currentRow;
    }
    return currentRow;
}

std::optional<std::size_t> search_effect_name(const std::vector<std::string>& categoryLines,
                                              std::string_view storedEffectName) {
    for (std::size_t i = 0; i < categoryLines.size(); ++i) {
        if (categoryLines[i] == storedEffectName) return i;
    }
    return std::nullopt;
}

std::optional<EffectLocation> locate_effect(CatalogueWorkingLists& lists, std::string_view storedEffectName,
                                            const ResourceLookup& lookup, const MessageSink& message) {
    for (std::size_t c = 0; c < categories.size(); ++c) {
        read_file_from_stream(lists, format_resource_name(categories[c].displayName), lookup, message);
        if (const auto row = search_effect_name(lists.resourceLines, storedEffectName)) return EffectLocation{c, *row};
    }
    return std::nullopt;
}

std::string uploadQuestion(std::string_view effectName, UploadTarget target) {
    const std::string name(effectName);
    switch (target) {
        case UploadTarget::Preset: break;
        case UploadTarget::Bank1: return "Upload " + name + " into Bank I (FX Bank Mode)?";
        case UploadTarget::Bank2: return "Upload " + name + " into Bank II (FX Bank Mode)?";
        case UploadTarget::Bank3: return "Upload " + name + " into Bank III (FX Bank Mode)?";
    }
    return "Upload " + name + " to the pedal as its algorithm (Preset Mode)?";
}

}  // namespace qeltx::core
