// Building the driver layer, choosing and opening the device, and the waits of qeltx-cli.
#include "cli/pedal_link.h"

#include "core/hex.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "session/support_facts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <algorithm>

namespace qeltx::cli {

void CliTiming::pause(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

void CliTiming::processEvents(int ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (ms > 0) {
        QThread::msleep(static_cast<unsigned long>(ms));
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void CliTiming::waitFor(int ms, const std::function<void(int)>& wake) {
    processEvents(0);
    wake(ms);
}

void CliTiming::block(int ms, const std::function<void(int)>& wake) { wake(ms); }

namespace {

std::unique_ptr<link::CompositeDriver> makeDrivers(const Connection& connection) {
    link::SystemDriverOptions options;
    if (connection.choice == DeviceChoice::Port) options.explicitPorts.push_back(connection.value);
    return link::makeSystemDrivers(options);
}

}  // namespace

PedalLink::PedalLink(const Connection& connection, const Output& output)
    : connection_(connection),
      output_(output),
      driver_(makeDrivers(connection)),
      usb_(*driver_,
           [this](const std::string& text) {
               lastDriverMessage_ = QString::fromStdString(text);
               output_.log(lastDriverMessage_);
           }),
      line_(timing_),
      exchange_(usb_, line_, output.logSink()) {
    usb_.traceClock = [this] { return timing_.nowMs(); };
    if (connection_.choice == DeviceChoice::Virtual) {
        // Listed last, as in the editor, so it is also the device chosen without a choice.
        model_ = std::make_unique<pedal_sim::PedalModel>();
        const QByteArray fault = qgetenv(kVirtualPedalFaultVariable);
        model_->faults().writeFails = fault == "write-fails";
        model_->faults().shortWrites = fault == "short-writes";
        driver_->adoptBackend(std::make_unique<pedal_sim::VirtualPedalDriver>(*model_));
    }
}

PedalLink::~PedalLink() {
    if (opened_) usb_.CloseFTDevice();
}

std::vector<ListedDevice> PedalLink::listDevices() { return session::listDevices(usb_); }

std::optional<QString> PedalLink::open(bool bootloader) {
    const std::vector<ListedDevice> devices = listDevices();
    std::string serial;
    switch (connection_.choice) {
        case DeviceChoice::Port:
        case DeviceChoice::Serial:
            serial = connection_.value;
            break;
        case DeviceChoice::Virtual:
            serial = pedal_sim::kVirtualPedalSerial;
            break;
        case DeviceChoice::Auto:
            if (devices.empty()) return QStringLiteral("No device found");
            serial = devices.back().serial;
            break;
    }
    chosenSerial_ = serial;
    output_.log(QStringLiteral("serial number: ") + QString::fromStdString(serial));
    lastDriverMessage_.clear();
    if (usb_.Open_USB_Device_By_Serial_Number(serial) != core::FT_OK) {
        const std::string problem = driver_->lastOpenProblem();
        QString why = !problem.empty() ? QString::fromStdString(problem) : lastDriverMessage_;
        if (connection_.choice == DeviceChoice::Port && !QFileInfo::exists(QString::fromStdString(serial))) {
            why = QStringLiteral("no such port");
        }
        if (connection_.choice == DeviceChoice::Serial &&
            std::none_of(devices.begin(), devices.end(), [&](const ListedDevice& d) { return d.serial == serial; })) {
            why = QStringLiteral("no device with that serial number is listed");
        }
        return QStringLiteral("cannot open ") + QString::fromStdString(serial) + QStringLiteral(": ") + why;
    }
    opened_ = true;
    usb_.SetPortParameters(bootloader ? link::portModeBootloader : link::portModeNormal);
    if (usb_.SetFTDeviceBaudRate() != core::FT_OK || usb_.SetFTDeviceDataCharacteristics() != core::FT_OK) {
        return QStringLiteral("cannot set the line parameters of ") + QString::fromStdString(serial) +
               QStringLiteral(": ") + lastDriverMessage_;
    }
    output_.log(QStringLiteral("FT_HANDLE: 0x") + QString::fromStdString(core::word32ToHex(usb_.deviceHandle)));
    output_.log(QStringLiteral("baud rate = ") + QString::number(usb_.portBaudRate));
    return std::nullopt;
}

QString noReplyText(session::DrainOutcome outcome, const QString& what) {
    if (outcome == session::DrainOutcome::DriverFailed) {
        return QStringLiteral("the connection to the pedal failed while waiting for ") + what;
    }
    return QStringLiteral("the pedal did not answer ") + what +
           QStringLiteral(" in time; check the cable and that the pedal is switched on");
}

}  // namespace qeltx::cli
