// The support report: one text file a player sends when something goes wrong, with what the
// editor and the computer are, what the driver layer found, what the pedal holds, the console's
// last lines and the last messages to and from the pedal. Nothing private beyond that: every
// path in the home folder is written from "~", except the preset folder's, which support may
// need to see whole.
#pragma once

#include "core/message_trace.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// How many of the console's lines the report keeps.
inline constexpr std::size_t kReportConsoleLines = 2000;

struct ReportBackend {
    std::string name;   // "serial", "libftdi", "d2xx", "virtual"
    std::string state;  // empty when it runs; else why it does not ("not installed: ...")
};

// One device of the driver layer's listing, as Link and qeltx-cli's list see it.
struct ListedDevice {
    std::uint32_t index = 0;
    std::string serial;
    std::string description;
    std::string backend;
};

// Folders the report must not show, and the ones it keeps whole although they lie inside one.
// Every spelling the console may use (a path with / and with \) is listed.
struct PrivateFolders {
    std::vector<std::string> home;
    std::vector<std::string> kept;
};

struct SupportReport {
    std::string program;           // "Qelt X Editor", "qeltx-cli"
    std::string editorVersion;
    std::string operatingSystem;
    std::string qtVersion;
    std::string writtenAt;         // the local date and time, as text
    std::int64_t writtenAtMs = 0;  // the same moment on the trace's clock
    std::vector<ReportBackend> backends;
    std::vector<ListedDevice> devices;
    std::string linkState;
    std::string heldAlgorithm;
    std::vector<std::string> consoleLines;  // the report keeps the last ones
    std::size_t consoleLinesInAll = 0;      // when more than consoleLines holds: how many the console has
    std::vector<TraceEntry> trace;          // oldest first
    std::uint64_t messagesRecorded = 0;     // how many the trace saw in all
    PrivateFolders privateFolders;
};

// "1 Amber Drive v1, firmware 1"; "none (No effect found on pedal), firmware 1" for a pedal
// that holds none.
std::string heldAlgorithmText(bool stored, std::uint32_t number, std::string_view name, std::uint32_t version,
                              std::uint32_t firmwareVersion);

// The report as text, lines ended by '\n'.
std::string supportReportText(const SupportReport& report);

// One trace entry as the report lists it: "  12345 ms  > 0600" ("<" for what came in), with
// "… (5888 bytes, the first 4096 shown)" when the trace kept only part of it.
std::string traceLine(const TraceEntry& entry);

// `line` with each home folder written as "~" wherever it stands as a whole folder (followed
// by a separator, the end, a space, a quote or punctuation that ends a path in a log line, so
// that "/home/al" is not taken out of "/home/alice"), except where a kept folder starts.
std::string withoutHomeFolder(std::string_view line, const PrivateFolders& folders);

}  // namespace qeltx::core
