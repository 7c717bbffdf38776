// Reading and writing settings backup files.
#include "session/settings_backup_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>


#include <cmath>
#include <functional>
#include <limits>

namespace qeltx::session {

namespace {

using Result = core::Refusable<core::SettingsBackup>;
using CodeText = std::function<std::optional<std::string>(std::uint8_t)>;
using TextCode = std::function<std::optional<std::uint8_t>(std::string_view)>;

const QString kFormat = QStringLiteral("format");
const QString kFormatVersion = QStringLiteral("formatVersion");
const QString kCreated = QStringLiteral("created");
const QString kEditorVersion = QStringLiteral("editorVersion");
const QString kFirmwareVersion = QStringLiteral("firmwareVersion");
const QString kAlgorithm = QStringLiteral("algorithm");
const QString kNumber = QStringLiteral("number");
const QString kName = QStringLiteral("name");
const QString kVersion = QStringLiteral("version");
const QString kMode = QStringLiteral("mode");
const QString kBank = QStringLiteral("bank");
const QString kPreset = QStringLiteral("preset");
const QString kMidiChannel = QStringLiteral("midiChannel");
const QString kBypassToggle = QStringLiteral("bypassToggle");
const QString kPresetChange = QStringLiteral("presetChange");
const QString kControls = QStringLiteral("controls");
const QString kReadbacks = QStringLiteral("readbacks");
const QString kIndex = QStringLiteral("index");
const QString kKind = QStringLiteral("kind");
const QString kValue = QStringLiteral("value");
const QString kAssignment = QStringLiteral("assignment");
const QString kReverse = QStringLiteral("reverse");
const QString kIrImage = QStringLiteral("impulseResponseImage");
const QString kAlgorithmDefault = QStringLiteral("algorithmDefault");
const QString kPresetMode = QStringLiteral("preset");
const QString kBankMode = QStringLiteral("bank");
const QString kOmni = QStringLiteral("OMNI");
constexpr std::uint8_t kModePreset = static_cast<std::uint8_t>(core::PedalMode::Preset);
constexpr std::uint8_t kModeBank = static_cast<std::uint8_t>(core::PedalMode::Bank);

// A code as its label when it has one, else the number, so that nothing the pedal said is lost.
QJsonValue codeJson(std::uint8_t code, const CodeText& text) {
    const auto label = text(code);
    return label ? QJsonValue(QString::fromStdString(*label)) : QJsonValue(code);
}

// An integer within [min, max], or nothing (JSON numbers are doubles: 1.5 is no integer).
std::optional<qint64> integerOf(const QJsonValue& value, qint64 min, qint64 max) {
    if (!value.isDouble()) return std::nullopt;
    const double d = value.toDouble();
    if (std::floor(d) != d || d < static_cast<double>(min) || d > static_cast<double>(max)) return std::nullopt;
    return static_cast<qint64>(d);
}

// What went wrong while reading, as one sentence; the first fault ends the reading.
class Reader {
public:
    std::optional<std::string> fault;

