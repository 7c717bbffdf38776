// Writing the support report's text.
#include "core/support_report.h"

#include "core/hex.h"
#include "core/stored_effect.h"

#include <algorithm>

namespace qeltx::core {

namespace {

constexpr std::string_view kHomeMark = "~";
constexpr std::string_view kUserMark = "USER";
// Where desktops mount removable media, one folder per user.
constexpr std::string_view kMediaFolders[] = {"/run/media/", "/media/"};

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Whether a folder's name ends before `c` (a path in a log line ends at a space, a quote or
// the punctuation around it).
bool endsFolderName(char c) {
    static constexpr std::string_view kEnders = " \t\r\n\"'`,;:()[]<>{}|";
    return isSeparator(c) || kEnders.find(c) != std::string_view::npos;
}

std::string_view trimmedFolder(std::string_view folder) {
    while (folder.size() > 1 && isSeparator(folder.back())) folder.remove_suffix(1);
    return folder;
}

// A home folder as short as "/" or "C:\" would take every path apart: such a one is left alone.
constexpr std::size_t kShortestHome = 3;
bool worthScrubbing(std::string_view folder) { return folder.size() >= kShortestHome; }

void section(std::string& out, std::string_view title) {
    out += '\n';
    out += title;
    out += '\n';
}

void field(std::string& out, std::string_view name, std::string_view value) {
    out += name;
    out += ": ";
    out += value.empty() ? std::string_view("unknown") : value;
    out += '\n';
}

}  // namespace

std::string withoutHomeFolder(std::string_view line, const PrivateFolders& folders) {
    std::string out;
    out.reserve(line.size());
    std::size_t i = 0;
    while (i < line.size()) {
        const std::string_view rest = line.substr(i);
        const auto media = std::find_if(std::begin(kMediaFolders), std::end(kMediaFolders),
                                        [&](std::string_view folder) { return rest.starts_with(folder); });
        // A whole path only: "/media/" inside a longer folder name is not a mount point.
        if (media != std::end(kMediaFolders) && (i == 0 || endsFolderName(line[i - 1]))) {
            const std::string_view after = rest.substr(media->size());
            const auto nameEnd = std::find_if(after.begin(), after.end(), endsFolderName);
            // Only a folder inside it is a user's ("/media/cdrom" alone names no one).
            if (nameEnd != after.begin() && nameEnd != after.end() && isSeparator(*nameEnd)) {
                out += *media;
                out += kUserMark;
                i += media->size() + static_cast<std::size_t>(nameEnd - after.begin());
                continue;
            }
        }
        const auto home = std::find_if(folders.home.begin(), folders.home.end(), [&](const std::string& folder) {
            const std::string_view h = trimmedFolder(folder);
            return worthScrubbing(h) && rest.starts_with(h) && (rest.size() == h.size() || endsFolderName(rest[h.size()]));
        });
        if (home != folders.home.end()) {
            out += kHomeMark;
            i += trimmedFolder(*home).size();
            continue;
        }
        out += line[i];
        ++i;
    }
    return out;
}

std::string kernelVersionOnly(std::string_view version) {
    const auto end = std::find_if(version.begin(), version.end(), [](char c) { return c != '.' && (c < '0' || c > '9'); });
    return std::string(version.begin(), end);
}

std::string heldAlgorithmText(bool stored, std::uint32_t number, std::string_view name, std::uint32_t version,
                              std::uint32_t firmwareVersion) {
    const std::string firmware = ", firmware " + std::to_string(firmwareVersion);
    if (!stored) return "none (" + std::string(kNoEffectMessage) + ")" + firmware;
    return std::to_string(number) + " " + std::string(name) + " v" + std::to_string(version) + firmware;
}

std::string traceLine(const TraceEntry& entry) {
    std::string line = std::to_string(entry.ms);
    if (line.size() < 9) line.insert(0, 9 - line.size(), ' ');
    line += " ms  ";
    line += entry.direction == TraceDirection::Sent ? "> " : "< ";
    line += toHex(entry.bytes);
    if (entry.bytes.size() < entry.length) {
        line += " … (" + std::to_string(entry.length) + " bytes, the first " + std::to_string(entry.bytes.size()) +
                " shown)";
    }
    return line;
}

std::string supportReportText(const SupportReport& report) {
    std::string out;
    out += report.program + " support report\n";
    // What it holds, so the player can judge it before sending it.
    out += "This report holds: the program's, Qt's and the operating system's versions; the driver backends\n"
           "and the devices they list, with their serial numbers; the link and the algorithm the pedal holds;\n";
    if (!report.editorSettings.empty()) out += "the editor's settings; ";
    out += "the console's last " + std::to_string(kReportConsoleLines) + " lines and the last " +
           std::to_string(kTraceMessages) + " messages to and from the pedal (bytes\n"
           "in hex). Paths in your home folder are written from ~, and your user name in removable-media\n"
           "folders as USER. It holds nothing else.\n\n";
    field(out, "Written", report.writtenAt + " (" + std::to_string(report.writtenAtMs) + " ms on the trace's clock)");
    field(out, "Editor version", report.editorVersion);
    field(out, "Operating system", report.operatingSystem);
    field(out, "Qt version", report.qtVersion);

    section(out, "Driver backends:");
    if (report.backends.empty()) out += "  none\n";
    for (const ReportBackend& b : report.backends) {
        out += "  " + b.name + ": " + (b.state.empty() ? std::string("available") : b.state) + '\n';
    }
    section(out, "Devices listed: " + std::to_string(report.devices.size()));
    for (const ListedDevice& d : report.devices) {
        out += "  " + std::to_string(d.index) + "  " + d.serial + "  " + d.description + "  (" + d.backend + ")\n";
    }
    out += '\n';
    field(out, "Link", report.linkState);
    field(out, "Algorithm held", report.heldAlgorithm);
    if (!report.editorSettings.empty()) {
        section(out, "Editor settings:");
        for (const ReportSetting& setting : report.editorSettings) out += "  " + setting.name + ": " + setting.value + '\n';
    }

    const std::size_t lines = report.consoleLines.size();
    const std::size_t firstLine = lines > kReportConsoleLines ? lines - kReportConsoleLines : 0;
    const std::size_t inAll = std::max(lines, report.consoleLinesInAll);
    section(out, "Console, the last " + std::to_string(lines - firstLine) + " of " + std::to_string(inAll) + " lines:");
    for (std::size_t i = firstLine; i < lines; ++i) {
        out += report.consoleLines[i];
        out += '\n';
    }

    section(out, "Messages, the last " + std::to_string(report.trace.size()) + " of " +
                     std::to_string(report.messagesRecorded) + " (> sent to the pedal, < received; bytes in hex):");
    for (const TraceEntry& entry : report.trace) {
        out += traceLine(entry);
        out += '\n';
    }

    // Paths may stand anywhere a user or the system named them (console lines, a port, a
    // driver's load problem): every line is looked at.
    std::string scrubbed;
    scrubbed.reserve(out.size());
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find('\n', start);
        scrubbed += withoutHomeFolder(std::string_view(out).substr(start, end - start), report.privateFolders);
        scrubbed += '\n';
        start = end + 1;
    }
    return scrubbed;
}

}  // namespace qeltx::core
