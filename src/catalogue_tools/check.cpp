// The catalogue rules. Each check says what the editor or the pedal would do wrong without it.
#include "catalogue_tools/check.h"

#include "core/hex.h"
#include "core/text_lines.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <set>
#include <string_view>

namespace qeltx::catalogue_tools {

namespace {

using core::LineBreak;

constexpr std::string_view kEffectList = "EFFECT_LIST";
constexpr std::array<std::string_view, 7> kCategoryFiles{"GAIN",    "MODULATION",       "SYNTHESIS", "FILTER",
                                                         "DYNAMIC", "IMPULSE_RESPONSE", "OTHER"};
constexpr std::string_view kIrCategoryFile = "IMPULSE_RESPONSE";
constexpr std::string_view kLayoutSuffix = "_CTRLS";

// Images: sizes the catalogue spans and the pedal's buffer takes; header fields.
constexpr std::size_t kMinImage = 1216;
constexpr std::size_t kMaxImage = 9472;
constexpr std::size_t kHeader = 128;
constexpr std::size_t kAddressTable = 3;
constexpr std::size_t kAddresses = 16;
constexpr std::size_t kNumberByte = 126;
constexpr std::size_t kCountByte = 127;
constexpr std::size_t kParameterWordsMax = 0x400;
constexpr std::size_t kSmallWriteMax = 32;
constexpr std::size_t kSmallWritesMin = 2;
constexpr std::size_t kMaxListLines = 256;  // numbers travel as one byte

// Layouts: the panel's tables.
constexpr int kMaxControls = 16;
constexpr int kMaxReadbacks = 4;
constexpr std::size_t kMaxOptions = 1024;

// Where the IR loader writes its taps: first image byte and tap count per loader name.
struct TapGeometry {
    std::string_view name;
    std::size_t startByte;
    std::size_t taps;
};
constexpr std::array<TapGeometry, 4> kTapGeometry{{
    {"IR Loader 1", 230, 882},
    {"Corvel + IR Loader", 362, 703},
    {"Pexo + IR Loader", 370, 703},
    {"Basic IR Loader", 230, 912},
}};

std::string upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// The naming rule, written out again here so that the check does not trust the editor's copy.
std::string baseNameOf(std::string_view display) {
    std::string out;
    for (char c : display) {
        if (c == ' ' || c == '-') {
            out += '_';
        } else if (c == '+') {
            out += "plus";
        } else if (c == 'X') {
            out += "mult";
        } else {
            out += c;
        }
    }
    return out;
}

std::string hexNumber(std::size_t n) { return core::toHexDigits(n, 1); }

bool isUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

std::size_t be16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return (static_cast<std::size_t>(b[at]) << 8) | b[at + 1];
}

class Checker {
public:
    explicit Checker(const std::map<std::string, std::string>& files) : files_(files) {}

    CheckReport run() {
        checkNames();
        const auto listed = checkEffectList();
        checkCategories(listed);
        for (std::size_t n = 1; n < listed.size(); ++n) {
            if (listed[n]) checkAlgorithm(n, *listed[n]);
        }
        checkStrayFiles();
        return std::move(report_);
    }

private:
    const std::map<std::string, std::string>& files_;
    CheckReport report_;
    std::set<std::string> accounted_;
    std::map<std::string, std::string> categoryOf_;  // display name -> category file
    bool exceptionUsed_ = false;

    void error(const std::string& file, int line, const std::string& message) {
        report_.findings.push_back({file, line, message, false});
    }

    const std::string* file(std::string_view name) {
        accounted_.insert(std::string(name));
        const auto it = files_.find(std::string(name));
        return it == files_.end() ? nullptr : &it->second;
    }

    void checkNames() {
        std::map<std::string, std::string> folded;
        for (const auto& [name, content] : files_) {
            if (name != upper(name)) error(name, 0, "stored names are upper case; this one is not");
            const auto [it, fresh] = folded.emplace(upper(name), name);
            if (!fresh) error(name, 0, "its name differs from " + it->second + " only in letter case");
        }
    }

