// The message trace's ring and the support report's text: what it keeps, in which order, and
// which paths it never shows.
#include "core/message_trace.h"
#include "core/support_report.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sstream>

using namespace qeltx::core;

namespace {

std::vector<std::uint8_t> bytesOf(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The index of the first line equal to `line`, or -1.
long indexOf(const std::vector<std::string>& lines, const std::string& line) {
    const auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : static_cast<long>(it - lines.begin());
}

}  // namespace

TEST(MessageTrace, KeepsTheLastMessagesOldestFirst) {
    MessageTrace trace;
    const std::size_t total = kTraceMessages + 123;
    for (std::size_t i = 0; i < total; ++i) {
        const auto direction = i % 2 == 0 ? TraceDirection::Sent : TraceDirection::Received;
        const std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8)};
        trace.record(static_cast<std::int64_t>(10 * i), direction, bytes);
    }
    const auto entries = trace.entries();
    ASSERT_EQ(entries.size(), kTraceMessages);
    EXPECT_EQ(trace.recorded(), total);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const std::size_t i = total - kTraceMessages + k;
        EXPECT_EQ(entries[k].ms, static_cast<std::int64_t>(10 * i)) << k;
        EXPECT_EQ(entries[k].direction, i % 2 == 0 ? TraceDirection::Sent : TraceDirection::Received) << k;
        EXPECT_EQ(entries[k].bytes, (std::vector<std::uint8_t>{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8)}));
    }
}

TEST(MessageTrace, FillsInOrderUntilFullAndSkipsEmptyReads) {
    MessageTrace trace(3);
    trace.record(1, TraceDirection::Sent, bytesOf({0x06, 0x00}));
    trace.record(2, TraceDirection::Received, {});
    trace.record(3, TraceDirection::Received, bytesOf({0x31, 0x0D, 0x0A}));
    auto entries = trace.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].ms, 1);
    EXPECT_EQ(entries[1].ms, 3);
    EXPECT_EQ(trace.recorded(), 2u);
    // Exactly full, then one more: the oldest goes and the order holds across the wrap.
    trace.record(4, TraceDirection::Sent, bytesOf({0x02}));
    trace.record(5, TraceDirection::Sent, bytesOf({0x03}));
    entries = trace.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].ms, 3);
    EXPECT_EQ(entries[1].ms, 4);
    EXPECT_EQ(entries[2].ms, 5);
}

TEST(MessageTrace, KeepsTheStartOfALongMessageAndItsLength) {
    MessageTrace trace;
    const std::vector<std::uint8_t> image(5888, 0xAB);
    trace.record(7, TraceDirection::Sent, image);
    const auto entry = trace.entries().at(0);
    EXPECT_EQ(entry.length, 5888u);
    EXPECT_EQ(entry.bytes.size(), kTraceBytesKept);
    EXPECT_TRUE(traceLine(entry).ends_with(" … (5888 bytes, the first 4096 shown)")) << traceLine(entry).substr(8180);
}

TEST(SupportReport, TraceLinesShowTimeDirectionAndHex) {
    struct Case {
        TraceEntry entry;
        std::string line;
    };
    const Case cases[] = {
        {{12345, TraceDirection::Sent, bytesOf({0x06, 0x00}), 2}, "    12345 ms  > 0600"},
        {{0, TraceDirection::Received, bytesOf({0x31, 0x0D, 0x0A}), 3}, "        0 ms  < 310D0A"},
        {{1234567890, TraceDirection::Received, bytesOf({0xFF}), 1}, "1234567890 ms  < FF"},
        {{5, TraceDirection::Sent, bytesOf({0x0A, 0x01}), 9}, "        5 ms  > 0A01 … (9 bytes, the first 2 shown)"},
    };
    for (const Case& c : cases) EXPECT_EQ(traceLine(c.entry), c.line);
}

