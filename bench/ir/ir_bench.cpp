// What a player waits for after choosing a cabinet file: reading a 2 s, 96 kHz, 24-bit stereo
// WAV, resampling it to 48 kHz and merging it into "Basic IR Loader" (goal: under 100 ms); and
// the Impulse Response window drawing its picture of it (goal: under 50 ms). Given a ten-minute
// 96 kHz file, the same for it (goals: loading under 1 s, a paint under 50 ms).
#include "core/impulse_response.h"
#include "core/ir_preparation.h"
#include "core/resource_names.h"
#include "ir_plot/ir_plot.h"
#include "resources/resource_store.h"
#include "session/audio_file.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <random>
#include <vector>

using namespace qeltx;

namespace {

constexpr int kRate = 96000;
constexpr int kFrames = 2 * kRate;

// A decaying noise burst, as a cabinet's response looks, written by libsndfile.
QString writeCabinetFile(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("cab96.wav"));
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    std::mt19937 noise(7);
    std::normal_distribution<double> gauss(0, 0.2);
    std::vector<double> frames(2 * static_cast<std::size_t>(kFrames));
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = gauss(noise) * std::exp(-static_cast<double>(i / 2) / (0.05 * kRate));
    sf_writef_double(file, frames.data(), kFrames);
    sf_close(file);
    return path;
}

std::string basicIrLoaderImage() {
    const auto text = resources::catalogueResource(core::format_resource_name("Basic IR Loader"));
    return text ? text->substr(0, text->find_first_of("\r\n")) : std::string();
}

void BM_LoadResampleMerge96k2sStereo(benchmark::State& state) {
    const QTemporaryDir dir;
    const QString path = writeCabinetFile(dir);
    const std::string image = basicIrLoaderImage();
    const core::TapGeometry geometry = *core::irLoaderGeometry("Basic IR Loader");
    for (auto _ : state) {
        const auto audio = session::readAudioFile(path);
        const auto prepared = core::prepareImpulseResponse(audio->firstChannel, audio->format.sampleRate, geometry.taps, {});
        const auto merged = core::mergeTaps(image, geometry, prepared->taps.words);
        if (!merged) state.SkipWithError("merge refused");
        benchmark::DoNotOptimize(merged->data());
    }
}

// The window's first paint of a response: both spectra and the picture.
void BM_DrawImpulseResponseWindow(benchmark::State& state) {
    const QTemporaryDir dir;
    const QString path = writeCabinetFile(dir);
    const auto audio = session::readAudioFile(path);
    const auto prepared = core::prepareImpulseResponse(audio->firstChannel, kRate, 912, {});
    const ir_plot::IrPlotData data = ir_plot::plotDataFor(*prepared, QStringLiteral("cab96.wav in Basic IR Loader"),
                                                          ir_plot::captionFor(*prepared, kRate));
    QImage canvas(ir_plot::kDefaultPlotSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&canvas);
        ir_plot::drawIrPlot(painter, data, ir_plot::layoutIrPlot(data, canvas.size()), canvas.size());
        painter.end();
        benchmark::DoNotOptimize(canvas.constBits());
    }
}

// A ten-minute 96 kHz 24-bit file, written by sox in a temporary folder (ir.sh passes its
// path). Load IR decodes and resamples its first minute.
QString longFilePath;

void BM_LoadResampleMerge96k10min(benchmark::State& state) {
    const std::string image = basicIrLoaderImage();
    const core::TapGeometry geometry = *core::irLoaderGeometry("Basic IR Loader");
    for (auto _ : state) {
        const auto audio = session::readAudioFile(longFilePath);
        if (!audio) return state.SkipWithError(audio.reason().c_str());
        const auto prepared = core::prepareImpulseResponse(audio->firstChannel, audio->format.sampleRate, geometry.taps, {});
        const auto merged = core::mergeTaps(image, geometry, prepared->taps.words);
        if (!merged) state.SkipWithError("merge refused");
        benchmark::DoNotOptimize(merged->data());
    }
}

// The window's layout of the long file: whole (its spectra and the trace's envelope), as at the
// first paint after the file is loaded; again at a new size or fade, the whole response's
// spectrum kept; and then a paint from it, as every repaint of the window is.
ir_plot::IrPlotData longFileData() {
    const auto audio = session::readAudioFile(longFilePath);
    const auto prepared = core::prepareImpulseResponse(audio->firstChannel, audio->format.sampleRate, 912, {});
    return ir_plot::plotDataFor(*prepared, QStringLiteral("long.wav in Basic IR Loader"),
                                ir_plot::captionFor(*prepared, audio->format.sampleRate));
}

void BM_LayoutImpulseResponseWindow10min(benchmark::State& state) {
    const ir_plot::IrPlotData data = longFileData();
    for (auto _ : state) benchmark::DoNotOptimize(ir_plot::layoutIrPlot(data, ir_plot::kDefaultPlotSize).envelope.data());
}

void BM_RelayoutImpulseResponseWindow10min(benchmark::State& state) {
    const ir_plot::IrPlotData data = longFileData();
    const ir_plot::ResponseSpectrum whole = ir_plot::responseSpectrumOf(data.response, data.responseRate);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ir_plot::layoutIrPlot(data, whole, ir_plot::kDefaultPlotSize).envelope.data());
    }
}

void BM_DrawImpulseResponseWindow10min(benchmark::State& state) {
    const ir_plot::IrPlotData data = longFileData();
    QImage canvas(ir_plot::kDefaultPlotSize, QImage::Format_ARGB32_Premultiplied);
    const ir_plot::IrPlotLayout layout = ir_plot::layoutIrPlot(data, canvas.size());
    for (auto _ : state) {
        QPainter painter(&canvas);
        ir_plot::drawIrPlot(painter, data, layout, canvas.size());
        painter.end();
        benchmark::DoNotOptimize(canvas.constBits());
    }
}

}  // namespace

BENCHMARK(BM_LoadResampleMerge96k2sStereo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawImpulseResponseWindow)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // Text in the picture needs a GUI application; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The long file's benchmarks run when a file is given after the benchmark's own options.
    if (argc > 1) {
        longFilePath = QString::fromLocal8Bit(argv[1]);
        benchmark::RegisterBenchmark("BM_LoadResampleMerge96k10min", BM_LoadResampleMerge96k10min)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_LayoutImpulseResponseWindow10min", BM_LayoutImpulseResponseWindow10min)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_RelayoutImpulseResponseWindow10min", BM_RelayoutImpulseResponseWindow10min)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_DrawImpulseResponseWindow10min", BM_DrawImpulseResponseWindow10min)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
