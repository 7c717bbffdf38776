// Request in the real editor against the virtual pedal paced in real time at 115,200 baud:
// the click's duration, from sending 02 N through the 200 ms pause, the reply's wait and
// drain, to the panel filled. The goal is the 200 ms pause plus 1.2 × the reply's wire time.
#include "app/fx_parameters.h"
#include "core/commands.h"
#include "core/replies.h"
#include "support/editor_bench.h"

#include <QPushButton>

#include <cstdio>
#include <cstdlib>

using namespace qeltx;

namespace {

constexpr int kRuns = 9;
constexpr double kRequestPauseMs = core::kRequestSpec.pauseMs;

// The reply's length in bytes: what a pedal in the same state sends for 02 N.
std::size_t replyLength(std::uint8_t numControls) {
    pedal_sim::PedalModel probe;
    const std::uint8_t request[] = {core::command_code::kRequest, numControls};
    probe.receive(request, sizeof request, pedal_sim::kNormalLine);
    return probe.output().size();
}

}  // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    bench::BenchEditor e;
    e.link();
    const int numControls = e->formFXParameters()->numControls;
    const std::size_t replyBytes = replyLength(static_cast<std::uint8_t>(numControls));
    const std::size_t expectedNumbers = core::parameterBlockLength(static_cast<std::size_t>(numControls));

    std::vector<double> runs;
    for (int k = 0; k < kRuns; ++k) {
        e.main().replyBytes.clear();
        const auto start = bench::Clock::now();
        e.main().btnRequest->click();
        runs.push_back(bench::msSince(start));
        if (e.boxes->messages != 0 || e.main().replyBytes.size() != expectedNumbers) {
            std::printf("run %d: Request did not read the whole block (%zu numbers, %d boxes)\n", k + 1,
                        e.main().replyBytes.size(), e.boxes->messages);
            return EXIT_FAILURE;
        }
        bench::BenchEditor::runEvents(50);
    }
    const double wire = static_cast<double>(replyBytes) * bench::byteWireMs();
    std::printf("Request, %d controls, reply %zu bytes (wire time %.1f ms): runs (ms) %s\n", numControls, replyBytes,
                wire, bench::list(runs).c_str());
    bench::printFigure("Request, click to panel filled", bench::median(runs), "ms", kRequestPauseMs + 1.2 * wire);
    return EXIT_SUCCESS;
}