TEST(SupportReport, HomeFolderIsWrittenFromTildeAndMediaFoldersNameNoUser) {
    const PrivateFolders folders{{"/home/alice", "C:\\Users\\alice"}};
    struct Case {
        std::string line;
        std::string expected;
    };
    const Case cases[] = {
        {"IR loaded: /home/alice/Music/room.wav", "IR loaded: ~/Music/room.wav"},
        {"/home/alice", "~"},
        {"cd /home/alice; ls", "cd ~; ls"},
        {"\"/home/alice/a b.wav\" and '/home/alice/c.wav'", "\"~/a b.wav\" and '~/c.wav'"},
        {"/home/alice/x /home/alice/y", "~/x ~/y"},
        // Another folder that only starts with the same letters is someone else's.
        {"/home/alicebob/x", "/home/alicebob/x"},
        {"/home/al", "/home/al"},
        // The preset folder is in the home folder like any other.
        {"settings backed up: /home/alice/Documents/KORVA/Qelt X/Preset/Pedal settings 1.json",
         "settings backed up: ~/Documents/KORVA/Qelt X/Preset/Pedal settings 1.json"},
        {"/home/alice/Documents/KORVA/Qelt X/style.txt", "~/Documents/KORVA/Qelt X/style.txt"},
        {"C:\\Users\\alice\\Music\\ir.wav", "~\\Music\\ir.wav"},
        {"C:\\Users\\alice\\Documents\\KORVA\\Qelt X\\Preset\\a.txt", "~\\Documents\\KORVA\\Qelt X\\Preset\\a.txt"},
        // Removable media are mounted in a folder named after the user, whoever it is.
        {"firmware file: /media/alice/USB STICK/qeltx_fw_2.hex", "firmware file: /media/USER/USB STICK/qeltx_fw_2.hex"},
        {"IR: /run/media/bob/CARD/cab.wav, 912 taps", "IR: /run/media/USER/CARD/cab.wav, 912 taps"},
        {"'/media/carol/x.wav' and \"/media/dave/y.wav\"", "'/media/USER/x.wav' and \"/media/USER/y.wav\""},
        {"/media/cdrom", "/media/cdrom"},                                  // no user's folder
        {"/srv/backup/media/erin/x.wav", "/srv/backup/media/erin/x.wav"},  // not a mount point
        {"no path here", "no path here"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(withoutHomeFolder(c.line, folders), c.expected) << c.line;

    // A home folder of "/" (a service account) or with a trailing separator.
    EXPECT_EQ(withoutHomeFolder("/dev/ttyUSB0", PrivateFolders{{"/"}}), "/dev/ttyUSB0");
    EXPECT_EQ(withoutHomeFolder("/home/bob/x.wav", PrivateFolders{{"/home/bob/"}}), "~/x.wav");
}

TEST(SupportReport, TheKernelIsNamedByItsVersionOnly) {
    EXPECT_EQ(kernelVersionOnly("6.1.0-18-amd64"), "6.1.0");
    EXPECT_EQ(kernelVersionOnly("6.18.44-fc-v1523"), "6.18.44");
    EXPECT_EQ(kernelVersionOnly("10.0.22631"), "10.0.22631");
    EXPECT_EQ(kernelVersionOnly("23.1.0"), "23.1.0");
    EXPECT_EQ(kernelVersionOnly("#1 SMP PREEMPT_DYNAMIC"), "");
}

TEST(SupportReport, HoldsEveryPartInOrder) {
    SupportReport report;
    report.program = "Qelt X Editor";
    report.editorVersion = "1.0.0.0";
    report.operatingSystem = "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64, x86_64";
    report.qtVersion = "6.4.2";
    report.writtenAt = "2026-12-10 16:05:00";
    report.writtenAtMs = 98765;
    report.backends = {{"d2xx", "not installed: libftd2xx.so: cannot open shared object file"}, {"serial", ""}};
    report.devices = {{0, "/home/alice/ttyV0", "/home/alice/ttyV0", "serial"}, {1, "QXVIRTUAL1", "Qelt X Virtual Pedal", "virtual"}};
    report.linkState = "linked to QXVIRTUAL1, normal operation";
    report.heldAlgorithm = "1 Amber Drive v1, firmware 1";
    report.consoleLines = {"serial number: QXVIRTUAL1", "opened /home/alice/Music/ir.wav"};
    report.trace = {{100, TraceDirection::Sent, bytesOf({0x06, 0x00}), 2}, {203, TraceDirection::Received, bytesOf({0x31, 0x0D, 0x0A}), 3}};
    report.messagesRecorded = 2;
    report.privateFolders = {{"/home/alice"}};
    report.editorSettings = {{"look", "3"}, {"mode", "bank, Bank II"}};

    const std::vector<std::string> lines = linesOf(supportReportText(report));
    const std::vector<std::string> expected = {
        "Qelt X Editor support report",
        // What it holds comes first, serial numbers and the editor's settings named.
        "This report holds: the program's, Qt's and the operating system's versions; the driver backends",
        "and the devices they list, with their serial numbers; the link and the algorithm the pedal holds;",
        "the editor's settings; the console's last 2000 lines and the last 500 messages to and from the pedal (bytes",
        "Written: 2026-12-10 16:05:00 (98765 ms on the trace's clock)",
        "Editor version: 1.0.0.0",
        "Operating system: Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64, x86_64",
        "Qt version: 6.4.2",
        "  d2xx: not installed: libftd2xx.so: cannot open shared object file",
        "  serial: available",
        "Devices listed: 2",
        "  0  ~/ttyV0  ~/ttyV0  (serial)",
        "  1  QXVIRTUAL1  Qelt X Virtual Pedal  (virtual)",
        "Link: linked to QXVIRTUAL1, normal operation",
        "Algorithm held: 1 Amber Drive v1, firmware 1",
        "Editor settings:",
        "  look: 3",
        "  mode: bank, Bank II",
        "Console, the last 2 of 2 lines:",
        "serial number: QXVIRTUAL1",
        "opened ~/Music/ir.wav",
        "Messages, the last 2 of 2 (> sent to the pedal, < received; bytes in hex):",
        "      100 ms  > 0600",
        "      203 ms  < 310D0A",
    };
    long previous = -1;
    for (const std::string& line : expected) {
        const long at = indexOf(lines, line);
        EXPECT_GT(at, previous) << "missing or out of order: " << line;
        previous = std::max(previous, at);
    }
    for (const std::string& line : lines) EXPECT_EQ(line.find("/home/alice"), std::string::npos) << line;
}

TEST(SupportReport, KeepsTheConsolesLastLinesAndSaysWhatIsUnknown) {
    SupportReport report;
    report.program = "qeltx-cli";
    for (std::size_t i = 0; i < kReportConsoleLines + 5; ++i) report.consoleLines.push_back("line " + std::to_string(i));
    report.messagesRecorded = 812;
    const std::vector<std::string> lines = linesOf(supportReportText(report));
    EXPECT_NE(indexOf(lines, "Console, the last 2000 of 2005 lines:"), -1);
    // A console that hands over only its last lines says how many it has.
    report.consoleLinesInAll = 70000;
    EXPECT_NE(indexOf(linesOf(supportReportText(report)), "Console, the last 2000 of 70000 lines:"), -1);
    EXPECT_EQ(indexOf(lines, "line 4"), -1);
    const long first = indexOf(lines, "line 5");
    ASSERT_NE(first, -1);
    EXPECT_EQ(lines[static_cast<std::size_t>(first) + kReportConsoleLines - 1], "line 2004");
    EXPECT_NE(indexOf(lines, "Qt version: unknown"), -1);
    EXPECT_NE(indexOf(lines, "Link: unknown"), -1);
    EXPECT_NE(indexOf(lines, "  none"), -1);
    EXPECT_NE(indexOf(lines, "Devices listed: 0"), -1);
    EXPECT_NE(indexOf(lines, "Messages, the last 0 of 812 (> sent to the pedal, < received; bytes in hex):"), -1);
}
