// The link to one pedal for one command: the driver layer built as the editor builds it, the
// device chosen on the command line opened at the pedal's line settings, and the exchange over
// it. Every wait has a time limit; the device is closed when the link goes.
#pragma once

#include "session/exchange.h"
#include "session/seams.h"
#include "cli/arguments.h"
#include "cli/output.h"
#include "core/support_report.h"
#include "link/composite_driver.h"
#include "link/d2xx_unit.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qeltx::pedal_sim {
class PedalModel;
}

namespace qeltx::cli {

// Real pauses and waits for a program without windows: the event loop still runs, since the
// serial port backend is driven by Qt's socket notifiers.
class CliTiming : public session::Timing {
public:
    CliTiming() { clock_.start(); }
    void pause(int ms) override;
    void processEvents(int ms) override;
    void waitFor(int ms, const std::function<void(int)>& wake) override;
    void block(int ms, const std::function<void(int)>& wake) override;
    qint64 nowMs() override { return clock_.elapsed(); }

private:
    QElapsedTimer clock_;
};

using ListedDevice = core::ListedDevice;

class PedalLink {
public:
    // Builds the driver layer for `connection`; nothing is opened yet.
    PedalLink(const Connection& connection, const Output& output);
    ~PedalLink();
    PedalLink(const PedalLink&) = delete;
    PedalLink& operator=(const PedalLink&) = delete;

    // Every device the backends list, in the order the editor lists them.
    std::vector<ListedDevice> listDevices();

    // Opens the chosen device at 115,200 baud, 8N1 (`bootloader`: even parity). The line
    // that says why when it cannot.
    std::optional<QString> open(bool bootloader = false);

    link::D2XXUnit& usb() { return usb_; }
    session::Exchange& exchange() { return exchange_; }
    session::LineOwner& line() { return line_; }
    session::Timing& timing() { return timing_; }
    const Output& output() const { return output_; }
    // The serial number (or port) of the device open() chose, once it has run.
    const std::string& chosenSerial() const { return chosenSerial_; }
    // The in-process pedal with --virtual-pedal, else null.
    pedal_sim::PedalModel* virtualPedal() { return model_.get(); }

private:
    const Connection connection_;
    const Output& output_;
    CliTiming timing_;
    std::unique_ptr<pedal_sim::PedalModel> model_;
    std::unique_ptr<link::CompositeDriver> driver_;
    link::D2XXUnit usb_;
    session::LineOwner line_;
    session::Exchange exchange_;
    bool opened_ = false;
    std::string chosenSerial_;
    // Driver errors as the editor would show them in a box; the last explains a failure.
    QString lastDriverMessage_;
};

// The environment variable that gives the virtual pedal's bridge a fault, to try what the
// commands do when writes fail: "write-fails" (every write fails) or "short-writes" (every
// write loses its last byte).
inline constexpr const char* kVirtualPedalFaultVariable = "QELTX_VIRTUAL_PEDAL_FAULT";

// What the outcome of a drain says to the user when no usable reply came.
QString noReplyText(session::DrainOutcome outcome, const QString& what);

}  // namespace qeltx::cli
