// Drawing the impulse response's picture with QPainter.
#include "ir_plot/ir_plot.h"

#include "core/impulse_response.h"
#include "core/ir_spectrum.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace qeltx::ir_plot {

namespace {

constexpr double kTapFullScale = 8388608.0;  // 2^23
constexpr int kSpectrumPoints = 400;
constexpr double kMarginLeft = 64;
constexpr double kMarginRight = 24;
constexpr double kHeaderHeight = 56;
constexpr double kGapBetweenPlots = 56;
constexpr double kMarginBottom = 44;
constexpr double kTimeShare = 0.42;  // of the height both plots share
// Short responses show whole; longer ones show enough after the cut to see what is lost.
constexpr double kShortestSpanMs = 100.0;
constexpr double kSpanPerKept = 4.0;

constexpr QRgb kBackground = 0xFFFFFFFF;
constexpr QRgb kGridColour = 0xFFE2E2E2;
constexpr QRgb kTraceColour = 0xFF2F4F7F;
constexpr QRgb kFadeShade = 0xFFF3E3CC;
constexpr QRgb kTextColour = 0xFF202020;

double msOf(std::size_t samples, int rate) { return rate > 0 ? 1000.0 * static_cast<double>(samples) / rate : 0.0; }

// A tick step from 1, 2, 5 × 10^k giving at most `most` ticks over `span`.
double niceStep(double span, int most) {
    double step = std::pow(10.0, std::floor(std::log10(std::max(span, 1e-9) / most)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (span / (step * m) <= most) return step * m;
    }
    return step * 10;
}

QString number(double value, int decimals) { return QString::number(value, 'f', decimals); }

QString hzLabel(double hz) { return hz >= 1000 ? number(hz / 1000, 0) + QStringLiteral("k") : number(hz, 0); }

QFont fontOfSize(int pixels, bool bold = false) {
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void drawTimePlot(QPainter& p, const IrPlotData& data, const IrPlotLayout& l) {
    const QRectF& area = l.timeArea;
    const double cutX = l.cutX(data);
    const double fadeStartX =
        l.xForMs(msOf(data.kept - std::min(data.fadeTaps, data.kept), data.responseRate));
    p.fillRect(QRectF(QPointF(area.left(), area.top()), QPointF(std::min(cutX, area.right()), area.bottom())),
               QColor::fromRgb(kKeptShade));
    if (data.fadeTaps > 0) {
        p.fillRect(QRectF(QPointF(fadeStartX, area.top()), QPointF(std::min(cutX, area.right()), area.bottom())),
                   QColor::fromRgb(kFadeShade));
    }

    // Grid and time ticks.
    p.setFont(fontOfSize(11));
    const double step = niceStep(l.timeSpanMs, 10);
    for (double ms = 0; ms <= l.timeSpanMs + 1e-9; ms += step) {
        const double x = l.xForMs(ms);
        p.setPen(QColor::fromRgb(kGridColour));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.setPen(QColor::fromRgb(kTextColour));
        p.drawText(QRectF(x - 30, area.bottom() + 4, 60, 16), Qt::AlignHCenter | Qt::AlignTop, number(ms, step < 1 ? 1 : 0));
    }
    p.setPen(QColor::fromRgb(kGridColour));
    p.drawLine(QPointF(area.left(), area.center().y()), QPointF(area.right(), area.center().y()));

    // The response: the smallest and largest sample of every pixel column, from the layout.
    if (l.peak > 0 && !l.envelope.empty()) {
        const double half = area.height() / 2 * 0.94;
        const double mid = area.center().y();
        QPainterPath trace;
        for (std::size_t c = 0; c < l.envelope.size(); ++c) {
            const double x = area.left() + static_cast<double>(c) + 0.5;
            const QPointF top(x, mid - l.envelope[c].high / l.peak * half);
            const QPointF bottom(x, mid - l.envelope[c].low / l.peak * half);
            if (c == 0) trace.moveTo(top); else trace.lineTo(top);
            trace.lineTo(bottom);
        }
        p.setPen(QPen(QColor::fromRgb(kTraceColour), 1.0));
        p.drawPath(trace);
    }

    // The cut.
    if (cutX <= area.right()) {
        p.setPen(QPen(QColor::fromRgb(kCutColour), 2.0));
        p.drawLine(QPointF(cutX, area.top()), QPointF(cutX, area.bottom()));
        p.setFont(fontOfSize(11, true));
        p.drawText(QRectF(cutX + 5, area.top() + 3, 200, 16), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("cut at %1 ms").arg(number(msOf(data.kept, data.responseRate), 1)));
    }

    p.setPen(QPen(QColor::fromRgb(kAxisColour), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(area);
    p.setFont(fontOfSize(11));
    p.setPen(QColor::fromRgb(kTextColour));
    const double wholeMs = msOf(data.response.size(), data.responseRate);
    const QString axis = wholeMs > l.timeSpanMs + 1e-6
                             ? QStringLiteral("time in ms (first %1 of %2 ms)").arg(number(l.timeSpanMs, 1), number(wholeMs, 1))
                             : QStringLiteral("time in ms");
    p.drawText(QRectF(area.left(), area.bottom() + 20, area.width(), 16), Qt::AlignHCenter | Qt::AlignTop, axis);
}

void drawCurve(QPainter& p, const IrPlotLayout& l, const std::vector<double>& db, QRgb colour) {
    QPainterPath path;
    const double bottom = l.topDb - kSpectrumRangeDb;
    for (std::size_t i = 0; i < db.size(); ++i) {
        const QPointF point(l.xForHz(l.frequencies[i]), l.yForDb(std::clamp(db[i], bottom, l.topDb)));
        if (i == 0) path.moveTo(point); else path.lineTo(point);
    }
    p.setPen(QPen(QColor::fromRgb(colour), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void drawSpectrumPlot(QPainter& p, const IrPlotLayout& l) {
    const QRectF& area = l.spectrumArea;
    p.setFont(fontOfSize(11));
    constexpr std::array<double, 10> kLabelled{20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
    for (const double hz : kLabelled) {
        const double x = l.xForHz(hz);
        p.setPen(QColor::fromRgb(kGridColour));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.setPen(QColor::fromRgb(kTextColour));
        p.drawText(QRectF(x - 30, area.bottom() + 4, 60, 16), Qt::AlignHCenter | Qt::AlignTop, hzLabel(hz));
    }
    for (double db = l.topDb; db >= l.topDb - kSpectrumRangeDb - 1e-9; db -= 10) {
        const double y = l.yForDb(db);
        p.setPen(QColor::fromRgb(kGridColour));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(QColor::fromRgb(kTextColour));
        p.drawText(QRectF(area.left() - 60, y - 8, 54, 16), Qt::AlignRight | Qt::AlignVCenter, number(db, 0));
    }
    p.save();
    p.setClipRect(area);
    drawCurve(p, l, l.wholeDb, kWholeColour);
    drawCurve(p, l, l.keptDb, kKeptColour);
    p.restore();

    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor::fromRgb(kAxisColour), 1.0));
    p.drawRect(area);
    p.restore();
    p.setPen(QColor::fromRgb(kTextColour));
    p.drawText(QRectF(area.left(), area.bottom() + 20, area.width(), 16), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("frequency in Hz"));
    p.save();
    p.translate(14, area.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-60, -8, 120, 16), Qt::AlignCenter, QStringLiteral("level in dB"));
    p.restore();

    // Legend, top right.
    const double x = area.right() - 150;
    const double y = area.top() + 10;
    p.fillRect(QRectF(x - 8, y - 6, 150, 40), QColor(255, 255, 255, 220));
    p.setPen(QPen(QColor::fromRgb(kWholeColour), 2));
    p.drawLine(QPointF(x, y + 4), QPointF(x + 22, y + 4));
    p.setPen(QPen(QColor::fromRgb(kKeptColour), 2));
    p.drawLine(QPointF(x, y + 22), QPointF(x + 22, y + 22));
    p.setPen(QColor::fromRgb(kTextColour));
    p.drawText(QRectF(x + 28, y - 4, 120, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("whole file"));
    p.drawText(QRectF(x + 28, y + 14, 120, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("kept taps"));
}

}  // namespace

QString captionFor(const core::PreparedIr& ir, int fileRate) {
    const core::IrOutcome& o = ir.outcome;
    QStringList parts;
    if (o.resampled) {
        parts << QStringLiteral("resampled from %1 Hz").arg(fileRate);
    } else if (fileRate != core::kPedalSampleRate) {
        parts << QStringLiteral("%1 Hz, not resampled").arg(fileRate);
    }
    parts << QString::fromStdString(core::keptPartText(ir.taps.fromFile, o));
    if (o.fadeTaps > 0) {
        parts << QStringLiteral("fade %1 ms").arg(msOf(o.fadeTaps, core::kPedalSampleRate), 0, 'f', 1);
    }
    if (o.normalizedDb) parts << QStringLiteral("peak %1 dBFS").arg(*o.normalizedDb, 0, 'f', 1);
    return parts.join(QStringLiteral("; "));
}

IrPlotData plotDataFor(const core::PreparedIr& ir, const QString& title, const QString& caption) {
    IrPlotData data;
    data.title = title;
    data.caption = caption;
    data.response = ir.response;
    data.responseRate = ir.outcome.responseRate;
    data.taps.reserve(ir.taps.words.size());
    for (const std::int32_t t : ir.taps.words) data.taps.push_back(t / kTapFullScale);
    data.kept = ir.taps.fromFile;
    data.fadeTaps = ir.outcome.fadeTaps;
    return data;
}

double IrPlotLayout::xForMs(double ms) const {
    return timeArea.left() + (timeSpanMs > 0 ? ms / timeSpanMs : 0) * timeArea.width();
}

double IrPlotLayout::cutX(const IrPlotData& data) const { return xForMs(msOf(data.kept, data.responseRate)); }

double IrPlotLayout::xForHz(double hz) const {
    return spectrumArea.left() + std::log(hz / kLowestHz) / std::log(kHighestHz / kLowestHz) * spectrumArea.width();
}

double IrPlotLayout::yForDb(double db) const {
    return spectrumArea.top() + (topDb - db) / kSpectrumRangeDb * spectrumArea.height();
}

std::vector<ColumnExtremes> columnEnvelope(std::span<const double> samples, double spanSamples, int columns) {
    std::vector<ColumnExtremes> envelope;
    if (columns <= 0 || spanSamples <= 0) return envelope;
    envelope.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        const auto first = static_cast<std::size_t>(std::floor(spanSamples * c / columns));
        if (first >= samples.size()) break;
        auto last = static_cast<std::size_t>(std::ceil(spanSamples * (c + 1) / columns));
        last = std::clamp(last, first + 1, samples.size());
        const auto [lo, hi] = std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(first),
                                                  samples.begin() + static_cast<std::ptrdiff_t>(last));
        envelope.push_back({*lo, *hi});
    }
    return envelope;
}

ResponseSpectrum responseSpectrumOf(std::span<const double> response, int rate) {
    ResponseSpectrum whole;
    for (const double v : response) whole.peak = std::max(whole.peak, std::abs(v));
    whole.frequencies = core::logFrequencies(kLowestHz, kHighestHz, kSpectrumPoints);
    whole.db = core::magnitudeResponseDb(response, rate, whole.frequencies);
    return whole;
}

IrPlotLayout layoutIrPlot(const IrPlotData& data, QSize size) {
    return layoutIrPlot(data, responseSpectrumOf(data.response, data.responseRate), size);
}

IrPlotLayout layoutIrPlot(const IrPlotData& data, const ResponseSpectrum& whole, QSize size) {
    IrPlotLayout l;
    const double width = size.width() - kMarginLeft - kMarginRight;
    const double plots = size.height() - kHeaderHeight - kGapBetweenPlots - kMarginBottom;
    l.timeArea = QRectF(kMarginLeft, kHeaderHeight, width, std::floor(plots * kTimeShare));
    l.spectrumArea = QRectF(kMarginLeft, l.timeArea.bottom() + kGapBetweenPlots, width, plots - l.timeArea.height());

    const double wholeMs = msOf(data.response.size(), data.responseRate);
    const double keptMs = msOf(data.kept, data.responseRate);
    l.timeSpanMs = std::max(std::min(wholeMs, std::max(kShortestSpanMs, kSpanPerKept * keptMs)), keptMs);
    if (l.timeSpanMs <= 0) l.timeSpanMs = kShortestSpanMs;
    l.peak = whole.peak;
    if (data.responseRate > 0) {
        l.envelope = columnEnvelope(data.response, l.timeSpanMs * data.responseRate / 1000.0,
                                    static_cast<int>(l.timeArea.width()));
    }

    l.frequencies = whole.frequencies;
    l.wholeDb = whole.db;
    l.keptDb = core::magnitudeResponseDb(data.taps, core::kPedalSampleRate, l.frequencies);
    double top = -1e9;
    for (const double db : l.wholeDb) top = std::max(top, db);
    for (const double db : l.keptDb) top = std::max(top, db);
    l.topDb = top > -100 ? std::ceil(top / 10.0) * 10.0 : 0.0;
    return l;
}

void drawIrPlot(QPainter& painter, const IrPlotData& data, const IrPlotLayout& layout, QSize size) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(QRect(QPoint(0, 0), size), QColor::fromRgb(kBackground));
    painter.setPen(QColor::fromRgb(kTextColour));
    painter.setFont(fontOfSize(15, true));
    painter.drawText(QRectF(kMarginLeft, 6, size.width() - kMarginLeft - kMarginRight, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     data.title);
    painter.setFont(fontOfSize(12));
    const double captionWidth = size.width() - kMarginLeft - kMarginRight;
    painter.drawText(QRectF(kMarginLeft, 28, captionWidth, 18), Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(data.caption, Qt::ElideRight, static_cast<int>(captionWidth)));
    // Shading and axes stay crisp; only the curves are smoothed.
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawTimePlot(painter, data, layout);
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawSpectrumPlot(painter, layout);
    painter.restore();
}

QImage irPlotImage(const IrPlotData& data, QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    QPainter painter(&image);
    drawIrPlot(painter, data, layoutIrPlot(data, size), size);
    painter.end();
    return image;
}

}  // namespace qeltx::ir_plot
