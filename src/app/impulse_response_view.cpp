// The "Impulse Response" window.
#include "app/impulse_response_view.h"

#include "app/editor.h"
#include "app/main_window.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace qeltx::app {

namespace {
// The kept part of the longest IR loader is 19 ms; a longer fade would swallow it.
constexpr double kLongestFadeMs = 19.0;
constexpr double kQuietestPeakDb = -60.0;
constexpr double kDefaultPeakDb = -1.0;
}  // namespace

IrPlotWidget::IrPlotWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("irPlot"));
    setMinimumSize(ir_plot::kDefaultPlotSize / 1.5);
}

void IrPlotWidget::setData(std::optional<ir_plot::IrPlotData> data, std::optional<ir_plot::ResponseSpectrum> whole) {
    const bool sameResponse = data && data_ && data->responseRate == data_->responseRate && data->response == data_->response;
    if (whole) {
        whole_ = std::move(whole);
    } else if (!sameResponse) {
        whole_.reset();
    }
    data_ = std::move(data);
    layout_.reset();
    update();
}

void IrPlotWidget::resizeEvent(QResizeEvent* event) {
    layout_.reset();
    QWidget::resizeEvent(event);
}

void IrPlotWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!data_) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    if (!whole_) {
        whole_ = ir_plot::responseSpectrumOf(data_->response, data_->responseRate);
        ++spectraMade_;
    }
    if (!layout_) layout_ = ir_plot::layoutIrPlot(*data_, *whole_, size());
    ir_plot::drawIrPlot(painter, *data_, *layout_, size());
}

ImpulseResponseView::ImpulseResponseView(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formImpulseResponseView"));
    setWindowTitle(QStringLiteral("Impulse Response"));

    plot = new IrPlotWidget(this);
    lblNothingLoaded = new QLabel(QStringLiteral("No impulse response is loaded: use File \u25B8 Load IR."), this);
    lblNothingLoaded->setObjectName(QStringLiteral("lblNothingLoaded"));
    lblNothingLoaded->setAlignment(Qt::AlignCenter);

    spnFadeMs = new QDoubleSpinBox(this);
    spnFadeMs->setObjectName(QStringLiteral("spnFadeMs"));
    spnFadeMs->setRange(0, kLongestFadeMs);
    spnFadeMs->setDecimals(1);
    spnFadeMs->setSingleStep(0.5);
    spnFadeMs->setSuffix(QStringLiteral(" ms"));
    spnFadeMs->setSpecialValueText(QStringLiteral("off"));
    spnFadeMs->setValue(editor_.state.irShaping.fadeMs);

    chkNormalize = new QCheckBox(QStringLiteral("Normalize peak to"), this);
    chkNormalize->setObjectName(QStringLiteral("chkNormalize"));
    chkNormalize->setChecked(editor_.state.irShaping.normalizeDb.has_value());
    spnNormalizeDb = new QDoubleSpinBox(this);
    spnNormalizeDb->setObjectName(QStringLiteral("spnNormalizeDb"));
    spnNormalizeDb->setRange(kQuietestPeakDb, 0);
    spnNormalizeDb->setDecimals(1);
    spnNormalizeDb->setSuffix(QStringLiteral(" dBFS"));
    spnNormalizeDb->setValue(editor_.state.irShaping.normalizeDb.value_or(kDefaultPeakDb));
    spnNormalizeDb->setEnabled(chkNormalize->isChecked());

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Fade out over the last"), this));
    controls->addWidget(spnFadeMs);
    controls->addSpacing(24);
    controls->addWidget(chkNormalize);
    controls->addWidget(spnNormalizeDb);
    controls->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plot, 1);
    layout->addWidget(lblNothingLoaded, 1);
    layout->addLayout(controls);
    resize(ir_plot::kDefaultPlotSize + QSize(24, 60));

    // Spin boxes report when the value is settled (Enter, focus out, arrows), not per keystroke.
    spnFadeMs->setKeyboardTracking(false);
    spnNormalizeDb->setKeyboardTracking(false);
    connect(spnFadeMs, &QDoubleSpinBox::valueChanged, this, editor_.guarded([this] { shapingChanged(); }));
    connect(spnNormalizeDb, &QDoubleSpinBox::valueChanged, this, editor_.guarded([this] { shapingChanged(); }));
    connect(chkNormalize, &QCheckBox::toggled, this, editor_.guarded([this] {
        spnNormalizeDb->setEnabled(chkNormalize->isChecked());
        shapingChanged();
    }));
    showResponse(std::nullopt);
}

void ImpulseResponseView::showResponse(std::optional<ir_plot::IrPlotData> data,
                                       std::optional<ir_plot::ResponseSpectrum> whole) {
    const bool loaded = data.has_value();
    plot->setData(std::move(data), std::move(whole));
    plot->setVisible(loaded);
    lblNothingLoaded->setVisible(!loaded);
}

void ImpulseResponseView::shapingChanged() {
    core::IrShaping& shaping = editor_.state.irShaping;
    shaping.fadeMs = spnFadeMs->value();
    shaping.normalizeDb = chkNormalize->isChecked() ? std::optional<double>(spnNormalizeDb->value()) : std::nullopt;
    editor_.formMain()->reshapeImpulseResponse();
}

}  // namespace qeltx::app
