// exchanges_bench: the editor's conversations with the pedal, timed as a player meets them, on a
// serial port (qeltx-pedal-sim's pseudo-terminal, paced in real time at 115,200 baud with the
// bridge's latency timer), against the bound the wire sets on each.
//   exchanges_bench --port PTY --latency-ms MS [--runs N]
// The pedal must hold Calibration Sweep (16 controls, the longest parameter block) at start.
// Rows, in this order (Upload changes what the pedal holds, Erase Settings erases it):
//   Link to values shown: Link, the stored-effect query and the automatic Request
//   Request (16 controls), Store Settings, Upload (Plate Reverb, 9,472 bytes, to its
//   "Upload complete"), one EEPROM read (console, to the dump listed), Erase Settings.
// The bound of a row: the bytes that crossed the line in the run, either way, 10 bits each at
// 115,200 baud; plus one latency per answer the pedal gives (the bridge holds the last bytes
// of one that long); plus the pauses that stay (commands the pedal does not answer).
// One line per row: "row<TAB>name<TAB>median ms<TAB>bound ms<TAB>runs (ms)".
#include "app/fx_parameters.h"
#include "app/print_console.h"
#include "core/commands.h"
#include "core/pedal_messages.h"
#include "core/replies.h"
#include "link/composite_driver.h"
#include "support/counting_driver.h"
#include "support/editor_bench.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

using namespace qeltx;

namespace {

const QString kUploaded = QStringLiteral("Plate Reverb");
constexpr std::size_t kUploadedImageBytes = 9472;
constexpr int kSixteenControls = 16;
// Upload mutes the pedal and lets the bypass settle before the image (a pause that stays).
constexpr double kUploadBypassSettleMs = 40;

// What one row of the table times: `prepare` (not timed), then `run`, after which `done` says
// whether the editor did its work. Its bound: the bytes moved in the run, `answers` latencies
// and `pausesMs`.
struct Timed {
    std::string name;
    std::function<void()> prepare;
    std::function<void()> run;
    std::function<bool()> done;
    int answers = 0;
    double pausesMs = 0;
};

struct Row {
    std::string name;
    std::vector<double> runs;
    std::vector<double> bounds;
};

struct Bench {
    bench::CountingDriver* counting = nullptr;
    double latencyMs = 16;
    int runs = 5;
    std::unique_ptr<bench::BenchEditor> e;
    std::vector<Row> rows;

    double wireMs(std::uint64_t bytes) const { return static_cast<double>(bytes) * bench::byteWireMs(); }

    // Times `x` `runs` times into a new row; false (having said why) when a run did not finish.
    bool measure(const Timed& x) {
        Row row{x.name, {}, {}};
        for (int k = 0; k < runs; ++k) {
            if (x.prepare) x.prepare();
            const std::uint64_t before = counting->bytes;
            const auto start = bench::Clock::now();
            x.run();
            const double ms = bench::msSince(start);
            if (!x.done()) {
                std::printf("%s, run %d: the editor did not finish (%s)\n", x.name.c_str(), k + 1,
                            qPrintable(e->boxes->lastMessages.join(QStringLiteral(" | "))));
                return false;
            }
            row.runs.push_back(ms);
            row.bounds.push_back(wireMs(counting->bytes - before) + x.answers * latencyMs + x.pausesMs);
            bench::BenchEditor::runEvents(50);
        }
        rows.push_back(row);
        return true;
    }

    void print() const {
        for (const Row& row : rows) {
            std::printf("row\t%s\t%.1f\t%.1f\t%s\n", row.name.c_str(), bench::median(row.runs), bench::median(row.bounds),
                        bench::list(row.runs).c_str());
        }
        std::fflush(stdout);
    }
};

int usage() {
    std::fprintf(stderr, "usage: exchanges_bench --port PTY --latency-ms MS [--runs N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    std::string port;
    double latency = -1;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--port") == 0) {
            port = argv[i + 1];
        } else if (std::strcmp(argv[i], "--latency-ms") == 0) {
            latency = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        } else {
            return usage();
        }
    }
    if (port.empty() || latency < 0 || runs < 1) return usage();

