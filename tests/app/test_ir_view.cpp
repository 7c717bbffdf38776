// The "Impulse Response" window: opened from the summary after Load IR and from the File menu,
// its picture (the cut where the kept taps end, the kept part shaded, the spectrum's axes) for
// a sox-written fixture, and the fade and normalisation controls that merge the taps again.
#include "app/impulse_response.h"
#include "app/impulse_response_view.h"
#include "app/main_window.h"
#include "ir_plot/ir_plot.h"
#include "support/test_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace qeltx;

namespace {

constexpr int kImpulseResponseCategory = 5;
const QString kBasic = QStringLiteral("Basic IR Loader");
constexpr int kBasicTapsAt = 460;  // hex characters before the tap block

struct Fixture {
    testing::TestEditor editor;
    QTemporaryDir files;
    app::TformMain& main() { return *editor->formMain(); }

    // A 100 ms cabinet-like response at `rate`, loaded into Basic IR Loader.
    bool load(int rate, bool showFromSummary) {
        const QString path = files.filePath(QStringLiteral("cab.wav"));
        QProcess sox;
        sox.start(QStringLiteral("sox"), {"-R", "-n", "-r", QString::number(rate), "-b", "24", "-c", "1", path, "synth",
                                          "0.1", "whitenoise", "sinc", "-4000", "fade", "h", "0", "0.1", "0.09", "vol", "0.5"});
        if (!sox.waitForFinished(30000) || sox.exitCode() != 0) return false;
        editor->guard([&] { main().lstCategoryClick(kImpulseResponseCategory); });
        const auto items = main().lstEffects->findItems(kBasic, Qt::MatchExactly);
        if (items.isEmpty()) return false;
        editor->guard([&] { main().effectListItemClicked(items.first()); });
        editor.dialogs->fileNames.push_back(path);
        editor.dialogs->offersTaken.push_back(showFromSummary);
        main().menuLoadIR->trigger();
        return !main().irImage.isEmpty();
    }
    app::ImpulseResponseView* view() { return editor->formImpulseResponse()->existingView(); }
};

qint32 tap(const QString& image, int index) {
    return static_cast<qint32>(image.mid(kBasicTapsAt + 8 * index, 8).toUInt(nullptr, 16));
}

// The columns of `row` in `image` with the colour `rgb`.
QList<int> columnsOf(const QImage& image, int row, QRgb rgb, int from, int to) {
    QList<int> found;
    for (int x = from; x < to; ++x) {
        if (image.pixel(x, row) == rgb) found << x;
    }
    return found;
}

}  // namespace

class IrViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void theSummaryOpensTheWindowAndTheMenuToo();
    void thePictureMarksTheCutAndDrawsTheAxes_data();
    void thePictureMarksTheCutAndDrawsTheAxes();
    void fadeAndNormalisationMergeTheTapsAgain();
    void theTraceIsTheSamplesExtremesPerColumn();
};

void IrViewTest::initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) QSKIP("sox is not installed");
}

void IrViewTest::theSummaryOpensTheWindowAndTheMenuToo() {
    Fixture f;
    // Nothing loaded: the menu opens the window, which says so.
    f.main().menuImpulseResponse->trigger();
    QVERIFY(f.view());
    QVERIFY(f.view()->isVisible());
    QCOMPARE(f.view()->windowTitle(), QStringLiteral("Impulse Response"));
    QVERIFY(!f.view()->lblNothingLoaded->isHidden());
    QVERIFY(f.view()->plot->isHidden());
    f.view()->close();

    // OK on the summary leaves the window closed; the offered button opens it.
    QVERIFY(f.load(44100, false));
    QVERIFY(!f.view()->isVisible());
    QVERIFY(f.load(44100, true));
    QVERIFY(f.view()->isVisible());
    QVERIFY(f.view()->lblNothingLoaded->isHidden());
    const auto& data = f.view()->plot->data();
    QVERIFY(data.has_value());
    QCOMPARE(data->kept, std::size_t{912});
    QCOMPARE(data->responseRate, 48000);
    QCOMPARE(data->response.size(), std::size_t{4800});
    QVERIFY2(data->caption.startsWith(QStringLiteral("resampled from 44100 Hz; kept 912 of 4800 samples (19.0 ms of 100.0 ms)")),
             qPrintable(data->caption));
    QCOMPARE(data->title, QStringLiteral("cab.wav in Basic IR Loader"));
}

