// Read EEPROM in the real editor's console against the virtual pedal paced in real time:
// after the command's pause the 16,385-byte dump waits in the receive queue, and the next
// poll tick takes it and logs its 16,384 lines. Timed: that tick, the window events it
// leaves behind and the console's repaint, until the console takes clicks again. The goal is
// under 300 ms.
#include "app/print_console.h"
#include "support/editor_bench.h"

#include <QPlainTextEdit>

#include <cstdio>
#include <cstdlib>

using namespace qeltx;

namespace {
constexpr int kRuns = 5;
constexpr int kDumpLines = 16384;
}  // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    bench::BenchEditor e;
    e.link();
    app::TformPrint& console = *e->formPrint();
    console.show();
    bench::BenchEditor::runEvents(100);

    std::vector<double> runs;
    std::vector<double> tickOnly;
    for (int k = 0; k < kRuns; ++k) {
        console.btnClearClick();
        bench::BenchEditor::settle();
        // The real tool: the command, then its blocking pause while the dump crosses the wire.
        if (!console.ReadEEPROM(QStringLiteral("50"))) {
            std::printf("Read EEPROM sent nothing\n");
            return EXIT_FAILURE;
        }
        QTimer& poll = e.main().Timer_USB_read;
        poll.stop();  // this benchmark runs the next tick itself, to time it
        const int before = console.logView->blockCount();
        const auto start = bench::Clock::now();
        for (int tick = 0; tick < 10 && console.logView->blockCount() < before + kDumpLines; ++tick) {
            e.main().Timer_USB_readTimer();
        }
        const double tick = bench::msSince(start);
        bench::BenchEditor::settle();
        console.logView->viewport()->repaint();
        bench::BenchEditor::settle();
        const double ms = bench::msSince(start);
        poll.start();
        if (console.logView->blockCount() < before + kDumpLines) {
            std::printf("run %d: the dump was not logged (%d lines)\n", k + 1, console.logView->blockCount() - before);
            return EXIT_FAILURE;
        }
        runs.push_back(ms);
        tickOnly.push_back(tick);
    }
    std::printf("EEPROM dump, %d lines: poll tick with logging (ms) %s\n", kDumpLines, bench::list(tickOnly).c_str());
    std::printf("with the events and repaint after it (ms) %s\n", bench::list(runs).c_str());
    bench::printFigure("EEPROM dump logged, console usable again", bench::median(runs), "ms", 300.0);
    return EXIT_SUCCESS;
}
