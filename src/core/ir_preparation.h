// From a file's first channel to the taps the pedal will hold: resampling to the pedal's rate,
// how much of the response the taps keep, and the optional fade-out and peak normalisation a
// player may ask for. Pure functions, so each step is checked on its own.
#pragma once

#include "core/impulse_response.h"
#include "core/refusable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qeltx::core {

// What the player asked for; the defaults keep the recorded response as it is, apart from its
// rate.
struct IrShaping {
    bool resample = true;               // to the pedal's rate when the file has another
    double fadeMs = 0;                  // raised-cosine fade over the last kept taps; 0 is none
    std::optional<double> normalizeDb;  // the taps' peak in dB below full scale (≤ 0); none leaves the level
};

struct PreparedIr {
    Taps taps;
    std::vector<double> response;  // the whole first channel at outcome.responseRate, full scale ±1.0
    IrOutcome outcome;
};

// The first channel of a file (`fileRate` Hz) as the pedal's `tapCount` taps, shaped as asked:
// its first kMaxResponseSeconds only (resampler.h), cut before it is resampled. A file at the
// pedal's rate, or any file with resampling off, gives exactly the taps makeTaps gives, before
// any fade or normalisation. Refused when the rate is outside kMinSampleRate..kMaxSampleRate
// (resampling on or off), or a sample is not a finite number.
Refusable<PreparedIr> prepareImpulseResponse(const FirstChannel& samples, int fileRate, int tapCount,
                                             const IrShaping& shaping);

// The share (0..1) of the response's energy (sum of squares) in its first `kept` samples;
// none when the response is silent.
std::optional<double> energyShare(std::span<const double> response, std::size_t kept);

// How many taps at the pedal's rate a fade of `ms` milliseconds spans, at most `available`.
std::size_t fadeTapCount(double ms, std::size_t available);

// The fade's gain for tap k (0-based) of `length` faded taps: a raised cosine falling from just
// below 1 to exactly 0 at the last tap, so the response ends without a step.
double fadeGain(std::size_t k, std::size_t length);

// Fades out the `length` taps that end at `end` (the last tap made from the file).
void fadeOut(std::span<std::int32_t> taps, std::size_t end, std::size_t length);

// Scales the taps so that their largest magnitude is `peakDb` dB below full scale (a 24-bit tap
// of 2^23); returns the gain in dB, or none when every tap is zero (nothing is changed then).
std::optional<double> normalizePeak(std::span<std::int32_t> taps, double peakDb);

}  // namespace qeltx::core
