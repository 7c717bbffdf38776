// Upload of the catalogue's largest image (Plate Reverb, 9472 bytes) from the real editor
// to the virtual pedal paced in real time at 115,200 baud: the time from the user's Yes to
// the pedal holding every byte (it takes the algorithm when the last byte is in). The goal
// is 1.1 × the image's wire time (9472 × 86.8 us = 0.82 s).
#include "app/fx_parameters.h"
#include "support/editor_bench.h"

#include <QPushButton>

#include <cstdio>
#include <cstdlib>

using namespace qeltx;

namespace {

const QString kLargest = QStringLiteral("Plate Reverb");
constexpr std::size_t kLargestImageBytes = 9472;
constexpr int kRuns = 5;

}  // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    bench::BenchEditor e;
    e.link();
    if (!e.chooseOtherAlgorithm(kLargest)) {
        std::printf("%s is not in the browser\n", qPrintable(kLargest));
        return EXIT_FAILURE;
    }

    std::vector<double> runs;
    for (int k = 0; k < kRuns; ++k) {
        const unsigned taken = e.pedal().uploadsTaken();
        const std::size_t before = e.pedal().received().size();
        e.main().btnUpload->click();
        // The editor wrote everything; the wire carries it on while the pedal is asked.
        const auto deadline = bench::Clock::now() + std::chrono::seconds(5);
        while (e.pedal().uploadsTaken() == taken && bench::Clock::now() < deadline) {
            e->usb().GetFTDeviceQueueStatus();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        if (e.pedal().uploadsTaken() == taken) {
            std::printf("run %d: the pedal did not take the upload (%s)\n", k + 1, e.pedal().lastUploadProblem().c_str());
            return EXIT_FAILURE;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(bench::Clock::now() - e.boxes->lastConfirmation).count();
        const std::size_t sent = e.pedal().received().size() - before;
        // The bypass command (2 bytes) goes first, then the image.
        if (sent != kLargestImageBytes + 2) {
            std::printf("run %d: %zu bytes reached the pedal, expected %zu\n", k + 1, sent, kLargestImageBytes + 2);
            return EXIT_FAILURE;
        }
        runs.push_back(ms);
        bench::BenchEditor::runEvents(100);  // the poll takes "Upload complete"
    }
    const double wire = kLargestImageBytes * bench::byteWireMs();
    std::printf("upload of %s (%zu bytes, wire time %.1f ms): runs (ms) %s\n", qPrintable(kLargest),
                kLargestImageBytes, wire, bench::list(runs).c_str());
    bench::printFigure("upload, confirmation to every byte at the pedal", bench::median(runs), "ms", 1.1 * wire);
    return EXIT_SUCCESS;
}
