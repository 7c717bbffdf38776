// libsoxr's one-shot call over a response held in memory.
#include "core/resampler.h"

#include <soxr.h>

#include <cmath>
#include <string>

namespace qeltx::core {

Refusable<std::vector<double>> resample(std::span<const double> samples, int fromRate, int toRate) {
    using Result = Refusable<std::vector<double>>;
    if (fromRate <= 0 || toRate <= 0) {
        return Result::refused("A sample rate of " + std::to_string(fromRate <= 0 ? fromRate : toRate) +
                               " Hz cannot be converted.");
    }
    const auto outLength = static_cast<std::size_t>(
        std::llround(static_cast<double>(samples.size()) * toRate / static_cast<double>(fromRate)));
    std::vector<double> out(outLength);
    if (samples.empty() || outLength == 0) return Result::accepted(std::move(out));

    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    std::size_t used = 0;
    std::size_t made = 0;
    const soxr_error_t error = soxr_oneshot(fromRate, toRate, 1, samples.data(), samples.size(), &used, out.data(),
                                            out.size(), &made, &io, &quality, nullptr);
    if (error) {
        return Result::refused("The response could not be resampled from " + std::to_string(fromRate) + " Hz to " +
                               std::to_string(toRate) + " Hz (" + error + ").");
    }
    out.resize(made);
    return Result::accepted(std::move(out));
}

}  // namespace qeltx::core
