// Preset files: a sound kept on the computer as fixed-width upper-case hex lines (UTF-8 with a
// byte-order mark, each line ended by CR): algorithm number, version, the parameter count N,
// N values, N assignment codes and the read-back assignment codes.
#pragma once

#include "core/refusable.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// A preset file is a few hundred bytes; anything much larger is not one and is not read whole.
inline constexpr long long kLargestPresetFile = 64 * 1024;

struct PresetFile {
    std::uint32_t effectNumber = 0;   // 4 digits
    std::uint32_t effectVersion = 0;  // 2 digits
    std::vector<std::int32_t> values;              // N lines of 8 digits (two's complement)
    std::vector<std::uint8_t> assignments;         // N lines of 2 digits (FF = none)
    std::vector<std::uint8_t> readbackAssignments;  // R lines of 2 digits
};

// The file's bytes as the editor writes them, byte-order mark included.
std::string formatPresetFile(const PresetFile& preset);

// Reads a preset file line by line (CR, LF or CR LF; a byte-order mark skipped). The number,
// version, count and values are required and must be hex of their widths; the assignment lines
// are read when present. Refused, naming the line, when the file is not one.
Refusable<PresetFile> parsePresetFile(std::string_view text);

}  // namespace qeltx::core
