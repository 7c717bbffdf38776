// Writing and reading preset files.
#include "core/preset_file.h"

#include "core/hex.h"
#include "core/text_lines.h"

namespace qeltx::core {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char kLineEnd = '\r';

std::string field(std::uint64_t value, int digits) { return toHexDigits(value, digits) + kLineEnd; }

// A line of exactly `digits` hex digits.
bool readField(const std::vector<std::string>& lines, std::size_t index, std::size_t digits, std::uint32_t& out) {
    if (index >= lines.size() || lines[index].size() != digits) return false;
    std::uint32_t value = 0;
    for (char c : lines[index]) {
        const auto d = hexDigitValue(c);
        if (!d) return false;
        value = (value << 4) | *d;
    }
    out = value;
    return true;
}

}  // namespace

std::string formatPresetFile(const PresetFile& preset) {
    std::string text(kByteOrderMark);
    text += field(preset.effectNumber & 0xFFFF, 4);
    text += field(preset.effectVersion & 0xFF, 2);
    text += field(preset.values.size() & 0xFF, 2);
    for (std::int32_t value : preset.values) text += field(static_cast<std::uint32_t>(value), 8);
    for (std::uint8_t code : preset.assignments) text += field(code, 2);
    for (std::uint8_t code : preset.readbackAssignments) text += field(code, 2);
    return text;
}

Refusable<PresetFile> parsePresetFile(std::string_view text) {
    using Result = Refusable<PresetFile>;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    const std::vector<std::string> lines = splitLines(text);
    PresetFile preset;
    std::uint32_t count = 0;
    if (!readField(lines, 0, 4, preset.effectNumber)) return Result::refused("line 1 is not an algorithm number");
    if (!readField(lines, 1, 2, preset.effectVersion)) return Result::refused("line 2 is not a version");
    if (!readField(lines, 2, 2, count)) return Result::refused("line 3 is not a parameter count");
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t word = 0;
        if (!readField(lines, 3 + i, 8, word)) {
            return Result::refused("line " + std::to_string(4 + i) + " is not a parameter value");
        }
        preset.values.push_back(static_cast<std::int32_t>(word));
    }
    // Assignment lines follow the values; files cut short of them still carry their values.
    for (std::size_t line = 3 + count; line < lines.size(); ++line) {
        std::uint32_t code = 0;
        if (!readField(lines, line, 2, code)) return Result::refused("line " + std::to_string(line + 1) + " is not an assignment code");
        if (preset.assignments.size() < count) {
            preset.assignments.push_back(static_cast<std::uint8_t>(code));
        } else {
            preset.readbackAssignments.push_back(static_cast<std::uint8_t>(code));
        }
    }
    return Result::accepted(std::move(preset));
}

}  // namespace qeltx::core
