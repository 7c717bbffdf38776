// The Editor object: the seams, the driver stack, the windows and the log sink.
#include "app/editor.h"

#include "app/firmware_upgrade.h"
#include "app/fx_parameters.h"
#include "app/impulse_response.h"
#include "app/main_window.h"
#include "app/new_version_msg.h"
#include "app/print_console.h"
#include "app/qt_network.h"
#include "app/qt_seams.h"
#include "core/errors.h"
#include "link/composite_driver.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"

namespace qeltx::app {

Editor::Editor(EditorSetup setup) : serverAddress_(setup.serverAddress) {
    dialogs_ = setup.dialogs ? std::move(setup.dialogs) : std::make_unique<QtDialogs>();
    timing_ = setup.timing ? std::move(setup.timing) : std::make_unique<RealTiming>();
    platform_ = setup.platform ? std::move(setup.platform) : std::make_unique<DesktopPlatform>();
    network_ = setup.network ? std::move(setup.network) : std::make_unique<QtNetwork>();
    buildDriverStack(setup);
    usb_ = std::make_unique<link::D2XXUnit>(*driver_, [this](const std::string& text) {
        dialogs_->message(QString::fromStdString(text));
    });
    exchange_ = std::make_unique<session::Exchange>(*usb_, *timing_, [this](const QString& line) { printToConsole(line); });
}

Editor::~Editor() {
    // Windows go first: their handlers reach the driver stack.
    formNewVersionMsg_.reset();
    formImpulseResponse_.reset();
    formFXParameters_.reset();
    formPrint_.reset();
    formFirmwareUpgrade_.reset();
    formMain_.reset();
}

void Editor::buildDriverStack(EditorSetup& setup) {
    if (setup.driver) {
        ownedDriver_ = std::move(setup.driver);
        driver_ = ownedDriver_.get();
        return;
    }
    link::SystemDriverOptions options;
    for (const QString& port : std::as_const(setup.explicitPorts)) options.explicitPorts.push_back(port.toStdString());
    auto composite = setup.systemBackends ? link::makeSystemDrivers(options) : std::make_unique<link::CompositeDriver>();
    if (setup.virtualPedal) {
        // Listed last, so Link (which opens the device listed last) reaches it.
        pedalModel_ = std::make_unique<pedal_sim::PedalModel>();
        composite->adoptBackend(std::make_unique<pedal_sim::VirtualPedalDriver>(*pedalModel_));
    }
    driver_ = composite.get();
    ownedDriver_ = std::move(composite);
}

void Editor::start() {
    formMain_ = std::make_unique<TformMain>(*this);
    formMain_->FormCreate();
    formFirmwareUpgrade_ = std::make_unique<TformFirmwareUpgrade>(*this);
    formPrint_ = std::make_unique<TformPrint>(*this);
    for (const QString& line : std::as_const(earlyLines_)) formPrint_->printToConsole(line);
    earlyLines_.clear();
    formFXParameters_ = std::make_unique<TformFXParameters>(*this);
    formImpulseResponse_ = std::make_unique<TformImpulseResponse>(*this);
    formNewVersionMsg_ = std::make_unique<TformNewVersionMsg>(*this);
    formMain_->show();
}

void Editor::printToConsole(const QString& text) {
    if (formPrint_) {
        formPrint_->printToConsole(text);
    } else {
        earlyLines_ << text;
    }
}

void Editor::guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const core::ConversionError& error) {
        dialogs_->errorReport(QString::fromUtf8(error.what()));
    } catch (const std::exception& error) {
        dialogs_->errorReport(QString::fromUtf8(error.what()));
    }
}

}  // namespace qeltx::app
