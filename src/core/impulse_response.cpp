// Impulse responses: tap words, the merge into an IR-loader image, and what the editor logs
// and shows about a loaded file.
#include "core/impulse_response.h"

#include "core/hex.h"
#include "core/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace qeltx::core {

namespace {

constexpr bool consistent(const TapGeometry& g) {
    constexpr int kBytesPerTap = 4;
    return g.blockBytes == kBytesPerTap * g.taps && g.charsKeptBefore == 2 * g.blockStartByte &&
           g.resumeChar == g.charsKeptBefore + 2 * g.blockBytes + 1;
}
static_assert(std::all_of(kIrLoaderGeometry.begin(), kIrLoaderGeometry.end(), consistent),
              "every IR-loader row must describe one and the same block");

constexpr int kTapBits = 24;
constexpr std::int32_t kTapMax = (1 << (kTapBits - 1)) - 1;
constexpr std::int32_t kTapMin = -(1 << (kTapBits - 1));
constexpr double kFloatFullScale = 1 << (kTapBits - 1);
constexpr int kDiscardedLowBits = 32 - kTapBits;

constexpr std::size_t kRiffHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kPcmFmtBytes = 16;

const char* const kCrLf = "\r\n";

std::uint32_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// Up to `count` bytes from `at` as text; bytes that are not printable show as '.'.
std::string asAscii(std::span<const std::uint8_t> b, std::size_t at, std::size_t count) {
    std::string out;
    for (std::size_t i = at; i < b.size() && i < at + count; ++i) {
        const bool printable = b[i] >= 0x20 && b[i] < 0x7F;
        out += printable ? static_cast<char>(b[i]) : '.';
    }
    return out;
}

bool hasId(std::span<const std::uint8_t> b, std::size_t at, std::string_view id) {
    return asAscii(b, at, id.size()) == id;
}

struct Chunk {
    std::size_t bodyAt = 0;
    std::uint32_t size = 0;
    // How much of the body the file really holds (a truncated file holds less than its size).
    std::size_t available = 0;
};

// The first chunk named `id` of a RIFF/WAVE file, walking the chunks from the header on.
std::optional<Chunk> findChunk(std::span<const std::uint8_t> b, std::string_view id) {
    if (b.size() < kRiffHeaderBytes || !hasId(b, 0, "RIFF") || !hasId(b, 8, "WAVE")) return std::nullopt;
    std::size_t at = kRiffHeaderBytes;
    while (at + kChunkHeaderBytes <= b.size()) {
        const std::uint32_t size = le32(b, at + 4);
        const std::size_t bodyAt = at + kChunkHeaderBytes;
        if (hasId(b, at, id)) {
            return Chunk{bodyAt, size, std::min<std::size_t>(size, b.size() - bodyAt)};
        }
        // Chunks are padded to an even length.
        const std::uint64_t next = static_cast<std::uint64_t>(bodyAt) + size + (size & 1U);
        if (next > b.size()) break;
        at = static_cast<std::size_t>(next);
    }
    return std::nullopt;
}

std::string hexWithLimit(std::span<const std::uint8_t> bytes, std::size_t limit) {
    if (bytes.size() <= limit) return toHex(bytes);
    return toHex(bytes.first(limit)) + " ... (" + std::to_string(bytes.size()) + " bytes in all)";
}

std::string oneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

Refusable<TapGeometry> irLoaderGeometry(std::string_view effectName) {
    if (effectName.empty()) {
        return Refusable<TapGeometry>::refused("Select an impulse-response algorithm first.");
    }
    for (const TapGeometry& g : kIrLoaderGeometry) {
        if (g.effectName == effectName) return Refusable<TapGeometry>::accepted(g);
    }
    return Refusable<TapGeometry>::refused("The editor does not know where " + std::string(effectName) +
                                           " keeps its impulse response, so it cannot load one into it.");
}

std::int32_t tapFromLeftAligned(std::int32_t leftAligned) {
    // An arithmetic shift keeps the sign: the upper 8 bits become copies of bit 23.
    return leftAligned >> kDiscardedLowBits;
}

std::int32_t tapFromFloat(double sample) {
    if (std::isnan(sample)) return 0;
    const double scaled = std::round(sample * kFloatFullScale);
    if (scaled >= kTapMax) return kTapMax;
    if (scaled <= kTapMin) return kTapMin;
    return static_cast<std::int32_t>(scaled);
}

Refusable<Taps> makeTaps(const FirstChannel& samples, int tapCount) {
    Taps taps;
    const auto count = static_cast<std::size_t>(std::max(tapCount, 0));
    taps.words.assign(count, 0);
    if (const auto* ints = std::get_if<std::vector<std::int32_t>>(&samples)) {
        taps.fromFile = std::min(count, ints->size());
        for (std::size_t i = 0; i < taps.fromFile; ++i) taps.words[i] = tapFromLeftAligned((*ints)[i]);
    } else {
        const auto& floats = std::get<std::vector<double>>(samples);
        taps.fromFile = std::min(count, floats.size());
        for (std::size_t i = 0; i < taps.fromFile; ++i) {
            if (std::isnan(floats[i])) {
                return Refusable<Taps>::refused("Sample " + std::to_string(i + 1) +
                                                " of the impulse response is not a number.");
            }
            taps.words[i] = tapFromFloat(floats[i]);
        }
    }
    taps.padded = count - taps.fromFile;
    return Refusable<Taps>::accepted(std::move(taps));
}

std::string tapsHex(std::span<const std::int32_t> taps) {
    std::string out;
    out.reserve(taps.size() * 8);
    for (const std::int32_t tap : taps) out += word32ToHex(static_cast<std::uint32_t>(tap));
    return out;
}

Refusable<std::string> mergeTaps(std::string_view image, const TapGeometry& geometry,
                                 std::span<const std::int32_t> taps) {
    if (taps.size() != static_cast<std::size_t>(geometry.taps)) {
        return Refusable<std::string>::refused(std::string(geometry.effectName) + " takes " +
                                               std::to_string(geometry.taps) + " taps, not " +
                                               std::to_string(taps.size()) + ".");
    }
    const auto blockEnd = static_cast<std::size_t>(geometry.resumeChar - 1);
    if (image.size() < blockEnd) {
        return Refusable<std::string>::refused("The image of " + std::string(geometry.effectName) + " holds " +
                                               std::to_string(image.size() / 2) +
                                               " bytes, too few for its impulse-response block.");
    }
    std::string merged;
    merged.reserve(image.size());
    merged.append(image.substr(0, static_cast<std::size_t>(geometry.charsKeptBefore)));
    merged.append(tapsHex(taps));
    merged.append(image.substr(blockEnd));
    return Refusable<std::string>::accepted(std::move(merged));
}

std::vector<std::string> irFileLogLines(std::span<const std::uint8_t> file, const DecodedFormat& format,
                                        std::uint64_t framesUsed) {
    std::vector<std::string> lines;
    lines.push_back("ID: " + asAscii(file, 0, 4));
    if (file.size() >= 8) lines.push_back("chunk size: " + std::to_string(le32(file, 4)));
    lines.push_back("Subchunk ID: " + asAscii(file, 12, 4));

    const std::optional<Chunk> fmt = findChunk(file, "fmt ");
    std::uint32_t blockAlign = 0;
    if (fmt && fmt->available >= kPcmFmtBytes) {
        const std::size_t at = fmt->bodyAt;
        blockAlign = le16(file, at + 12);
        lines.push_back("Subchink size: " + std::to_string(fmt->size));
        lines.push_back("Audio format: " + std::to_string(le16(file, at)));
        lines.push_back("Num_of_channels: " + std::to_string(le16(file, at + 2)));
        lines.push_back("Sample_Rate: " + std::to_string(le32(file, at + 4)));
        lines.push_back("Byte_Rate: " + std::to_string(le32(file, at + 8)));
        lines.push_back("Block align: " + std::to_string(blockAlign));
        lines.push_back("Bits_per_sample: " + std::to_string(le16(file, at + 14)));
    } else {
        lines.push_back("Num_of_channels: " + std::to_string(format.channels));
        lines.push_back("Sample_Rate: " + std::to_string(format.sampleRate));
        lines.push_back("Bits_per_sample: " + std::to_string(format.bitsPerSample));
    }

    if (const std::optional<Chunk> data = findChunk(file, "data")) {
        const auto body = file.subspan(data->bodyAt, data->available);
        lines.push_back("subchunk2size: " + std::to_string(data->size));
        lines.push_back("Audio data: " + hexWithLimit(body, kLoggedAudioDataBytes));
        if (blockAlign != 0) {
            const std::uint64_t used = std::min<std::uint64_t>(framesUsed * blockAlign, body.size());
            lines.push_back("irdata: " + hexWithLimit(body.first(static_cast<std::size_t>(used)), kLoggedAudioDataBytes));
        }
    }
    return lines;
}

std::string keptPartText(std::size_t kept, const IrOutcome& outcome) {
    const double rate = outcome.responseRate > 0 ? outcome.responseRate : kPedalSampleRate;
    std::string text = "kept " + std::to_string(kept) + " of " + std::to_string(outcome.responseSamples) +
                       " samples (" + oneDecimal(1000.0 * static_cast<double>(kept) / rate) + " ms of " +
                       oneDecimal(1000.0 * static_cast<double>(outcome.responseSamples) / rate) + " ms), ";
    if (outcome.keptEnergy) {
        text += oneDecimal(100.0 * *outcome.keptEnergy) + " % of the energy";
    } else {
        text += "the response is silent";
    }
    return text;
}

std::optional<std::string> lostEnergyQuestion(std::size_t kept, const IrOutcome& outcome) {
    if (!outcome.keptEnergy || *outcome.keptEnergy >= kLowKeptEnergy) return std::nullopt;
    return "This impulse response is longer than the pedal holds: " + keptPartText(kept, outcome) + "; " +
           oneDecimal(100.0 * (1.0 - *outcome.keptEnergy)) + " % of its energy is lost." + kCrLf +
           "Load it anyway?";
}

std::optional<std::string> cutNoteText(const DecodedFormat& format) {
    if (format.sampleRate <= 0 || format.frames <= maxResponseFrames(format.sampleRate)) return std::nullopt;
    return "The file holds " + oneDecimal(static_cast<double>(format.frames) / format.sampleRate) +
           " s; only its first " + std::to_string(kMaxResponseSeconds) + " s were used.";
}

std::string irSummaryText(const IrSummary& s) {
    std::string text = "Selected file data:";
    text += kCrLf + ("Name: " + s.fileName);
    text += kCrLf + ("Size: " + std::to_string(s.fileBytes));
    text += kCrLf + ("Sample rate: " + std::to_string(s.format.sampleRate));
    text += kCrLf + ("Bits per sample: " + std::to_string(s.format.bitsPerSample));
    if (s.outcome.resampled) {
        text += kCrLf + ("resampled from " + std::to_string(s.format.sampleRate) + " Hz to " +
                         std::to_string(kPedalSampleRate) + " Hz");
    } else if (s.format.sampleRate != kPedalSampleRate) {
        text += kCrLf + ("Warning: the pedal runs at " + std::to_string(kPedalSampleRate) + " Hz; this " +
                         std::to_string(s.format.sampleRate) +
                         " Hz impulse response was not resampled and will sound different.");
    }
    if (const auto cut = cutNoteText(s.format)) text += kCrLf + *cut;
    if (s.outcome.responseSamples > 0) text += kCrLf + keptPartText(s.taps.fromFile, s.outcome);
    if (s.outcome.fadeTaps > 0) {
        text += kCrLf + ("faded out over the last " + std::to_string(s.outcome.fadeTaps) + " taps (" +
                         oneDecimal(1000.0 * static_cast<double>(s.outcome.fadeTaps) / kPedalSampleRate) + " ms)");
    }
    if (s.outcome.normalizedDb) {
        text += kCrLf + ("peak normalised to " + oneDecimal(*s.outcome.normalizedDb) + " dBFS (gain " +
                         (s.outcome.gainDb >= 0 ? "+" : "") + oneDecimal(s.outcome.gainDb) + " dB)");
    }
    if (s.format.channels > 1) {
        text += kCrLf + ("Only the first of the file's " + std::to_string(s.format.channels) +
                         " channels was used.");
    }
    if (s.taps.padded > 0) {
        text += kCrLf + ("The impulse response is " + std::to_string(s.taps.fromFile) + " samples long; " +
                         std::to_string(s.taps.padded) + " zero taps were added to fill all " +
                         std::to_string(s.taps.words.size()) + " taps.");
    }
    return text;
}

}  // namespace qeltx::core
