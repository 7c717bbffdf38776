// How much of a core the real editor uses while it waits for a reply: the exchange's reply
// wait runs to its time limit against a virtual pedal that stays silent, with real timing
// (the event loop runs, window events are served). Processor time of the whole process over
// wall time; the goal is under 5 % of a core.
#include "session/exchange.h"
#include "core/commands.h"
#include "support/editor_bench.h"

#include <QPushButton>

#include <cstdio>
#include <cstdlib>

using namespace qeltx;

namespace {
constexpr int kRuns = 5;
}

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    bench::BenchEditor e;
    e.link();
    e.pedal().faults().silent = true;
    session::Exchange& exchange = e->exchange();

    std::vector<double> percents;
    double wallMs = 0;
    for (int k = 0; k < kRuns; ++k) {
        const auto talk = e->line().begin(session::ConversationKind::Query);
        exchange.sendBufferBytes(std::vector<std::uint8_t>{core::command_code::kStoredEffectQuery, 0x00});
        session::Drained drained;
        percents.push_back(bench::corePercentDuring(
            [&] { drained = exchange.drainReply([](std::span<const std::uint8_t>) { return false; }); }, &wallMs));
        if (drained.outcome != session::DrainOutcome::TimedOut || !drained.bytes.empty()) {
            std::printf("run %d: the silent pedal's wait did not end at its time limit\n", k + 1);
            return EXIT_FAILURE;
        }
    }
    // The whole of Request against the silent pedal: its 200 ms pause, then the wait.
    double requestWall = 0;
    const double request = bench::corePercentDuring([&] { e.main().btnRequest->click(); }, &requestWall);

    std::printf("reply wait (%d ms each, window events every %d ms): %% of a core per run %s\n",
                exchange.limits.replyTimeoutMs, e->line().frameMs, bench::list(percents, "%.2f").c_str());
    std::printf("Request against a silent pedal: %.2f %% of a core over %.0f ms\n", request, requestWall);
    bench::printFigure("processor use while waiting for a reply", bench::median(percents), "% of a core", 5.0);
    return EXIT_SUCCESS;
}
