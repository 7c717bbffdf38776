// The magnitude response through FFTW3, zero-padded to a power of two.
#include "core/ir_spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>

namespace qeltx::core {

namespace {

// Enough bins for a smooth curve from 20 Hz up even for the shortest response.
constexpr std::size_t kMinTransformSize = 16384;

struct FftwFree {
    void operator()(void* p) const { fftw_free(p); }
};
struct PlanDestroy {
    void operator()(fftw_plan_s* p) const { fftw_destroy_plan(p); }
};

std::size_t transformSize(std::size_t length) {
    std::size_t n = kMinTransformSize;
    while (n < length) n *= 2;
    return n;
}

}  // namespace

std::vector<double> logFrequencies(double low, double high, int count) {
    std::vector<double> out;
    if (count <= 0 || low <= 0 || high <= low) return out;
    if (count == 1) return {low};
    out.reserve(static_cast<std::size_t>(count));
    const double step = std::log(high / low) / (count - 1);
    for (int i = 0; i < count; ++i) out.push_back(low * std::exp(step * i));
    return out;
}

std::vector<double> magnitudeResponseDb(std::span<const double> response, int rate, std::span<const double> frequencies,
                                        double floorDb) {
    std::vector<double> out(frequencies.size(), floorDb);
    if (response.empty() || rate <= 0 || frequencies.empty()) return out;

    const std::size_t n = transformSize(response.size());
    const std::size_t bins = n / 2 + 1;
    std::unique_ptr<double, FftwFree> in(fftw_alloc_real(n));
    std::unique_ptr<fftw_complex, FftwFree> spectrum(fftw_alloc_complex(bins));
    // FFTW_ESTIMATE plans without measuring, so the input need not be filled yet and the plan is
    // made in microseconds.
    std::unique_ptr<fftw_plan_s, PlanDestroy> plan(fftw_plan_dft_r2c_1d(static_cast<int>(n), in.get(), spectrum.get(), FFTW_ESTIMATE));
    std::copy(response.begin(), response.end(), in.get());
    std::fill(in.get() + response.size(), in.get() + n, 0.0);
    fftw_execute(plan.get());

    const double binHz = static_cast<double>(rate) / static_cast<double>(n);
    auto power = [&](std::size_t k) {
        const fftw_complex& c = spectrum.get()[k];
        return c[0] * c[0] + c[1] * c[1];
    };
    const double floorPower = std::pow(10.0, floorDb / 10.0);
    for (std::size_t i = 0; i < frequencies.size(); ++i) {
        const double f = frequencies[i];
        if (f <= 0 || f > rate / 2.0) continue;
        // The band this point stands for: halfway (on the log axis) to its neighbours.
        const double lower = i > 0 ? std::sqrt(f * frequencies[i - 1]) : f;
        const double upper = i + 1 < frequencies.size() ? std::sqrt(f * frequencies[i + 1]) : f;
        auto first = static_cast<std::size_t>(std::ceil(lower / binHz));
        auto last = static_cast<std::size_t>(std::floor(upper / binHz));
        last = std::min(last, bins - 1);
        double sum = 0;
        std::size_t count = 0;
        for (std::size_t k = first; k <= last && first <= last; ++k, ++count) sum += power(k);
        if (count == 0) {
            sum = power(std::min(static_cast<std::size_t>(std::llround(f / binHz)), bins - 1));
            count = 1;
        }
        out[i] = 10.0 * std::log10(std::max(sum / static_cast<double>(count), floorPower));
    }
    return out;
}

}  // namespace qeltx::core
