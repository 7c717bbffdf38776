// Impulse-response files through the editor's audio reader (libsndfile), then resampled and
// shaped into the pedal's tap words (libsoxr) and merged into an IR-loader image, with the log
// lines and the summary.
#include "core/impulse_response.h"
#include "core/ir_preparation.h"
#include "session/audio_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qeltx;
    static const std::unique_ptr<QTemporaryDir> folder = std::make_unique<QTemporaryDir>();
    static const QString path = folder->filePath(QStringLiteral("ir.wav"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    if (file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size)) std::abort();
    file.close();

    const core::TapGeometry& geometry = core::kIrLoaderGeometry.back();
    const auto audio = session::readAudioFile(path);
    // The log walks the file's RIFF chunks itself, whatever the reader made of it.
    (void)core::irFileLogLines({data, size}, {1, 48000, 24, 1}, static_cast<std::uint64_t>(geometry.taps));
    if (!audio) {
        if (audio.reason().empty()) std::abort();
        return 0;
    }
    // The shaping a player may ask for, picked by the file's last byte.
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    core::IrShaping shaping;
    shaping.resample = (pick & 1) == 0;
    shaping.fadeMs = (pick & 2) ? 5.0 : 0.0;
    if (pick & 4) shaping.normalizeDb = -1.0;
    const auto prepared = core::prepareImpulseResponse(audio->firstChannel, audio->format.sampleRate, geometry.taps, shaping);
    if (!prepared) {
        if (prepared.reason().empty()) std::abort();
        return 0;
    }
    const core::Taps& taps = prepared->taps;
    if (taps.words.size() != static_cast<std::size_t>(geometry.taps) || taps.fromFile + taps.padded != taps.words.size()) {
        std::abort();
    }
    const std::string image(static_cast<std::size_t>(geometry.resumeChar + 64), '0');
    const auto merged = core::mergeTaps(image, geometry, taps.words);
    if (!merged || merged->size() != image.size()) std::abort();
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(audio->bytes.constData()),
                                              static_cast<std::size_t>(audio->bytes.size()));
    (void)core::irFileLogLines(bytes, audio->format, taps.fromFile);
    (void)core::irSummaryText({"ir.wav", bytes.size(), audio->format, taps, prepared->outcome});
    return 0;
}
