// Impulse responses: tap words from every sample kind, padding, the merge into each IR loader's
// image, the header log lines and the summary.
#include "core/impulse_response.h"

#include "core/hex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qeltx::core;

namespace {

// A little-endian sample of 2, 3 or 4 bytes as libsndfile hands it over: left-aligned in 32 bits.
std::int32_t leftAligned(std::vector<std::uint8_t> littleEndian) {
    std::uint32_t v = 0;
    int shift = 32;
    for (auto it = littleEndian.rbegin(); it != littleEndian.rend(); ++it) {
        shift -= 8;
        v |= static_cast<std::uint32_t>(*it) << shift;
    }
    return static_cast<std::int32_t>(v);
}

std::string word(std::int32_t tap) { return word32ToHex(static_cast<std::uint32_t>(tap)); }

struct IntegerCase {
    std::vector<std::uint8_t> bytes;
    std::string expected;
};

TEST(TapWords, IntegerSamplesKeepTheirTop24BitsSignExtended) {
    const std::vector<IntegerCase> cases = {
        // 24-bit samples, least significant byte first.
        {{0x00, 0x00, 0x80}, "FF800000"},
        {{0xFF, 0xFF, 0x7F}, "007FFFFF"},
        {{0x01, 0x00, 0x00}, "00000001"},
        {{0x00, 0x00, 0xFF}, "FFFF0000"},
        {{0xFF, 0xFF, 0xFF}, "FFFFFFFF"},
        // 32-bit samples: the lowest byte is dropped.
        {{0x78, 0x56, 0x34, 0x12}, "00123456"},
        {{0x00, 0x00, 0x00, 0x80}, "FF800000"},
        {{0xFF, 0x00, 0x00, 0x00}, "00000000"},
        {{0xFF, 0xFF, 0xFF, 0x7F}, "007FFFFF"},
        // 16-bit samples land in the same 24-bit word, 8 bits up.
        {{0x00, 0x80}, "FF800000"},
        {{0x01, 0x00}, "00000100"},
        {{0xFF, 0x7F}, "007FFF00"},
        {{0xFF, 0xFF}, "FFFFFF00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(word(tapFromLeftAligned(leftAligned(c.bytes))), c.expected) << toHex(c.bytes);
    }
}

TEST(TapWords, FloatSamplesAreRoundedAndClamped) {
    constexpr double lsb = 1.0 / 8388608.0;  // one step of the 24-bit word
    const std::vector<std::pair<double, std::string>> cases = {
        {0.0, "00000000"},
        {0.5, "00400000"},
        {-0.5, "FFC00000"},
        {-1.0, "FF800000"},
        {1.0, "007FFFFF"},  // +1.0 is one step beyond the largest word
        {1.5, "007FFFFF"},
        {-3.0, "FF800000"},
        {std::numeric_limits<double>::infinity(), "007FFFFF"},
        {-std::numeric_limits<double>::infinity(), "FF800000"},
        {1.5 * lsb, "00000002"},   // halves round away from zero
        {-1.5 * lsb, "FFFFFFFE"},
        {0.49 * lsb, "00000000"},
        {-0.51 * lsb, "FFFFFFFF"},
        {100.4 * lsb, "00000064"},
    };
    for (const auto& [sample, expected] : cases) EXPECT_EQ(word(tapFromFloat(sample)), expected) << sample;
}

TEST(MakeTaps, ShortResponsesArePaddedWithZeroTapsAndLongOnesCut) {
    const std::vector<std::int32_t> three = {leftAligned({0x00, 0x00, 0x80}), leftAligned({0x01, 0x00, 0x00}),
                                             leftAligned({0xFF, 0xFF, 0x7F})};
    const auto padded = makeTaps(three, 5);
    ASSERT_TRUE(padded.ok()) << padded.reason();
    EXPECT_EQ(tapsHex(padded->words), "FF80000000000001007FFFFF0000000000000000");
    EXPECT_EQ(padded->fromFile, 3U);
    EXPECT_EQ(padded->padded, 2U);

    const auto cut = makeTaps(three, 2);
    ASSERT_TRUE(cut.ok());
    EXPECT_EQ(tapsHex(cut->words), "FF80000000000001");
    EXPECT_EQ(cut->fromFile, 2U);
    EXPECT_EQ(cut->padded, 0U);

    const auto floats = makeTaps(std::vector<double>{0.5}, 2);
    ASSERT_TRUE(floats.ok());
    EXPECT_EQ(tapsHex(floats->words), "0040000000000000");

    const auto empty = makeTaps(std::vector<double>{}, 3);
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(empty->padded, 3U);
}

TEST(MakeTaps, ANotANumberSampleIsRefusedByPosition) {
    const auto result = makeTaps(std::vector<double>{0.1, std::nan(""), 0.2}, 4);
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.reason().find("Sample 2"), std::string::npos) << result.reason();
    // Beyond the taps used, it does not matter.
    EXPECT_TRUE(makeTaps(std::vector<double>{0.1, std::nan("")}, 1).ok());
}

TEST(Geometry, OnlyTheKnownLoadersHaveATapBlock) {
    for (const auto& name : {"IR Loader 1", "Corvel + IR Loader", "Pexo + IR Loader", "Basic IR Loader"}) {
        const auto g = irLoaderGeometry(name);
        ASSERT_TRUE(g.ok()) << name;
        EXPECT_EQ(g->effectName, name);
    }
    EXPECT_EQ(irLoaderGeometry("Basic IR Loader")->taps, 912);
    EXPECT_EQ(irLoaderGeometry("Corvel + IR Loader")->blockStartByte, 362);

    for (const auto& name : {"Room IR Blend", "basic ir loader", "Basic IR Loader ", "Corvel plus IR Loader"}) {
        const auto g = irLoaderGeometry(name);
        ASSERT_FALSE(g.ok()) << name;
        EXPECT_NE(g.reason().find(name), std::string::npos) << g.reason();
    }
    EXPECT_FALSE(irLoaderGeometry("").ok());
}

// An image whose every byte differs from its neighbours, so a shifted or overwritten character
// outside the block shows.
std::string patternedImage(std::size_t bytes) {
    std::vector<std::uint8_t> b(bytes);
    for (std::size_t i = 0; i < bytes; ++i) b[i] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
    return toHex(b);
}

TEST(Merge, EveryLoaderReplacesItsBlockAndNothingElse) {
    const std::string image = patternedImage(5888);
    for (const TapGeometry& g : kIrLoaderGeometry) {
        std::vector<std::int32_t> taps(static_cast<std::size_t>(g.taps));
        for (std::size_t i = 0; i < taps.size(); ++i) taps[i] = static_cast<std::int32_t>(i * 4099) - 1000000;
        const auto merged = mergeTaps(image, g, taps);
        ASSERT_TRUE(merged.ok()) << merged.reason();
        ASSERT_EQ(merged->size(), image.size()) << g.effectName;

        const auto mergedBytes = *parseHex(*merged);
        const auto imageBytes = *parseHex(image);
        const std::size_t first = static_cast<std::size_t>(g.blockStartByte);
        const std::size_t last = first + static_cast<std::size_t>(g.blockBytes) - 1;
        for (std::size_t k = 0; k < imageBytes.size(); ++k) {
            if (k < first || k > last) {
                ASSERT_EQ(mergedBytes[k], imageBytes[k]) << g.effectName << " byte " << k;
            }
        }
        EXPECT_EQ(merged->substr(first * 2, taps.size() * 8), tapsHex(taps)) << g.effectName;
    }
}

TEST(Merge, BasicIrLoaderHoldsItsTapsInBytes230To3877) {
    const std::string image = patternedImage(5888);
    const std::vector<std::int32_t> taps(912, -1);
    const auto merged = mergeTaps(image, *irLoaderGeometry("Basic IR Loader"), taps);
    ASSERT_TRUE(merged.ok());
    const auto bytes = *parseHex(*merged);
    const auto original = *parseHex(image);
    EXPECT_EQ(bytes[229], original[229]);
    EXPECT_EQ(bytes[230], 0xFF);
    EXPECT_EQ(bytes[3877], 0xFF);
    EXPECT_EQ(bytes[3878], original[3878]);
}

TEST(Merge, RefusesAnImageTooShortOrTheWrongTapCount) {
    const TapGeometry g = *irLoaderGeometry("Basic IR Loader");
    const std::vector<std::int32_t> taps(912, 0);
    EXPECT_TRUE(mergeTaps(patternedImage(3878), g, taps).ok());  // the block ends the image
    EXPECT_FALSE(mergeTaps(patternedImage(3877), g, taps).ok());
    EXPECT_FALSE(mergeTaps("", g, taps).ok());
    EXPECT_FALSE(mergeTaps(patternedImage(5888), g, std::vector<std::int32_t>(911, 0)).ok());
}

// RIFF/WAVE builder for the log tests.
struct RiffBuilder {
    std::vector<std::uint8_t> bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    void u16(std::uint32_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void chunk(const char* id, std::vector<std::uint8_t> body, std::uint32_t statedSize = 0) {
        bytes.insert(bytes.end(), id, id + 4);
        u32(statedSize ? statedSize : static_cast<std::uint32_t>(body.size()));
        bytes.insert(bytes.end(), body.begin(), body.end());
        if (body.size() % 2) bytes.push_back(0);
    }
    void fmt(std::uint16_t format, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::size_t extra) {
        RiffBuilder f;
        f.bytes.clear();
        const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
        f.u16(format);
        f.u16(channels);
        f.u32(rate);
        f.u32(rate * align);
        f.u16(align);
        f.u16(bits);
        f.bytes.resize(f.bytes.size() + extra, 0);
        chunk("fmt ", f.bytes);
    }
    std::vector<std::uint8_t> finish() {
        const auto size = static_cast<std::uint32_t>(bytes.size() - 8);
        for (int i = 0; i < 4; ++i) bytes[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
        return bytes;
    }
};

std::string lineStarting(const std::vector<std::string>& lines, const std::string& label) {
    for (const auto& l : lines) {
        if (l.rfind(label, 0) == 0) return l.substr(label.size());
    }
    return "<missing>";
}

TEST(LogLines, ChunksAreFoundWhereverTheyLie) {
    RiffBuilder b;
    b.chunk("JUNK", std::vector<std::uint8_t>(27, 0));  // odd: padded to 28
    b.chunk("LIST", {'I', 'N', 'F', 'O'});
    b.fmt(0xFFFE, 2, 44100, 24, 24);  // extensible: 40-byte fmt
    b.chunk("fact", {1, 0, 0, 0});
    b.chunk("data", {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C});
    const auto file = b.finish();

    const auto lines = irFileLogLines(file, {2, 44100, 24, 2}, 1);
    EXPECT_EQ(lineStarting(lines, "ID: "), "RIFF");
    EXPECT_EQ(lineStarting(lines, "chunk size: "), std::to_string(file.size() - 8));
    EXPECT_EQ(lineStarting(lines, "Subchunk ID: "), "JUNK");  // bytes 12-15 as stored
    EXPECT_EQ(lineStarting(lines, "Subchink size: "), "40");
    EXPECT_EQ(lineStarting(lines, "Audio format: "), "65534");
    EXPECT_EQ(lineStarting(lines, "Num_of_channels: "), "2");
    EXPECT_EQ(lineStarting(lines, "Sample_Rate: "), "44100");
    EXPECT_EQ(lineStarting(lines, "Byte_Rate: "), "264600");
    EXPECT_EQ(lineStarting(lines, "Block align: "), "6");
    EXPECT_EQ(lineStarting(lines, "Bits_per_sample: "), "24");
    EXPECT_EQ(lineStarting(lines, "subchunk2size: "), "12");
    EXPECT_EQ(lineStarting(lines, "Audio data: "), "0102030405060708090A0B0C");
    EXPECT_EQ(lineStarting(lines, "irdata: "), "010203040506");  // one stereo frame
}

TEST(LogLines, OtherFilesLogWhatTheyWereDecodedWithAndTruncatedOnesDoNotOverrun) {
    const std::vector<std::uint8_t> flac = {'f', 'L', 'a', 'C', 0, 0, 0, 0x22, 0x10, 0x00};
    const auto lines = irFileLogLines(flac, {1, 96000, 24, 500}, 500);
    EXPECT_EQ(lineStarting(lines, "ID: "), "fLaC");
    EXPECT_EQ(lineStarting(lines, "Sample_Rate: "), "96000");
    EXPECT_EQ(lineStarting(lines, "Bits_per_sample: "), "24");
    EXPECT_EQ(lineStarting(lines, "Num_of_channels: "), "1");
    EXPECT_EQ(lineStarting(lines, "Audio data: "), "<missing>");

    RiffBuilder b;
    b.fmt(1, 1, 48000, 16, 0);
    b.chunk("data", {0x11, 0x22}, 1000);  // claims more than the file holds
    const auto truncated = irFileLogLines(b.finish(), {1, 48000, 16, 1}, 912);
    EXPECT_EQ(lineStarting(truncated, "subchunk2size: "), "1000");
    EXPECT_EQ(lineStarting(truncated, "Audio data: "), "1122");
    EXPECT_EQ(lineStarting(truncated, "irdata: "), "1122");

    const std::vector<std::uint8_t> tiny = {'R', 'I'};
    const auto few = irFileLogLines(tiny, {1, 48000, 16, 0}, 0);
    EXPECT_EQ(lineStarting(few, "ID: "), "RI");
    EXPECT_EQ(lineStarting(few, "chunk size: "), "<missing>");
}

TEST(LogLines, LongSampleDataIsShownInPart) {
    RiffBuilder b;
    b.fmt(1, 1, 48000, 16, 0);
    b.chunk("data", std::vector<std::uint8_t>(kLoggedAudioDataBytes + 10, 0xAB));
    const auto lines = irFileLogLines(b.finish(), {1, 48000, 16, 1}, 1);
    const std::string data = lineStarting(lines, "Audio data: ");
    EXPECT_EQ(data.substr(0, 4), "ABAB");
    EXPECT_NE(data.find("(" + std::to_string(kLoggedAudioDataBytes + 10) + " bytes in all)"), std::string::npos);
    EXPECT_LT(data.size(), kLoggedAudioDataBytes * 2 + 40);
}

TEST(Summary, NamesTheFileAndWarnsWhatTheUserShouldKnow) {
    IrSummary s;
    s.fileName = "cab.wav";
    s.fileBytes = 2780;
    s.format = {1, 48000, 24, 912};
    s.taps = *makeTaps(std::vector<std::int32_t>(912, 0), 912);
    EXPECT_EQ(irSummaryText(s), "Selected file data:\r\nName: cab.wav\r\nSize: 2780\r\nSample rate: 48000\r\n"
                                "Bits per sample: 24");

    s.format = {2, 44100, 16, 300};
    s.taps = *makeTaps(std::vector<std::int32_t>(300, 0), 912);
    const std::string text = irSummaryText(s);
    EXPECT_EQ(text.rfind("Selected file data:\r\nName: cab.wav\r\nSize: 2780\r\nSample rate: 44100\r\n"
                         "Bits per sample: 16\r\n",
                         0),
              0U)
        << text;
    EXPECT_NE(text.find("Warning"), std::string::npos);
    EXPECT_NE(text.find("44100 Hz"), std::string::npos);
    EXPECT_NE(text.find("first of the file's 2 channels"), std::string::npos);
    EXPECT_NE(text.find("300 samples long; 612 zero taps"), std::string::npos);
}

}  // namespace

TEST(LostEnergy, AskedOnlyWhenLessThanHalfIsKeptAndSaysHowMuchGoes) {
    struct Case {
        std::optional<double> kept;
        std::optional<std::string> lost;  // the share lost the question names; none: no question
    };
    const Case cases[] = {
        {0.001, "99.9 %"}, {0.25, "75.0 %"}, {0.4999, "50.0 %"}, {0.5, std::nullopt}, {0.993, std::nullopt},
        {std::nullopt, std::nullopt},  // a silent response loses nothing
    };
    for (const Case& c : cases) {
        qeltx::core::IrOutcome outcome;
        outcome.responseRate = 48000;
        outcome.responseSamples = 48000 * 600;
        outcome.keptEnergy = c.kept;
        const auto question = qeltx::core::lostEnergyQuestion(912, outcome);
        ASSERT_EQ(question.has_value(), c.lost.has_value()) << c.kept.value_or(-1);
        if (!question) continue;
        EXPECT_NE(question->find(*c.lost + " of its energy is lost"), std::string::npos) << *question;
        EXPECT_NE(question->find("kept 912 of 28800000 samples (19.0 ms of 600000.0 ms)"), std::string::npos) << *question;
    }
}