    void fail(const QString& what) {
        if (!fault) fault = what.toStdString();
    }
    qint64 integer(const QJsonObject& o, const QString& key, const QString& where, qint64 min, qint64 max) {
        const auto n = integerOf(o.value(key), min, max);
        if (!n) fail(where + QStringLiteral(" needs \"") + key + QStringLiteral("\": a whole number from ") +
                     QString::number(min) + QStringLiteral(" to ") + QString::number(max) + QStringLiteral("."));
        return n.value_or(0);
    }
    QString text(const QJsonObject& o, const QString& key, const QString& where) {
        const QJsonValue v = o.value(key);
        if (!v.isString()) fail(where + QStringLiteral(" needs \"") + key + QStringLiteral("\" as text."));
        return v.toString();
    }
    // A label of `labels`, or a code given as a number (checked later against what the pedal takes).
    std::uint8_t code(const QJsonObject& o, const QString& key, const QString& where, const TextCode& labels) {
        const QJsonValue v = o.value(key);
        if (v.isString()) {
            if (const auto c = labels(v.toString().toStdString())) return *c;
            fail(where + QStringLiteral(": \"") + key + QStringLiteral("\" is \"") + v.toString() +
                 QStringLiteral("\", which is not one of the pedal's choices."));
            return 0;
        }
        if (const auto n = integerOf(v, 0, 255)) return static_cast<std::uint8_t>(*n);
        fail(where + QStringLiteral(" needs \"") + key + QStringLiteral("\"."));
        return 0;
    }
    QJsonArray array(const QJsonObject& o, const QString& key) {
        const QJsonValue v = o.value(key);
        if (!v.isArray()) fail(QStringLiteral("The backup needs \"") + key + QStringLiteral("\" as a list."));
        return v.toArray();
    }
    QJsonObject object(const QJsonValue& v, const QString& where) {
        if (!v.isObject()) fail(where + QStringLiteral(" is not an object."));
        return v.toObject();
    }
};

}  // namespace

QByteArray encodeBackup(const core::SettingsBackup& backup, const core::ControlLayout* layout, const BackupOrigin& origin) {
    const core::ParameterBlock& s = backup.settings;
    QJsonObject root{
        {kFormat, QString::fromLatin1(kBackupFormatName)},
        {kFormatVersion, kBackupFormatVersion},
        {kCreated, origin.created.toString(Qt::ISODate)},
        {kEditorVersion, origin.editorVersion},
        {kFirmwareVersion, static_cast<qint64>(backup.firmwareVersion)},
        {kAlgorithm, QJsonObject{{kNumber, static_cast<qint64>(backup.effectNumber)},
                                 {kName, QString::fromStdString(backup.effectName)},
                                 {kVersion, static_cast<qint64>(backup.effectVersion)}}},
        {kBypassToggle, codeJson(s.bypassAssignment, core::footswitchAssignmentText)},
        {kPresetChange, codeJson(s.presetAssignment, core::footswitchAssignmentText)},
    };
    if (s.mode == kModeBank) {
        root.insert(kMode, kBankMode);
        root.insert(kBank, s.bankOrPreset + 1);
    } else {
        root.insert(kMode, s.mode == kModePreset ? QJsonValue(kPresetMode) : QJsonValue(s.mode));
        root.insert(kPreset, s.bankOrPreset);
    }
    const auto midi = core::midiMenuItemFromBlock(s.midiChannel);
    root.insert(kMidiChannel, midi && *midi == 0 ? QJsonValue(kOmni) : QJsonValue(s.midiChannel));

    QJsonArray controls;
    for (std::size_t i = 0; i < s.values.size(); ++i) {
        QJsonObject control{{kIndex, static_cast<qint64>(i)}, {kValue, s.values[i]}};
        if (core::isAlgorithmDefault(backup, i)) control.insert(kAlgorithmDefault, true);
        if (layout) {
            control.insert(kName, QString::fromStdString(core::controlName(*layout, i)));
            const std::string_view kind = core::parameterKindName(core::parameterKindOf(*layout, i));
            control.insert(kKind, QString::fromLatin1(kind.data(), static_cast<qsizetype>(kind.size())));
        }
        if (i < s.assignments.size()) control.insert(kAssignment, codeJson(s.assignments[i], core::controlAssignmentText));
        if (i < s.reverseFlags.size()) {
            const std::uint8_t flag = s.reverseFlags[i];
            control.insert(kReverse, flag == core::kReverseFlagOn    ? QJsonValue(true)
                                     : flag == core::kReverseFlagOff ? QJsonValue(false)
                                                                     : QJsonValue(flag));
        }
        controls.append(control);
    }
    root.insert(kControls, controls);
    QJsonArray readbacks;
    for (std::size_t j = 0; j < s.readbackAssignments.size(); ++j) {
        QJsonObject readback{{kIndex, static_cast<qint64>(j)},
                             {kAssignment, codeJson(s.readbackAssignments[j], core::readbackAssignmentText)}};
        if (layout && j < layout->readbackNames.size()) readback.insert(kName, QString::fromStdString(layout->readbackNames[j]));
        readbacks.append(readback);
    }
    root.insert(kReadbacks, readbacks);
    if (!backup.irImage.empty()) root.insert(kIrImage, QString::fromStdString(backup.irImage));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

core::Refusable<core::SettingsBackup> decodeBackup(const QByteArray& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        return Result::refused("The file is not a settings backup: it does not parse as JSON (" +
                               error.errorString().toStdString() + " at character " + std::to_string(error.offset) + ").");
    }
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(kFormat).toString() != QString::fromLatin1(kBackupFormatName)) {
        return Result::refused("The file is not a settings backup of this editor.");
    }
    const auto version = integerOf(root.value(kFormatVersion), 1, std::numeric_limits<int>::max());
    if (!version || *version != kBackupFormatVersion) {
        return Result::refused("The backup is of format version " +
                               root.value(kFormatVersion).toVariant().toString().toStdString() +
                               "; this editor reads version " + std::to_string(kBackupFormatVersion) + ".");
    }

