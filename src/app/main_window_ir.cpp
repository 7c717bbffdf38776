// Load IR: reads an impulse response from an audio file, brings it to the pedal's rate, and
// merges it into the selected IR-loader algorithm's image, which Upload then sends instead of
// the catalogue image. Also the Settings entry that turns resampling off and the "Impulse
// Response" window that shows what the pedal will hold.
#include "session/audio_file.h"
#include "app/editor.h"
#include "app/impulse_response.h"
#include "app/impulse_response_view.h"
#include "app/main_window.h"
#include "app/preferences.h"
#include "app/print_console.h"
#include "core/impulse_response.h"
#include "core/ir_preparation.h"
#include "ir_plot/ir_plot.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qeltx::app {

namespace {
const QString kYes = QStringLiteral("YES");
const QString kNo = QStringLiteral("NO");
}  // namespace

void TformMain::menuLoadIRClick() { loadImpulseResponse(); }

void TformMain::readImpulseResponsePreferences() {
    // Resampling is on unless the player turned it off; a missing or unreadable file keeps it on.
    const QString path = QDir(productFolder()).filePath(kResampleIrFile);
    if (QFile::exists(path)) {
        if (const auto text = readPreferenceText(path); text && text->trimmed() == kNo) {
            editor_.state.irShaping.resample = false;
        }
    }
    menuResampleIR->setChecked(editor_.state.irShaping.resample);
}

void TformMain::menuResampleIRClick() {
    editor_.state.irShaping.resample = menuResampleIR->isChecked();
    const QString path = QDir(productFolder()).filePath(kResampleIrFile);
    if (!writePreferenceText(path, editor_.state.irShaping.resample ? kYes : kNo)) {
        editor_.dialogs().message(QStringLiteral("Could not write ") + path, session::MessageKind::Error);
    }
}

namespace {

core::IrSummary summaryOf(const TformMain::LoadedImpulseResponse& ir) {
    core::IrSummary summary;
    summary.fileName = ir.fileName.toStdString();
    summary.fileBytes = ir.fileBytes;
    summary.format = ir.format;
    summary.taps = ir.prepared.taps;
    summary.outcome = ir.prepared.outcome;
    return summary;
}

}  // namespace

void TformMain::menuImpulseResponseClick() {
    ImpulseResponseView* view = editor_.formImpulseResponse()->view();
    refreshImpulseResponseView();
    view->show();
    view->raise();
    view->activateWindow();
}

void TformMain::refreshImpulseResponseView() {
    // A window never opened is drawn when it opens.
    ImpulseResponseView* view = editor_.formImpulseResponse()->existingView();
    if (!view) return;
    if (!loadedIr) return view->showResponse(std::nullopt);
    const QString title = loadedIr->fileName + QStringLiteral(" in ") + QString::fromUtf8(loadedIr->geometry.effectName.data(),
                                                                                          static_cast<qsizetype>(loadedIr->geometry.effectName.size()));
    view->showResponse(ir_plot::plotDataFor(loadedIr->prepared, title, ir_plot::captionFor(loadedIr->prepared, loadedIr->format.sampleRate)),
                       loadedIr->wholeSpectrum);
}

void TformMain::reshapeImpulseResponse() {
    if (!loadedIr) return;
    const auto prepared = core::prepareImpulseResponse(loadedIr->firstChannel, loadedIr->format.sampleRate,
                                                       loadedIr->geometry.taps, editor_.state.irShaping);
    if (!prepared) return editor_.dialogs().message(QString::fromStdString(prepared.reason()), session::MessageKind::Error);
    const auto merged = core::mergeTaps(loadedIr->catalogueImage, loadedIr->geometry, prepared->taps.words);
    if (!merged) return editor_.dialogs().message(QString::fromStdString(merged.reason()), session::MessageKind::Error);
    if (prepared->response != loadedIr->prepared.response) loadedIr->wholeSpectrum.reset();
    loadedIr->prepared = *prepared;
    irImage = QString::fromStdString(*merged);
    editor_.printToConsole(QStringLiteral("IR reshaped: ") + ir_plot::captionFor(loadedIr->prepared, loadedIr->format.sampleRate));
    editor_.printToConsole(QStringLiteral("irdata swapped endianess: ") +
                           QString::fromStdString(core::tapsHex(prepared->taps.words)));
    editor_.printToConsole(irImage);
    refreshImpulseResponseView();
}

