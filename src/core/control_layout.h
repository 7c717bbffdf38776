// The control layout of an algorithm (its "_ctrls" resource), from which the parameter window
// is built: a counts line of hex digits (pots P, two-state rows S, multi-switch rows M and, on
// a four-character line, read-backs R), then P pot names, S two-state lines
// ("Name:OFF label:ON label", a button when the line holds "@"), M multi-switch lines
// ("Name;option;option...") and R read-back names. Controls are numbered pots first, then
// two-state rows, then multi-switches; that index is the one every message to the pedal uses.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// The panel's tables hold 16 controls and 4 read-backs; the image's address table 16 entries.
inline constexpr int kLayoutMaxControls = 16;
inline constexpr int kLayoutMaxReadbacks = 4;
// A multi-switch option k of K is sent as a 10-bit value, so K stays within 1..1024.
inline constexpr int kLayoutMaxOptions = 1024;

struct LayoutCounts {
    int pots = 0;
    int switches = 0;       // two-state rows: switches and buttons
    int multiSwitches = 0;
    int readbacks = 0;      // 0 unless the counts line is exactly four characters
    int controls() const { return pots + switches + multiSwitches; }
};

struct TwoStateRow {
    std::string name;      // text before the first ":"; the whole line when it has none
    std::string offLabel;  // text between the first and the second ":"
    std::string onLabel;   // everything after the second ":" (may hold ":" or "@")
    bool isButton = false; // the line holds "@" anywhere; a button uses only its name
};

struct MultiSwitchRow {
    std::string name;                  // text before the first ";"
    std::vector<std::string> options;  // K = the number of ";" in the line
};

struct ControlLayout {
    LayoutCounts counts;
    std::vector<std::string> controlLines;  // the layout line of each control, by control index
    std::vector<std::string> potNames;
    std::vector<TwoStateRow> twoStateRows;
    std::vector<MultiSwitchRow> multiSwitchRows;
    std::vector<std::string> readbackNames;
};

struct LayoutCountsResult {
    std::optional<LayoutCounts> counts;
    std::string error;
};

struct ControlLayoutResult {
    std::optional<ControlLayout> layout;
    std::string error;  // names the algorithm; empty when the layout was read
};

// The counts line alone: its first three characters (and the fourth on a line of exactly
// four) must be "0"-"9" or "A"-"F". A line of five or more characters has no read-backs.
LayoutCountsResult parseLayoutCounts(std::string_view countsLine);

// "Wave:Sine:PWM" -> {"Wave", "Sine", "PWM", false}; "Tap:Tap:Tap@" -> a button named "Tap".
TwoStateRow parseTwoStateLine(std::string_view line);
// "Tracking;1;2;3;4" -> {"Tracking", {"1", "2", "3", "4"}}.
MultiSwitchRow parseMultiSwitchLine(std::string_view line);

// Reads a layout for the algorithm `algorithmName` (used in the error texts). Refused, with one
// sentence naming the algorithm, when there is no counts line, a counts character is not a
// hex digit, it declares more than 16 controls or more than 4 read-backs, it has fewer lines
// than it declares, or a multi-switch has no option or more than 1024. Lines after the
// declared ones are ignored.
ControlLayoutResult parseControlLayout(std::string_view algorithmName, const std::vector<std::string>& lines);
ControlLayoutResult parseControlLayoutText(std::string_view algorithmName, std::string_view text);

// The console lines of reading a layout, in order: "num of pots: 3", "num of switches: 0",
// "num of multi switch: 0", "num of readbacks: 1" (only for a four-character counts line),
// then every stored control line and read-back name.
std::vector<std::string> layoutLogLines(const ControlLayout& layout, std::string_view countsLine);

// Rows of the parameter window: one per control, the bypass and preset-change rows, and one
// per read-back; its height is (rows + 2) * 25 + 10 = (N + R + 4) * 25 + 10.
inline constexpr int kPanelRowPitch = 25;
inline constexpr int kPanelTopOffset = 10;
inline constexpr int kPanelWidth = 420;
int parameterWindowHeight(int controls, int readbacks);

}  // namespace qeltx::core