    link::SystemDriverOptions options;
    options.explicitPorts.push_back(port);
    auto counting = std::make_unique<bench::CountingDriver>(link::makeSystemDrivers(options));
    Bench b;
    b.counting = counting.get();
    b.latencyMs = latency;
    b.runs = runs;
    b.e = std::make_unique<bench::BenchEditor>(std::move(counting));
    bench::BenchEditor& e = *b.e;
    // The backup offered before Erase Settings is a conversation of its own: declined.
    e.boxes->declined << QStringLiteral("Back up the pedal's settings");
    app::TformMain& main = e.main();
    app::TformFXParameters& panel = *e->formFXParameters();
    app::TformPrint& console = *e->formPrint();
    const auto blockRead = [&] { return main.replyBytes.size() == core::parameterBlockLength(kSixteenControls); };
    const auto noBox = [&] { return e.boxes->messages == 0; };
    const QString uploadComplete = QString::fromUtf8(core::kUploadCompleteText.data());
    const QString memoryErased = QString::fromUtf8(core::kMemoryErasedMessage.data());
    int linesBefore = 0;

    const Timed exchanges[] = {
        {"Link to values shown (query + Request)",
         [&] {
             if (main.menuDisconnect->isEnabled()) main.menuDisconnect->trigger();
             bench::BenchEditor::runEvents(50);
             e.boxes->messages = 0;
         },
         [&] { main.menuConnect->trigger(); },
         [&] { return noBox() && panel.numControls() == kSixteenControls && main.btnAssign->isEnabled() && blockRead(); },
         2, 0},
        {"Request (16 controls)", [&] { main.replyBytes.clear(); }, [&] { main.btnRequest->click(); },
         [&] { return noBox() && blockRead(); }, 1, 0},
        {"Store Settings", {}, [&] { main.btnStoreSettingsOnPedal->click(); }, noBox, 0,
         static_cast<double>(core::kStoreSettingsSpec.pauseMs)},
        // From the click to the pedal's "Upload complete" on the status line. The automatic
        // Request that follows it is not part of the upload.
        {"Upload (9,472 bytes)",
         [&] {
             e->state.readValuesAutomatically = false;
             main.lblStatus->clear();
         },
         [&] {
             main.btnUpload->click();
             const auto deadline = bench::Clock::now() + std::chrono::seconds(10);
             while (main.lblStatus->text() != uploadComplete && bench::Clock::now() < deadline) {
                 QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
             }
         },
         [&] { return main.lblStatus->text() == uploadComplete; }, 1, kUploadBypassSettleMs},
        // One EEPROM read from the console, to its dump listed there.
        {"one EEPROM read (16,385 bytes)",
         [&] {
             console.cmbI2Caddr->setCurrentText(QStringLiteral("51"));
             linesBefore = console.lineCount();
         },
         [&] { console.btnReadEEPROM->click(); },
         [&] { return console.lineCount() >= linesBefore + static_cast<int>(core::kEepromSize); }, 1, 0},
        // Two erases (their pauses stay) and two dumps, to "Memory Erased".
        {"Erase Settings",
         [&] {
             e.boxes->lastMessages.clear();
             e.boxes->messages = 0;
         },
         [&] { main.menuEraseSettings->trigger(); }, [&] { return e.boxes->lastMessages == QStringList{memoryErased}; }, 2,
         2.0 * core::kEepromEraseSpec.pauseMs},
    };
    for (const Timed& x : exchanges) {
        if (x.name.starts_with("Upload") && !e.chooseOtherAlgorithm(kUploaded)) {
            std::printf("%s is not in the browser\n", qPrintable(kUploaded));
            b.print();
            return EXIT_FAILURE;
        }
        if (!b.measure(x)) {
            b.print();
            return EXIT_FAILURE;
        }
    }
    b.print();
    return EXIT_SUCCESS;
}