std::shared_ptr<const TformMain::IrReadWork> TformMain::readAndPrepareOffWindow(const QString& path,
                                                                               const QString& fileName, int taps) {
    if (abandonedIrRead_) {
        abandonedIrRead_->wait();
        abandonedIrRead_.reset();
    }
    // A long file takes seconds to read and resample: the work runs on a thread of its own,
    // the windows keep drawing, and the player can give up on it.
    auto work = std::make_shared<IrReadWork>();
    const core::IrShaping shaping = editor_.state.irShaping;
    std::unique_ptr<QThread> thread(QThread::create([work, path, taps, shaping] {
        work->audio = session::readAudioFile(path);
        if (work->cancelled.load() || !*work->audio) return;
        const session::AudioFile& audio = **work->audio;
        work->prepared = core::prepareImpulseResponse(audio.firstChannel, audio.format.sampleRate, taps, shaping);
        // The picture's costly part (an FFT of up to a minute of samples) is made here too, so
        // the window does not stop at its first paint.
        if (work->cancelled.load() || !*work->prepared) return;
        const core::PreparedIr& ir = **work->prepared;
        work->wholeSpectrum = ir_plot::responseSpectrumOf(ir.response, ir.outcome.responseRate);
    }));
    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    thread->start();
    // At first only the busy cursor: the windows draw, the player's input waits. A read that
    // lasts gets a progress window that can cancel it.
    if (irProgressDelayMs > 0) {
        QTimer::singleShot(irProgressDelayMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    bool cancelled = false;
    if (!thread->isFinished()) {
        QProgressDialog progress(QStringLiteral("Reading and resampling ") + fileName + QStringLiteral("…"),
                                 QStringLiteral("Cancel"), 0, 0, this);
        progress.setObjectName(QStringLiteral("irLoadProgress"));
        progress.setWindowTitle(QStringLiteral("Load IR"));
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setMinimumDuration(0);
        connect(&progress, &QProgressDialog::canceled, &loop, [&] {
            cancelled = true;
            loop.quit();
        });
        progress.show();
        if (!thread->isFinished()) loop.exec();
    }
    QApplication::restoreOverrideCursor();
    if (cancelled && !thread->isFinished()) {
        work->cancelled = true;
        abandonedIrRead_ = std::move(thread);
    }
    if (cancelled) {
        editor_.printToConsole(QStringLiteral("Load IR cancelled: ") + fileName);
        return nullptr;
    }
    thread->wait();
    return work;
}

void TformMain::loadImpulseResponse() {
    // Whatever goes wrong, irImage keeps what the last successful load made of it.
    auto refuse = [this](const std::string& reason) {
        const QString text = QString::fromStdString(reason);
        editor_.printToConsole(QStringLiteral("Load IR refused: ") + text);
        editor_.dialogs().message(QStringLiteral("The impulse response was not loaded.\r\n") + text, session::MessageKind::Error);
    };

    const QString effectName = editor_.state.currentEffectName;
    // Asked before the file dialog: without a known tap block no file can help.
    const auto geometry = core::irLoaderGeometry(effectName.toStdString());
    if (!geometry) return refuse(geometry.reason());

    const QString path = editor_.formImpulseResponse()->executeOpenDialog1();
    if (path.isEmpty()) return;
    const QString fileName = QFileInfo(path).fileName();
    // The name alone: the folder can name the player, and the console goes into support reports.
    editor_.printToConsole(fileName);

    const auto work = readAndPrepareOffWindow(path, fileName, geometry->taps);
    if (!work) return;
    const auto& audio = *work->audio;
    if (!audio) return refuse(audio.reason());
    editor_.printToConsole(QString::number(audio->bytes.size()));
    const auto fileBytes = std::span(reinterpret_cast<const std::uint8_t*>(audio->bytes.constData()),
                                     static_cast<std::size_t>(audio->bytes.size()));
    const auto framesUsed = std::min<std::uint64_t>(audio->format.frames, static_cast<std::uint64_t>(geometry->taps));
    editor_.formPrint()->appendLines(core::irFileLogLines(fileBytes, audio->format, framesUsed));

    const auto& prepared = *work->prepared;
    if (!prepared) return refuse(fileName.toStdString() + ": " + prepared.reason());
    // Most of a long response would be cut away: taken only when the player says so.
    if (const auto question = core::lostEnergyQuestion(prepared->taps.fromFile, prepared->outcome)) {
        if (!editor_.dialogs().confirm(QString::fromStdString(*question))) {
            editor_.printToConsole(QStringLiteral("Load IR cancelled: ") + fileName +
                                   QStringLiteral(" keeps too little of its energy in the pedal's taps"));
            return;
        }
    }
    const core::Taps& taps = prepared->taps;
    std::vector<std::string> words;
    words.reserve(taps.words.size());
    for (const std::int32_t tap : taps.words) words.push_back(core::tapsHex(std::span(&tap, 1)));
    editor_.formPrint()->appendLines(words);
    editor_.printToConsole(QStringLiteral("irdata swapped endianess: ") + QString::fromStdString(core::tapsHex(taps.words)));

    read_file_from_stream(format_resource_name(effectName));
    const std::string image = resourceLines.isEmpty() ? std::string() : resourceLines.first().toStdString();
    const auto merged = core::mergeTaps(image, *geometry, taps.words);
    if (!merged) return refuse(merged.reason());

    irImage = QString::fromStdString(*merged);
    irImageEffectName = effectName;
    editor_.printToConsole(irImage);
    loadedIr = LoadedImpulseResponse{fileName,        static_cast<std::uint64_t>(audio->bytes.size()),
                                     audio->format,   audio->firstChannel,
                                     *geometry,       image,
                                     *prepared,       work->wholeSpectrum};
    refreshImpulseResponseView();

    const QString summary = QString::fromStdString(core::irSummaryText(summaryOf(*loadedIr)));
    if (editor_.dialogs().messageOffering(summary, QStringLiteral("Show Impulse Response"))) menuImpulseResponseClick();
}

}  // namespace qeltx::app
