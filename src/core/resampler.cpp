// libsoxr's streaming resampler over a response held in memory: the whole response goes in,
// then the end of input is signalled and everything the filter still holds is taken out.
#include "core/resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace qeltx::core {

namespace {

using Result = Refusable<std::vector<double>>;

// Room beyond the expected length, so a few samples more than promised never stop the flush.
constexpr std::size_t kOutputSlack = 64;
// How many input samples each call hands libsoxr.
constexpr std::size_t kInputBlock = 16384;

struct SoxrDeleter {
    void operator()(soxr_t resampler) const { soxr_delete(resampler); }
};

std::string rateText(int rate) { return std::to_string(rate) + " Hz"; }

}  // namespace

std::optional<std::string> sampleRateProblem(int rate) {
    if (rate >= kMinSampleRate && rate <= kMaxSampleRate) return std::nullopt;
    return "the sample rate of " + rateText(rate) + " is outside the " + std::to_string(kMinSampleRate) + " to " +
           rateText(kMaxSampleRate) + " the editor takes";
}

std::size_t maxResponseFrames(int rate) {
    return static_cast<std::size_t>(kMaxResponseSeconds) * static_cast<std::size_t>(std::max(rate, 0));
}

std::size_t resampledLength(std::size_t inputLength, int fromRate, int toRate) {
    if (inputLength == 0 || fromRate <= 0 || toRate <= 0) return 0;
    const auto length = static_cast<std::size_t>(
        std::llround(static_cast<double>(inputLength) * toRate / static_cast<double>(fromRate)));
    return std::max<std::size_t>(length, 1);
}

Refusable<std::vector<double>> resample(std::span<const double> samples, int fromRate, int toRate) {
    for (const int rate : {fromRate, toRate}) {
        if (const auto problem = sampleRateProblem(rate)) return Result::refused("Not resampled: " + *problem + ".");
    }
    const std::size_t expected = resampledLength(samples.size(), fromRate, toRate);
    if (expected > kMaxResampledSamples) {
        return Result::refused("Not resampled: " + std::to_string(samples.size()) + " samples at " + rateText(fromRate) +
                               " would make " + std::to_string(expected) + " samples at " + rateText(toRate) +
                               ", more than the " + std::to_string(kMaxResampledSamples) + " the editor keeps.");
    }
    if (expected == 0) return Result::accepted({});
    const auto failed = [&](const std::string& why) {
        return Result::refused("The response could not be resampled from " + rateText(fromRate) + " to " +
                               rateText(toRate) + " (" + why + ").");
    };

    // libsoxr makes round(n × ratio) samples; a response so short that this rounds to nothing
    // gets silent samples after it, which change nothing but give the filter one output.
    std::vector<double> input(samples.begin(), samples.end());
    const auto minimumInput = static_cast<std::size_t>(std::ceil(static_cast<double>(fromRate) / toRate));
    if (input.size() < minimumInput) input.resize(minimumInput, 0.0);

    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_error_t error = nullptr;
    const std::unique_ptr<soxr, SoxrDeleter> resampler(soxr_create(fromRate, toRate, 1, &error, &io, &quality, nullptr));
    if (error || !resampler) return failed(error ? error : "no resampler");

    std::vector<double> out(expected + kOutputSlack);
    std::size_t fed = 0;
    std::size_t made = 0;
    // The input first; then end of input (no buffer), for which libsoxr gives what its filter
    // still holds, a block per call, until nothing is left.
    while (made < out.size()) {
        const bool ended = fed == input.size();
        std::size_t used = 0;
        std::size_t done = 0;
        // A block at a time: handed the whole input at once, libsoxr copies it into a buffer that
        // it grows step by step, which takes seconds for a minute of audio.
        const std::size_t block = std::min(kInputBlock, input.size() - fed);
        error = soxr_process(resampler.get(), ended ? nullptr : input.data() + fed, block, &used, out.data() + made,
                             out.size() - made, &done);
        if (error) return failed(error);
        if (!ended) fed += used;
        made += done;
        if (done == 0 && (ended || used == 0)) break;
    }
    if (fed != input.size()) {
        return failed("it took " + std::to_string(fed) + " of " + std::to_string(input.size()) + " samples");
    }
    if (made < expected) {
        return failed("it gave " + std::to_string(made) + " of the " + std::to_string(expected) + " samples expected");
    }
    out.resize(expected);
    return Result::accepted(std::move(out));
}

}  // namespace qeltx::core
