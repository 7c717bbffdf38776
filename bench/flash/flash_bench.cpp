// flash_bench: how long the editor's flasher takes to program and verify a firmware image
// through the pedal's bootloader, on a line paced in real time at 115,200 baud (11 bits a byte
// at even parity) with the bridge's latency timer.
//   flash_bench --port PTY IMAGE            over the serial backend (qeltx-pedal-sim --pace)
//   flash_bench --in-process IMAGE [MS]     the virtual pedal in process, latency MS (16)
// The job is the one stm32flash -w -v does, so the two can be compared: synchronise, Get
// Version, Get and Get ID, erase, write every block of the image and read it back; no
// firmware marker and no Go (stm32flash writes neither).
// The editor lowers the latency timer while flashing where the bridge lets it (in process it
// does, and says "latency timer: N ms (was M ms)"; a pseudo-terminal has none). It also says
// "wire bytes: N", every byte written and read in the job, for the wire's bound on its time.
// The last line is "seconds: X".
#include "session/flasher.h"
#include "app/qt_seams.h"
#include "link/composite_driver.h"
#include "link/d2xx_unit.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "support/counting_driver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <memory>
#include <span>

using namespace qeltx;

namespace {

constexpr int kDefaultLatencyMs = 16;

// Asks a bootloader command whose answer is `length` bytes, as stm32flash does before it
// flashes (Get Version, Get ID); the flasher needs neither, the comparison needs the same work.
bool ask(session::Exchange& exchange, std::uint8_t command, std::size_t length) {
    if (!exchange.sendBufferBytes(core::commandFrame(command))) return false;
    const auto drained = exchange.drainReply([length](std::span<const std::uint8_t> bytes) {
        return !bytes.empty() && (bytes.front() != core::bootloader::kAck || bytes.size() >= length);
    });
    return drained.bytes.size() == length && drained.bytes.front() == core::bootloader::kAck;
}

// Get Version: ACK, version, two option bytes, ACK. Get ID: ACK, count less one, two ID bytes, ACK.
constexpr std::size_t kGetVersionAnswer = 5;
constexpr std::size_t kGetIdAnswer = 5;

int usage() {
    std::fprintf(stderr, "usage: flash_bench --port PTY IMAGE | --in-process IMAGE [LATENCY_MS]\n");
    return 2;
}

// Opens `serial`, runs the job through the firmware window's flasher and returns the seconds
// taken, or a negative number after saying what failed.
double flashThrough(link::Driver& inner, const std::string& serial, const std::vector<std::uint8_t>& image) {
    bench::CountingDriver driver(inner);
    link::D2XXUnit usb(driver, [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    app::RealTiming timing;
    const auto quiet = [](const QString&) {};
    session::LineOwner line(timing);
    session::Exchange exchange(usb, line, quiet);
    const auto planned = session::planFlash(image, core::kFlashBase, 1);
    if (!planned) {
        std::fprintf(stderr, "flash_bench: %s\n", planned.reason().c_str());
        return -1;
    }
    session::FlashPlan plan = *planned;
    plan.marker.reset();
    plan.goAddress.reset();
    if (usb.Open_USB_Device_By_Serial_Number(serial) != core::FT_OK) return -1;
    usb.SetPortParameters(link::portModeBootloader);
    usb.SetFTDeviceBaudRate();
    usb.SetFTDeviceDataCharacteristics();
    // From the open port (the editor flashes a pedal it has linked with; finding the port is
    // the link's work) to the end of the job.
    QElapsedTimer clock;
    clock.start();
    std::optional<session::FlashFailure> failure;
    {
        session::LatencyLowered latency(usb, [](const QString& line) { std::printf("%s\n", qPrintable(line)); });
        session::Flasher flasher(usb, exchange, quiet);
        failure = flasher.synchronise();
        if (!failure && (!ask(exchange, core::bootloader::kGetVersion, kGetVersionAnswer) ||
                         !ask(exchange, core::bootloader::kGetId, kGetIdAnswer))) {
            failure = session::FlashFailure{session::FlashError::UnexpectedReply, QStringLiteral("Get Version, Get ID"), {}, {}};
        }
        if (!failure) failure = flasher.run(plan);
    }
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    usb.CloseFTDevice();
    if (failure) {
        std::fprintf(stderr, "flash_bench: %s\n", qPrintable(failure->describe()));
        return -1;
    }
    std::printf("wire bytes: %llu\n", static_cast<unsigned long long>(driver.bytes));
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 3) return usage();
    const bool inProcess = std::strcmp(argv[1], "--in-process") == 0;
    if (!inProcess && (std::strcmp(argv[1], "--port") != 0 || argc != 4)) return usage();
    QFile file(QString::fromLocal8Bit(argv[inProcess ? 2 : 3]));
    if (!file.open(QIODevice::ReadOnly)) return usage();
    const QByteArray content = file.readAll();
    const std::vector<std::uint8_t> image(content.begin(), content.end());

    double seconds = -1;
    if (inProcess) {
        const int latencyMs = argc > 3 ? std::atoi(argv[3]) : kDefaultLatencyMs;
        pedal_sim::PedalOptions options;
        options.startInBootloader = true;
        pedal_sim::PedalModel pedal(options);
        pedal.useRealTime();
        pedal.setPacing({pedal_sim::kPedalBaud, std::chrono::milliseconds(latencyMs)});
        pedal_sim::VirtualPedalDriver driver(pedal);
        seconds = flashThrough(driver, pedal_sim::kVirtualPedalSerial, image);
        const auto flash = pedal.flash().bytes();
        if (seconds >= 0 && !std::equal(image.begin(), image.end(), flash.begin())) {
            std::fprintf(stderr, "flash_bench: the pedal's flash does not hold the image\n");
            seconds = -1;
        }
    } else {
        link::SystemDriverOptions options;
        options.explicitPorts.push_back(argv[2]);
        auto driver = link::makeSystemDrivers(options);
        seconds = flashThrough(*driver, argv[2], image);
    }
    if (seconds < 0) return 1;
    std::printf("seconds: %.3f\n", seconds);
    return 0;
}
