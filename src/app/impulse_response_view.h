// The "Impulse Response" window: the picture of the loaded impulse response (what the pedal
// will hold of it) and the fade-out and peak normalisation Load IR applies. Opened from the
// summary after Load IR and from File ▸ "Impulse Response".
#pragma once

#include "ir_plot/ir_plot.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;

namespace qeltx::app {

class Editor;

// Paints the picture; the spectra are computed once per response, not per paint.
class IrPlotWidget : public QWidget {
public:
    explicit IrPlotWidget(QWidget* parent);
    void setData(std::optional<ir_plot::IrPlotData> data);
    const std::optional<ir_plot::IrPlotData>& data() const { return data_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::optional<ir_plot::IrPlotData> data_;
    std::optional<ir_plot::IrPlotLayout> layout_;
};

class ImpulseResponseView : public QWidget {
public:
    explicit ImpulseResponseView(Editor& editor);

    // Shows `data`, or says that no impulse response is loaded yet.
    void showResponse(std::optional<ir_plot::IrPlotData> data);

    IrPlotWidget* plot = nullptr;
    QDoubleSpinBox* spnFadeMs = nullptr;
    QCheckBox* chkNormalize = nullptr;
    QDoubleSpinBox* spnNormalizeDb = nullptr;
    QLabel* lblNothingLoaded = nullptr;

private:
    // The controls changed: keep the choice and merge the loaded response again.
    void shapingChanged();

    Editor& editor_;
};

}  // namespace qeltx::app
