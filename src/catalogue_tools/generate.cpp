// Building the catalogue files: lists, images and layouts.
//
// Image shape, modelled on a self-boot image for the pedal's audio processor:
//   header (128 bytes) | write 0x0000: W parameter words of 4 bytes | [filler]
//   | write 0x0400: program words of 5 bytes | small writes of 1-32 bytes from 0x0800
//   (fillers between some) | end 0x06 | zero bytes up to the size.
// Parameter memory and the target addresses count in words, so the 0x0000 write holds at
// most 0x0400 words and the header's addresses are word numbers below W.
#include "catalogue_tools/generate.h"

#include "core/hex.h"
#include "core/control_layout.h"
#include "core/resource_names.h"

#include <algorithm>
#include <set>

namespace qeltx::catalogue_tools {

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kAddressTable = 3;
constexpr std::size_t kMaxAddresses = 16;
constexpr std::size_t kTables = 35;
constexpr std::size_t kNumberByte = 126;
constexpr std::size_t kControlCountByte = 127;
constexpr std::uint8_t kWrite = 0x01;
constexpr std::uint8_t kFiller = 0x03;
constexpr std::uint8_t kEnd = 0x06;
constexpr std::size_t kWriteOverhead = 6;  // type, 16-bit length, device, 16-bit target
constexpr std::uint16_t kParameterArea = 0x0000;
constexpr std::uint16_t kProgramArea = 0x0400;
constexpr std::uint16_t kRegisterArea = 0x0800;
constexpr std::size_t kParameterWordsMax = 0x0400;
constexpr std::size_t kProgramWordBytes = 5;
constexpr std::size_t kSmallWriteMax = 32;
constexpr std::size_t kFirstParameterData = kHeaderSize + kWriteOverhead;  // byte 134

// SplitMix64: a fixed, portable sequence (no library distribution, no floating point).
class Sequence {
public:
    explicit Sequence(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. bound-1
    std::size_t below(std::size_t bound) { return bound == 0 ? 0 : static_cast<std::size_t>(next() % bound); }
    std::uint8_t byte() { return static_cast<std::uint8_t>(next() >> 56); }

private:
    std::uint64_t state_;
};

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<std::uint8_t>(value >> 8);
    out[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

void append16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void appendWrite(std::vector<std::uint8_t>& out, std::uint16_t target, const std::vector<std::uint8_t>& data) {
    out.push_back(kWrite);
    append16(out, static_cast<std::uint16_t>(data.size() + 3));
    out.push_back(0x00);  // device address
    append16(out, target);
    out.insert(out.end(), data.begin(), data.end());
}

void appendWord(std::vector<std::uint8_t>& out, std::uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(word >> shift));
}

// A parameter word as the pedal's processor keeps it: a 5.23 fixed-point value, so the top
// byte is a sign extension of the next.
std::uint32_t coefficientWord(Sequence& seq) {
    const auto value = static_cast<std::uint32_t>(seq.next() & 0x00FFFFFF);
    return (value & 0x00800000) ? (value | 0xFF000000u) : value;
}

// A default impulse response: a unit impulse followed by a decaying, sign-alternating tail,
// each tap a 24-bit value sign-extended to 32 bits (the form the IR loader writes).
void appendDefaultTaps(std::vector<std::uint8_t>& out, std::size_t taps, Sequence& seq) {
    std::int64_t amplitude = 0x7FFFFF;
    for (std::size_t k = 0; k < taps; ++k) {
        std::int64_t v = amplitude;
        if (k > 0) {
            v = static_cast<std::int64_t>(seq.below(static_cast<std::size_t>(amplitude) + 1));
            if (seq.next() & 1) v = -v;
        }
        appendWord(out, static_cast<std::uint32_t>(static_cast<std::int32_t>(v)));
        amplitude = amplitude * 991 / 1000;
    }
}

}  // namespace

std::vector<std::uint32_t> layoutStartWords(std::uint32_t number, std::string_view name,
                                            const std::vector<std::string>& layoutLines) {
    const core::ControlLayoutResult parsed = core::parseControlLayout(name, layoutLines);
    if (!parsed.layout) return {};
    const core::ControlLayout& layout = *parsed.layout;
    constexpr std::uint32_t kScale = 8192;
    constexpr std::uint32_t kFullScale = 1024;
    std::vector<std::uint32_t> words;
    for (int i = 0; i < layout.counts.pots; ++i) words.push_back((number * 131 + static_cast<std::uint32_t>(i) * 257) % kFullScale * kScale);
    for (const core::TwoStateRow& row : layout.twoStateRows) {
        const bool on = !row.isButton && (number + words.size()) % 2 == 1;
        words.push_back(on ? kFullScale * kScale : 0);
    }
    for (const core::MultiSwitchRow& row : layout.multiSwitchRows) {
        const auto options = static_cast<std::uint32_t>(std::max<std::size_t>(row.options.size(), 1));
        words.push_back((number + static_cast<std::uint32_t>(words.size())) % options * (kFullScale / options) * kScale);
    }
    return words;
}

ImageResult buildImage(const ImageRequest& request) {
    ImageResult result;
    const std::size_t size = request.size;
    auto fail = [&](std::string text) {
        result.error = std::move(text);
        result.bytes.clear();
        return result;
    };
    if (size < 1024 || size > 0xFFFF) return fail("size " + std::to_string(size) + " is outside 1024..65535");
    if (request.controlCount < 0 || request.controlCount > static_cast<int>(kMaxAddresses)) {
        return fail("control count " + std::to_string(request.controlCount) + " is outside 0..16");
    }
    Sequence seq(0x51E7C0DEull * (request.number + 1));

    // Parameter words: enough to hold the tap block, else a share of the image.
    std::size_t tapFirstWord = 0, tapEndWord = 0;
    std::size_t words = 0;
    if (request.tapBlock) {
        const auto& tb = *request.tapBlock;
        if (tb.startByte < kFirstParameterData || (tb.startByte - kFirstParameterData) % 4 != 0) {
            return fail("tap block start " + std::to_string(tb.startByte) +
                        " is not a word boundary of the 0x0000 write (byte 134 + 4k)");
        }
        tapFirstWord = (tb.startByte - kFirstParameterData) / 4;
        tapEndWord = tapFirstWord + tb.taps;
        words = tapEndWord + 8 + seq.below(24);
    } else {
        const std::size_t most = std::max<std::size_t>(40, (size - kHeaderSize - 256) / 8);
        words = 32 + seq.below(std::min<std::size_t>(most, 480) - 31);
    }
    if (words > kParameterWordsMax) return fail("the parameter area needs more than 0x400 words");

    // Parameter addresses: distinct, non-zero, outside the tap block.
    std::array<std::uint16_t, kMaxAddresses> addresses{};
    std::set<std::size_t> used;
    for (int i = 0; i < request.controlCount; ++i) {
        for (;;) {
            const std::size_t a = 1 + seq.below(words - 1);
            if (used.count(a) || (a >= tapFirstWord && a < tapEndWord)) continue;
            used.insert(a);
            addresses[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(a);
            break;
        }
    }

    std::vector<std::uint8_t> image(kHeaderSize, 0);
    image[0] = 0x00;
    put16(image, 1, static_cast<std::uint16_t>(size));
    for (std::size_t i = 0; i < kMaxAddresses; ++i) put16(image, kAddressTable + 2 * i, addresses[i]);
    for (std::size_t at = kTables; at < kNumberByte; ++at) image[at] = seq.byte();
    image[kNumberByte] = static_cast<std::uint8_t>(request.number);
    image[kControlCountByte] = static_cast<std::uint8_t>(request.controlCount);

    // Everything but the program write is chosen first; the program write takes up the rest.
    std::vector<std::uint8_t> parameterData;
    for (std::size_t w = 0; w < words; ++w) {
        if (request.tapBlock && w == tapFirstWord) {
            appendDefaultTaps(parameterData, request.tapBlock->taps, seq);
            w = tapEndWord - 1;
            continue;
        }
        appendWord(parameterData, coefficientWord(seq));
    }
    for (std::size_t i = 0; i < request.startWords.size() && i < static_cast<std::size_t>(request.controlCount); ++i) {
        const std::size_t at = std::size_t{addresses[i]} * 4;
        for (int k = 0; k < 4; ++k) parameterData[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(request.startWords[i] >> (24 - 8 * k));
    }
    struct Small {
        std::uint16_t target;
        std::vector<std::uint8_t> data;
        bool fillerBefore;
    };
    std::vector<Small> smalls(3 + seq.below(4));
    std::uint16_t target = kRegisterArea;
    for (auto& s : smalls) {
        s.target = target;
        s.data.resize(1 + seq.below(kSmallWriteMax));
        for (auto& b : s.data) b = seq.byte();
        s.fillerBefore = seq.below(3) == 0;
        target = static_cast<std::uint16_t>(target + s.data.size() + seq.below(12));
    }
    const bool fillerAfterParameters = seq.below(2) == 0;
    std::size_t padding = seq.below(16);

    std::size_t fixed = kHeaderSize + kWriteOverhead + parameterData.size() + (fillerAfterParameters ? 1 : 0) +
                        kWriteOverhead + 1 + padding;
    for (const auto& s : smalls) fixed += kWriteOverhead + s.data.size() + (s.fillerBefore ? 1 : 0);
    if (fixed + kProgramWordBytes > size) return fail("size " + std::to_string(size) + " is too small for its contents");
    std::size_t programBytes = size - fixed;
    padding += programBytes % kProgramWordBytes;
    programBytes -= programBytes % kProgramWordBytes;
    std::vector<std::uint8_t> program(programBytes);
    for (auto& b : program) b = seq.byte();

    appendWrite(image, kParameterArea, parameterData);
    if (fillerAfterParameters) image.push_back(kFiller);
    appendWrite(image, kProgramArea, program);
    for (const auto& s : smalls) {
        if (s.fillerBefore) image.push_back(kFiller);
        appendWrite(image, s.target, s.data);
    }
    image.push_back(kEnd);
    image.resize(image.size() + padding, 0x00);
    if (image.size() != size) return fail("internal: built " + std::to_string(image.size()) + " bytes");
    result.bytes = std::move(image);
    return result;
}

namespace {

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

constexpr std::string_view kListBreak = "\r\n";

// The counts line's control total, or nothing when it does not read as three hex digits.
std::optional<int> layoutControlCount(const std::vector<std::string>& layout) {
    if (layout.empty() || layout.front().size() < 3) return std::nullopt;
    int total = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        const char c = layout.front()[k];
        const auto digit = core::hexDigitValue(c);
        if (!digit || (c >= 'a' && c <= 'f')) return std::nullopt;
        total += *digit;
    }
    return total;
}

}  // namespace

GenerateResult generateCatalogue(const CatalogueSource& source) {
    GenerateResult result;
    auto fail = [&](const EffectSource& e, const std::string& text) {
        result.errors.push_back("effect " + core::toHexDigits(e.number, 2) + " \"" + e.name + "\" (line " +
                                std::to_string(e.sourceLine) + "): " + text);
    };

    std::string effectList;
    std::map<std::string, std::string> categoryLists;
    for (const auto& c : core::categories) categoryLists[std::string(c.resourceName)];

    for (const auto& e : source.effects) {
        effectList += core::toHexDigits(e.number, 1) + ":" + e.name + std::string(kListBreak);
        if (e.number == 0) {
            if (e.name != core::kNoEffectName || e.imageSize != 0 || !e.layoutLines.empty() || !e.category.empty()) {
                fail(e, "number 0 must be \"empty\" with no category, size or layout");
            }
            continue;
        }
        if (!e.category.empty()) {
            auto list = categoryLists.find(e.category);
            if (list == categoryLists.end()) {
                fail(e, "unknown category '" + e.category + "'");
            } else {
                list->second += e.name + std::string(kListBreak);
            }
        }
        if (e.layoutLines.empty()) fail(e, "no layout");
        int controls = 0;
        if (e.imageControls) {
            controls = *e.imageControls;
        } else if (const auto counted = layoutControlCount(e.layoutLines); counted && *counted <= 16) {
            controls = *counted;
        } else {
            fail(e, "the layout's counts line gives no control count of 0..16; say 'controls N' for the image");
        }
        const auto image =
            buildImage({e.number, e.imageSize, controls, e.tapBlock, layoutStartWords(e.number, e.name, e.layoutLines)});
        if (!image.error.empty()) {
            fail(e, image.error);
            continue;
        }
        const std::string base = upper(core::format_resource_name(e.name));
        std::string layout;
        const std::string_view lineEnd = e.layoutCrLf ? "\r\n" : "\n";
        for (std::size_t k = 0; k < e.layoutLines.size(); ++k) {
            layout += e.layoutLines[k];
            if (k + 1 < e.layoutLines.size() || e.layoutFinalBreak) layout += lineEnd;
        }
        if (result.files.count(base) || result.files.count(base + "_CTRLS")) {
            fail(e, "its resource name " + base + " is taken by another algorithm");
        }
        result.files[base] = core::toHex(image.bytes);
        result.files[upper(core::layoutResourceName(e.name))] = std::move(layout);
    }
    result.files[std::string(core::kEffectListResource)] = std::move(effectList);
    for (auto& [name, content] : categoryLists) result.files[upper(name)] = std::move(content);
    if (!result.errors.empty()) result.files.clear();
    return result;
}

}  // namespace qeltx::catalogue_tools
