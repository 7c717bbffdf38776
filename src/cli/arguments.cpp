// Parsing qeltx-cli's command line and writing its help texts.
#include "cli/arguments.h"

#include "core/hex.h"

#include <algorithm>
#include <array>

namespace qeltx::cli {

namespace {

constexpr std::string_view kProgram = "qeltx-cli";

// Shared by every command.
constexpr std::string_view kPortOption = "--port";
constexpr std::string_view kSerialOption = "--serial";
constexpr std::string_view kVirtualOption = "--virtual-pedal";
constexpr std::string_view kJsonOption = "--json";
constexpr std::string_view kVerboseOption = "--verbose";
constexpr std::string_view kHelpOption = "--help";
constexpr std::string_view kShortHelpOption = "-h";

// How an impulse response is shaped before it becomes taps (ir-merge, ir-info, upload --ir).
constexpr OptionSpec kNoResampleOption{"--no-resample", "",
                                       "take the file's samples as they are, whatever its rate (the pedal runs at 48 kHz)", ""};
constexpr OptionSpec kFadeOption{"--fade-ms", "MS", "fade the last MS milliseconds of the kept taps out (raised cosine)", ""};
constexpr OptionSpec kNormalizeOption{"--normalize", "DB",
                                      "scale the taps so that their peak is DB dB below full scale (DB <= 0)", ""};

constexpr OptionSpec kBankOption{"--bank", "1|2|3", "upload into that bank of FX Bank Mode (at most 5440 bytes)", "1|2|3"};

constexpr std::array<OptionSpec, 5> kUploadOptions{{
    kBankOption,
    {"--ir", "FILE.wav", "merge the impulse response in FILE into an IR-loader algorithm first", ""},
    kNoResampleOption,
    kFadeOption,
    kNormalizeOption,
}};
constexpr std::array<OptionSpec, 3> kFlashOptions{{
    {"--firmware", "FILE", "a raw image (.bin, written from 0x08000000) or an Intel HEX file (.hex, "
                           "starting at 0x08000000) instead of the firmware built into the program", ""},
    {"--no-verify", "", "skip reading the flash back", ""},
    {"--in-bootloader", "", "the pedal already runs its bootloader (switched on with B2 held): "
                            "do not restart it", ""},
}};
constexpr std::array<OptionSpec, 1> kOutputOption{{
    {"-o", "FILE", "write to FILE instead of standard output", ""},
}};
constexpr std::array<OptionSpec, 4> kIrMergeOptions{{
    {"-o", "FILE", "write to FILE instead of standard output", ""},
    kNoResampleOption,
    kFadeOption,
    kNormalizeOption,
}};

constexpr std::array<OptionSpec, 2> kBackupOptions{{
    {"-o", "FILE", "write the backup to FILE instead of standard output", ""},
    {"--ir", "FILE.wav", "the impulse response the pedal's IR loader runs, kept in the backup", ""},
}};

constexpr std::array<OptionSpec, 4> kIrInfoOptions{{
    {"--plot", "FILE.png", "write the picture the editor's Impulse Response window shows", ""},
    kNoResampleOption,
    kFadeOption,
    kNormalizeOption,
}};

constexpr std::array<OptionSpec, 1> kReportOptions{{
    {"-o", "FILE", "write the report to FILE instead of standard output", ""},
}};

constexpr std::array<OptionSpec, 1> kCatalogueListOptions{{
    {"--category", "NAME", "only the algorithms that category offers (Gain, Modulation, Synthesis, Filter, Dynamic, "
                           "Impulse Response, Other; letter case is ignored)", ""},
}};

constexpr std::array<OptionSpec, 2> kPresetLoadOptions{{
    {"--upload", "", "when the pedal holds another algorithm, upload the preset's algorithm first", ""},
    kBankOption,
}};

constexpr std::array<CommandSpec, 18> kCommands{{
    {CommandId::List, "list", "", 0, 0, {}, "the devices the driver layer finds",
     "Lists every device of every backend (the chip maker's D2XX library, serial ports, libftdi1, and the\n"
     "virtual pedal or --port when given): index, serial number, description and backend.\n"
     "The serial number is what --serial takes.\n"},
    {CommandId::Query, "query", "", 0, 0, {}, "the algorithm the pedal holds",
     "Asks the pedal which algorithm it holds (its number, name and version) and which firmware it runs.\n"},
    {CommandId::Upload, "upload", "NAME", 1, 1, kUploadOptions, "upload a catalogue algorithm",
     "Uploads the catalogue algorithm NAME (as `query` and the editor's browser name it; letter case\n"
     "is ignored) and waits for the pedal's \"Upload complete\". The pedal is put in bypass first, as\n"
     "the editor does.\n"},
    {CommandId::Request, "request", "", 0, 0, {}, "read the pedal's parameter block",
     "Reads the parameter block of the algorithm the pedal holds: every control's value, its\n"
     "assignment and reverse flag, the footswitch and read-back assignments, the mode, the bank or\n"
     "preset number and the MIDI channel.\n"},
    {CommandId::Set, "set", "INDEX VALUE", 2, 2, {}, "set one parameter of the stored algorithm",
     "Sends one parameter-value command for control INDEX (0-based, as `request` numbers them) of the\n"
     "algorithm the pedal holds. VALUE is 0..1023 for a pot, on or off for a switch or button, and an\n"
     "option number (0-based) or option name for a multi-position switch.\n"},
    {CommandId::Backup, "backup", "", 0, 0, kBackupOptions, "back up the pedal's settings",
     "Reads everything the pedal keeps (its algorithm, every value, the control, footswitch and\n"
     "read-back assignments, the reverse flags, the mode, bank or preset number and the MIDI channel)\n"
     "into a settings backup (JSON, described in docs/backup-format.md). The file is written beside the\n"
     "old one and renamed over it. --ir merges FILE.wav into an IR-loader algorithm's image, so that\n"
     "restore uploads it with that impulse response.\n"},
    {CommandId::Restore, "restore", "FILE", 1, 1, {}, "restore the pedal's settings from a backup",
     "Checks the backup FILE (a file that does not parse, is of another format version, names an\n"
     "algorithm the catalogue lacks or holds values out of range is refused, and nothing is sent);\n"
     "uploads its algorithm when the pedal holds another one or another mode or bank; sends every\n"
     "value, assignment, reverse flag and the MIDI channel; stores them; reads them back and says\n"
     "\"restored N of N settings\" or which did not take (exit status 1).\n"},
    {CommandId::Flash, "flash", "", 0, 0, kFlashOptions, "program the pedal's firmware",
     "Restarts the pedal into its bootloader (or, with --in-bootloader, finds it there), erases the\n"
     "flash, writes the firmware with a progress bar on standard error, writes the firmware marker,\n"
     "reads everything back, and starts the new firmware. Keep B2 (SAVE) pressed on the pedal while\n"
     "it restarts.\n"},
    {CommandId::EepromRead, "eeprom read", "50|51", 1, 1, kOutputOption, "read a settings EEPROM",
     "Reads the 16,384 bytes of the settings EEPROM at bus address 50 or 51. Standard output gets a hex\n"
     "listing; -o FILE gets the raw bytes.\n"},
    {CommandId::EepromErase, "eeprom erase", "50|51", 1, 1, {}, "erase a settings EEPROM",
     "Erases the settings EEPROM at bus address 50 or 51.\n"},
    {CommandId::IrMerge, "ir-merge", "NAME FILE.wav", 2, 2, kIrMergeOptions, "merge an impulse response (no device)",
     "Merges the impulse response in FILE.wav (or any file libsndfile reads; first channel) into the\n"
     "image of the IR-loader algorithm NAME and prints the merged image as hex text. A file that is\n"
     "not at the pedal's 48 kHz is resampled first (libsoxr, very high quality) unless --no-resample\n"
     "is given. Standard error says how much of the response the taps keep.\n"},
    {CommandId::IrInfo, "ir-info", "FILE.wav [NAME]", 1, 2, kIrInfoOptions, "what the pedal would hold of an IR (no device)",
     "Shows the impulse response in FILE.wav: its rate, channels and length, and for each IR-loader\n"
     "algorithm (or only NAME) how many taps it keeps, how long they last and how much of the\n"
     "response's energy they hold, after the same resampling, fade and normalisation as ir-merge.\n"
     "--plot writes the response over time with the cut marked and its magnitude response as a PNG\n"
     "(for NAME, or the IR loader that keeps the most taps).\n"},
    {CommandId::CatalogueCheck, "catalogue check", "[DIR]", 0, 1, {}, "check a catalogue (no device)",
     "Checks every rule of the catalogue's formats on the catalogue built into the program, or on the\n"
     "catalogue folder DIR, and lists each violation as FILE:LINE: message.\n"},
    {CommandId::CatalogueList, "catalogue list", "", 0, 0, kCatalogueListOptions, "the algorithms of the catalogue (no device)",
     "Lists the algorithms built into the program: the number the pedal reports for each, its name,\n"
     "the category the editor's browser offers it in, and its controls as its layout declares them\n"
     "(pots, switches and buttons, multi-position switches, read-backs). The name is what upload,\n"
     "ir-merge and the editor take.\n"},
    {CommandId::Report, "report", "", 0, 0, kReportOptions, "write a support report",
     "Links to the pedal, asks which algorithm it holds, and writes one text file to send when asking\n"
     "for help: the program's and Qt's versions, the operating system, the driver backends and the\n"
     "devices they list, the link, the algorithm held, this run's console lines and every message to\n"
     "and from the pedal with its time in milliseconds (bytes in hex). Paths in the home folder are\n"
     "written from ~. A pedal that cannot be reached is no failure: the report says why.\n"},
    {CommandId::PresetSave, "preset save", "FILE", 1, 1, {}, "save the pedal's values as a preset file",
     "Asks the pedal which algorithm it holds, reads its parameter block and writes a preset file\n"
     "(the editor's Save Configuration: the algorithm's number and version, every control's value and\n"
     "assignment, the read-back assignments). The file is written beside the old one and renamed over it.\n"},
    {CommandId::PresetLoad, "preset load", "FILE", 1, 1, kPresetLoadOptions, "apply a preset file to the pedal",
     "Applies the preset FILE as the editor's Load Configuration does: every pot, switch and\n"
     "multi-position switch value is sent (buttons are not; a value out of its control's range is left\n"
     "as the pedal has it), stopping at the first that does not go out. A file that is no preset, a\n"
     "preset for an algorithm the catalogue lacks or with another parameter count is refused, and so\n"
     "is a preset for another algorithm than the pedal holds, unless --upload is given: the preset's\n"
     "algorithm is then uploaded first (as the pedal's preset, or with --bank into that bank) and the\n"
     "values are sent after its \"Upload complete\".\n"},
    {CommandId::Diff, "diff", "PRESET [PRESET2]", 1, 2, {}, "what differs between a preset and the pedal, or two presets",
     "Compares the preset file PRESET with the pedal's current values (asking which algorithm it holds\n"
     "and reading its parameter block, as Request does), or with the preset file PRESET2, and prints by\n"
     "parameter name every value, assignment and read-back assignment that differs, as \"Name: left ->\n"
     "right\" (switches as on or off, multi-position switches by option name). Presets of two algorithms\n"
     "are not compared parameter by parameter. Exit status as diff's: 0 when they are the same, 1 when\n"
     "they differ or could not be compared (then one line on standard error says why).\n"},
}};

// Whether `group` is the first word or words of the command's name ("eeprom" of "eeprom read").
bool inGroup(const CommandSpec& command, std::string_view group) {
    return command.name.size() > group.size() && command.name.starts_with(group) && command.name[group.size()] == ' ';
}

// Words that only start a command name ("eeprom read").
bool isGroupWord(std::string_view word) {
    return std::any_of(kCommands.begin(), kCommands.end(), [word](const CommandSpec& c) { return inGroup(c, word); });
}

// "  catalogue check [DIR]     check a catalogue (no device)": a command's line in a list.
std::string summaryLine(const CommandSpec& command) {
    std::string synopsis = std::string(command.name);
    if (!command.arguments.empty()) synopsis += " " + std::string(command.arguments);
    synopsis.resize(std::max<std::size_t>(synopsis.size() + 2, 26), ' ');
    return "  " + synopsis + std::string(command.summary) + "\n";
}

const CommandSpec* findCommand(std::string_view name) {
    const auto it = std::find_if(kCommands.begin(), kCommands.end(), [name](const CommandSpec& c) { return c.name == name; });
    return it == kCommands.end() ? nullptr : &*it;
}

const OptionSpec* findOption(const CommandSpec& command, std::string_view name) {
    const auto it = std::find_if(command.options.begin(), command.options.end(),
                                 [name](const OptionSpec& o) { return o.name == name; });
    return it == command.options.end() ? nullptr : &*it;
}

bool choiceAllowed(std::string_view choices, std::string_view value) {
    if (choices.empty()) return true;
    std::size_t start = 0;
    while (start <= choices.size()) {
        const std::size_t bar = std::min(choices.find('|', start), choices.size());
        if (choices.substr(start, bar - start) == value) return true;
        start = bar + 1;
    }
    return false;
}

core::Refusable<Invocation> refuse(std::string reason) { return core::Refusable<Invocation>::refused(std::move(reason)); }

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

std::span<const CommandSpec> commandTable() { return kCommands; }

std::optional<std::string> Invocation::value(std::string_view option) const {
    const auto it = options.find(option);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

core::UploadTarget uploadTargetOf(const Invocation& invocation) {
    const std::optional<std::string> bank = invocation.value("--bank");
    if (!bank) return core::UploadTarget::Preset;
    if (*bank == "1") return core::UploadTarget::Bank1;
    if (*bank == "2") return core::UploadTarget::Bank2;
    return core::UploadTarget::Bank3;
}

std::optional<std::uint32_t> parseDecimal(std::string_view text, std::uint32_t max) {
    const auto n = core::decimalDigitsToNumber(text);
    if (!n || *n > max) return std::nullopt;
    return n;
}

core::Refusable<Invocation> parseCommandLine(const std::vector<std::string>& words) {
    Invocation inv;
    std::string commandWords;  // the command name as far as it is known
    bool optionsEnded = false;
    int deviceChoices = 0;

    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && word.size() > 1 && word[0] == '-') {
            std::string name = word;
            std::optional<std::string> inlineValue;
            if (const auto eq = word.find('='); word.starts_with("--") && eq != std::string::npos) {
                name = word.substr(0, eq);
                inlineValue = word.substr(eq + 1);
            }
            // The value of an option: after "=" or the next word.
            auto takeValue = [&]() -> std::optional<std::string> {
                if (inlineValue) return inlineValue;
                if (i + 1 < words.size()) return words[++i];
                return std::nullopt;
            };
            if (name == kJsonOption || name == kVerboseOption || name == kHelpOption || name == kShortHelpOption ||
                name == kVirtualOption) {
                if (inlineValue) return refuse(name + " takes no value");
                if (name == kJsonOption) inv.json = true;
                else if (name == kVerboseOption) inv.verbose = true;
                else if (name == kVirtualOption) {
                    inv.connection = {DeviceChoice::Virtual, {}};
                    ++deviceChoices;
                } else inv.help = true;
                continue;
            }
            if (name == kPortOption || name == kSerialOption) {
                const auto v = takeValue();
                if (!v || v->empty()) return refuse(name + " needs a value");
                inv.connection = {name == kPortOption ? DeviceChoice::Port : DeviceChoice::Serial, *v};
                ++deviceChoices;
                continue;
            }
            const OptionSpec* option = inv.command ? findOption(*inv.command, name) : nullptr;
            if (!option) {
                return refuse("unknown option " + quoted(name) +
                              (inv.command ? " for " + std::string(inv.command->name) : std::string()));
            }
            std::string value;
            if (!option->valueName.empty()) {
                const auto v = takeValue();
                if (!v) return refuse(name + " needs a value (" + std::string(option->valueName) + ")");
                if (!choiceAllowed(option->choices, *v)) {
                    return refuse(name + " takes " + std::string(option->choices) + ", not " + quoted(*v));
                }
                value = *v;
            } else if (inlineValue) {
                return refuse(name + " takes no value");
            }
            inv.options[std::string(option->name)] = value;
            continue;
        }
        if (inv.command) {
            inv.positionals.push_back(word);
            continue;
        }
        commandWords += commandWords.empty() ? word : " " + word;
        if (const CommandSpec* command = findCommand(commandWords)) {
            inv.command = command;
        } else if (!isGroupWord(commandWords)) {
            return refuse("unknown command " + quoted(commandWords));
        }
    }

