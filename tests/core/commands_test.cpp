// The command table, the command-text conversion and every encoder's bytes.
#include "core/commands.h"
#include "core/hex.h"
#include "hex_bytes.h"

#include <gtest/gtest.h>

#include <array>

using namespace qeltx::core;

namespace {

using test_support::compactHex;
using test_support::hexBytes;

// ---- Command text to bytes --------------------------------------------------------------

struct TextCase {
    std::string name;
    std::string text;
    std::string expectedHex;  // empty = refused
};

class CommandText : public ::testing::TestWithParam<TextCase> {};

TEST_P(CommandText, ConvertsOrRefuses) {
    const auto& c = GetParam();
    const auto result = commandTextToBytes(c.text);
    if (c.expectedHex.empty()) {
        ASSERT_FALSE(result.ok());
        EXPECT_FALSE(result.reason().empty());
    } else {
        ASSERT_TRUE(result.ok()) << result.reason();
        EXPECT_EQ(*result, hexBytes(c.expectedHex));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandText,
    ::testing::Values(TextCase{"LiveOn", "0A0100", "0A0100"},
                      TextCase{"LowerCase", "0a0100", "0A0100"},
                      TextCase{"MixedCase", "0aFf", "0AFF"},
                      TextCase{"OddLengthDropsLastDigit", "0A010", "0A01"},
                      TextCase{"SingleDigitHoldsNoByte", "0", ""},
                      TextCase{"Empty", "", ""},
                      TextCase{"NonHexCharacterRefused", "0A0G00", ""},
                      TextCase{"NonHexInDroppedDigitRefused", "0A01Z", ""},
                      TextCase{"SpaceRefused", "0A 01", ""}),
    [](const auto& info) { return info.param.name; });

TEST(CommandTextLimit, TheTransmitBufferIsTheLongestCommand) {
    EXPECT_TRUE(commandTextToBytes(std::string(2 * kTxBufferSize, 'F')).ok());
    EXPECT_FALSE(commandTextToBytes(std::string(2 * kTxBufferSize + 2, 'F')).ok());
}

// ---- Number rules -----------------------------------------------------------------------

TEST(CountByte, IsTheCountModulo256) {
    EXPECT_EQ(countByteText(12), "0C");
    EXPECT_EQ(countByteText(7), "07");
    EXPECT_EQ(countByteText(10), "0A");
    EXPECT_EQ(countByteText(16), "10");
    EXPECT_EQ(countByteText(300), "2C");
}

struct PotCase {
    double position;
    std::string word;
};

class PotValue : public ::testing::TestWithParam<PotCase> {};

TEST_P(PotValue, GivesTheValueWord) {
    EXPECT_EQ(word32ToHex(valueWord(potValue(GetParam().position))), GetParam().word);
}

INSTANTIATE_TEST_SUITE_P(Cases, PotValue,
                         ::testing::Values(PotCase{512, "00400000"}, PotCase{1023, "007FE000"}, PotCase{0, "00000000"},
                                           PotCase{511.5, "00400000"},   // ties to even: 512
                                           PotCase{510.5, "003FC000"},   // ties to even: 510
                                           PotCase{510.6, "003FE000"},   // 511
                                           PotCase{-3, "00000000"}, PotCase{5000, "007FE000"}));

struct MultiCase {
    int options;
    int option;
    std::optional<std::string> word;
};

class MultiSwitchValue : public ::testing::TestWithParam<MultiCase> {};

TEST_P(MultiSwitchValue, StepsBy1024DivK) {
    const auto& c = GetParam();
    const auto word = multiSwitchValueWord(c.options, c.option);
    ASSERT_EQ(word.has_value(), c.word.has_value());
    if (word) {
        EXPECT_EQ(word32ToHex(*word), *c.word);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MultiSwitchValue,
                         ::testing::Values(MultiCase{3, 2, "00554000"},  // 682 × 8192
                                           MultiCase{3, 1, "002AA000"},  // 341
                                           MultiCase{2, 1, "00400000"}, MultiCase{4, 0, "00000000"},
                                           MultiCase{4, 1, "00200000"}, MultiCase{4, 2, "00400000"},
                                           MultiCase{4, 3, "00600000"}, MultiCase{16, 15, "00780000"},
                                           MultiCase{3, 3, std::nullopt}, MultiCase{3, -1, std::nullopt},
                                           MultiCase{0, 0, std::nullopt}, MultiCase{1025, 0, std::nullopt}));

TEST(TwoStateValues, SwitchAndButtonUseFullScaleOrZero) {
    EXPECT_EQ(word32ToHex(switchValueWord(true)), "00800000");
    EXPECT_EQ(word32ToHex(switchValueWord(false)), "00000000");
    EXPECT_EQ(word32ToHex(buttonValueWord(true)), "00800000");
    EXPECT_EQ(word32ToHex(buttonValueWord(false)), "00000000");
}

// ---- Encoders ---------------------------------------------------------------------------

struct EncodeCase {
    std::string name;
    PedalCommand command;
    std::string text;
    CommandSpec spec;
};

class Encoder : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Encoder, ComposesTheTextAndCarriesItsSpec) {
    const auto& c = GetParam();
    EXPECT_EQ(c.command.text, c.text);
    EXPECT_EQ(c.command.spec.code, c.spec.code);
    EXPECT_EQ(c.command.spec.purgeFirst, c.spec.purgeFirst);
    EXPECT_EQ(c.command.spec.pauseMs, c.spec.pauseMs);
    EXPECT_EQ(c.command.spec.replyLimitMs, c.spec.replyLimitMs);
    const auto sent = commandTextToBytes(c.command.text);
    ASSERT_TRUE(sent.ok());
    EXPECT_EQ(sent->front(), c.spec.code);
    if (c.spec.length != 0) {
        EXPECT_EQ(sent->size(), c.spec.length);
    }
}

const std::array<std::uint8_t, 3> kThreeControls{0x00, 0xFF, 0x0B};  // KI, --, EXP

INSTANTIATE_TEST_SUITE_P(
    Cases, Encoder,
    ::testing::Values(
        EncodeCase{"PotAt512", potCommand(0x0002, 512), "01000200400000", kPotParameterSpec},
        EncodeCase{"PotAt1023", potCommand(0x0002, 1023), "010002007FE000", kPotParameterSpec},
        EncodeCase{"SwitchOn", switchCommand(0x1A2B, true), "011A2B00800000", kParameterSpec},
        EncodeCase{"SwitchOff", switchCommand(0x1A2B, false), "011A2B00000000", kParameterSpec},
        EncodeCase{"ButtonPressed", buttonCommand(0x00FE, true), "0100FE00800000", kParameterSpec},
        EncodeCase{"ButtonReleased", buttonCommand(0x00FE, false), "0100FE00000000", kParameterSpec},
        EncodeCase{"MultiSwitch3Option2", *multiSwitchCommand(0x0010, 3, 2), "01001000554000", kParameterSpec},
        EncodeCase{"Request10", requestCommand(10), "020A", kRequestSpec},
        EncodeCase{"Request7", requestCommand(7), "0207", kRequestSpec},
        EncodeCase{"Store7", storeSettingsCommand(7), "0307", kStoreSettingsSpec},
        EncodeCase{"AssignExample", *assignCommand(kThreeControls, {}, 0x08, 0x09),
                   compactHex("04 00 FF 0B FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 08 09"), kAssignSpec},
        EncodeCase{"UpgradeMode", upgradeModeCommand(), "0500010203040506", kUpgradeModeSpec},
        EncodeCase{"Query", storedEffectQueryCommand(), "0600", kStoredEffectQuerySpec},
        EncodeCase{"MidiOmni", *midiChannelCommand(0), "0700", kMidiChannelSpec},
        EncodeCase{"Midi12", *midiChannelCommand(12), "070C", kMidiChannelSpec},
        EncodeCase{"Midi16", *midiChannelCommand(16), "0710", kMidiChannelSpec},
        EncodeCase{"ReverseOn5", *reverseCommand(true, 5), "080105", kReverseSpec},
        EncodeCase{"ReverseOff5", *reverseCommand(false, 5), "08FF05", kReverseSpec},
        EncodeCase{"LiveOn", liveCommand(true), "0A0100", kLiveSpec},
        EncodeCase{"LiveOff", liveCommand(false), "0A0000", kLiveSpec},
        EncodeCase{"Erase51", *eepromEraseCommand("51"), "0B51000000", kEepromEraseSpec},
        EncodeCase{"Read50", *eepromReadCommand("50"), "0C5000000000", kEepromReadSpec},
        EncodeCase{"BypassOn", bypassCommand(true), "0D01", kBypassSpec},
        EncodeCase{"BypassOff", bypassCommand(false), "0D00", kBypassSpec}),
    [](const auto& info) { return info.param.name; });

TEST(CommandTable, PurgesAndPausesAsThePedalNeeds) {
    // A command the pedal answers has no pause: its answer is awaited, with a time limit.
    struct Row {
        CommandSpec spec;
        bool purge;
        int pause;
        int replyLimit;
    };
    const Row rows[] = {
        {kUploadSpec, false, 0, 0},          {kPotParameterSpec, false, 1, 0},
        {kParameterSpec, false, 0, 0},       {kRequestSpec, true, 0, 2000},
        {kStoreSettingsSpec, true, 100, 0},  {kAssignSpec, false, 100, 0},
        {kUpgradeModeSpec, false, 100, 0},   {kStoredEffectQuerySpec, true, 0, 2000},
        {kMidiChannelSpec, false, 0, 0},     {kReverseSpec, false, 0, 0},
        {kLiveSpec, false, 0, 0},            {kEepromEraseSpec, true, 100, 0},
        {kEepromReadSpec, false, 0, 6000},   {kBypassSpec, false, 0, 0},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.spec.purgeFirst, r.purge) << r.spec.name;
        EXPECT_EQ(r.spec.pauseMs, r.pause) << r.spec.name;
        EXPECT_EQ(r.spec.replyLimitMs, r.replyLimit) << r.spec.name;
    }
}

TEST(Upload, KeepsThePresetImageAndReplacesTheFirstByteForABank) {
    const std::string image = "00A1B2C3";
    EXPECT_EQ(uploadCommand(image, UploadTarget::Preset)->text, "00A1B2C3");
    EXPECT_EQ(uploadCommand(image, UploadTarget::Bank1)->text, "0EA1B2C3");
    EXPECT_EQ(uploadCommand(image, UploadTarget::Bank2)->text, "0FA1B2C3");
    EXPECT_EQ(uploadCommand(image, UploadTarget::Bank3)->text, "10A1B2C3");
    EXPECT_FALSE(uploadCommand(image, UploadTarget::Bank2)->spec.purgeFirst);
    EXPECT_EQ(uploadCommand(image, UploadTarget::Bank2)->spec.pauseMs, 0);
    EXPECT_EQ(uploadCommand("", UploadTarget::Preset), std::nullopt);
    EXPECT_EQ(uploadCommand("0", UploadTarget::Bank1), std::nullopt);
}

TEST(Assign, PadsWithFFAndCarriesEveryBoxWhenFull) {
    std::array<std::uint8_t, 16> controls{};
    for (std::size_t i = 0; i < controls.size(); ++i) controls[i] = static_cast<std::uint8_t>(i % 12);
    const std::array<std::uint8_t, 4> readbacks{3, 2, 1, 0};
    const auto full = assignCommand(controls, readbacks, 10, 255);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->text, "04" "000102030405060708090A0B00010203" "03020100" "0A" "FF");

