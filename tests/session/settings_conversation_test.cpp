// Backup and restore on the virtual pedal behind the driver seam: a backup survives Erase
// Settings, a pedal holding another algorithm gets the backup's uploaded first, and a refused
// backup sends nothing.
#include "core/hex.h"
#include "core/impulse_response.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "resources/resource_store.h"
#include "session/settings_conversation.h"

#include <gtest/gtest.h>

#include <memory>

using namespace qeltx;

namespace {

core::ResourceLookup catalogue() {
    return [](std::string_view name) { return resources::catalogueResource(name); };
}

class CountingTiming : public session::Timing {
public:
    qint64 now = 0;
    void pause(int ms) override { now += ms; }
    void processEvents(int ms) override { now += ms > 0 ? ms : 1; }
    qint64 nowMs() override { return now; }
};

// The virtual pedal, linked at the pedal's line settings.
struct VirtualLine {
    explicit VirtualLine(pedal_sim::PedalOptions options = {}) : model(std::move(options)) {
        usb.Open_USB_Device_By_Serial_Number(pedal_sim::kVirtualPedalSerial);
        usb.SetPortParameters(link::portModeNormal);
        usb.SetFTDeviceBaudRate();
        usb.SetFTDeviceDataCharacteristics();
    }
    pedal_sim::PedalModel model;
    pedal_sim::VirtualPedalDriver driver{model};
    link::D2XXUnit usb{driver, [](const std::string&) {}};
    CountingTiming timing;
    session::LineOwner owner{timing};
    QStringList log;
    session::Exchange exchange{usb, owner, [this](const QString& text) { log << text; }};
    session::PedalLine line{exchange, usb, owner, [this](const QString& text) { log << text; }};
};

pedal_sim::PedalOptions holding(std::uint8_t number) {
    pedal_sim::PedalOptions options;
    options.storedNumber = number;
    return options;
}

// Amber Drive in bank II with every kind of setting away from the pedal's defaults.
core::SettingsBackup amberDriveInBank2() {
    core::SettingsBackup b;
    b.effectNumber = 1;
    b.effectName = "Amber Drive";
    core::ParameterBlock& s = b.settings;
    s.values = {100, 300, 1023};
    s.assignments = {0, 255, 11};
    s.reverseFlags = {core::kReverseFlagOff, core::kReverseFlagOff, core::kReverseFlagOn};
    s.bypassAssignment = 10;
    s.presetAssignment = 9;
    s.mode = 1;
    s.bankOrPreset = 1;
    s.midiChannel = 5;
    return b;
}

void expectSameSettings(const core::ParameterBlock& a, const core::ParameterBlock& b) {
    EXPECT_EQ(a.values, b.values);
    EXPECT_EQ(a.assignments, b.assignments);
    EXPECT_EQ(a.reverseFlags, b.reverseFlags);
    EXPECT_EQ(a.readbackAssignments, b.readbackAssignments);
    EXPECT_EQ(a.bypassAssignment, b.bypassAssignment);
    EXPECT_EQ(a.presetAssignment, b.presetAssignment);
    EXPECT_EQ(a.mode, b.mode);
    EXPECT_EQ(a.bankOrPreset, b.bankOrPreset);
    EXPECT_EQ(a.midiChannel, b.midiChannel);
}

void eraseSettingsAndRestart(pedal_sim::PedalModel& model) {
    model.eeprom(pedal_sim::kEepromSettingsAddress)->erase();
    model.eeprom(pedal_sim::kEepromBanksAddress)->erase();
    model.powerCycle();
}

TEST(SettingsConversation, BackupEraseRestoreGivesTheSameReadBack) {
    VirtualLine pedal(holding(11));  // Glass Phaser in preset mode
    const auto set = session::restorePedalSettings(pedal.line, amberDriveInBank2(), catalogue());
    ASSERT_TRUE(set.ok()) << set.reason();
    EXPECT_EQ(set->summary, "restored 14 of 14 settings");

    const auto before = session::readPedalSettings(pedal.line, catalogue());
    ASSERT_TRUE(before.ok()) << before.reason();
    EXPECT_EQ(before->backup.effectName, "Amber Drive");
    expectSameSettings(before->backup.settings, amberDriveInBank2().settings);

    eraseSettingsAndRestart(pedal.model);
    ASSERT_FALSE(pedal.model.hasAlgorithm());
    const unsigned uploadsBefore = pedal.model.uploadsTaken();
    const auto restored = session::restorePedalSettings(pedal.line, before->backup, catalogue());
    ASSERT_TRUE(restored.ok()) << restored.reason();
    EXPECT_TRUE(restored->uploaded);
    EXPECT_EQ(pedal.model.uploadsTaken(), uploadsBefore + 1);
    EXPECT_EQ(restored->summary, "restored 14 of 14 settings");

    // Stored on the pedal: it comes back the same after another restart.
    pedal.model.powerCycle();
    const auto after = session::readPedalSettings(pedal.line, catalogue());
    ASSERT_TRUE(after.ok()) << after.reason();
    EXPECT_EQ(after->backup.effectNumber, 1u);
    expectSameSettings(after->backup.settings, before->backup.settings);
}

TEST(SettingsConversation, UploadsOnlyWhenThePedalHoldsAnotherAlgorithm) {
    VirtualLine other(holding(11));
    const auto intoOther = session::restorePedalSettings(other.line, amberDriveInBank2(), catalogue());
    ASSERT_TRUE(intoOther.ok()) << intoOther.reason();
    EXPECT_TRUE(intoOther->uploaded);
    EXPECT_EQ(other.model.algorithmNumber(), 1);
    EXPECT_EQ(other.model.uploadsTaken(), 1u);
    // The image went to bank II (destination 0F), before any setting.
    const auto& written = other.model.received();
    const auto image = std::search(written.begin(), written.end(), other.model.algorithm()->bytes.begin() + 1,
                                   other.model.algorithm()->bytes.begin() + 128);
    ASSERT_NE(image, written.end());
    EXPECT_EQ(*(image - 1), 0x0F);

    // Restoring again into the same algorithm, mode and bank sends no image.
    const auto again = session::restorePedalSettings(other.line, amberDriveInBank2(), catalogue());
    ASSERT_TRUE(again.ok()) << again.reason();
    EXPECT_FALSE(again->uploaded);
    EXPECT_EQ(other.model.uploadsTaken(), 1u);
    EXPECT_EQ(again->summary, "restored 14 of 14 settings");
}

TEST(SettingsConversation, AMergedImpulseResponseIsWhatIsUploaded) {
    VirtualLine pedal(holding(32));  // Basic IR Loader with the catalogue's response
    const auto loaded = core::loadCatalogueEffect(32, catalogue());
    ASSERT_TRUE(loaded.effect);
    const auto geometry = core::irLoaderGeometry(loaded.effect->name);
    std::vector<std::int32_t> taps(static_cast<std::size_t>(geometry->taps), 0);
    taps[0] = 0x123456;
    const auto merged = core::mergeTaps(loaded.effect->imageText, *geometry, taps);
    ASSERT_TRUE(merged.ok());

    auto read = session::readPedalSettings(pedal.line, catalogue());
    ASSERT_TRUE(read.ok()) << read.reason();
    core::SettingsBackup backup = read->backup;
    backup.irImage = *merged;
    const auto restored = session::restorePedalSettings(pedal.line, backup, catalogue());
    ASSERT_TRUE(restored.ok()) << restored.reason();
    EXPECT_TRUE(restored->uploaded);
    EXPECT_EQ(core::toHex(pedal.model.algorithm()->bytes), *merged);
}

TEST(SettingsConversation, ARefusedBackupSendsNothing) {
    VirtualLine pedal(holding(11));
    core::SettingsBackup outOfRange = amberDriveInBank2();
    outOfRange.settings.values[0] = 2000;
    core::SettingsBackup unknown = amberDriveInBank2();
    unknown.effectNumber = 250;
    for (const core::SettingsBackup& backup : {outOfRange, unknown}) {
        const auto result = session::restorePedalSettings(pedal.line, backup, catalogue());
        EXPECT_FALSE(result.ok());
        EXPECT_TRUE(pedal.model.received().empty()) << result.reason();
    }
}

TEST(SettingsConversation, ASilentPedalEndsAtTheTimeLimitWithAReason) {
    VirtualLine pedal(holding(1));
    pedal.model.faults().silent = true;
    const auto read = session::readPedalSettings(pedal.line, catalogue());
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.reason(), "The pedal did not answer the stored-effect query in time; check the cable and that the "
                             "pedal is switched on.");
    const auto restored = session::restorePedalSettings(pedal.line, amberDriveInBank2(), catalogue());
    ASSERT_FALSE(restored.ok());
    EXPECT_LT(pedal.timing.now, 60000);
}

TEST(SettingsConversation, AnEmptyPedalHasNothingToBackUp) {
    VirtualLine pedal(holding(0));
    const auto read = session::readPedalSettings(pedal.line, catalogue());
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.reason(), "No effect found on pedal");
}

}  // namespace
