// From a first channel to the pedal's taps: resampling, the kept share of the energy, the
// fade-out, the peak normalisation and the summary lines that report them.
#include "core/ir_preparation.h"
#include "core/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

using namespace qeltx::core;

constexpr double kFullScale = 8388608.0;  // a 24-bit tap

std::vector<double> exponentialDecay(double tauSamples, std::size_t length) {
    std::vector<double> x(length);
    for (std::size_t n = 0; n < length; ++n) x[n] = 0.9 * std::exp(-static_cast<double>(n) / tauSamples);
    return x;
}

struct EnergyCase {
    double tau;  // time constant of the amplitude, in samples
    std::size_t kept;
    std::size_t length;
};

TEST(Energy, AnExponentialDecayKeepsWhatItsTimeConstantSays) {
    // The energy decays with tau / 2: the first K of N samples hold (1 - r^K) / (1 - r^N) of it,
    // r = exp(-2 / tau). 10 ms at 48 kHz is 480 samples.
    for (const EnergyCase c : {EnergyCase{480, 912, 4800}, EnergyCase{480, 703, 4800}, EnergyCase{2400, 912, 24000},
                               EnergyCase{100, 912, 912}, EnergyCase{480, 0, 4800}, EnergyCase{480, 5000, 4800}}) {
        const double r = std::exp(-2.0 / c.tau);
        const double kept = static_cast<double>(std::min(c.kept, c.length));
        const double expected = (1 - std::pow(r, kept)) / (1 - std::pow(r, static_cast<double>(c.length)));
        const auto share = energyShare(exponentialDecay(c.tau, c.length), c.kept);
        ASSERT_TRUE(share.has_value());
        EXPECT_NEAR(*share, expected, 1e-12) << "tau " << c.tau << " kept " << c.kept << " of " << c.length;
    }
    // 19 ms of a 10 ms decay: 1 - e^-3.8 of the energy.
    EXPECT_NEAR(*energyShare(exponentialDecay(480, 48000), 912), 1 - std::exp(-3.8), 1e-9);
    EXPECT_FALSE(energyShare(std::vector<double>(100, 0.0), 50).has_value());
    EXPECT_FALSE(energyShare({}, 50).has_value());
}

TEST(Fade, ARaisedCosineFromJustBelowOneToZeroOverTheLastKeptTaps) {
    EXPECT_EQ(fadeTapCount(1.0, 912), 48U);
    EXPECT_EQ(fadeTapCount(2.5, 912), 120U);
    EXPECT_EQ(fadeTapCount(100.0, 912), 912U);  // never more than the kept taps
    EXPECT_EQ(fadeTapCount(0.0, 912), 0U);
    EXPECT_EQ(fadeTapCount(-3.0, 912), 0U);
    EXPECT_EQ(fadeTapCount(std::nan(""), 912), 0U);

    // 300 taps from the file, the rest padding; a 48-tap fade ends at the last tap from the file.
    std::vector<std::int32_t> taps(912, 0);
    for (std::size_t i = 0; i < 300; ++i) taps[i] = (i % 2 ? -1 : 1) * 4000000;
    fadeOut(taps, 300, 48);
    EXPECT_EQ(taps[251], -4000000);  // before the fade: untouched
    EXPECT_EQ(taps[252], static_cast<std::int32_t>(std::round(4000000 * 0.5 * (1 + std::cos(std::numbers::pi / 48)))));
    EXPECT_EQ(taps[252], 3995718);
    EXPECT_EQ(taps[299], 0);  // the last tap from the file
    EXPECT_EQ(taps[275], static_cast<std::int32_t>(std::round(-4000000 * 0.5 * (1 + std::cos(std::numbers::pi * 24 / 48)))));
    EXPECT_EQ(taps[300], 0);
    // The gain only falls.
    for (std::size_t k = 1; k < 48; ++k) EXPECT_LT(fadeGain(k, 48), fadeGain(k - 1, 48));
    EXPECT_DOUBLE_EQ(fadeGain(47, 48), 0.0);
    EXPECT_DOUBLE_EQ(fadeGain(0, 1), 0.0);

    std::vector<std::int32_t> few(10, 1000);
    fadeOut(few, 10, 50);  // longer than the taps: fades them all
    EXPECT_EQ(few[9], 0);
    EXPECT_LT(few[0], 1000);
}

struct NormalizeCase {
    double db;
    std::int32_t expectedPeak;  // magnitude of the largest tap afterwards
};

TEST(Normalize, TheLargestTapLandsOnThePeakAskedFor) {
    for (const NormalizeCase c : {NormalizeCase{0.0, 8388607}, NormalizeCase{-6.0, 4204263}, NormalizeCase{-1.0, 7476355},
                                  NormalizeCase{-20.0, 838861}, NormalizeCase{3.0, 8388607}}) {
        std::vector<std::int32_t> taps = {1000, -2000, 500, 0, 1999};
        const auto gain = normalizePeak(taps, c.db);
        ASSERT_TRUE(gain.has_value());
        EXPECT_EQ(taps[1], -c.expectedPeak) << c.db << " dB";
        EXPECT_NEAR(*gain, 20 * std::log10(c.expectedPeak / 2000.0), 1e-9);
        EXPECT_EQ(taps[3], 0);
        EXPECT_NEAR(taps[0], c.expectedPeak / 2.0, 1.0);  // every tap by the same gain
    }
    std::vector<std::int32_t> silent(912, 0);
    EXPECT_FALSE(normalizePeak(silent, -1).has_value());
    EXPECT_EQ(silent, std::vector<std::int32_t>(912, 0));
}

