// A pot dragged over all 1024 positions on the panel of the real editor, linked to the
// virtual pedal paced in real time at 115,200 baud: how long until the last of the 1024
// parameter commands is at the pedal. Each command is 7 bytes on the wire followed by the
// editor's 1 ms pause, so the goal is 1.2 × 1024 × (7 byte times + 1 ms).
#include "app/fx_parameters.h"
#include "app/print_console.h"
#include "support/editor_bench.h"

#include <QPushButton>
#include <QSlider>

#include <cstdio>
#include <cstdlib>

using namespace qeltx;

namespace {

constexpr int kPositions = 1024;
constexpr std::size_t kCommandBytes = 7;
constexpr double kPotPauseMs = 1.0;
constexpr int kRuns = 7;

// One drag from 0 to 1023, each step followed by the window events a mouse drag brings.
// Milliseconds from the first step until the pedal has the last command; negative when the
// pedal did not get exactly one command per position.
// Where a drag's time goes: the handler (log line, write, 1 ms pause) and the window events
// after each step (repaints of the panel and, when shown, the console).
struct Split {
    double handlerMs = 0;
    double eventsMs = 0;
};

double drag(bench::BenchEditor& e, QSlider& pot, Split& split) {
    // Start from the far end so every one of the 1024 positions is a change.
    if (pot.value() != kPositions - 1) {
        pot.setValue(kPositions - 1);
        if (!e.waitForPedalToHave(e.pedal().received().size() + kCommandBytes, 2000)) return -1;
    }
    bench::BenchEditor::runEvents(30);
    const std::size_t before = e.pedal().received().size();
    const auto start = bench::Clock::now();
    for (int v = 0; v < kPositions; ++v) {
        const auto step = bench::Clock::now();
        pot.setValue(v);
        const auto handled = bench::Clock::now();
        QCoreApplication::processEvents();
        split.handlerMs += std::chrono::duration<double, std::milli>(handled - step).count();
        split.eventsMs += bench::msSince(handled);
    }
    const std::size_t expected = before + kPositions * kCommandBytes;
    if (!e.waitForPedalToHave(expected)) return -1;
    const double ms = bench::msSince(start);
    e.editor->usb().GetFTDeviceQueueStatus();
    if (e.pedal().received().size() != expected) return -1;
    if (e.pedal().controlValue(0) != std::optional<std::uint32_t>((kPositions - 1) * pedal_sim::kValueScale)) return -1;
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    const bool consoleShown = argc > 1 && std::string(argv[1]) == "--console-shown";

    bench::BenchEditor e;
    e.link();
    if (consoleShown) e->formPrint()->show();
    e.main().btnRequest->click();  // enables the panel's controls
    bench::BenchEditor::settle();
    QSlider* pot = e->formFXParameters()->potTrackBar(0);
    if (!pot || !pot->isEnabled()) {
        std::printf("the stored algorithm's panel has no enabled pot\n");
        return EXIT_FAILURE;
    }

    std::vector<double> runs;
    std::vector<double> handler;
    std::vector<double> events;
    for (int k = 0; k < kRuns; ++k) {
        Split split;
        const double ms = drag(e, *pot, split);
        handler.push_back(split.handlerMs / kPositions);
        events.push_back(split.eventsMs / kPositions);
        if (ms < 0) {
            std::printf("run %d: the pedal did not get one command per position\n", k + 1);
            return EXIT_FAILURE;
        }
        runs.push_back(ms);
    }
    const double goal = 1.2 * kPositions * (kCommandBytes * bench::byteWireMs() + kPotPauseMs);
    std::printf("pot drag, 1024 positions, console %s: runs (ms) %s\n", consoleShown ? "shown" : "hidden",
                bench::list(runs).c_str());
    std::printf("per command: median %.3f ms (7 bytes on the wire %.3f ms + pause 1 ms); handler %.3f ms, "
                "window events %.3f ms\n",
                bench::median(runs) / kPositions, kCommandBytes * bench::byteWireMs(), bench::median(handler),
                bench::median(events));
    bench::printFigure("pot drag to the pedal", bench::median(runs), "ms", goal);
    return EXIT_SUCCESS;
}
