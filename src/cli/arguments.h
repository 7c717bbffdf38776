// The command line of qeltx-cli: its commands with their arguments and options, parsing the
// words after the program name into an Invocation, and the help texts. Plain C++, no Qt.
#pragma once

#include "core/commands.h"
#include "core/refusable.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::cli {

enum class CommandId {
    List,
    Query,
    Upload,
    Request,
    Set,
    Backup,
    Restore,
    Flash,
    EepromRead,
    EepromErase,
    IrMerge,
    IrInfo,
    CatalogueCheck,
    CatalogueList,
    Report,
    PresetSave,
    PresetLoad,
    Diff,
};

struct OptionSpec {
    std::string_view name;       // "--bank", "-o"
    std::string_view valueName;  // empty for a flag
    std::string_view help;
    std::string_view choices;    // "1|2|3": the only values taken; empty for any
};

struct CommandSpec {
    CommandId id;
    std::string_view name;       // "eeprom read"
    std::string_view arguments;  // positionals as the synopsis shows them ("NAME", "[DIR]")
    std::size_t minPositionals;
    std::size_t maxPositionals;
    std::span<const OptionSpec> options;
    std::string_view summary;  // one line for the overview
    std::string_view details;  // the rest of the command's --help
};

// Every command, in the order the overview lists them.
std::span<const CommandSpec> commandTable();

// Which device a command talks to.
enum class DeviceChoice {
    Auto,     // the device listed last, as the editor's Link does
    Port,     // a serial-port path (a pseudo-terminal of qeltx-pedal-sim)
    Serial,   // a serial number from `list`
    Virtual,  // the virtual pedal in this process
};

struct Connection {
    DeviceChoice choice = DeviceChoice::Auto;
    std::string value;  // the path or serial number
};

struct Invocation {
    const CommandSpec* command = nullptr;  // null only with help asked and no command given
    std::vector<std::string> positionals;
    std::map<std::string, std::string, std::less<>> options;  // by the option's name; "" for a flag
    Connection connection;
    bool json = false;
    bool verbose = false;
    bool help = false;
    // With help asked and no whole command: the words of a group ("catalogue"), else empty.
    std::string helpGroup;

    bool has(std::string_view option) const { return options.find(option) != options.end(); }
    std::optional<std::string> value(std::string_view option) const;
};

// Global options may stand anywhere; a command's own options and arguments follow its name.
// Refused, with one line for the user, on an unknown command or option, a missing or unlisted
// option value, too few or too many arguments, or more than one device choice.
core::Refusable<Invocation> parseCommandLine(const std::vector<std::string>& words);

// The overview (`qeltx-cli --help`), one command's help, and the help of a group of commands
// (`qeltx-cli catalogue --help`: the commands whose names start with `group`).
std::string overviewHelp();
std::string commandHelp(const CommandSpec& command);
std::string groupHelp(std::string_view group);

// Where an upload goes: the bank --bank names (1, 2 or 3; the parser allows no other), or the
// pedal's preset without it.
core::UploadTarget uploadTargetOf(const Invocation& invocation);

// A decimal number with nothing else in the text, within `max`.
std::optional<std::uint32_t> parseDecimal(std::string_view text, std::uint32_t max);

}  // namespace qeltx::cli
