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
    // `whole`: the response's spectrum when it was made elsewhere; without it, the one made
    // before is kept while the response is the same.
    void setData(std::optional<ir_plot::IrPlotData> data, std::optional<ir_plot::ResponseSpectrum> whole = std::nullopt);
    const std::optional<ir_plot::IrPlotData>& data() const { return data_; }
    // How many times the whole response's spectrum was made here (at most once per response
    // shown; never when it came with the response).
    int spectraMade() const { return spectraMade_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::optional<ir_plot::IrPlotData> data_;
    // Kept while the response stays the same: a new size or another fade or normalisation of
    // the same file changes only the layout and the kept taps' spectrum.
    std::optional<ir_plot::ResponseSpectrum> whole_;
    std::optional<ir_plot::IrPlotLayout> layout_;
    int spectraMade_ = 0;
};

class ImpulseResponseView : public QWidget {
public:
    explicit ImpulseResponseView(Editor& editor);

    // Shows `data`, or says that no impulse response is loaded yet.
    void showResponse(std::optional<ir_plot::IrPlotData> data, std::optional<ir_plot::ResponseSpectrum> whole = std::nullopt);

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