    // Printable ASCII and line breaks only. Returns the lines with their breaks.
    std::vector<core::LineWithBreak> textLines(const std::string& name, const std::string& text) {
        const auto lines = core::splitLinesWithBreaks(text);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (char c : lines[i].text) {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 0x20 || byte > 0x7E) {
                    error(name, static_cast<int>(i + 1),
                          "holds the byte 0x" + core::byteToHex(byte) + "; resources are printable ASCII text");
                    break;
                }
            }
        }
        return lines;
    }

    // The lists are written with CR LF; a list line may not be empty.
    std::vector<std::string> listLines(const std::string& name, const std::string& text) {
        std::vector<std::string> out;
        const auto lines = textLines(name, text);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const int lineNo = static_cast<int>(i + 1);
            if (lines[i].lineBreak == LineBreak::Lf || lines[i].lineBreak == LineBreak::Cr) {
                error(name, lineNo, "lists end their lines with CR LF; this line ends with a lone " +
                                        std::string(lines[i].lineBreak == LineBreak::Lf ? "LF" : "CR"));
            }
            if (lines[i].text.empty()) error(name, lineNo, "empty line in a list");
            out.push_back(lines[i].text);
        }
        return out;
    }

    // Names by number; nothing for a line that names no usable algorithm.
    std::vector<std::optional<std::string>> checkEffectList() {
        std::vector<std::optional<std::string>> names;
        const std::string listName(kEffectList);
        const auto* text = file(kEffectList);
        if (!text) {
            error(listName, 0, "the algorithm list is missing");
            return names;
        }
        const auto lines = listLines(listName, *text);
        if (lines.size() > kMaxListLines) {
            error(listName, static_cast<int>(kMaxListLines + 1), "more than 256 algorithms; numbers are one byte");
        }
        std::map<std::string, std::size_t> seen, seenBase;
        for (std::size_t n = 0; n < lines.size(); ++n) {
            const int lineNo = static_cast<int>(n + 1);
            const std::string& line = lines[n];
            const auto colon = line.find(':');
            if (colon == std::string::npos) {
                error(listName, lineNo, "no \":\" between number and name");
                names.emplace_back();
                continue;
            }
            const std::string number = line.substr(0, colon);
            const std::string name = line.substr(colon + 1);
            if (number != hexNumber(n)) {
                error(listName, lineNo,
                      "line " + std::to_string(n) + " must hold algorithm " + hexNumber(n) + " (upper-case hex, no " +
                          "leading zeros); it holds \"" + number + "\"");
            }
            if (n == 0) {
                if (name != "empty") error(listName, lineNo, "line 0 must be \"0:empty\"");
                names.emplace_back();
                continue;
            }
            if (name.empty()) {
                error(listName, lineNo, "algorithm without a name");
                names.emplace_back();
                continue;
            }
            if (name == "empty") error(listName, lineNo, "\"empty\" is the name of number 0 only");
            if (name.front() == ' ' || name.back() == ' ') error(listName, lineNo, "name begins or ends with a space");
            const std::string base = baseNameOf(name);
            if (!std::all_of(base.begin(), base.end(), [](char c) {
                    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
                })) {
                error(listName, lineNo,
                      "resource name \"" + base + "\" holds characters other than letters, digits and \"_\"");
            }
            if (const auto [it, fresh] = seen.emplace(name, n); !fresh) {
                error(listName, lineNo, "\"" + name + "\" is also algorithm " + hexNumber(it->second));
            } else if (const auto [itb, freshBase] = seenBase.emplace(upper(base), n); !freshBase) {
                error(listName, lineNo, "\"" + name + "\" has the same resource name as algorithm " +
                                            hexNumber(itb->second) + " (" + upper(base) + ")");
            }
            names.emplace_back(name);
        }
        if (names.empty()) error(listName, 0, "the algorithm list is empty");
        return names;
    }

    void checkCategories(const std::vector<std::optional<std::string>>& listed) {
        std::set<std::string> known;
        for (const auto& n : listed) {
            if (n) known.insert(*n);
        }
        for (const auto category : kCategoryFiles) {
            const std::string name(category);
            const auto* text = file(category);
            if (!text) {
                error(name, 0, "the category list is missing");
                continue;
            }
            const auto lines = listLines(name, *text);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const int lineNo = static_cast<int>(i + 1);
                if (lines[i].empty()) continue;
                if (!known.count(lines[i])) {
                    error(name, lineNo, "\"" + lines[i] + "\" is not a name of " + std::string(kEffectList));
                    continue;
                }
                const auto [it, fresh] = categoryOf_.emplace(lines[i], name);
                if (!fresh) error(name, lineNo, "\"" + lines[i] + "\" is already listed in " + it->second);
            }
        }
    }

    void checkAlgorithm(std::size_t number, const std::string& name) {
        const std::string base = upper(baseNameOf(name));
        const std::string layoutFile = base + std::string(kLayoutSuffix);
        const auto* layoutText = file(layoutFile);
        std::optional<int> controls;
        if (!layoutText) {
            error(layoutFile, 0, "the control layout of \"" + name + "\" is missing");
        } else {
            controls = checkLayout(layoutFile, name, *layoutText);
        }
        const auto* imageText = file(base);
        if (!imageText) {
            error(base, 0, "the image of \"" + name + "\" is missing");
            return;
        }
        checkImage(base, name, number, *imageText, controls);
    }

    // The control count the image must carry, or nothing when the layout is unusable.
    std::optional<int> checkLayout(const std::string& file, const std::string& name, const std::string& text) {
        const auto lines = textLines(file, text);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].lineBreak == LineBreak::Cr) {
                error(file, static_cast<int>(i + 1), "layout lines end with CR LF or LF; this one ends with a lone CR");
            }
        }
        if (lines.empty()) {
            error(file, 0, "the layout is empty");
            return std::nullopt;
        }
        const std::string& counts = lines[0].text;
        if (counts.size() != 3 && counts.size() != 4) {
            error(file, 1, "the counts line \"" + counts + "\" must have three or four characters");
            return std::nullopt;
        }
        int digit[4] = {0, 0, 0, 0};
        for (std::size_t k = 0; k < counts.size(); ++k) {
            if (!isUpperHex(counts[k])) {
                error(file, 1, "counts character " + std::to_string(k + 1) + " (\"" + counts.substr(k, 1) +
                                   "\") is not 0-9 or A-F");
                return std::nullopt;
            }
            digit[k] = *core::hexDigitValue(counts[k]);
        }
        const int pots = digit[0], switches = digit[1], multis = digit[2], readbacks = digit[3];
        const int n = pots + switches + multis;
        const std::size_t needed = 1 + static_cast<std::size_t>(n + readbacks);

        std::vector<std::string> beyondLimits;
        if (n > kMaxControls) {
            beyondLimits.push_back("it declares " + std::to_string(n) + " controls, more than 16");
        }
        if (readbacks > kMaxReadbacks) {
            beyondLimits.push_back("it declares " + std::to_string(readbacks) + " read-backs, more than 4");
        }
        if (lines.size() < needed) {
            beyondLimits.push_back("it declares " + std::to_string(n) + " controls and " + std::to_string(readbacks) +
                                   (readbacks == 1 ? " read-back" : " read-backs") + " but lists " + std::to_string(lines.size() - 1) + " lines instead of " +
                                   std::to_string(needed - 1));
        }
        if (!beyondLimits.empty()) {
            std::string message;
            for (const auto& m : beyondLimits) message += (message.empty() ? "" : "; ") + m;
            // One algorithm that no category offers may carry such a layout: the browser never
            // opens it, and the panel refuses it if the pedal reports it.
            const bool offered = categoryOf_.count(name) > 0;
            if (!offered && !exceptionUsed_) {
                exceptionUsed_ = true;
                report_.findings.push_back({file, 1, message + " (\"" + name + "\" is in no category)", true});
            } else {
                error(file, 1, message + (offered ? " (\"" + name + "\" is offered in " + categoryOf_[name] + ")"
                                                  : " (a second such layout)"));
            }
            return std::nullopt;
        }
        for (std::size_t i = needed; i < lines.size(); ++i) {
            error(file, static_cast<int>(i + 1), "a line after the " + std::to_string(needed - 1) + " the counts line declares");
        }
        for (int i = 0; i < n + readbacks; ++i) {
            const std::string& line = lines[static_cast<std::size_t>(i + 1)].text;
            const int lineNo = i + 2;
            if (i < pots || i >= n) {
                if (line.empty()) error(file, lineNo, i < pots ? "empty pot name" : "empty read-back name");
            } else if (i < pots + switches) {
                const auto first = line.find(':');
                const auto second = first == std::string::npos ? first : line.find(':', first + 1);
                if (second == std::string::npos) {
                    error(file, lineNo, "a two-state line needs name, OFF label and ON label separated by \":\"");
                } else if (first == 0) {
                    error(file, lineNo, "empty two-state name");
                }
            } else {
                const auto options = static_cast<std::size_t>(std::count(line.begin(), line.end(), ';'));
                if (options == 0 || options > kMaxOptions) {
                    error(file, lineNo, "a multi-switch needs 1 to 1024 options; this one has " + std::to_string(options));
                    continue;
                }
                std::size_t start = 0;
                for (std::size_t k = 0; k <= options; ++k) {
                    const auto end = line.find(';', start);
                    const auto field = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
                    if (field.empty()) {
                        error(file, lineNo, k == 0 ? "empty multi-switch name" : "option " + std::to_string(k) + " is empty");
                    }
                    start = end + 1;
                }
            }
        }
        return n;
    }

    void checkImage(const std::string& file, const std::string& name, std::size_t number, const std::string& text,
                    std::optional<int> layoutControls) {
        if (text.find_first_of("\r\n") != std::string::npos) {
            error(file, 1, "an image is one line of hex with no line break");
        }
        const std::string hex = text.substr(0, text.find_first_of("\r\n"));
        for (std::size_t i = 0; i < hex.size(); ++i) {
            if (!isUpperHex(hex[i])) {
                error(file, 1, "character " + std::to_string(i + 1) + " is not an upper-case hex digit");
                return;
            }
        }
        if (hex.size() % 2 != 0) {
            error(file, 1, "odd number of hex digits");
            return;
        }
        std::vector<std::uint8_t> b(hex.size() / 2);
        for (std::size_t i = 0; i < b.size(); ++i) {
            b[i] = static_cast<std::uint8_t>((*core::hexDigitValue(hex[2 * i]) << 4) | *core::hexDigitValue(hex[2 * i + 1]));
        }
        auto at = [&](std::size_t byte, const std::string& message) {
            error(file, 1, "byte " + std::to_string(byte) + ": " + message);
        };
        if (b.size() < kMinImage || b.size() > kMaxImage) {
            error(file, 1, "size " + std::to_string(b.size()) + " bytes is outside 1216..9472");
        }
        if (b.size() < kHeader + 1) {
            error(file, 1, "shorter than its header and an end record");
            return;
        }
        if (b[0] != 0x00) at(0, "the destination is 0x" + core::byteToHex(b[0]) + ", not 0x00");
        if (be16(b, 1) != b.size()) {
            at(1, "the length field says " + std::to_string(be16(b, 1)) + ", the image holds " + std::to_string(b.size()));
        }
        if (b[kNumberByte] != number) {
            at(kNumberByte, "the number is 0x" + core::byteToHex(b[kNumberByte]) + ", \"" + name + "\" is algorithm 0x" +
                                core::byteToHex(static_cast<std::uint8_t>(number)));
        }
        const std::size_t count = b[kCountByte];
        if (count > kAddresses) at(kCountByte, "control count " + std::to_string(count) + " is more than 16");
        if (layoutControls && static_cast<std::size_t>(*layoutControls) != count) {
            at(kCountByte, "control count " + std::to_string(count) + ", but the layout has " +
                               std::to_string(*layoutControls) + " controls");
        }

        const auto words = checkRecords(file, b);
        std::set<std::size_t> addresses;
        for (std::size_t i = 0; i < kAddresses; ++i) {
            const std::size_t a = be16(b, kAddressTable + 2 * i);
            const std::size_t where = kAddressTable + 2 * i;
            if (i >= count) {
                if (a != 0) at(where, "address entry " + std::to_string(i) + " is beyond the controls and must be 0000");
                continue;
            }
            if (words && a >= *words) {
                at(where, "address entry " + std::to_string(i) + " (" + core::toHexDigits(a, 4) +
                              ") is outside the 0x0000 write of " + std::to_string(*words) + " words");
            }
            if (!addresses.insert(a).second) {
                at(where, "address entry " + std::to_string(i) + " repeats " + core::toHexDigits(a, 4));
            }
        }
        checkTapBlock(file, name, b, words);
    }

    // Reads the load records; returns the word count of the 0x0000 write when there is one.
    std::optional<std::size_t> checkRecords(const std::string& file, const std::vector<std::uint8_t>& b) {
        auto at = [&](std::size_t byte, const std::string& message) {
            error(file, 1, "byte " + std::to_string(byte) + ": " + message);
        };
        std::optional<std::size_t> parameterWords;
        int programWrites = 0;
        std::size_t smallWrites = 0;
        std::size_t p = kHeader;
        bool ended = false;
        while (p < b.size() && !ended) {
            const std::uint8_t type = b[p];
            if (type == 0x03) {
                ++p;
            } else if (type == 0x06) {
                ended = true;
                ++p;
            } else if (type == 0x01) {
                if (p + 6 > b.size()) {
                    at(p, "write record cut short by the end of the image");
                    return parameterWords;
                }
                const std::size_t length = be16(b, p + 1);
                if (length < 3 || p + 3 + length > b.size()) {
                    at(p, "write record length " + std::to_string(length) + " does not fit the image");
                    return parameterWords;
                }
                const std::size_t data = length - 3;
                const std::size_t target = be16(b, p + 4);
                if (b[p + 3] != 0) at(p + 3, "device address 0x" + core::byteToHex(b[p + 3]) + ", not 0x00");
                if (target == 0x0000) {
                    if (parameterWords || programWrites || smallWrites) at(p, "the 0x0000 write must come first, once");
                    if (data % 4 != 0) at(p, "the 0x0000 write holds " + std::to_string(data) + " bytes, not whole 4-byte words");
                    if (data / 4 > kParameterWordsMax) at(p, "the 0x0000 write holds more than 0x400 words");
                    parameterWords = data / 4;
                } else if (target == 0x0400) {
                    if (!parameterWords || programWrites || smallWrites) {
                        at(p, "the 0x0400 write must come once, after the 0x0000 write");
                    }
                    ++programWrites;
                } else if (target >= 0x0800) {
                    if (!programWrites) at(p, "small writes come after the 0x0400 write");
                    if (data < 1 || data > kSmallWriteMax) {
                        at(p, "a write at 0x" + core::toHexDigits(target, 4) + " holds " + std::to_string(data) +
                                  " bytes; small writes hold 1 to 32");
                    }
                    ++smallWrites;
                } else {
                    at(p, "a write at 0x" + core::toHexDigits(target, 4) + "; writes go to 0x0000, 0x0400 or from 0x0800");
                }
                p += 3 + length;
            } else {
                at(p, "0x" + core::byteToHex(type) + " is not a load record type (0x01, 0x03, 0x06)");
                return parameterWords;
            }
        }
        if (!ended) at(p, "the load records have no end record (0x06)");
        for (; p < b.size(); ++p) {
            if (b[p] != 0) {
                at(p, "non-zero byte after the end record");
                break;
            }
        }
        if (!parameterWords) error(file, 1, "no write at 0x0000");
        if (programWrites == 0) error(file, 1, "no write at 0x0400");
        if (smallWrites < kSmallWritesMin) {
            error(file, 1, "only " + std::to_string(smallWrites) + " small writes from 0x0800; expected several");
        }
        return parameterWords;
    }

    void checkTapBlock(const std::string& file, const std::string& name, const std::vector<std::uint8_t>& b,
                       std::optional<std::size_t> parameterWords) {
        const auto geometry = std::find_if(kTapGeometry.begin(), kTapGeometry.end(),
                                           [&](const TapGeometry& g) { return g.name == name; });
        if (geometry == kTapGeometry.end()) return;
        if (categoryOf_[name] != kIrCategoryFile) {
            error(file, 0, "the IR loader \"" + name + "\" must be listed in " + std::string(kIrCategoryFile));
        }
        constexpr std::size_t kFirstParameterByte = kHeader + 6;
        const std::size_t start = geometry->startByte, end = start + 4 * geometry->taps;
        if (!parameterWords || (start - kFirstParameterByte) % 4 != 0 ||
            end > kFirstParameterByte + 4 * *parameterWords) {
            error(file, 1, "bytes " + std::to_string(start) + ".." + std::to_string(end - 1) +
                               ", the IR loader's tap block, are not whole words inside the 0x0000 write");
            return;
        }
        for (std::size_t k = start; k < end; k += 4) {
            const bool negative = b[k + 1] & 0x80;
            if (b[k] != (negative ? 0xFF : 0x00)) {
                error(file, 1, "byte " + std::to_string(k) + ": tap " + std::to_string((k - start) / 4) +
                                   " is not a 24-bit value sign-extended to 32 bits");
                return;
            }
        }
    }

    void checkStrayFiles() {
        for (const auto& [name, content] : files_) {
            if (!accounted_.count(name)) error(name, 0, "not a resource of the catalogue (no list or algorithm names it)");
        }
    }
};

}  // namespace

int CheckReport::violations() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) { return !f.knownException; }));
}

int CheckReport::knownExceptions() const {
    return static_cast<int>(findings.size()) - violations();
}

CheckReport checkCatalogue(const std::map<std::string, std::string>& files) { return Checker(files).run(); }

std::optional<std::map<std::string, std::string>> readCatalogueFolder(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return std::nullopt;
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (!entry.is_regular_file()) continue;
        const auto name = entry.path().filename().string();
        if (name.starts_with(".") || name.starts_with("README") || name.ends_with(".md")) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        files[name] = content.str();
    }
    return files;
}

std::string formatFinding(const Finding& f) {
    return f.file + ":" + std::to_string(f.line) + ": " + (f.knownException ? "known exception: " : "") + f.message;
}

}  // namespace qeltx::catalogue_tools
