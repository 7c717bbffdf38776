// Turning a file's first channel into the pedal's taps, with the player's shaping.
#include "core/ir_preparation.h"

#include "core/resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qeltx::core {

namespace {

using Result = Refusable<PreparedIr>;

constexpr double kLeftAlignedFullScale = 2147483648.0;  // 2^31
constexpr double kTapFullScale = 8388608.0;             // 2^23
constexpr std::int32_t kTapMax = 8388607;
constexpr std::int32_t kTapMin = -8388608;

std::int32_t clampedTap(double value) {
    const double rounded = std::round(value);
    if (rounded >= kTapMax) return kTapMax;
    if (rounded <= kTapMin) return kTapMin;
    return static_cast<std::int32_t>(rounded);
}

// The samples as full-scale ±1.0 values; refused at the first that is not a finite number.
Refusable<std::vector<double>> asDoubles(const FirstChannel& samples) {
    using R = Refusable<std::vector<double>>;
    if (const auto* ints = std::get_if<std::vector<std::int32_t>>(&samples)) {
        std::vector<double> out(ints->size());
        std::transform(ints->begin(), ints->end(), out.begin(),
                       [](std::int32_t v) { return static_cast<double>(v) / kLeftAlignedFullScale; });
        return R::accepted(std::move(out));
    }
    const auto& floats = std::get<std::vector<double>>(samples);
    for (std::size_t i = 0; i < floats.size(); ++i) {
        if (std::isnan(floats[i])) {
            return R::refused("Sample " + std::to_string(i + 1) + " of the impulse response is not a number.");
        }
        if (std::isinf(floats[i])) {
            return R::refused("Sample " + std::to_string(i + 1) + " of the impulse response is infinite.");
        }
    }
    return R::accepted(floats);
}

}  // namespace

std::optional<double> energyShare(std::span<const double> response, std::size_t kept) {
    kept = std::min(kept, response.size());
    double head = 0;
    double total = 0;
    for (std::size_t i = 0; i < response.size(); ++i) {
        const double e = response[i] * response[i];
        total += e;
        if (i < kept) head += e;
    }
    if (total <= 0) return std::nullopt;
    return head / total;
}

std::size_t fadeTapCount(double ms, std::size_t available) {
    if (!(ms > 0)) return 0;
    const double taps = std::round(ms * kPedalSampleRate / 1000.0);
    return taps >= static_cast<double>(available) ? available : static_cast<std::size_t>(taps);
}

double fadeGain(std::size_t k, std::size_t length) {
    if (k >= length) return 0;
    const double phase = std::numbers::pi * static_cast<double>(k + 1) / static_cast<double>(length);
    return 0.5 * (1.0 + std::cos(phase));
}

void fadeOut(std::span<std::int32_t> taps, std::size_t end, std::size_t length) {
    end = std::min(end, taps.size());
    length = std::min(length, end);
    const std::size_t first = end - length;
    for (std::size_t k = 0; k < length; ++k) {
        taps[first + k] = clampedTap(taps[first + k] * fadeGain(k, length));
    }
}

std::optional<double> normalizePeak(std::span<std::int32_t> taps, double peakDb) {
    double peak = 0;
    for (const std::int32_t t : taps) peak = std::max(peak, std::abs(static_cast<double>(t)));
    if (peak == 0) return std::nullopt;
    const double target = std::min(std::round(kTapFullScale * std::pow(10.0, std::min(peakDb, 0.0) / 20.0)),
                                   static_cast<double>(kTapMax));
    const double gain = target / peak;
    for (std::int32_t& t : taps) t = clampedTap(t * gain);
    return 20.0 * std::log10(gain);
}

Refusable<PreparedIr> prepareImpulseResponse(const FirstChannel& samples, int fileRate, int tapCount,
                                             const IrShaping& shaping) {
    PreparedIr ir;
    if (const auto problem = sampleRateProblem(fileRate)) {
        return Result::refused("The file cannot be used: " + *problem + ".");
    }
    auto doubles = asDoubles(samples);
    if (!doubles) return Result::refused(doubles.reason());
    // Only the first minute is kept, before anything is resampled (irSummaryText says so).
    const auto kept = std::span(*doubles).first(std::min(doubles->size(), maxResponseFrames(fileRate)));
    const bool resampling = shaping.resample && fileRate != kPedalSampleRate;
    if (resampling) {
        auto resampled = resample(kept, fileRate, kPedalSampleRate);
        if (!resampled) return Result::refused(resampled.reason());
        ir.response = *resampled;
        auto taps = makeTaps(FirstChannel(ir.response), tapCount);
        if (!taps) return Result::refused(taps.reason());
        ir.taps = *taps;
        ir.outcome.responseRate = kPedalSampleRate;
        ir.outcome.resampled = true;
    } else {
        // The recorded samples themselves: the taps are exactly the words the file holds.
        auto taps = makeTaps(samples, tapCount);
        if (!taps) return Result::refused(taps.reason());
        ir.taps = *taps;
        ir.response.assign(kept.begin(), kept.end());
        ir.outcome.responseRate = fileRate;
    }
    ir.outcome.responseSamples = ir.response.size();
    ir.outcome.keptEnergy = energyShare(ir.response, ir.taps.fromFile);

    ir.outcome.fadeTaps = fadeTapCount(shaping.fadeMs, ir.taps.fromFile);
    fadeOut(ir.taps.words, ir.taps.fromFile, ir.outcome.fadeTaps);
    if (shaping.normalizeDb) {
        if (const auto gain = normalizePeak(ir.taps.words, *shaping.normalizeDb)) {
            ir.outcome.normalizedDb = std::min(*shaping.normalizeDb, 0.0);
            ir.outcome.gainDb = *gain;
        }
    }
    return Result::accepted(std::move(ir));
}

}  // namespace qeltx::core
