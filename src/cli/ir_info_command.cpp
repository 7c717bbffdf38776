// qeltx-cli ir-info: what the pedal would hold of an impulse response file, for each IR loader
// of the catalogue or one of them, and the picture the editor's Impulse Response window shows.
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "core/impulse_response.h"
#include "core/ir_preparation.h"
#include "ir_plot/ir_plot.h"
#include "session/save_file.h"
#include "session/audio_file.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QBuffer>

#include <algorithm>
#include <string>
#include <vector>

namespace qeltx::cli {

namespace {

struct LoaderOutcome {
    std::string name;
    core::PreparedIr prepared;
};

QString ms(double samples, int rate) { return QString::number(1000.0 * samples / rate, 'f', 1); }

// The IR loaders asked about: NAME, or every one the catalogue holds.
core::Refusable<std::vector<core::TapGeometry>> loadersAskedFor(const Invocation& invocation) {
    using Result = core::Refusable<std::vector<core::TapGeometry>>;
    if (invocation.positionals.size() > 1) {
        const auto effect = catalogueEffectByName(invocation.positionals[1]);
        if (!effect) return Result::refused(effect.reason());
        const auto geometry = core::irLoaderGeometry(effect->name);
        if (!geometry) return Result::refused(geometry.reason());
        return Result::accepted({*geometry});
    }
    std::vector<core::TapGeometry> loaders;
    for (const core::TapGeometry& g : core::kIrLoaderGeometry) {
        if (catalogueEffectByName(g.effectName)) loaders.push_back(g);
    }
    return Result::accepted(std::move(loaders));
}

// Through the editor's one way of writing a file, so a full disk never leaves half a picture.
bool writePicture(const QString& path, const QImage& image, QString* problem) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        *problem = QStringLiteral("the picture could not be encoded");
        return false;
    }
    if (const auto failure = session::saveFile(path, png)) {
        *problem = *failure;
        return false;
    }
    return true;
}

}  // namespace

int runIrInfo(const Invocation& invocation, const Output& output) {
    const auto loaders = loadersAskedFor(invocation);
    if (!loaders) return output.usage(QString::fromStdString(loaders.reason()));
    const auto shaping = irShapingOf(invocation);
    if (!shaping) return output.usage(QString::fromStdString(shaping.reason()));

    const QString path = QString::fromStdString(invocation.positionals[0]);
    const QString fileName = QFileInfo(path).fileName();
    output.log(path);
    const auto audio = session::readAudioFile(path);
    if (!audio) return output.fail(QString::fromStdString(audio.reason()));
    const core::DecodedFormat& format = audio->format;

    std::vector<LoaderOutcome> outcomes;
    for (const core::TapGeometry& g : *loaders) {
        auto prepared = core::prepareImpulseResponse(audio->firstChannel, format.sampleRate, g.taps, *shaping);
        if (!prepared) return output.fail(fileName + QStringLiteral(": ") + QString::fromStdString(prepared.reason()));
        outcomes.push_back({std::string(g.effectName), *prepared});
    }

    const bool resampled = !outcomes.empty() && outcomes.front().prepared.outcome.resampled;
    output.line(QStringLiteral("file: %1 (%2 bytes)").arg(fileName).arg(audio->bytes.size()));
    output.line(QStringLiteral("sample rate: %1 Hz%2")
                    .arg(format.sampleRate)
                    .arg(resampled ? QStringLiteral(", resampled to %1 Hz").arg(core::kPedalSampleRate)
                         : format.sampleRate != core::kPedalSampleRate
                             ? QStringLiteral(", not resampled: the pedal runs at %1 Hz").arg(core::kPedalSampleRate)
                             : QString()));
    output.line(QStringLiteral("channels: %1%2").arg(format.channels).arg(format.channels > 1 ? QStringLiteral(" (the first is used)") : QString()));
    output.line(QStringLiteral("bits per sample: %1").arg(format.bitsPerSample));
    output.line(QStringLiteral("length: %1 samples (%2 ms)").arg(format.frames).arg(ms(static_cast<double>(format.frames), format.sampleRate)));
    if (const auto cut = core::cutNoteText(format)) output.line(QString::fromStdString(*cut));

    QJsonArray loaderJson;
    for (const LoaderOutcome& o : outcomes) {
        const core::IrOutcome& r = o.prepared.outcome;
        const core::Taps& taps = o.prepared.taps;
        QString line = QString::fromStdString(o.name + ": " + core::keptPartText(taps.fromFile, r));
        if (taps.padded > 0) line += QStringLiteral("; %1 zero taps added").arg(taps.padded);
        if (r.fadeTaps > 0) line += QStringLiteral("; faded out over %1 taps").arg(r.fadeTaps);
        if (r.normalizedDb) line += QStringLiteral("; gain %1 dB").arg(r.gainDb, 0, 'f', 1);
        output.line(line);
        loaderJson.append(QJsonObject{
            {QStringLiteral("name"), QString::fromStdString(o.name)},
            {QStringLiteral("taps"), static_cast<qint64>(taps.words.size())},
            {QStringLiteral("tapsFromFile"), static_cast<qint64>(taps.fromFile)},
            {QStringLiteral("tapsPadded"), static_cast<qint64>(taps.padded)},
            {QStringLiteral("keptMs"), 1000.0 * static_cast<double>(taps.fromFile) / r.responseRate},
            {QStringLiteral("keptEnergyPercent"), r.keptEnergy ? QJsonValue(100.0 * *r.keptEnergy) : QJsonValue()},
            {QStringLiteral("fadeTaps"), static_cast<qint64>(r.fadeTaps)},
            {QStringLiteral("gainDb"), r.gainDb},
        });
    }

    QJsonObject json{{QStringLiteral("file"), path},
                     {QStringLiteral("bytes"), static_cast<qint64>(audio->bytes.size())},
                     {QStringLiteral("sampleRate"), format.sampleRate},
                     {QStringLiteral("channels"), format.channels},
                     {QStringLiteral("bitsPerSample"), format.bitsPerSample},
                     {QStringLiteral("frames"), static_cast<qint64>(format.frames)},
                     {QStringLiteral("lengthMs"), 1000.0 * static_cast<double>(format.frames) / format.sampleRate},
                     {QStringLiteral("resampled"), resampled},
                     {QStringLiteral("loaders"), loaderJson}};

    if (const auto plot = invocation.value("--plot")) {
        if (outcomes.empty()) return output.fail(QStringLiteral("the catalogue holds no IR loader to draw the picture for"));
        const LoaderOutcome& drawn = *std::max_element(outcomes.begin(), outcomes.end(), [](const auto& a, const auto& b) {
            return a.prepared.taps.words.size() < b.prepared.taps.words.size();
        });
        const QString title = fileName + QStringLiteral(" in ") + QString::fromStdString(drawn.name);
        const QImage image = ir_plot::irPlotImage(
            ir_plot::plotDataFor(drawn.prepared, title, ir_plot::captionFor(drawn.prepared, format.sampleRate)));
        QString problem;
        const QString target = QString::fromStdString(*plot);
        if (!writePicture(target, image, &problem)) {
            return output.fail(QStringLiteral("cannot write ") + target + QStringLiteral(": ") + problem);
        }
        output.line(QStringLiteral("picture for %1 written to %2").arg(QString::fromStdString(drawn.name), target));
        json.insert(QStringLiteral("plot"), target);
    }
    output.result(json);
    return kExitSuccess;
}

}  // namespace qeltx::cli
