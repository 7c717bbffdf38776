// The settings backup file against the real catalogue: what is written reads back the same,
// every refusal says why, and a failed write leaves the old file as it was.
#include "core/impulse_response.h"
#include "resources/resource_store.h"
#include "session/save_file.h"
#include "session/settings_backup_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace qeltx;

namespace {

core::ResourceLookup catalogue() {
    return [](std::string_view name) { return resources::catalogueResource(name); };
}

// Amber Drive: three pots, no read-backs.
core::SettingsBackup amberDrive() {
    core::SettingsBackup b;
    b.effectNumber = 1;
    b.effectName = "Amber Drive";
    b.effectVersion = 3;
    b.firmwareVersion = 9;
    core::ParameterBlock& s = b.settings;
    s.values = {0, 300, 1023};
    s.assignments = {0, 255, 11};
    s.reverseFlags = {core::kReverseFlagOff, core::kReverseFlagOff, core::kReverseFlagOn};
    s.bypassAssignment = 8;
    s.presetAssignment = 9;
    s.mode = 1;
    s.bankOrPreset = 2;
    s.midiChannel = 16;
    return b;
}

void expectSame(const core::SettingsBackup& a, const core::SettingsBackup& b) {
    EXPECT_EQ(a.effectNumber, b.effectNumber);
    EXPECT_EQ(a.effectName, b.effectName);
    EXPECT_EQ(a.effectVersion, b.effectVersion);
    EXPECT_EQ(a.firmwareVersion, b.firmwareVersion);
    EXPECT_EQ(a.settings.values, b.settings.values);
    EXPECT_EQ(a.settings.assignments, b.settings.assignments);
    EXPECT_EQ(a.settings.reverseFlags, b.settings.reverseFlags);
    EXPECT_EQ(a.settings.readbackAssignments, b.settings.readbackAssignments);
    EXPECT_EQ(a.settings.bypassAssignment, b.settings.bypassAssignment);
    EXPECT_EQ(a.settings.presetAssignment, b.settings.presetAssignment);
    EXPECT_EQ(a.settings.mode, b.settings.mode);
    EXPECT_EQ(a.settings.bankOrPreset, b.settings.bankOrPreset);
    EXPECT_EQ(a.settings.midiChannel, b.settings.midiChannel);
    EXPECT_EQ(a.irImage, b.irImage);
}

QByteArray encode(const core::SettingsBackup& b) {
    const auto target = core::checkBackup(b, catalogue());
    return session::encodeBackup(b, target ? &target->layout : nullptr,
                                 session::BackupOrigin{QStringLiteral("1.2.3"), QDateTime::currentDateTime()});
}

// The file of `b` with its JSON changed by `edit`.
QByteArray edited(const core::SettingsBackup& b, const std::function<void(QJsonObject&)>& edit) {
    QJsonObject root = QJsonDocument::fromJson(encode(b)).object();
    edit(root);
    return QJsonDocument(root).toJson();
}

void editControl(QJsonObject& root, int i, const QString& key, const QJsonValue& value) {
    QJsonArray controls = root[QStringLiteral("controls")].toArray();
    QJsonObject control = controls[i].toObject();
    control[key] = value;
    controls[i] = control;
    root[QStringLiteral("controls")] = controls;
}

TEST(BackupFile, WhatIsWrittenReadsBackTheSameAndIsReadable) {
    const core::SettingsBackup b = amberDrive();
    const QByteArray text = encode(b);
    // A person can read it: names and labels, not codes.
    for (const char* shown : {"\"name\": \"Amber Drive\"", "\"name\": \"Tone\"", "\"kind\": \"pot\"", "\"assignment\": \"EXP\"",
                              "\"mode\": \"bank\"", "\"bank\": 3", "\"bypassToggle\": \"FS\"", "\"formatVersion\": 1",
                              "\"editorVersion\": \"1.2.3\""}) {
        EXPECT_TRUE(text.contains(shown)) << shown << "\n" << text.toStdString();
    }
    const auto decoded = session::decodeBackup(text);
    ASSERT_TRUE(decoded.ok()) << decoded.reason();
    expectSame(*decoded, b);
    EXPECT_TRUE(core::checkBackup(*decoded, catalogue()).ok());
}

TEST(BackupFile, AnAlgorithmsStartingValueIsKeptAndMarked) {
    core::SettingsBackup b = amberDrive();
    b.settings.values[0] = -391;
    EXPECT_FALSE(core::checkBackup(b, catalogue()).ok());
    b.algorithmDefaults = {true, false, false};
    const QByteArray text = encode(b);
    EXPECT_TRUE(text.contains("\"algorithmDefault\": true")) << text.toStdString();
    const auto decoded = session::decodeBackup(text);
    ASSERT_TRUE(decoded.ok()) << decoded.reason();
    EXPECT_EQ(decoded->algorithmDefaults, b.algorithmDefaults);
    EXPECT_EQ(decoded->settings.values, b.settings.values);
    EXPECT_TRUE(core::checkBackup(*decoded, catalogue()).ok());
}

TEST(BackupFile, ReadBacksSwitchesAndMultiSwitchesRoundTrip) {
    core::SettingsBackup b;
    b.effectName = "Arp-O-Matic";
    b.effectNumber = 0x33;
    core::ParameterBlock& s = b.settings;  // 4 pots, 3 two-state rows, 1 multi-switch, 3 read-backs
    s.values = {1, 2, 3, 4, 1024, 0, 1024, 768};
    s.assignments = {0, 1, 2, 3, 5, 6, 7, 255};
    s.reverseFlags.assign(8, core::kReverseFlagOff);
    s.readbackAssignments = {0, 3, 255};
    s.bypassAssignment = 255;
    s.presetAssignment = 10;
    s.midiChannel = 255;
    const auto target = core::checkBackup(b, catalogue());
    ASSERT_TRUE(target.ok()) << target.reason();
    const auto decoded = session::decodeBackup(encode(b));
    ASSERT_TRUE(decoded.ok()) << decoded.reason();
    core::SettingsBackup expected = b;
    expected.settings.midiChannel = 0;  // both of the pedal's spellings of OMNI are written "OMNI"
    expectSame(*decoded, expected);
}

TEST(BackupFile, AMergedImpulseResponseTravelsWithItsAlgorithmOnly) {
    core::SettingsBackup b = amberDrive();
    b.effectNumber = 32;
    b.effectName = "Basic IR Loader";
    b.settings.mode = 0;  // too large for a bank
    const auto loaded = core::loadCatalogueEffect(32, catalogue());
    ASSERT_TRUE(loaded.effect) << loaded.error;
    const auto geometry = core::irLoaderGeometry(b.effectName);
    ASSERT_TRUE(geometry.ok());
    std::vector<std::int32_t> taps(static_cast<std::size_t>(geometry->taps), 0);
    taps[0] = 0x7FFFFF;
    const auto merged = core::mergeTaps(loaded.effect->imageText, *geometry, taps);
    ASSERT_TRUE(merged.ok());
    b.irImage = *merged;
    const auto decoded = session::decodeBackup(encode(b));
    ASSERT_TRUE(decoded.ok()) << decoded.reason();
    EXPECT_EQ(decoded->irImage, *merged);
    EXPECT_TRUE(core::checkBackup(*decoded, catalogue()).ok());

    core::SettingsBackup tampered = b;
    tampered.irImage[10] = tampered.irImage[10] == 'F' ? '0' : 'F';  // in the header, not the taps
    EXPECT_EQ(core::checkBackup(tampered, catalogue()).reason(),
              "The backup's impulse-response image is not an image of Basic IR Loader.");
    core::SettingsBackup onAmber = amberDrive();
    onAmber.irImage = *merged;
    EXPECT_EQ(core::checkBackup(onAmber, catalogue()).reason(),
              "Amber Drive takes no impulse response, but the backup holds an image for one.");
}

struct Refusal {
    const char* name;
    std::function<QByteArray()> file;
    std::string reason;  // the start of the reason given
};

class BackupRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(BackupRefusals, SayWhy) {
    const Refusal& c = GetParam();
    const auto decoded = session::decodeBackup(c.file());
    std::string reason = decoded ? core::checkBackup(*decoded, catalogue()).reason() : decoded.reason();
    EXPECT_EQ(reason.substr(0, c.reason.size()), c.reason) << reason;
}

core::SettingsBackup with(const std::function<void(core::SettingsBackup&)>& change) {
    core::SettingsBackup b = amberDrive();
    change(b);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BackupRefusals,
    ::testing::Values(
        Refusal{"NotJson", [] { return QByteArray("{ \"format\": "); }, "The file is not a settings backup: it does not parse as JSON"},
        Refusal{"PresetFile", [] { return QByteArray("\xEF\xBB\xBF" "0001\r01\r03\r"); }, "The file is not a settings backup: it does not parse"},
        Refusal{"OtherJson", [] { return QByteArray("{\"devices\": []}"); }, "The file is not a settings backup of this editor."},
        Refusal{"NewerFormat",
                [] { return edited(amberDrive(), [](QJsonObject& r) { r[QStringLiteral("formatVersion")] = 2; }); },
                "The backup is of format version 2; this editor reads version 1."},
        Refusal{"UnknownAlgorithm", [] { return encode(with([](auto& b) { b.effectNumber = 250; })); },
                "This editor's catalogue has no algorithm number 250 (Amber Drive)."},
        Refusal{"NameOfAnother", [] { return encode(with([](auto& b) { b.effectName = "Glass Phaser"; })); },
                "The backup names algorithm 1 \"Glass Phaser\", but in this editor's catalogue it is \"Amber Drive\"."},
        Refusal{"PotAboveRange", [] { return encode(with([](auto& b) { b.settings.values[1] = 1024; })); },
                "The value of control 1 (Tone) is 1024; it must be 0 to 1023."},
        Refusal{"NegativeValue", [] { return encode(with([](auto& b) { b.settings.values[0] = -1; })); },
                "The value of control 0 (Drive) is -1"},
        Refusal{"FractionalValue",
                [] { return edited(amberDrive(), [](QJsonObject& r) { editControl(r, 0, QStringLiteral("value"), 1.5); }); },
                "Control 0 of the backup needs \"value\": a whole number"},
        Refusal{"UnknownLabel",
                [] { return edited(amberDrive(), [](QJsonObject& r) { editControl(r, 2, QStringLiteral("assignment"), QStringLiteral("KVI")); }); },
                "Control 2 of the backup: \"assignment\" is \"KVI\", which is not one of the pedal's choices."},
        Refusal{"AssignmentCode", [] { return encode(with([](auto& b) { b.settings.assignments[2] = 13; })); },
                "The assignment code of control 2 (Level) is 13, which names no control of the pedal."},
        Refusal{"ReverseCode", [] { return encode(with([](auto& b) { b.settings.reverseFlags[0] = 7; })); },
                "The reverse flag of control 0 (Drive) is 7; it must be on or off."},
        Refusal{"KnobTogglesBypass",
                [] { return edited(amberDrive(), [](QJsonObject& r) { r[QStringLiteral("bypassToggle")] = QStringLiteral("KI"); }); },
                "The backup: \"bypassToggle\" is \"KI\""},
        Refusal{"MidiChannel", [] { return encode(with([](auto& b) { b.settings.midiChannel = 17; })); },
                "The MIDI channel is 17; it must be OMNI or 1 to 16."},
        Refusal{"NoSuchBank", [] { return edited(amberDrive(), [](QJsonObject& r) { r[QStringLiteral("bank")] = 4; }); },
                "The bank is 4; the pedal has banks 1 to 3."},
        Refusal{"UnknownMode",
                [] { return edited(amberDrive(), [](QJsonObject& r) { r[QStringLiteral("mode")] = QStringLiteral("looper"); }); },
                "The backup's \"mode\" must be \"preset\" or \"bank\"."},
        Refusal{"ControlMissing", [] {
                    return encode(with([](auto& b) {
                        b.settings.values.pop_back();
                        b.settings.assignments.pop_back();
                        b.settings.reverseFlags.pop_back();
                    }));
                },
                "The backup has 2 controls; Amber Drive has 3."},
        Refusal{"ControlsReordered",
                [] { return edited(amberDrive(), [](QJsonObject& r) { editControl(r, 1, QStringLiteral("index"), 2); }); },
                "Control 1 of the backup is out of order: its \"index\" must be 1."},
        Refusal{"NoControlsList", [] { return edited(amberDrive(), [](QJsonObject& r) { r.remove(QStringLiteral("controls")); }); },
                "The backup needs \"controls\" as a list."}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

// The old file is there, and no temporary file is left beside it.
void expectOldFileIntact(const QTemporaryDir& dir, const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("old backup"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("pedal.json")});
}

TEST(BackupFile, ADiskFullWriteLeavesTheOldBackupAsItWas) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("pedal.json"));
    ASSERT_FALSE(session::saveFile(path, "old backup"));
    // A file-size limit fails the write part-way as a full disk does, for root too.
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto problem = session::saveFile(path, encode(amberDrive()));
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(problem.has_value());
    EXPECT_TRUE(problem->startsWith(QStringLiteral("only 64 of "))) << problem->toStdString();
    expectOldFileIntact(dir, path);
}

TEST(BackupFile, AWriteIntoAReadOnlyFolderLeavesTheOldBackupAsItWas) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("pedal.json"));
    ASSERT_FALSE(session::saveFile(path, "old backup"));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const auto problem = session::saveFile(path, encode(amberDrive()));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(problem.has_value());
    expectOldFileIntact(dir, path);
}

}  // namespace