    const std::array<std::uint8_t, 1> oneReadback{1};
    EXPECT_EQ(assignCommand({}, oneReadback, 255, 255)->text,
              "04" "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF" "01FFFFFF" "FF" "FF");

    const std::array<std::uint8_t, 17> tooMany{};
    EXPECT_EQ(assignCommand(tooMany, {}, 8, 9), std::nullopt);
    const std::array<std::uint8_t, 5> tooManyReadbacks{};
    EXPECT_EQ(assignCommand({}, tooManyReadbacks, 8, 9), std::nullopt);
}

TEST(Eeprom, WithNoAddressChosenNothingIsSent) {
    EXPECT_EQ(eepromEraseCommand(""), std::nullopt);
    EXPECT_EQ(eepromReadCommand(""), std::nullopt);
    EXPECT_EQ(eepromEraseCommand("5"), std::nullopt);
    EXPECT_EQ(eepromReadCommand("5G"), std::nullopt);
    EXPECT_EQ(eepromReadCommand("500"), std::nullopt);
    EXPECT_EQ(eepromEraseCommand("5a")->text, "0B5A000000");
}

TEST(Midi, CaptionsGiveChannelBytes) {
    EXPECT_EQ(midiChannelFromCaption("OMNI"), 0);
    EXPECT_EQ(midiChannelFromCaption("1"), 1);
    EXPECT_EQ(midiChannelFromCaption("16"), 16);
    EXPECT_EQ(midiChannelFromCaption("17"), std::nullopt);
    EXPECT_EQ(midiChannelFromCaption("0"), std::nullopt);
    EXPECT_EQ(midiChannelFromCaption("&12"), std::nullopt);
    EXPECT_EQ(midiChannelCommand(17), std::nullopt);
    EXPECT_EQ(midiChannelCommand(-1), std::nullopt);
}

TEST(Reverse, IndexesBeyondTheControlsAreRefused) {
    EXPECT_EQ(reverseCommand(true, 15)->text, "08010F");
    EXPECT_EQ(reverseCommand(true, 16), std::nullopt);
    EXPECT_EQ(reverseCommand(false, -1), std::nullopt);
    EXPECT_EQ(multiSwitchCommand(0x0001, 3, 3), std::nullopt);
}

}  // namespace
