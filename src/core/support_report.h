// The support report: one text file a player sends when something goes wrong, with what the
// editor and the computer are, what the driver layer found, what the pedal holds, the console's
// last lines and the last messages to and from the pedal. Its first lines say all that, so the
// player can judge it before sending it. Nothing private beyond that: every path in the home
// folder is written from "~", and the user name in removable-media folders (/media/NAME,
// /run/media/NAME) as "USER". Serial numbers stay: support needs them, and the header says so.
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

// The home folder the report must not show, in every spelling the console may use (a path
// with / and with \).
struct PrivateFolders {
    std::vector<std::string> home;
};

// One of the editor's own settings as the report lists it ("look", "3").
struct ReportSetting {
    std::string name;
    std::string value;
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
    std::vector<ReportSetting> editorSettings;  // none in qeltx-cli's report
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
// that "/home/al" is not taken out of "/home/alice"), and the folder after /media/ or
// /run/media/ (the user's name, where removable media are mounted) written as "USER".
std::string withoutHomeFolder(std::string_view line, const PrivateFolders& folders);

// The kernel's version without what the build added ("6.1.0-18-amd64" → "6.1.0"): a custom
// kernel's build string can name its machine.
std::string kernelVersionOnly(std::string_view version);

}  // namespace qeltx::core
