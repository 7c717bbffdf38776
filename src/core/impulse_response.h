// Impulse responses for the IR-loader algorithms: where each image holds its taps, turning a
// file's samples into the pedal's 32-bit tap words, merging them into the image text, and the
// log lines and summary the editor shows for a loaded file.
#pragma once

#include "core/refusable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qeltx::core {

// Where an IR-loader algorithm's image keeps its tap block. The numbers come from the
// algorithms' images as the pedal's firmware lays them out; each row states every column the
// same way the image documentation does, so a wrong entry shows up as a failed consistency check.
struct TapGeometry {
    std::string_view effectName;  // compared exactly with the selected algorithm's name
    int taps;
    int blockStartByte;      // image byte of the first tap
    int blockBytes;          // 4 per tap
    int charsKeptBefore;     // hex characters of the image before the block
    int resumeChar;          // 1-based character at which the image text resumes after the block
};

inline constexpr std::array<TapGeometry, 4> kIrLoaderGeometry{{
    {"IR Loader 1", 882, 230, 3528, 460, 7517},
    {"Corvel + IR Loader", 703, 362, 2812, 724, 6349},
    {"Pexo + IR Loader", 703, 370, 2812, 740, 6365},
    {"Basic IR Loader", 912, 230, 3648, 460, 7757},
}};

// The tap block of `effectName`, or the reason there is none (no algorithm chosen, or an
// algorithm whose image layout the editor does not know).
Refusable<TapGeometry> irLoaderGeometry(std::string_view effectName);

// The pedal's tap word: the sample's 24 most significant bits, sign-extended to 32 bits.
// `leftAligned` is an integer sample with its most significant bit at bit 31 (a 24-bit
// sample v is v << 8, a 32-bit sample is itself, a 16-bit sample v is v << 16).
std::int32_t tapFromLeftAligned(std::int32_t leftAligned);
// A floating-point sample (full scale ±1.0): round(x × 2^23), clamped to the 24-bit range.
// NaN has no tap value and is refused by makeTaps.
std::int32_t tapFromFloat(double sample);

// The first channel of a file as decoded: integer samples left-aligned in 32 bits, or
// floating-point samples.
using FirstChannel = std::variant<std::vector<std::int32_t>, std::vector<double>>;

struct Taps {
    std::vector<std::int32_t> words;  // exactly the tap count
    std::size_t fromFile = 0;         // taps made from samples
    std::size_t padded = 0;           // zero taps added after them
};

// The first `tapCount` samples as tap words; a shorter response is padded with zero taps.
// Refused when a floating-point sample used is not a number.
Refusable<Taps> makeTaps(const FirstChannel& samples, int tapCount);

// The tap words as image text: 8 upper-case hex characters each, most significant byte first.
std::string tapsHex(std::span<const std::int32_t> taps);

// `image` with its tap block replaced by `taps`; every other character is kept and the length
// is unchanged. Refused when the image is too short to hold the block or the tap count is not
// the algorithm's.
Refusable<std::string> mergeTaps(std::string_view image, const TapGeometry& geometry,
                                 std::span<const std::int32_t> taps);

// How the samples were decoded, for the log and the summary.
struct DecodedFormat {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::uint64_t frames = 0;
};

inline constexpr int kPedalSampleRate = 48000;
// How much of the sample data the log shows; an impulse response fits well within it.
inline constexpr std::size_t kLoggedAudioDataBytes = 65536;

// The header lines of the console log, labelled as the editor has always logged them:
// "ID: ", "chunk size: ", "Subchunk ID: " (the file's bytes 0–3, 4–7 and 12–15 as stored),
// the "fmt " chunk's fields ("Subchink size: ", "Audio format: ", "Num_of_channels: ",
// "Sample_Rate: ", "Byte_Rate: ", "Block align: ", "Bits_per_sample: "), "subchunk2size: ",
// "Audio data: " and "irdata: " (the stored bytes of the first `framesUsed` frames).
// The chunks are found wherever they lie in a RIFF/WAVE file; a file without them (AIFF,
// FLAC) logs the channel count, sample rate and sample size it was decoded with instead.
std::vector<std::string> irFileLogLines(std::span<const std::uint8_t> file, const DecodedFormat& format,
                                        std::uint64_t framesUsed);

// What was done to the response on its way to the taps (ir_preparation.h), for the summary
// and the Impulse Response window.
struct IrOutcome {
    int responseRate = 0;                // rate of the response the taps were cut from
    bool resampled = false;              // from the file's rate to the pedal's
    std::size_t responseSamples = 0;     // the whole response at responseRate
    std::optional<double> keptEnergy;    // share (0..1) of the response's energy in the taps; none when silent
    std::size_t fadeTaps = 0;            // taps the fade-out spans
    std::optional<double> normalizedDb;  // the peak asked for, when the taps were normalised
    double gainDb = 0;                   // the gain normalisation applied
};

struct IrSummary {
    std::string fileName;
    std::uint64_t fileBytes = 0;
    DecodedFormat format;
    Taps taps;  // only the counts are shown
    IrOutcome outcome;
};

// "kept 912 of 4800 samples (19.0 ms of 100.0 ms), 99.3 % of the energy".
std::string keptPartText(std::size_t kept, const IrOutcome& outcome);

// A response whose taps keep less than this share of its energy is taken only after the player
// has agreed to lose the rest.
inline constexpr double kLowKeptEnergy = 0.5;

// The question asked before taking such a response: what was kept (keptPartText) and how much
// of the energy is lost. Nothing when the taps keep kLowKeptEnergy or more, or the response is
// silent.
std::optional<std::string> lostEnergyQuestion(std::size_t kept, const IrOutcome& outcome);

// "The file holds 75.0 s; only its first 60 s were used." when a file is longer than the editor
// keeps (kMaxResponseSeconds, resampler.h); nothing otherwise.
std::optional<std::string> cutNoteText(const DecodedFormat& format);

// The message box after a merge: "Selected file data:", "Name: ", "Size: ", "Sample rate: ",
// "Bits per sample: ", one line each, CR LF between them; then "resampled from R Hz to 48000 Hz"
// or a warning when a file at another rate was not resampled, how much of the response was kept
// (keptPartText), the fade and the normalisation, and notes when only the first channel was
// used, the file was cut (cutNoteText) or zero taps were added.
std::string irSummaryText(const IrSummary& summary);

}  // namespace qeltx::core