void IrViewTest::thePictureMarksTheCutAndDrawsTheAxes_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("resample");
    QTest::addColumn<double>("cutMs");  // where the taps end in the recorded response
    QTest::newRow("48 kHz: 912 taps are 19.0 ms") << 48000 << true << 19.0;
    QTest::newRow("44.1 kHz as recorded: 912 samples are 20.7 ms") << 44100 << false << 912 / 44.1;
}

void IrViewTest::thePictureMarksTheCutAndDrawsTheAxes() {
    QFETCH(int, rate);
    QFETCH(bool, resample);
    QFETCH(double, cutMs);
    Fixture f;
    if (!resample) f.main().menuResampleIR->trigger();
    QVERIFY(f.load(rate, true));
    app::IrPlotWidget* plot = f.view()->plot;
    const QImage image = plot->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    if (qEnvironmentVariableIsSet("QELTX_SAVE_PICTURES")) image.save(QStringLiteral("/tmp/ir_view_%1.png").arg(rate));
    const ir_plot::IrPlotLayout layout = ir_plot::layoutIrPlot(*plot->data(), image.size());
    const QRectF time = layout.timeArea;
    QCOMPARE(layout.timeSpanMs, 100.0);  // the whole 100 ms response

    // The cut: a red line where the kept part ends, cutMs of 100 ms along the time axis.
    const double expectedCut = time.left() + cutMs / 100.0 * time.width();
    const int row = static_cast<int>(time.bottom()) - 3;
    const QList<int> red = columnsOf(image, row, ir_plot::kCutColour, static_cast<int>(time.left()), static_cast<int>(time.right()));
    QVERIFY2(!red.isEmpty(), "no cut marker");
    QVERIFY2(std::abs((red.first() + red.last()) / 2.0 - expectedCut) <= 1.5,
             qPrintable(QStringLiteral("cut drawn at %1, expected %2").arg(red.first()).arg(expectedCut)));
    // Shaded before the cut, white after it (looked at near the bottom, below the trace).
    const int shaded = columnsOf(image, row, ir_plot::kKeptShade, static_cast<int>(time.left()) + 1, red.first()).size();
    QVERIFY2(shaded > 0.9 * (red.first() - time.left() - 1), qPrintable(QString::number(shaded)));
    QCOMPARE(columnsOf(image, row, ir_plot::kKeptShade, red.last() + 1, static_cast<int>(time.right())).size(), 0);

    // Axes: both plot frames are drawn, and the spectrum's axis is logarithmic from 20 Hz to
    // 20 kHz: 1 kHz lies at log(50) / log(1000) of its width, and its grid line is there.
    const QRectF spectrum = layout.spectrumArea;
    for (const QRectF& area : {time, spectrum}) {
        const int y = static_cast<int>(area.top());
        const auto frame = columnsOf(image, y, ir_plot::kAxisColour, static_cast<int>(area.left()), static_cast<int>(area.right()));
        QVERIFY2(frame.size() > 0.9 * area.width(), "a plot frame is missing");
    }
    const double kHzX = spectrum.left() + std::log(50.0) / std::log(1000.0) * spectrum.width();
    QVERIFY(std::abs(layout.xForHz(1000) - kHzX) < 0.01);
    QVERIFY(std::abs(layout.xForHz(20) - spectrum.left()) < 0.01);
    QVERIFY(std::abs(layout.xForHz(20000) - spectrum.right()) < 0.01);
    int gridRows = 0;
    for (int y = static_cast<int>(spectrum.top()) + 2; y < spectrum.bottom() - 2; ++y) {
        const QColor c = image.pixelColor(static_cast<int>(std::round(kHzX)), y);
        gridRows += c.red() < 250 ? 1 : 0;  // anything but the white background
    }
    QVERIFY2(gridRows > 0.8 * (spectrum.height() - 4), qPrintable(QString::number(gridRows)));
    // Both curves are in the spectrum plot.
    int whole = 0;
    int kept = 0;
    for (int y = static_cast<int>(spectrum.top()); y < spectrum.bottom(); ++y) {
        for (int x = static_cast<int>(spectrum.left()); x < spectrum.right(); ++x) {
            whole += image.pixel(x, y) == ir_plot::kWholeColour;
            kept += image.pixel(x, y) == ir_plot::kKeptColour;
        }
    }
    QVERIFY2(whole > 100 && kept > 100, qPrintable(QStringLiteral("%1 whole, %2 kept").arg(whole).arg(kept)));
    // The noise, low-passed at 4 kHz, is loud at 1 kHz and well down at 15 kHz, in both curves.
    const auto at = [&](const std::vector<double>& db, double hz) {
        const auto i = std::min_element(layout.frequencies.begin(), layout.frequencies.end(),
                                        [hz](double a, double b) { return std::abs(a - hz) < std::abs(b - hz); }) -
                       layout.frequencies.begin();
        return db[static_cast<std::size_t>(i)];
    };
    if (resample) {
        QVERIFY(at(layout.wholeDb, 1000) - at(layout.wholeDb, 15000) > 20);
        QVERIFY(at(layout.keptDb, 1000) - at(layout.keptDb, 15000) > 20);
    }
}

