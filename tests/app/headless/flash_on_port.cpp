// flash_on_port: the editor's flasher without windows, over the serial backend on an explicit
// port (qeltx-pedal-sim's pseudo-terminal), so that another flasher can read back what it wrote.
//   flash_on_port PORT IMAGE [FIRMWARE_NUMBER]
// The pedal must be running its bootloader, and stays in it: no Go, so the other flasher finds
// it there. Exit 0 when the run completed (erase, writes, marker, read-back), 1 with the failed
// step on standard error otherwise.
#include "session/flasher.h"
#include "app/qt_seams.h"
#include "link/composite_driver.h"
#include "link/d2xx_unit.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace qeltx;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: flash_on_port PORT IMAGE [FIRMWARE_NUMBER]\n");
        return 2;
    }
    const std::string port = argv[1];
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "flash_on_port: cannot read %s\n", argv[2]);
        return 1;
    }
    const QByteArray content = file.readAll();
    const std::vector<std::uint8_t> image(content.begin(), content.end());
    const int number = argc == 4 ? std::atoi(argv[3]) : 1;

    link::SystemDriverOptions options;
    options.explicitPorts.push_back(port);
    auto driver = link::makeSystemDrivers(options);
    link::D2XXUnit usb(*driver, [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    app::RealTiming timing;
    const auto log = [](const QString& line) { std::printf("%s\n", qPrintable(line)); };
    session::LineOwner line(timing);
    session::Exchange exchange(usb, line, log);

    if (usb.Open_USB_Device_By_Serial_Number(port) != core::FT_OK) return 1;
    usb.SetPortParameters(link::portModeBootloader);
    usb.SetFTDeviceBaudRate();
    usb.SetFTDeviceDataCharacteristics();

    auto plan = session::planFlash(image, core::kFlashBase, number);
    if (!plan) {
        std::fprintf(stderr, "flash_on_port: %s\n", plan.reason().c_str());
        return 1;
    }
    session::FlashPlan job = *plan;
    job.goAddress.reset();
    session::Flasher flasher(usb, exchange, log);
    auto failure = flasher.synchronise();
    if (!failure) failure = flasher.run(job);
    usb.CloseFTDevice();
    if (failure) {
        std::fprintf(stderr, "flash_on_port: %s\n", qPrintable(failure->describe()));
        return 1;
    }
    std::printf("flashed and verified %zu bytes\n", image.size());
    return 0;
}