    if (deviceChoices > 1) return refuse("choose one device: --port, --serial or --virtual-pedal");
    if (inv.help) {
        if (!inv.command) inv.helpGroup = commandWords;
        return core::Refusable<Invocation>::accepted(std::move(inv));
    }
    if (!inv.command) {
        if (commandWords.empty()) return refuse("no command given");
        return refuse(quoted(commandWords) + " needs a command after it");
    }
    const CommandSpec& c = *inv.command;
    if (inv.positionals.size() < c.minPositionals) {
        return refuse(std::string(c.name) + " needs " + std::string(c.arguments));
    }
    if (inv.positionals.size() > c.maxPositionals) {
        return refuse("too many arguments for " + std::string(c.name) + ": " + quoted(inv.positionals[c.maxPositionals]));
    }
    return core::Refusable<Invocation>::accepted(std::move(inv));
}

std::string overviewHelp() {
    std::string text;
    text += "usage: qeltx-cli [--port PATH | --serial SERIAL | --virtual-pedal] COMMAND [ARGUMENTS] [--json] "
            "[--verbose]\n\n";
    text += "The Qelt X pedal from the command line, on the same code as the editor.\n\ncommands:\n";
    for (const CommandSpec& c : kCommands) text += summaryLine(c);
    text +=
        "\ndevice (commands that talk to the pedal):\n"
        "  --port PATH        the serial port at PATH (e.g. the pseudo-terminal of qeltx-pedal-sim)\n"
        "  --serial SERIAL    the device with that serial number (see list)\n"
        "  --virtual-pedal    a virtual pedal inside this program (fresh for every run)\n"
        "  without one, the device listed last, as the editor's Link chooses it\n\n"
        "every command:\n"
        "  --json             machine-readable output on standard output\n"
        "  --verbose          the editor's console lines on standard error\n"
        "  --help             help on the command\n\n"
        "exit status: 0 success, 1 a pedal or file error (one line on standard error), 2 bad usage.\n"
        "Run 'qeltx-cli COMMAND --help' for a command's options; 'qeltx-cli --version' prints the version.\n";
    return text;
}

std::string groupHelp(std::string_view group) {
    std::string text = "usage: " + std::string(kProgram) + " [DEVICE] " + std::string(group) + " COMMAND ...\n\ncommands:\n";
    for (const CommandSpec& c : kCommands) {
        if (inGroup(c, group)) text += summaryLine(c);
    }
    text += "\nRun '" + std::string(kProgram) + " " + std::string(group) + " COMMAND --help' for a command's options.\n";
    return text;
}

std::string commandHelp(const CommandSpec& command) {
    std::string text = "usage: " + std::string(kProgram) + " [DEVICE] " + std::string(command.name);
    if (!command.arguments.empty()) text += " " + std::string(command.arguments);
    for (const OptionSpec& o : command.options) {
        text += " [" + std::string(o.name) + (o.valueName.empty() ? "" : " " + std::string(o.valueName)) + "]";
    }
    text += " [--json] [--verbose]\n\n" + std::string(command.details);
    if (!command.options.empty()) {
        text += "\noptions:\n";
        for (const OptionSpec& o : command.options) {
            std::string left = std::string(o.name) + (o.valueName.empty() ? "" : " " + std::string(o.valueName));
            left.resize(std::max<std::size_t>(left.size() + 2, 19), ' ');
            text += "  " + left + std::string(o.help) + "\n";
        }
    }
    text += "\nDEVICE is --port PATH, --serial SERIAL or --virtual-pedal (see qeltx-cli --help).\n";
    return text;
}

}  // namespace qeltx::cli
