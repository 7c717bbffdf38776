// The picture of an impulse response that the Impulse Response window shows and
// `qeltx-cli ir-info --plot` writes: above, the response over time with the kept part shaded and
// the cut marked; below, the magnitude response in dB from 20 Hz to 20 kHz of the whole file
// and of the kept taps. Drawn with QPainter only, on a widget or a QImage.
#pragma once

#include "core/ir_preparation.h"

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <cstddef>
#include <span>
#include <vector>

class QPainter;

namespace qeltx::ir_plot {

struct IrPlotData {
    QString title;                  // the file, and the algorithm the taps are for
    std::vector<double> response;   // the whole response, full scale ±1.0
    int responseRate = 0;           // Hz of `response`
    std::vector<double> taps;       // the taps as the pedal holds them, full scale ±1.0, at 48 kHz
    std::size_t kept = 0;           // taps made from the response: where it is cut
    std::size_t fadeTaps = 0;       // the last kept taps that fade out
    QString caption;                // one line under the title ("kept 912 of 4800 samples …")
};

// One line under the title: the resampling, what was kept, the fade and the normalisation.
QString captionFor(const core::PreparedIr& ir, int fileRate);

// What the pedal will hold of a prepared response.
IrPlotData plotDataFor(const core::PreparedIr& ir, const QString& title, const QString& caption);

inline constexpr double kLowestHz = 20.0;
inline constexpr double kHighestHz = 20000.0;
inline constexpr double kSpectrumRangeDb = 60.0;  // from the top of the plot down
inline constexpr QSize kDefaultPlotSize{900, 640};

// The smallest and largest sample under one pixel column of the time plot.
struct ColumnExtremes {
    double low = 0;
    double high = 0;
};

// The response decimated for drawing: column c of `columns` spans samples
// [floor(span * c / columns), ceil(span * (c + 1) / columns)) of the first `spanSamples`, at
// least one; it ends at the last column that starts inside `samples`.
std::vector<ColumnExtremes> columnEnvelope(std::span<const double> samples, double spanSamples, int columns);

// Where things are in a picture of `size`: the two plot areas and the mappings onto them.
struct IrPlotLayout {
    QRectF timeArea;
    QRectF spectrumArea;
    double timeSpanMs = 0;   // the time axis runs from 0 to this
    double topDb = 0;        // the spectrum's top line; it runs down kSpectrumRangeDb
    std::vector<double> frequencies;  // of the spectrum's points
    std::vector<double> wholeDb;      // the whole response at `frequencies`
    std::vector<double> keptDb;       // the kept taps
    // The time plot's trace, one entry per pixel column, and the response's largest magnitude
    // it is scaled to: a paint reads these, never the samples.
    std::vector<ColumnExtremes> envelope;
    double peak = 0;

    double xForMs(double ms) const;
    double cutX(const IrPlotData& data) const;
    double xForHz(double hz) const;
    double yForDb(double db) const;
};

// The whole response's spectrum and largest magnitude: the costly part of a layout (an FFT of up
// to a minute of samples), the same at every size and for every shaping of the same response.
struct ResponseSpectrum {
    std::vector<double> frequencies;  // of the spectrum's points
    std::vector<double> db;           // the response at `frequencies`
    double peak = 0;
};
ResponseSpectrum responseSpectrumOf(std::span<const double> response, int rate);

// The layout for a picture of `size`, with the whole response's spectrum made before.
IrPlotLayout layoutIrPlot(const IrPlotData& data, const ResponseSpectrum& whole, QSize size);
// The same, the spectra computed (FFTW3) here.
IrPlotLayout layoutIrPlot(const IrPlotData& data, QSize size);

// Draws the whole picture into the rectangle (0, 0, size) of `painter`'s device.
void drawIrPlot(QPainter& painter, const IrPlotData& data, const IrPlotLayout& layout, QSize size);

// The picture as an image.
QImage irPlotImage(const IrPlotData& data, QSize size = kDefaultPlotSize);

// The colours a test looks for.
inline constexpr QRgb kCutColour = 0xFFD62828;
inline constexpr QRgb kKeptShade = 0xFFDCEBFA;
inline constexpr QRgb kAxisColour = 0xFF303030;
inline constexpr QRgb kWholeColour = 0xFF4A78B5;
inline constexpr QRgb kKeptColour = 0xFFE07B00;

}  // namespace qeltx::ir_plot
