// qeltx-cli's commands that need no device: ir-merge and catalogue check.
#include "catalogue_tools/check.h"
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "resources/resource_store.h"
#include "session/save_file.h"

#include <QJsonArray>
#include <QJsonObject>

namespace qeltx::cli {

int runIrMerge(const Invocation& invocation, const Output& output) {
    const auto effect = catalogueEffectByName(invocation.positionals[0]);
    if (!effect) return output.usage(QString::fromStdString(effect.reason()));
    if (const auto geometry = core::irLoaderGeometry(effect->name); !geometry) {
        return output.usage(QString::fromStdString(geometry.reason()));
    }
    const auto shaping = irShapingOf(invocation);
    if (!shaping) return output.usage(QString::fromStdString(shaping.reason()));
    const QString file = QString::fromStdString(invocation.positionals[1]);
    const auto merged = mergeImpulseResponse(*effect, file, *shaping, output);
    if (!merged) return output.fail(QString::fromStdString(merged.reason()));
    const core::IrSummary& summary = merged->summary;
    output.log(QString::fromStdString(core::irSummaryText(summary)));
    const QString image = QString::fromStdString(merged->image);
    QJsonObject json{{QStringLiteral("name"), QString::fromStdString(effect->name)},
                     {QStringLiteral("file"), file},
                     {QStringLiteral("sampleRate"), summary.format.sampleRate},
                     {QStringLiteral("bitsPerSample"), summary.format.bitsPerSample},
                     {QStringLiteral("channels"), summary.format.channels},
                     {QStringLiteral("tapsFromFile"), static_cast<qint64>(summary.taps.fromFile)},
                     {QStringLiteral("tapsPadded"), static_cast<qint64>(summary.taps.padded)},
                     {QStringLiteral("resampled"), summary.outcome.resampled},
                     {QStringLiteral("keptEnergyPercent"), summary.outcome.keptEnergy ? QJsonValue(100.0 * *summary.outcome.keptEnergy) : QJsonValue()},
                     {QStringLiteral("fadeTaps"), static_cast<qint64>(summary.outcome.fadeTaps)},
                     {QStringLiteral("gainDb"), summary.outcome.gainDb},
                     {QStringLiteral("bytes"), static_cast<qint64>(merged->image.size() / 2)}};
    if (const auto out = invocation.value("-o")) {
        if (const auto failure = session::saveFile(QString::fromStdString(*out), image.toLatin1() + '\n')) {
            return output.fail(QStringLiteral("cannot write ") + QString::fromStdString(*out) + QStringLiteral(": ") + *failure);
        }
        json.insert(QStringLiteral("output"), QString::fromStdString(*out));
        output.line(QStringLiteral("%1 merged into %2: %3 bytes written to %4")
                        .arg(QString::fromStdString(summary.fileName), QString::fromStdString(effect->name))
                        .arg(merged->image.size() / 2)
                        .arg(QString::fromStdString(*out)));
    } else {
        json.insert(QStringLiteral("image"), image);
        output.line(image);
    }
    // Said once the image is out, so that a failure stays one line.
    if (summary.outcome.resampled) {
        output.note(QStringLiteral("%1: resampled from %2 Hz to %3 Hz")
                        .arg(QString::fromStdString(summary.fileName))
                        .arg(summary.format.sampleRate)
                        .arg(core::kPedalSampleRate));
    } else if (summary.format.sampleRate != core::kPedalSampleRate) {
        output.note(QStringLiteral("note: %1 is sampled at %2 Hz; the pedal runs at %3 Hz")
                        .arg(QString::fromStdString(summary.fileName))
                        .arg(summary.format.sampleRate)
                        .arg(core::kPedalSampleRate));
    }
    if (const auto cut = core::cutNoteText(summary.format)) output.note(QString::fromStdString(summary.fileName + ": " + *cut));
    output.note(QString::fromStdString(summary.fileName + ": " + core::keptPartText(summary.taps.fromFile, summary.outcome)));
    output.result(json);
    return kExitSuccess;
}

int runCatalogueCheck(const Invocation& invocation, const Output& output) {
    std::map<std::string, std::string> files;
    QString source = QStringLiteral("built-in catalogue");
    if (!invocation.positionals.empty()) {
        const std::string& dir = invocation.positionals[0];
        const auto folder = catalogue_tools::readCatalogueFolder(dir);
        if (!folder) return output.fail(QString::fromStdString(dir) + QStringLiteral(": not a folder"));
        files = *folder;
        source = QString::fromStdString(dir);
    } else {
        for (const std::string& name : resources::catalogueResourceNames()) {
            if (const auto text = resources::catalogueResource(name)) files[name] = *text;
        }
    }
    const catalogue_tools::CheckReport report = catalogue_tools::checkCatalogue(files);
    QJsonArray findings;
    for (const catalogue_tools::Finding& f : report.findings) {
        findings.append(QJsonObject{{QStringLiteral("file"), QString::fromStdString(f.file)},
                                    {QStringLiteral("line"), f.line},
                                    {QStringLiteral("message"), QString::fromStdString(f.message)},
                                    {QStringLiteral("knownException"), f.knownException}});
        output.line(QString::fromStdString(catalogue_tools::formatFinding(f)));
    }
    const int known = report.knownExceptions();
    output.line(QStringLiteral("%1 files checked: %2 violations, %3 known exception%4")
                    .arg(files.size())
                    .arg(report.violations())
                    .arg(known)
                    .arg(known == 1 ? QString() : QStringLiteral("s")));
    output.result(QJsonObject{{QStringLiteral("catalogue"), source},
                              {QStringLiteral("files"), static_cast<qint64>(files.size())},
                              {QStringLiteral("violations"), report.violations()},
                              {QStringLiteral("knownExceptions"), known},
                              {QStringLiteral("findings"), findings}});
    if (report.violations() > 0) {
        return output.fail(QStringLiteral("%1: %2 violations of the catalogue's rules").arg(source).arg(report.violations()));
    }
    return kExitSuccess;
}

}  // namespace qeltx::cli
