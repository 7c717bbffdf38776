// Settings backups without the catalogue: the commands a restore sends, when it uploads first,
// how many settings it counts, the differences it reports, and the labels of the file.
#include "core/hex.h"
#include "core/settings_backup.h"
#include "hex_bytes.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

namespace {

using test_support::compactHex;

// Two pots, a switch and a multi-switch of 4 options; one read-back.
ControlLayout smallLayout() {
    ControlLayout layout;
    layout.counts = LayoutCounts{2, 1, 1, 1};
    layout.potNames = {"Drive", "Tone"};
    layout.twoStateRows = {TwoStateRow{"Boost", "OFF", "ON", false}};
    layout.multiSwitchRows = {MultiSwitchRow{"Shape", {"A", "B", "C", "D"}}};
    layout.readbackNames = {"Env"};
    return layout;
}

SettingsBackup smallBackup() {
    SettingsBackup b;
    b.effectNumber = 7;
    b.effectName = "Small";
    b.effectVersion = 2;
    ParameterBlock& s = b.settings;
    s.values = {512, 1023, 1024, 512};
    s.assignments = {0, 255, 8, 11};
    s.reverseFlags = {kReverseFlagOn, kReverseFlagOff, kReverseFlagOff, kReverseFlagOff};
    s.readbackAssignments = {3};
    s.bypassAssignment = 9;
    s.presetAssignment = 255;
    s.mode = 0;
    s.bankOrPreset = 4;
    s.midiChannel = 12;
    return b;
}

ImageHeader headerWithAddresses() {
    ImageHeader h;
    for (std::size_t i = 0; i < h.addresses.size(); ++i) h.addresses[i] = static_cast<std::uint16_t>(0x0100 + i);
    return h;
}

std::vector<std::string> texts(const std::vector<PedalCommand>& commands) {
    std::vector<std::string> out;
    for (const auto& c : commands) out.push_back(c.text);
    return out;
}

TEST(RestoreCommands, EveryValueAssignmentReverseFlagMidiThenStore) {
    const auto sent = texts(restoreCommands(smallBackup(), headerWithAddresses()));
    const std::vector<std::string> expected = {
        compactHex("01 01 00 00 40 00 00"),  // Drive 512 at the image's first address
        compactHex("01 01 01 00 7F E0 00"),  // Tone 1023
        compactHex("01 01 02 00 80 00 00"),  // Boost on (1024)
        compactHex("01 01 03 00 40 00 00"),  // Shape option 2 of 4
        compactHex("04 00 FF 08 0B FF FF FF FF FF FF FF FF FF FF FF FF 03 FF FF FF 09 FF"),
        compactHex("08 01 00"),
        compactHex("08 FF 01"),
        compactHex("08 FF 02"),
        compactHex("08 FF 03"),
        compactHex("07 0C"),
        compactHex("03 04"),
    };
    EXPECT_EQ(sent, expected);
    // A purge before Store would drop the reverse and MIDI commands still on their way.
    for (const PedalCommand& c : restoreCommands(smallBackup(), headerWithAddresses())) EXPECT_FALSE(c.spec.purgeFirst) << c.text;
}

TEST(RestoreCommands, OmniIsChannelZeroWhicheverWayThePedalSaidIt) {
    for (std::uint8_t omni : {std::uint8_t{0}, std::uint8_t{255}}) {
        SettingsBackup b = smallBackup();
        b.settings.midiChannel = omni;
        const auto sent = texts(restoreCommands(b, headerWithAddresses()));
        EXPECT_EQ(sent[sent.size() - 2], "0700") << int(omni);
    }
}

TEST(RestoreCommands, AnAlgorithmsStartingValueIsLeftToTheUpload) {
    SettingsBackup b = smallBackup();
    b.settings.values[1] = -391;  // a coefficient word, not a pot position
    markAlgorithmDefaults(b, smallLayout());
    EXPECT_EQ(b.algorithmDefaults, (std::vector<bool>{false, true, false, false}));
    const auto sent = texts(restoreCommands(b, headerWithAddresses()));
    EXPECT_EQ(sent.size(), 10u);
    EXPECT_EQ(sent[1], compactHex("01 01 02 00 80 00 00"));  // control 1 is skipped

    ParameterBlock same = b.settings;
    ParameterBlock changed = b.settings;
    changed.values[1] = 500;  // set since: only an upload brings the starting value back
    EXPECT_FALSE(restoreNeedsUpload(b, true, 7, &same));
    EXPECT_TRUE(restoreNeedsUpload(b, true, 7, &changed));
}

TEST(RestoreUpload, OnlyWhenThePedalCannotAlreadyHoldTheBackup) {
    const SettingsBackup preset = smallBackup();
    SettingsBackup bank = smallBackup();
    bank.settings.mode = 1;
    bank.settings.bankOrPreset = 1;
    SettingsBackup withIr = smallBackup();
    withIr.irImage = "00";
    ParameterBlock heldPreset = preset.settings;
    heldPreset.bankOrPreset = 9;  // another preset number: not something an upload sets
    ParameterBlock heldBank2 = bank.settings;
    ParameterBlock heldBank3 = bank.settings;
    heldBank3.bankOrPreset = 2;

    struct Case {
        const char* name;
        const SettingsBackup& backup;
        bool stored;
        std::uint32_t held;
        const ParameterBlock* settings;
        bool upload;
    };
    const Case cases[] = {
        {"empty pedal", preset, false, 255, nullptr, true},
        {"another algorithm", preset, true, 8, nullptr, true},
        {"same algorithm, same mode", preset, true, 7, &heldPreset, false},
        {"same algorithm, pedal in bank mode", preset, true, 7, &heldBank2, true},
        {"bank backup, same bank", bank, true, 7, &heldBank2, false},
        {"bank backup, other bank", bank, true, 7, &heldBank3, true},
        {"bank backup, pedal in preset mode", bank, true, 7, &heldPreset, true},
        {"merged impulse response", withIr, true, 7, &heldPreset, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(restoreNeedsUpload(c.backup, c.stored, c.held, c.settings), c.upload) << c.name;
    }
    EXPECT_EQ(uploadTargetOf(preset), UploadTarget::Preset);
    EXPECT_EQ(uploadTargetOf(bank), UploadTarget::Bank2);
}

TEST(SettingsCount, ThreePerControlOnePerReadbackAndFiveMore) {
    EXPECT_EQ(settingsCount(smallBackup()), 3u * 4 + 1 + 5);
    SettingsBackup amber;
    amber.settings.values.resize(3);
    EXPECT_EQ(settingsCount(amber), 14u);  // three pots, no read-backs
}

TEST(SettingsDifferences, NoneWhenThePedalReadsBackTheBackup) {
    const SettingsBackup b = smallBackup();
    EXPECT_TRUE(settingsDifferences(b, smallLayout(), 7, b.settings).empty());
    // The two spellings of OMNI and another preset number are the same settings.
    SettingsBackup omni = b;
    omni.settings.midiChannel = 0;
    ParameterBlock held = omni.settings;
    held.midiChannel = 255;
    held.bankOrPreset = 1;
    EXPECT_TRUE(settingsDifferences(omni, smallLayout(), 7, held).empty());
}

TEST(SettingsDifferences, NameEachSettingThatDidNotTake) {
    const SettingsBackup b = smallBackup();
    ParameterBlock held = b.settings;
    held.values[1] = 300;
    held.assignments[0] = 1;
    held.reverseFlags[0] = kReverseFlagOff;
    held.readbackAssignments[0] = 255;
    held.bypassAssignment = 8;
    held.presetAssignment = 10;
    held.mode = 1;
    held.bankOrPreset = 2;
    held.midiChannel = 0;
    const std::vector<std::string> expected = {
        "algorithm: 7 Small in the backup, number 11 on the pedal",
        "control 0 (Drive) assignment: KI in the backup, KII on the pedal",
        "control 0 (Drive) reverse: on in the backup, off on the pedal",
        "control 1 (Tone) value: 1023 in the backup, 300 on the pedal",
        "read-back 0 (Env) assignment: GREEN in the backup, -- on the pedal",
        "bypass toggle: FL in the backup, FS on the pedal",
        "preset change: -- in the backup, RMT on the pedal",
        "mode: preset mode in the backup, bank mode, bank 3 on the pedal",
        "MIDI channel: 12 in the backup, OMNI on the pedal",
    };
    const auto found = settingsDifferences(b, smallLayout(), 11, held);
    EXPECT_EQ(found, expected);
    EXPECT_EQ(restoreSummary(settingsCount(b), found).substr(0, 49), "restored 9 of 18 settings; these did not take:\n  ");
    EXPECT_EQ(restoreSummary(14, {}), "restored 14 of 14 settings");
}

TEST(SettingsDifferences, AShortReadBackIsADifferenceNotARead) {
    const SettingsBackup b = smallBackup();
    ParameterBlock held = b.settings;
    held.values.resize(2);
    held.assignments.resize(2);
    held.reverseFlags.resize(2);
    const auto found = settingsDifferences(b, smallLayout(), 7, held);
    ASSERT_EQ(found.size(), 6u);
    EXPECT_EQ(found[0], "control 2 (Boost) value: 1024 in the backup, nothing on the pedal");
}

TEST(BackupLabels, EveryCodeTheBoxesOfferRoundTrips) {
    for (int code = 0; code < 256; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        const bool control = code <= 11 || code == 255;
        const bool readback = code <= 3 || code == 255;
        const bool footswitch = (code >= 8 && code <= 10) || code == 255;
        ASSERT_EQ(controlAssignmentText(c).has_value(), control) << code;
        ASSERT_EQ(readbackAssignmentText(c).has_value(), readback) << code;
        ASSERT_EQ(footswitchAssignmentText(c).has_value(), footswitch) << code;
        if (control) {
            EXPECT_EQ(controlAssignmentCode(*controlAssignmentText(c)), c);
        }
        if (readback) {
            EXPECT_EQ(readbackAssignmentCode(*readbackAssignmentText(c)), c);
        }
        if (footswitch) {
            EXPECT_EQ(footswitchAssignmentCode(*footswitchAssignmentText(c)), c);
        }
    }
    EXPECT_EQ(controlAssignmentText(11), "EXP");
    EXPECT_EQ(footswitchAssignmentText(10), "RMT");
    EXPECT_FALSE(controlAssignmentCode("KVI"));
    EXPECT_FALSE(footswitchAssignmentCode("KI"));  // a knob cannot toggle bypass
}

TEST(ParameterKinds, FollowTheLayoutOrderWithTheirRanges) {
    ControlLayout layout = smallLayout();
    layout.counts.switches = 2;
    layout.twoStateRows.push_back(TwoStateRow{"Tap", "", "", true});
    layout.counts.multiSwitches = 1;
    EXPECT_EQ(parameterKindOf(layout, 1), ParameterKind::Pot);
    EXPECT_EQ(parameterKindOf(layout, 2), ParameterKind::Switch);
    EXPECT_EQ(parameterKindOf(layout, 3), ParameterKind::Button);
    EXPECT_EQ(parameterKindOf(layout, 4), ParameterKind::MultiSwitch);
    EXPECT_EQ(controlName(layout, 4), "Shape");
    EXPECT_EQ(maxParameterValue(ParameterKind::Pot), 1023);
    EXPECT_EQ(maxParameterValue(ParameterKind::Button), 1024);
    EXPECT_EQ(maxParameterValue(ParameterKind::MultiSwitch), 1023);
}

}  // namespace
