// The pedal's answers to every normal-mode command, byte for byte.
#include "pedal_fixture.h"

#include <gtest/gtest.h>

namespace qeltx::pedal_sim::test {
namespace {

TEST(StoredEffectQuery, AnswersMarkerNumberVersionAndFirmwareEachEndedByCrLf) {
    Pedal pedal;
    pedal.send({0x06, 0x00});
    EXPECT_EQ(pedal.takeText(), "1\r\n43\r\n1\r\n1\r\n");
}

TEST(StoredEffectQuery, PedalWithoutAlgorithmAnswers255Twice) {
    PedalOptions options;
    options.storedNumber = 0;
    options.imageSource = [](std::uint8_t) { return std::optional<Bytes>{}; };
    PedalModel model(options);
    const Bytes query{0x06, 0x00};
    model.receive(query.data(), query.size(), kNormalLine);
    const std::string text(model.output().begin(), model.output().end());
    EXPECT_EQ(text.substr(0, 10), "255\r\n255\r\n");
}

TEST(StoredEffectQuery, StoredNumberWithoutImageIsStillReported) {
    PedalOptions options;
    options.storedNumber = 0x2B;
    options.imageSource = [](std::uint8_t) { return std::optional<Bytes>{}; };
    PedalModel model(options);
    EXPECT_EQ(model.algorithmNumber(), 0x2B);
    EXPECT_EQ(model.algorithmVersion(), 1u);
}

TEST(ParameterWrite, LandsInTheControlThroughTheAddressTable) {
    Pedal pedal;  // controls 0, 1, 2 at addresses 2, 5, 7
    pedal.send({0x01, 0x00, 0x02, 0x00, 0x40, 0x00, 0x00});  // pot at 0002 to 512
    pedal.send({0x01, 0x00, 0x07, 0x00, 0x80, 0x00, 0x00});  // switch at 0007 on
    EXPECT_EQ(pedal.model().controlValue(0), 512u * 8192);
    EXPECT_EQ(pedal.model().controlValue(1), 0u);
    EXPECT_EQ(pedal.model().controlValue(2), 1024u * 8192);
    EXPECT_TRUE(pedal.take().empty());  // no answer
}

TEST(ParameterWrite, InitialValuesComeFromTheImagesParameterArea) {
    ImageSpec spec;
    spec.words = {0, 0, 0x00200000, 0, 0, 0x007FE000, 0, 0x00800000};
    Pedal pedal(spec);
    EXPECT_EQ(pedal.model().controlValue(0), 0x00200000u);
    EXPECT_EQ(pedal.model().controlValue(1), 0x007FE000u);
    EXPECT_EQ(pedal.model().controlValue(2), 0x00800000u);
}

TEST(Request, BlockForThreeControlsWithoutReadbacksHas53BytesInPlace) {
    ImageSpec spec;
    spec.words = {0, 0, 0x007FE000, 0, 0, 0xFFFFE000, 0, 0x00800000};
    Pedal pedal(spec);
    pedal.send({0x04, 0x00, 0xFF, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x08, 0x09});
    pedal.send({0x08, 0x01, 0x02});
    pedal.send({0x07, 0x10});
    const auto block = pedal.request(3);
    ASSERT_EQ(block.size(), 53u);
    EXPECT_EQ((std::vector<int>(block.begin(), block.begin() + 12)),
              (std::vector<int>{0, 127, 224, 0, 255, 255, 224, 0, 0, 128, 0, 0}));
    EXPECT_EQ(block[12], 0);    // control 0 on KI
    EXPECT_EQ(block[13], 255);  // control 1 unassigned
    EXPECT_EQ(block[14], 11);   // control 2 on EXP
    EXPECT_EQ(block[28], 8);    // bypass toggle FS
    EXPECT_EQ(block[29], 9);    // preset change FL
    for (int j = 30; j < 34; ++j) EXPECT_EQ(block[j], 255) << j;
    EXPECT_EQ(block[34], 255);
    EXPECT_EQ(block[36], 1);   // reverse of control 2
    EXPECT_EQ(block[50], 0);   // preset mode
    EXPECT_EQ(block[51], 0);   // preset number
    EXPECT_EQ(block[52], 16);  // MIDI channel
}

TEST(Request, BlockForSixteenControlsAndFourReadbacksHas105Bytes) {
    ImageSpec spec;
    spec.controls = 16;
    spec.addresses.clear();
    for (std::uint16_t i = 0; i < 16; ++i) spec.addresses.push_back(static_cast<std::uint16_t>(i + 16));
    spec.words.assign(32, 0);
    for (std::uint32_t i = 0; i < 16; ++i) spec.words[16 + i] = i * 64 * 8192;
    Pedal pedal(spec);
    Bytes assign{0x04};
    for (std::uint8_t i = 0; i < 16; ++i) assign.push_back(static_cast<std::uint8_t>(i % 12));
    assign.insert(assign.end(), {0x03, 0x02, 0x01, 0x00, 0x0A, 0x08});
    pedal.send(assign);
    const auto block = pedal.request(16);
    ASSERT_EQ(block.size(), 105u);
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t word = static_cast<std::uint32_t>(i) * 64 * 8192;
        EXPECT_EQ(block[4 * i + 1], static_cast<int>((word >> 16) & 0xFF)) << i;
        EXPECT_EQ(block[4 * i + 2], static_cast<int>((word >> 8) & 0xFF)) << i;
        EXPECT_EQ(block[64 + i], i % 12) << i;
    }
    EXPECT_EQ(block[80], 10);
    EXPECT_EQ(block[81], 8);
    EXPECT_EQ((std::vector<int>(block.begin() + 82, block.begin() + 86)), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(block[104], 0);  // OMNI
}

TEST(ReverseLiveBypassMidi, ChangeThePedalsState) {
    Pedal pedal;
    pedal.send({0x08, 0x01, 0x05});
    EXPECT_EQ(pedal.model().settings().reverse[5], 0x01);
    pedal.send({0x08, 0xFF, 0x05});
    EXPECT_EQ(pedal.model().settings().reverse[5], 0xFF);
    pedal.send({0x0A, 0x01, 0x00});
    EXPECT_TRUE(pedal.model().live());
    pedal.send({0x0A, 0x00, 0x00});
    EXPECT_FALSE(pedal.model().live());
    pedal.send({0x0D, 0x01});
    EXPECT_TRUE(pedal.model().bypass());
    pedal.send({0x0D, 0x00});
    EXPECT_FALSE(pedal.model().bypass());
    pedal.send({0x07, 0x0C});
    EXPECT_EQ(pedal.model().record().midiChannel, 12);
    EXPECT_TRUE(pedal.take().empty());
}

TEST(Store, SettingsAndValuesSurviveAPowerCycleOnlyWhenStored) {
    Pedal pedal;
    pedal.send({0x04, 0x00, 0x06, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x08, 0x09});
    pedal.send({0x01, 0x00, 0x05, 0x00, 0x20, 0x00, 0x00});
    pedal.send({0x07, 0x03});
    pedal.model().powerCycle();
    EXPECT_EQ(pedal.model().settings().assignments[0], 0xFF);
    EXPECT_EQ(pedal.model().controlValue(1), 0u);

    pedal.send({0x04, 0x00, 0x06, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x08, 0x09});
    pedal.send({0x01, 0x00, 0x05, 0x00, 0x20, 0x00, 0x00});
    pedal.send({0x07, 0x03});
    pedal.send({0x03, 0x03});
    pedal.model().powerCycle();
    EXPECT_EQ(pedal.model().settings().assignments[1], 6);
    EXPECT_EQ(pedal.model().settings().bypassAssignment, 8);
    EXPECT_EQ(pedal.model().controlValue(1), 0x00200000u);
    EXPECT_EQ(pedal.model().record().midiChannel, 3);
}

Bytes dump(Pedal& pedal, std::uint8_t address) {
    pedal.send({0x0C, address, 0x00, 0x00, 0x00, 0x00});
    return pedal.take();
}

TEST(Eeprom, EraseThenReadGives16384BytesOfFF) {
    Pedal pedal;
    for (std::uint8_t address : {std::uint8_t{0x50}, std::uint8_t{0x51}}) {
        pedal.send({0x0B, address, 0x00, 0x00, 0x00});
        const Bytes frame = dump(pedal, address);
        ASSERT_EQ(frame.size(), 16385u);
        EXPECT_EQ(frame[0], 0xAB);
        EXPECT_TRUE(std::all_of(frame.begin() + 1, frame.end(), [](std::uint8_t b) { return b == 0xFF; }));
    }
}

TEST(Eeprom, UnerasedSettingsDumpHoldsTheAlgorithm) {
    Pedal pedal;
    const Bytes frame = dump(pedal, 0x50);
    ASSERT_EQ(frame.size(), 16385u);
    const Bytes image = buildImage({});
    EXPECT_TRUE(std::equal(image.begin(), image.end(), frame.begin() + 1));
}

TEST(Eeprom, ErasedSettingsMeanNoAlgorithmAfterRestart) {
    Pedal pedal;
    pedal.send({0x0B, 0x50, 0x00, 0x00, 0x00});
    EXPECT_TRUE(pedal.model().hasAlgorithm());  // until the firmware starts again
    pedal.send({0x05, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});  // restart without B2
    EXPECT_FALSE(pedal.model().hasAlgorithm());
    pedal.send({0x06, 0x00});
    EXPECT_EQ(pedal.takeText().substr(0, 10), "255\r\n255\r\n");
}

TEST(Eeprom, ErasingTheSettingsClearsAssignmentsAndReverseFlags) {
    Pedal pedal;
    Bytes assign(23, 0xFF);
    assign[0] = 0x04;
    assign[1] = 0x00;  // control 0 on KI
    assign[3] = 0x0B;  // control 2 on EXP
    pedal.send(assign);
    pedal.send({0x08, 0x01, 0x02});
    EXPECT_EQ(pedal.model().settings().assignments[0], 0x00);
    EXPECT_EQ(pedal.model().settings().reverse[2], 0x01);
    // Erasing the banks' memory leaves them; erasing the settings' memory takes them.
    pedal.send({0x0B, 0x51, 0x00, 0x00, 0x00});
    EXPECT_EQ(pedal.model().settings().assignments[2], 0x0B);
    pedal.send({0x0B, 0x50, 0x00, 0x00, 0x00});
    EXPECT_EQ(pedal.model().settings().assignments[0], 0xFF);
    EXPECT_EQ(pedal.model().settings().assignments[2], 0xFF);
    EXPECT_EQ(pedal.model().settings().reverse[2], 0xFF);
    // A knob that was assigned no longer moves anything.
    pedal.takeText();
    pedal.model().turnKnob(0, 700);
    EXPECT_TRUE(pedal.model().output().empty());
}

TEST(Eeprom, NoDeviceAtOtherAddressesAnswersNothing) {
    Pedal pedal;
    pedal.send({0x0B, 0x52, 0x00, 0x00, 0x00});
    EXPECT_TRUE(dump(pedal, 0x52).empty());
    EXPECT_EQ(dump(pedal, 0x50).size(), 16385u);  // framing kept: the next command is understood
}

TEST(Upload, PresetUploadIsTakenAndReported) {
    Pedal pedal;
    ImageSpec spec;
    spec.number = 7;
    spec.controls = 2;
    spec.addresses = {9, 3};
    const Bytes image = buildImage(spec);
    pedal.model().setUploadVersion(4);
    pedal.send(image);
    EXPECT_EQ(pedal.takeText(), "Upload complete");
    EXPECT_EQ(pedal.model().algorithmNumber(), 7);
    EXPECT_EQ(pedal.model().algorithm()->controlCount, 2);
    pedal.send({0x01, 0x00, 0x03, 0x00, 0x10, 0x00, 0x00});
    EXPECT_EQ(pedal.model().controlValue(1), 0x00100000u);
    pedal.send({0x06, 0x00});
    EXPECT_EQ(pedal.takeText(), "1\r\n7\r\n4\r\n1\r\n");
}

TEST(Upload, ImageArrivingInPiecesIsTakenOnceWhole) {
    Pedal pedal;
    const Bytes image = buildImage({});
    for (std::size_t at = 0; at < image.size(); at += 7) {
        EXPECT_TRUE(pedal.take().empty());
        pedal.send(Bytes(image.begin() + static_cast<std::ptrdiff_t>(at),
                         image.begin() + static_cast<std::ptrdiff_t>(std::min(at + 7, image.size()))));
    }
    EXPECT_EQ(pedal.takeText(), "Upload complete");
}

TEST(Upload, BankUploadGoesToItsBankAndSwitchesToBankMode) {
    Pedal pedal;
    ImageSpec spec;
    spec.number = 12;
    Bytes image = buildImage(spec);
    image[0] = 0x0F;
    pedal.send(image);
    EXPECT_EQ(pedal.takeText(), "Upload complete");
    EXPECT_EQ(pedal.model().record().mode, 1);
    EXPECT_EQ(pedal.model().record().bankOrPreset, 1);
    const auto block = pedal.request(3);
    ASSERT_EQ(block.size(), 53u);
    EXPECT_EQ(block[50], 1);
    EXPECT_EQ(block[51], 1);
    // The preset algorithm stays where it was.
    EXPECT_EQ(pedal.model().eeprom(0x50)->bytes()[126], 43);
    EXPECT_EQ(pedal.model().eeprom(0x51)->bytes()[5440 + 126], 12);
}

struct BadImage {
    const char* name;
    void (*spoil)(Bytes&);
};

class UploadRefused : public ::testing::TestWithParam<BadImage> {};

TEST_P(UploadRefused, NoCompletionAndTheOldAlgorithmStays) {
    Pedal pedal;
    Bytes image = buildImage({.number = 9});
    GetParam().spoil(image);
    image[1] = static_cast<std::uint8_t>(image.size() >> 8);
    image[2] = static_cast<std::uint8_t>(image.size() & 0xFF);
    pedal.send(image);
    EXPECT_TRUE(pedal.take().empty());
    EXPECT_EQ(pedal.model().uploadsRefused(), 1u);
    EXPECT_EQ(pedal.model().algorithmNumber(), 43);
    pedal.send({0x06, 0x00});  // the pedal listens again afterwards
    EXPECT_EQ(pedal.takeText(), "1\r\n43\r\n1\r\n1\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Records, UploadRefused,
    ::testing::Values(
        BadImage{"UnknownRecordType", [](Bytes& b) { b[128] = 0x02; }},
        BadImage{"NoEndRecord", [](Bytes& b) { b.resize(b.size() - 6); }},
        BadImage{"NonZeroAfterEnd", [](Bytes& b) { b.back() = 0x01; }},
        BadImage{"WriteRecordOverrunsImage", [](Bytes& b) { b[129] = 0x7F; }},
        BadImage{"TooManyControls", [](Bytes& b) { b[127] = 17; }},
        BadImage{"HeaderOnly", [](Bytes& b) { b.resize(100); }},
        BadImage{"TooLargeForTheBank", [](Bytes& b) { b[0] = 0x10; b.resize(b.size() + 5440, 0); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnknownBytes, AreDroppedWithoutLosingTheNextCommand) {
    Pedal pedal;
    pedal.send({0x09, 0x7E, 0xFF, 0x06, 0x00});
    EXPECT_EQ(pedal.takeText(), "1\r\n43\r\n1\r\n1\r\n");
}

}  // namespace
}  // namespace qeltx::pedal_sim::test