    Reader read;
    core::SettingsBackup backup;
    core::ParameterBlock& s = backup.settings;
    const QString top = QStringLiteral("The backup");
    backup.firmwareVersion = static_cast<std::uint32_t>(read.integer(root, kFirmwareVersion, top, 0, 0xFFFFFFFF));
    const QJsonObject algorithm = read.object(root.value(kAlgorithm), QStringLiteral("The backup's \"algorithm\""));
    const QString algorithmWhere = QStringLiteral("The backup's algorithm");
    backup.effectNumber = static_cast<std::uint32_t>(read.integer(algorithm, kNumber, algorithmWhere, 0, 0xFFFFFFFF));
    backup.effectName = read.text(algorithm, kName, algorithmWhere).toStdString();
    backup.effectVersion = static_cast<std::uint32_t>(read.integer(algorithm, kVersion, algorithmWhere, 0, 0xFFFFFFFF));

    const QJsonValue mode = root.value(kMode);
    if (mode == QJsonValue(kBankMode)) {
        s.mode = kModeBank;
        s.bankOrPreset = static_cast<std::uint8_t>(read.integer(root, kBank, top, 1, 256) - 1);
    } else {
        if (mode == QJsonValue(kPresetMode)) {
            s.mode = kModePreset;
        } else if (const auto code = integerOf(mode, 0, 255)) {
            s.mode = static_cast<std::uint8_t>(*code);
        } else {
            read.fail(QStringLiteral("The backup's \"mode\" must be \"preset\" or \"bank\"."));
        }
        s.bankOrPreset = static_cast<std::uint8_t>(read.integer(root, kPreset, top, 0, 255));
    }
    const QJsonValue midi = root.value(kMidiChannel);
    s.midiChannel = midi == QJsonValue(kOmni) ? 0 : static_cast<std::uint8_t>(read.integer(root, kMidiChannel, top, 0, 255));
    s.bypassAssignment = read.code(root, kBypassToggle, top, core::footswitchAssignmentCode);
    s.presetAssignment = read.code(root, kPresetChange, top, core::footswitchAssignmentCode);

    const QJsonArray controls = read.array(root, kControls);
    for (qsizetype i = 0; i < controls.size() && !read.fault; ++i) {
        const QString where = QStringLiteral("Control ") + QString::number(i) + QStringLiteral(" of the backup");
        const QJsonObject control = read.object(controls[i], where);
        if (read.integer(control, kIndex, where, 0, 255) != i) {
            read.fail(where + QStringLiteral(" is out of order: its \"index\" must be ") + QString::number(i) + QLatin1Char('.'));
        }
        s.values.push_back(static_cast<std::int32_t>(read.integer(control, kValue, where, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())));
        backup.algorithmDefaults.push_back(control.value(kAlgorithmDefault).toBool());
        s.assignments.push_back(read.code(control, kAssignment, where, core::controlAssignmentCode));
        const QJsonValue reverse = control.value(kReverse);
        if (reverse.isBool()) {
            s.reverseFlags.push_back(reverse.toBool() ? core::kReverseFlagOn : core::kReverseFlagOff);
        } else {
            s.reverseFlags.push_back(static_cast<std::uint8_t>(read.integer(control, kReverse, where, 0, 255)));
        }
    }
    const QJsonArray readbacks = read.array(root, kReadbacks);
    for (qsizetype j = 0; j < readbacks.size() && !read.fault; ++j) {
        const QString where = QStringLiteral("Read-back ") + QString::number(j) + QStringLiteral(" of the backup");
        const QJsonObject readback = read.object(readbacks[j], where);
        if (read.integer(readback, kIndex, where, 0, 255) != j) {
            read.fail(where + QStringLiteral(" is out of order: its \"index\" must be ") + QString::number(j) + QLatin1Char('.'));
        }
        s.readbackAssignments.push_back(read.code(readback, kAssignment, where, core::readbackAssignmentCode));
    }
    if (root.contains(kIrImage)) backup.irImage = read.text(root, kIrImage, top).toStdString();
    if (read.fault) return Result::refused(*read.fault);
    return Result::accepted(std::move(backup));
}

}  // namespace qeltx::session