TEST(Resample, TheLengthFollowsTheRatioAndASineKeepsItsPitch) {
    for (const int rate : {44100, 88200, 96000, 32000}) {
        std::vector<double> sine(static_cast<std::size_t>(rate / 10));
        for (std::size_t n = 0; n < sine.size(); ++n) sine[n] = 0.5 * std::sin(2 * std::numbers::pi * 1000 * n / rate);
        const auto out = resample(sine, rate, 48000);
        ASSERT_TRUE(out) << out.reason();
        ASSERT_EQ(out->size(), 4800U) << rate;
        // Away from the edges it is the same 1 kHz sine at 48 kHz.
        double worst = 0;
        for (std::size_t n = 1000; n < 3800; ++n) {
            worst = std::max(worst, std::abs((*out)[n] - 0.5 * std::sin(2 * std::numbers::pi * 1000 * n / 48000.0)));
        }
        EXPECT_LT(worst, 1e-4) << rate;
    }
    EXPECT_FALSE(resample(std::vector<double>(10, 0.0), 0, 48000));
}

TEST(Prepare, APedalRateFileGivesTheFilesOwnWordsWhateverTheResampling) {
    std::vector<std::int32_t> samples(4800);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int32_t>((i * 2654435761U) & 0xFFFFFF00U);
    const auto direct = makeTaps(samples, 912);
    for (const bool resample : {true, false}) {
        const auto ir = prepareImpulseResponse(samples, 48000, 912, IrShaping{resample, 0, std::nullopt});
        ASSERT_TRUE(ir) << ir.reason();
        EXPECT_EQ(ir->taps.words, direct->words);
        EXPECT_FALSE(ir->outcome.resampled);
        EXPECT_EQ(ir->outcome.responseRate, 48000);
        EXPECT_EQ(ir->outcome.responseSamples, 4800U);
    }
}

TEST(Prepare, OtherRatesAreResampledUnlessTurnedOffAndNaNAnywhereIsRefused) {
    const std::vector<double> decay = exponentialDecay(441, 4410);  // 10 ms at 44.1 kHz, 100 ms long
    const auto ir = prepareImpulseResponse(decay, 44100, 912, IrShaping{});
    ASSERT_TRUE(ir) << ir.reason();
    EXPECT_TRUE(ir->outcome.resampled);
    EXPECT_EQ(ir->outcome.responseRate, 48000);
    EXPECT_EQ(ir->outcome.responseSamples, 4800U);
    EXPECT_EQ(ir->taps.fromFile, 912U);
    EXPECT_NEAR(*ir->outcome.keptEnergy, 1 - std::exp(-3.8), 2e-3);
    EXPECT_EQ(keptPartText(ir->taps.fromFile, ir->outcome), "kept 912 of 4800 samples (19.0 ms of 100.0 ms), 97.8 % of the energy");

    const auto asRecorded = prepareImpulseResponse(decay, 44100, 912, IrShaping{false, 0, std::nullopt});
    ASSERT_TRUE(asRecorded);
    EXPECT_FALSE(asRecorded->outcome.resampled);
    EXPECT_EQ(asRecorded->taps.words, makeTaps(decay, 912)->words);
    EXPECT_EQ(keptPartText(asRecorded->taps.fromFile, asRecorded->outcome),
              "kept 912 of 4410 samples (20.7 ms of 100.0 ms), 98.4 % of the energy");

    std::vector<double> broken = decay;
    broken[3000] = std::nan("");  // long after the kept taps: the whole response is used now
    const auto refused = prepareImpulseResponse(broken, 48000, 912, IrShaping{});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.reason(), "Sample 3001 of the impulse response is not a number.");
    broken[3000] = INFINITY;
    EXPECT_FALSE(prepareImpulseResponse(broken, 44100, 912, IrShaping{}));
}

TEST(Prepare, TheFadeComesFirstSoTheNormalisedPeakIsExact) {
    const std::vector<double> decay = exponentialDecay(4800, 48000);  // hardly decays within the taps
    const auto ir = prepareImpulseResponse(decay, 48000, 912, IrShaping{true, 1.0, -3.0});
    ASSERT_TRUE(ir) << ir.reason();
    EXPECT_EQ(ir->outcome.fadeTaps, 48U);
    EXPECT_EQ(ir->taps.words[911], 0);
    std::int32_t peak = 0;
    for (const std::int32_t t : ir->taps.words) peak = std::max(peak, std::abs(t));
    EXPECT_EQ(peak, static_cast<std::int32_t>(std::round(kFullScale * std::pow(10, -3.0 / 20))));
    EXPECT_EQ(ir->outcome.normalizedDb, -3.0);
    EXPECT_NEAR(ir->outcome.gainDb, 20 * std::log10(std::pow(10, -3.0 / 20) / 0.9), 1e-4);
}

TEST(Summary, SaysWhatWasDoneToTheResponse) {
    IrSummary s;
    s.fileName = "cab.wav";
    s.fileBytes = 52980;
    s.format = {1, 44100, 24, 4410};
    s.taps = *makeTaps(std::vector<std::int32_t>(4800, 1 << 20), 912);
    s.outcome = {48000, true, 4800, 0.993, 48, -1.0, 5.5};
    EXPECT_EQ(irSummaryText(s),
              "Selected file data:\r\nName: cab.wav\r\nSize: 52980\r\nSample rate: 44100\r\nBits per sample: 24\r\n"
              "resampled from 44100 Hz to 48000 Hz\r\n"
              "kept 912 of 4800 samples (19.0 ms of 100.0 ms), 99.3 % of the energy\r\n"
              "faded out over the last 48 taps (1.0 ms)\r\n"
              "peak normalised to -1.0 dBFS (gain +5.5 dB)");
    s.outcome.keptEnergy.reset();
    EXPECT_NE(irSummaryText(s).find("(19.0 ms of 100.0 ms), the response is silent"), std::string::npos);
}

}  // namespace
