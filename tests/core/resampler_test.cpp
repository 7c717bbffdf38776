// The resampler's answer has the length it promises and the energy the response had, for every
// rate a file may have and for responses from one sample to seconds; rates and lengths the
// editor does not take are refused before any work.
#include "core/impulse_response.h"
#include "core/ir_preparation.h"
#include "core/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using namespace qeltx::core;

double energy(const std::vector<double>& x) {
    double sum = 0;
    for (const double v : x) sum += v * v;
    return sum;
}

// A 1 kHz sine under a Hann window as long as the response: all its energy lies far below the
// pedal's 24 kHz, so resampling keeps its energy per second. One sample is an impulse.
std::vector<double> windowedSine(std::size_t length, int rate) {
    if (length == 1) return {0.5};
    std::vector<double> x(length);
    for (std::size_t n = 0; n < length; ++n) {
        const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (static_cast<double>(n) + 0.5) / length);
        x[n] = 0.5 * window * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(n) / rate + 0.3);
    }
    return x;
}

struct RateCase {
    int rate;
    std::size_t length;
};

class ResampleTable : public ::testing::TestWithParam<RateCase> {};

TEST_P(ResampleTable, TheAnswerHasItsFullLengthAndTheResponsesEnergy) {
    const auto [rate, length] = GetParam();
    const std::vector<double> in = windowedSine(length, rate);
    const auto out = resample(in, rate, kPedalSampleRate);
    ASSERT_TRUE(out) << out.reason();
    const auto expected = std::max<long long>(1, std::llround(static_cast<double>(length) * kPedalSampleRate / rate));
    EXPECT_EQ(out->size(), static_cast<std::size_t>(expected));
    EXPECT_EQ(resampledLength(length, rate, kPedalSampleRate), static_cast<std::size_t>(expected));
    // Energy per second: the sum of squares scales with the number of samples per second.
    const double ratio = energy(*out) / energy(in) * rate / kPedalSampleRate;
    if (length == 1) {
        // An impulse keeps only the part of its spectrum below both Nyquist rates.
        EXPECT_GT(ratio, 0.05) << "an impulse came out silent";
        EXPECT_LE(ratio, 1.0);
    } else {
        EXPECT_NEAR(ratio, 1.0, 0.01);
    }
}

std::vector<RateCase> rateCases() {
    std::vector<RateCase> cases;
    for (const int rate : {22050, 44100, 88200, 96000, 176400, 192000, 384000}) {
        for (const std::size_t length : {1UL, 64UL, 2048UL, 8192UL, 100000UL}) cases.push_back({rate, length});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(RatesAndLengths, ResampleTable, ::testing::ValuesIn(rateCases()),
                         [](const auto& info) {
                             return std::to_string(info.param.rate) + "Hz_" + std::to_string(info.param.length);
                         });

TEST(Resample, ShortResponsesAtHighRatesNeverComeOutEmptyOrShort) {
    // A decaying noise of 2,048 samples at 176.4 kHz: 11.6 ms, 557 samples at 48 kHz.
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.2);
    std::vector<double> decay(2048);
    for (std::size_t n = 0; n < decay.size(); ++n) decay[n] = noise(random) * std::exp(-static_cast<double>(n) / 400.0);
    const auto out = resample(decay, 176400, kPedalSampleRate);
    ASSERT_TRUE(out) << out.reason();
    EXPECT_EQ(out->size(), 557U);
    EXPECT_GT(energy(*out), 0.0);

    for (const int rate : {176400, 192000, 384000}) {
        for (std::size_t length = 1; length <= 400; length += 3) {
            const auto r = resample(windowedSine(length, rate), rate, kPedalSampleRate);
            ASSERT_TRUE(r) << rate << " Hz, " << length << " samples: " << r.reason();
            ASSERT_EQ(r->size(), resampledLength(length, rate, kPedalSampleRate)) << rate << " Hz, " << length;
            ASSERT_GT(energy(*r), 0.0) << rate << " Hz, " << length << " samples came out silent";
        }
    }
}

TEST(Resample, RatesOutsideEightTo384KilohertzAreRefused) {
    const std::vector<double> samples(1000, 0.25);
    for (const int rate : {-44100, 0, 1, 100, 7999, 384001, 1000000}) {
        const auto from = resample(samples, rate, kPedalSampleRate);
        ASSERT_FALSE(from) << rate;
        EXPECT_NE(from.reason().find("the sample rate of " + std::to_string(rate) +
                                     " Hz is outside the 8000 to 384000 Hz the editor takes"),
                  std::string::npos)
            << from.reason();
        EXPECT_FALSE(resample(samples, kPedalSampleRate, rate)) << rate;
        const auto prepared = prepareImpulseResponse(std::vector<double>(1000, 0.25), rate, 912, IrShaping{false, 0, {}});
        ASSERT_FALSE(prepared) << rate << " Hz taken with resampling off";
        EXPECT_NE(prepared.reason().find("outside the 8000 to 384000 Hz"), std::string::npos) << prepared.reason();
    }
    for (const int rate : {8000, 384000}) EXPECT_TRUE(resample(samples, rate, kPedalSampleRate)) << rate;
}

TEST(Resample, AnAnswerLongerThanAMinuteAtTheSampleRateOfThePedalIsRefused) {
    // 8 kHz makes six samples of each: one sample over the limit's sixth is too long.
    const std::size_t tooMany = kMaxResampledSamples / 6 + 1;
    const auto out = resample(std::vector<double>(tooMany, 0.1), 8000, kPedalSampleRate);
    ASSERT_FALSE(out);
    EXPECT_NE(out.reason().find("more than the 2880000 the editor keeps"), std::string::npos) << out.reason();
    EXPECT_TRUE(resample(std::vector<double>(kMaxResampledSamples / 6, 0.1), 8000, kPedalSampleRate));
}

TEST(Prepare, AFileLongerThanAMinuteIsCutBeforeItIsResampledAndTheSummarySaysSo) {
    // 75 s at 8 kHz would make 3.6 million samples at 48 kHz.
    const int rate = 8000;
    std::vector<double> longFile(static_cast<std::size_t>(75 * rate), 0.0);
    longFile[0] = 0.5;
    const auto ir = prepareImpulseResponse(longFile, rate, 912, IrShaping{});
    ASSERT_TRUE(ir) << ir.reason();
    EXPECT_EQ(ir->outcome.responseSamples, kMaxResampledSamples);

    IrSummary s;
    s.fileName = "hall.wav";
    s.format = {1, rate, 16, longFile.size()};
    s.taps = ir->taps;
    s.outcome = ir->outcome;
    EXPECT_NE(irSummaryText(s).find("\r\nThe file holds 75.0 s; only its first 60 s were used.\r\n"), std::string::npos)
        << irSummaryText(s);
    s.format.frames = static_cast<std::uint64_t>(60 * rate);
    EXPECT_EQ(cutNoteText(s.format), std::nullopt);
}

}  // namespace
