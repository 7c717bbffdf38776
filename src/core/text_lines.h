// Splitting a catalogue text into lines as the editor reads every resource: a line
// ends at CR LF, at LF alone or at CR alone, and a final line break adds no empty line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// "a\r\nb\nc\rd" -> {"a", "b", "c", "d"}; "a\r\n" -> {"a"}; "" -> {}; "\r\n" -> {""}.
std::vector<std::string> splitLines(std::string_view text);

// How a text's lines end, for the tools that check a catalogue: the 1-based line number and the
// line break that ends it ("" for a last line without one). Lines are those of splitLines.
enum class LineBreak { None, CrLf, Lf, Cr };
struct LineWithBreak {
    std::string text;
    LineBreak lineBreak = LineBreak::None;
};
std::vector<LineWithBreak> splitLinesWithBreaks(std::string_view text);

}  // namespace qeltx::core
