// Changing a response's sample rate with libsoxr at its very-high-quality setting, so an
// impulse response recorded at 44.1, 88.2 or 96 kHz plays at the pitch it was recorded at on
// the pedal, which runs at 48 kHz. Rates and lengths are bounded, so no file can make the
// editor allocate without end.
#pragma once

#include "core/refusable.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qeltx::core {

// The sample rates the editor takes, in Hz: below 8 kHz or above 384 kHz a file is not a
// recording of a cabinet or a room.
inline constexpr int kMinSampleRate = 8000;
inline constexpr int kMaxSampleRate = 384000;
// The longest response the editor keeps, resampled or not: the pedal holds at most 912 taps
// (19 ms), so a minute is far beyond any impulse response.
inline constexpr int kMaxResponseSeconds = 60;
// That limit at the pedal's 48 kHz: the most samples a resampling may make.
inline constexpr std::size_t kMaxResampledSamples = static_cast<std::size_t>(kMaxResponseSeconds) * 48000;

// Why `rate` Hz is not taken ("the sample rate of 1 Hz is outside the 8000 to 384000 Hz the
// editor takes"); nothing when it is.
std::optional<std::string> sampleRateProblem(int rate);

// The most frames of a file at `rate` Hz the editor keeps: kMaxResponseSeconds of it.
std::size_t maxResponseFrames(int rate);

// The number of samples `inputLength` samples at `fromRate` make at `toRate`:
// round(n × toRate / fromRate), and at least one for a response that is not empty.
std::size_t resampledLength(std::size_t inputLength, int fromRate, int toRate);

// `samples` (one channel, full scale ±1.0) taken at `fromRate` Hz, as taken at `toRate` Hz:
// linear phase, so the response keeps its start where it was. The result holds exactly
// resampledLength(n, fromRate, toRate) samples. Refused when a rate is outside
// kMinSampleRate..kMaxSampleRate, when the result would hold more than kMaxResampledSamples,
// or when libsoxr fails or gives fewer samples than that length.
Refusable<std::vector<double>> resample(std::span<const double> samples, int fromRate, int toRate);

}  // namespace qeltx::core
