// Line splitting shared by the catalogue reader, the virtual pedal and the catalogue tools.
#include "core/text_lines.h"

namespace qeltx::core {

std::vector<LineWithBreak> splitLinesWithBreaks(std::string_view text) {
    std::vector<LineWithBreak> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        LineWithBreak line{std::string(text.substr(start, i - start)), LineBreak::Lf};
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                line.lineBreak = LineBreak::CrLf;
                ++i;
            } else {
                line.lineBreak = LineBreak::Cr;
            }
        }
        lines.push_back(std::move(line));
        start = i + 1;
    }
    if (start < text.size()) lines.push_back({std::string(text.substr(start)), LineBreak::None});
    return lines;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    for (auto& line : splitLinesWithBreaks(text)) lines.push_back(std::move(line.text));
    return lines;
}

}  // namespace qeltx::core
