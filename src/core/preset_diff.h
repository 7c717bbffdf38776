// What differs between two sounds of one algorithm: a preset file and the pedal's values, or
// two preset files. By parameter, in the control layout's order, with the names and values as
// a player reads them.
#pragma once

#include "core/control_layout.h"
#include "core/preset_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qeltx::core {

struct PresetDifference {
    enum class Field { Value, Assignment, ReadbackAssignment };
    Field field = Field::Value;
    std::size_t index = 0;  // the control's index, or the read-back's
    std::string name;       // the control's or the read-back's name in the layout
    std::int32_t left = 0;  // the value or assignment code on each side
    std::int32_t right = 0;
    std::string leftText;  // as shown: 512, "on", an option's name, "KI", "--"
    std::string rightText;
};

// Every value, assignment and read-back assignment that differs between `left` and `right`,
// both of `layout`'s algorithm. Assignments are compared where both sides have them (a preset
// file may end after its values). Refused when a side's parameter count is not the layout's.
Refusable<std::vector<PresetDifference>> presetDifferences(const ControlLayout& layout, const PresetFile& left,
                                                           const PresetFile& right);

// Control i's value as a player reads it: the number for a pot, "on" or "off" for a switch or
// button, a multi-switch's option name (the number when the value selects none).
std::string parameterValueText(const ControlLayout& layout, std::size_t i, std::int32_t value);

}  // namespace qeltx::core
