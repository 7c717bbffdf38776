// qeltx-cli diff: what differs, by parameter name, between a preset file and the pedal's
// current values (read with the editor's Request conversation), or between two preset files.
// Exit 0 when they are the same, 1 when they differ or when they could not be compared.
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/pedal_link.h"
#include "cli/stored_algorithm.h"
#include "core/preset_algorithm.h"
#include "core/preset_diff.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "resources/resource_store.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace qeltx::cli {

namespace {

// One side of the comparison: what it holds and what to call it.
struct Side {
    core::PresetFile sound;
    QString label;
};

core::Refusable<core::PresetFile> readPreset(const QString& path) {
    using Result = core::Refusable<core::PresetFile>;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Result::refused("error loading file: " + file.errorString().toStdString());
    if (file.size() > core::kLargestPresetFile) return Result::refused("it is not a preset file: " + path.toStdString());
    auto preset = core::parsePresetFile(file.readAll().toStdString());
    if (!preset) return Result::refused(path.toStdString() + ": it is not a preset file: " + preset.reason());
    return preset;
}

QString algorithmText(const core::PresetFile& sound) {
    const auto list = resources::catalogueResource(core::kEffectListResource);
    return QString::fromStdString(
        core::presetAlgorithmText(sound, list ? core::splitLines(*list) : std::vector<std::string>{}));
}

QString fieldName(core::PresetDifference::Field field) {
    switch (field) {
        case core::PresetDifference::Field::Value: return QStringLiteral("value");
        case core::PresetDifference::Field::Assignment: return QStringLiteral("assignment");
        case core::PresetDifference::Field::ReadbackAssignment: return QStringLiteral("readback assignment");
    }
    return {};
}

}  // namespace

int runDiff(const Invocation& invocation, const Output& output) {
    const QString leftPath = QString::fromStdString(invocation.positionals[0]);
    const auto left = readPreset(leftPath);
    if (!left) return output.fail(QString::fromStdString(left.reason()));
    Side a{*left, QFileInfo(leftPath).fileName()};
    Side b;
    if (invocation.positionals.size() > 1) {
        const QString rightPath = QString::fromStdString(invocation.positionals[1]);
        const auto right = readPreset(rightPath);
        if (!right) return output.fail(QString::fromStdString(right.reason()));
        b = {*right, QFileInfo(rightPath).fileName()};
    } else {
        PedalLink link(invocation.connection, output);
        if (const auto problem = link.open()) return output.fail(*problem);
        const auto pedal = readPedalSound(link);
        if (!pedal) return output.fail(QString::fromStdString(pedal.reason()));
        b = {pedal->preset, QStringLiteral("the pedal")};
    }

    QJsonObject result{{QStringLiteral("left"), QJsonObject{{QStringLiteral("label"), a.label},
                                                            {QStringLiteral("algorithm"), algorithmText(a.sound)},
                                                            {QStringLiteral("number"), qint64(a.sound.effectNumber)},
                                                            {QStringLiteral("version"), qint64(a.sound.effectVersion)}}},
                       {QStringLiteral("right"), QJsonObject{{QStringLiteral("label"), b.label},
                                                             {QStringLiteral("algorithm"), algorithmText(b.sound)},
                                                             {QStringLiteral("number"), qint64(b.sound.effectNumber)},
                                                             {QStringLiteral("version"), qint64(b.sound.effectVersion)}}}};
    // Sounds of two algorithms share no parameters to compare.
    if (a.sound.effectNumber != b.sound.effectNumber) {
        output.line(QStringLiteral("algorithm: %1 (%2) -> %3 (%4)").arg(algorithmText(a.sound), a.label,
                                                                       algorithmText(b.sound), b.label));
        result.insert(QStringLiteral("equal"), false);
        result.insert(QStringLiteral("sameAlgorithm"), false);
        result.insert(QStringLiteral("differences"), QJsonArray());
        output.result(result);
        return kExitFailure;
    }
    const auto effect = catalogueEffectByNumber(a.sound.effectNumber);
    if (!effect) return output.fail(QStringLiteral("this preset is for ") + algorithmText(a.sound));
    const auto layout = layoutOf(*effect);
    if (!layout) return output.fail(QString::fromStdString(layout.reason()));
    const auto differences = core::presetDifferences(*layout, a.sound, b.sound);
    if (!differences) return output.fail(QString::fromStdString(differences.reason()));

    output.line(QStringLiteral("%1: %2 -> %3").arg(QString::fromStdString(effect->name), a.label, b.label));
    QJsonArray listed;
    for (const core::PresetDifference& d : *differences) {
        const QString name = QString::fromStdString(d.name);
        const QString field = fieldName(d.field);
        const QString what = d.field == core::PresetDifference::Field::Value ? name : name + QLatin1Char(' ') + field;
        output.line(QStringLiteral("  %1: %2 -> %3")
                        .arg(what, QString::fromStdString(d.leftText), QString::fromStdString(d.rightText)));
        listed.append(QJsonObject{{QStringLiteral("name"), name},
                                  {QStringLiteral("index"), qint64(d.index)},
                                  {QStringLiteral("field"), field},
                                  {QStringLiteral("left"), d.left},
                                  {QStringLiteral("right"), d.right},
                                  {QStringLiteral("leftText"), QString::fromStdString(d.leftText)},
                                  {QStringLiteral("rightText"), QString::fromStdString(d.rightText)}});
    }
    if (differences->empty()) output.line(QStringLiteral("  no differences"));
    result.insert(QStringLiteral("equal"), differences->empty());
    result.insert(QStringLiteral("sameAlgorithm"), true);
    result.insert(QStringLiteral("differences"), listed);
    output.result(result);
    return differences->empty() ? kExitSuccess : kExitFailure;
}

}  // namespace qeltx::cli
