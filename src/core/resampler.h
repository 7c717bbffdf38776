// Changing a response's sample rate with libsoxr at its very-high-quality setting, so an
// impulse response recorded at 44.1, 88.2 or 96 kHz plays at the pitch it was recorded at on
// the pedal, which runs at 48 kHz.
#pragma once

#include "core/refusable.h"

#include <span>
#include <vector>

namespace qeltx::core {

// `samples` (one channel, full scale ±1.0) taken at `fromRate` Hz, as taken at `toRate` Hz:
// linear phase, so the response keeps its start where it was. The result holds
// round(n × toRate / fromRate) samples. Refused only when libsoxr refuses the rates.
Refusable<std::vector<double>> resample(std::span<const double> samples, int fromRate, int toRate);

}  // namespace qeltx::core