void IrViewTest::fadeAndNormalisationMergeTheTapsAgain() {
    Fixture f;
    QVERIFY(f.load(48000, true));
    const QString asRecorded = f.main().irImage;
    QVERIFY(tap(asRecorded, 911) != 0);

    // The whole response's spectrum is made on Load IR's thread, not by the window, and not
    // again for a fade or a new size, which change only the kept taps and the layout.
    app::IrPlotWidget* plot = f.view()->plot;
    plot->grab();
    QCOMPARE(plot->spectraMade(), 0);

    f.view()->spnFadeMs->setValue(2.0);  // 96 taps
    const QString faded = f.main().irImage;
    f.view()->resize(f.view()->size() + QSize(40, 30));
    plot->grab();
    QCOMPARE(plot->spectraMade(), 0);
    // Shown without one, the window makes it once and keeps it while the response stays.
    const std::optional<ir_plot::IrPlotData> shown = plot->data();
    plot->setData(std::nullopt);
    plot->setData(shown);
    plot->grab();
    plot->setData(shown);
    plot->resize(plot->size() + QSize(10, 10));
    plot->grab();
    QCOMPARE(plot->spectraMade(), 1);
    QCOMPARE(tap(faded, 911), 0);
    QCOMPARE(faded.left(kBasicTapsAt + 8 * (912 - 96)), asRecorded.left(kBasicTapsAt + 8 * (912 - 96)));
    QCOMPARE(faded.size(), asRecorded.size());
    QCOMPARE(f.view()->plot->data()->fadeTaps, std::size_t{96});
    QCOMPARE(f.editor->state.irShaping.fadeMs, 2.0);

    f.view()->spnNormalizeDb->setValue(-6.0);
    QCOMPARE(f.main().irImage, faded);  // the box is not ticked
    f.view()->chkNormalize->setChecked(true);
    qint32 peak = 0;
    for (int i = 0; i < 912; ++i) peak = std::max(peak, std::abs(tap(f.main().irImage, i)));
    QCOMPARE(peak, static_cast<qint32>(std::round(8388608 * std::pow(10, -6.0 / 20))));

    // The next Load IR keeps the choice.
    QVERIFY(f.load(48000, false));
    QCOMPARE(tap(f.main().irImage, 911), 0);
    QVERIFY2(f.editor.dialogs->messages.last().contains(QStringLiteral("faded out over the last 96 taps (2.0 ms)")),
             qPrintable(f.editor.dialogs->messages.last()));

    // Both off again: the same fixture (sox -R) gives the taps as recorded.
    f.view()->spnFadeMs->setValue(0);
    f.view()->chkNormalize->setChecked(false);
    QCOMPARE(f.main().irImage, asRecorded);
}

QTEST_MAIN(IrViewTest)
void IrViewTest::theTraceIsTheSamplesExtremesPerColumn() {
    using Env = std::vector<std::pair<double, double>>;
    const std::vector<double> samples = {0, 5, -3, 2, 9, -7, 1, 4};
    struct Case {
        const char* name;
        double span;
        int columns;
        Env expected;  // (low, high) per column
    };
    const Case cases[] = {
        {"two samples a column", 8, 4, {{0, 5}, {-3, 2}, {-7, 9}, {1, 4}}},
        // Columns that split a sample share it, so the trace has no gaps.
        {"columns share the sample they split", 8, 3, {{-3, 5}, {-7, 9}, {-7, 4}}},
        {"more columns than samples", 4, 8, {{0, 0}, {0, 0}, {5, 5}, {5, 5}, {-3, -3}, {-3, -3}, {2, 2}, {2, 2}}},
        {"the span runs past the samples", 20, 5, {{-3, 5}, {-7, 9}}},
        {"no room", 8, 0, {}},
    };
    for (const Case& c : cases) {
        Env got;
        for (const auto& e : ir_plot::columnEnvelope(samples, c.span, c.columns)) got.emplace_back(e.low, e.high);
        QVERIFY2(got == c.expected, c.name);
    }
}

#include "test_ir_view.moc"
