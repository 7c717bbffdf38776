// The magnitude response of an impulse response in dB over a logarithmic frequency axis, from
// FFTW3's real-input transform: what the Impulse Response window and `ir-info --plot` draw.
#pragma once

#include <span>
#include <vector>

namespace qeltx::core {

// `count` frequencies from `low` to `high` Hz, equally spaced on a logarithmic axis.
std::vector<double> logFrequencies(double low, double high, int count);

// |H(f)| in dB (0 dB is a unit impulse) of `response` (full scale ±1.0, taken at `rate` Hz)
// at each of `frequencies`. Each value is the mean power of the transform's bins that lie
// nearest to that frequency on the logarithmic axis, so a long noisy tail reads as a curve
// rather than as a comb. Frequencies above half the rate, and a silent response, give the
// floor `floorDb`.
std::vector<double> magnitudeResponseDb(std::span<const double> response, int rate, std::span<const double> frequencies,
                                        double floorDb = -120.0);

}  // namespace qeltx::core
