// The real editor linked to the virtual pedal (paced in real time) and left alone: its event
// loop runs with the 20 ms poll asking the pedal for news. Processor time of the whole
// process over wall time, with the poll running, and with it stopped for comparison; the
// goal is under 1 % of a core for the poll.
#include "support/editor_bench.h"

#include <cstdio>
#include <cstdlib>

using namespace qeltx;

namespace {
constexpr int kRuns = 5;
constexpr int kRunMs = 3000;
}  // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    bench::BenchEditor e;
    e.link();
    QTimer& poll = e.main().Timer_USB_read;
    if (!poll.isActive()) {
        std::printf("the poll does not run after Link\n");
        return EXIT_FAILURE;
    }
    bench::BenchEditor::runEvents(500);  // start-up paints and the failed update check

    auto idle = [] { bench::BenchEditor::runEvents(kRunMs); };
    std::vector<double> polled;
    std::vector<double> quiet;
    for (int k = 0; k < kRuns; ++k) {
        poll.start();
        polled.push_back(bench::corePercentDuring(idle));
        poll.stop();
        quiet.push_back(bench::corePercentDuring(idle));
    }
    std::printf("linked and idle, %d ms each, poll every %d ms: %% of a core per run %s\n", kRunMs, poll.interval(),
                bench::list(polled, "%.3f").c_str());
    std::printf("the same with the poll stopped: %% of a core per run %s (median %.3f)\n",
                bench::list(quiet, "%.3f").c_str(), bench::median(quiet));
    bench::printFigure("linked and idle with the 20 ms poll (whole process)", bench::median(polled), "% of a core",
                       1.0);
    return EXIT_SUCCESS;
}
