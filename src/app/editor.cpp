// The Editor object: the seams, the driver stack, the windows and the log sink.
#include "app/editor.h"
#include "app/edit_history.h"
#include "session/settings_conversation.h"

#include "app/firmware_upgrade.h"
#include "app/fx_parameters.h"
#include "app/impulse_response.h"
#include "app/impulse_response_view.h"
#include "app/main_window.h"
#include "app/new_version_msg.h"
#include "app/print_console.h"
#include "app/qt_network.h"
#include "app/qt_seams.h"
#include "app/stored_compare.h"
#include "core/errors.h"
#include "core/ft_status.h"
#include "link/composite_driver.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"

#include <QAction>
#include <QKeySequence>
#include <QVariant>
#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>

#include <utility>

namespace qeltx::app {

namespace {

// A box shown in the middle of a conversation runs window events until it is answered: that
// is one of the conversation's waits, so nothing started from behind the box reaches the pedal.
//
// Once the pedal is lost in the middle of a conversation, the conversation's own complaints that
// follow from it (an answer cut short, a purge that failed) go to the console: the player hears
// of the loss once, in one box, when the conversation has ended.
class ConversationDialogs : public session::Dialogs {
public:
    using Quiet = std::function<bool()>;
    using Log = std::function<void(const QString&)>;
    ConversationDialogs(std::unique_ptr<session::Dialogs> inner, session::LineOwner& line, Quiet quiet, Log log)
        : inner_(std::move(inner)), line_(line), quiet_(std::move(quiet)), log_(std::move(log)) {}
    void message(const QString& text, session::MessageKind kind) override {
        if (quiet_()) {
            log_(text);
            return;
        }
        const auto waiting = waitingIfBusy();
        inner_->message(text, kind);
    }
    bool messageOffering(const QString& text, const QString& action) override {
        const auto waiting = waitingIfBusy();
        return inner_->messageOffering(text, action);
    }
    bool confirm(const QString& text) override {
        const auto waiting = waitingIfBusy();
        return inner_->confirm(text);
    }
    int choose(const QString& text, const QStringList& answers, int cancel) override {
        const auto waiting = waitingIfBusy();
        return inner_->choose(text, answers, cancel);
    }
    QString openFile(const QString& title, const QString& folder, const QString& filter) override {
        const auto waiting = waitingIfBusy();
        return inner_->openFile(title, folder, filter);
    }
    QString openFileDescribed(const QString& title, const QString& folder, const QString& filter,
                              const std::function<QString(const QString&)>& describe) override {
        const auto waiting = waitingIfBusy();
        return inner_->openFileDescribed(title, folder, filter, describe);
    }
    QString saveFile(const QString& title, const QString& folder, const QString& filter) override {
        const auto waiting = waitingIfBusy();
        return inner_->saveFile(title, folder, filter);
    }
    void errorReport(const QString& text) override {
        const auto waiting = waitingIfBusy();
        inner_->errorReport(text);
    }

private:
    std::unique_ptr<session::LineOwner::Waiting> waitingIfBusy() {
        return line_.busy() ? std::make_unique<session::LineOwner::Waiting>(line_) : nullptr;
    }
    std::unique_ptr<session::Dialogs> inner_;
    session::LineOwner& line_;
    Quiet quiet_;
    Log log_;
};

}  // namespace

Editor::Editor(EditorSetup setup) : serverAddress_(setup.serverAddress) {
    timing_ = setup.timing ? std::move(setup.timing) : std::make_unique<RealTiming>();
    line_ = std::make_unique<session::LineOwner>(*timing_);
    dialogs_ = std::make_unique<ConversationDialogs>(
        setup.dialogs ? std::move(setup.dialogs) : std::make_unique<QtDialogs>(), *line_,
        [this] { return lostDuring_.has_value(); }, [this](const QString& text) { printToConsole(text); });
    platform_ = setup.platform ? std::move(setup.platform) : std::make_unique<DesktopPlatform>();
    network_ = setup.network ? std::move(setup.network) : std::make_unique<QtNetwork>();
    buildDriverStack(setup);
    usb_ = std::make_unique<link::D2XXUnit>(*driver_, [this](const std::string& text) {
        // A pedal lost in this conversation: noteDriverFailure has put the details in the console.
        if (lostDuring_) return;
        dialogs_->message(QString::fromStdString(text), session::MessageKind::Error);
    });
    usb_->onFailure = [this](const std::string& label, core::FtStatus status) { noteDriverFailure(label, status); };
    // The trace's times are the editor's own clock, so they match the waits' time limits.
    usb_->traceClock = [this] { return timing_->nowMs(); };
    exchange_ = std::make_unique<session::Exchange>(*usb_, *line_, [this](const QString& line) { printToConsole(line); });
    // What the pedal holds sends through the one send path.
    pedal_.setSender([this](const core::PedalCommand& command) { return exchange_->send(command); });
    history_ = std::make_unique<EditHistory>(*this);
    compare_ = std::make_unique<StoredSoundCompare>(*this);
    line_->pollWanted = [this] { return state.linked && !state.firmwareUpgradeMode; };
    line_->onWaiting = [this](session::ConversationKind) { holdInput(true); };
    line_->onEnded = [this](session::ConversationKind) { holdInput(false); };
    line_->onRefused = [this](session::ConversationKind running, session::ConversationKind refused) {
        tellRefused(running, session::conversationName(refused));
    };
}

Editor::~Editor() {
    // Windows go first: their handlers reach the driver stack.
    line_->poll = nullptr;
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
    // Undo, Redo and Compare by their keys from the panel too, and the pedal's conversations and
    // the configuration files: a player editing in the panel reads, stores and saves from there.
    formFXParameters_->addActions(formMain_->menuEdit->actions());
    formFXParameters_->addActions({formMain_->menuConnect, formMain_->menuGetFXStored, formMain_->menuRequest,
                                   formMain_->menuStoreSettings, formMain_->menuUpload,
                                   formMain_->menuLoadConfiguration, formMain_->menuSaveConfiguration});
    formImpulseResponse_ = std::make_unique<TformImpulseResponse>(*this);
    formNewVersionMsg_ = std::make_unique<TformNewVersionMsg>(*this);
    // A preset dragged from the file manager loads on the panel as on the main window.
    formMain_->setAcceptDrops(true);
    formFXParameters_->setAcceptDrops(true);
    line_->poll = &formMain_->Timer_USB_read;
    formMain_->show();
}

void Editor::end() {
    if (ended_) return;
    if (formMain_) {
        formMain_->Timer_USB_read.stop();
        formMain_->TimerCheckWebVersion.stop();
    }
    // The editor's own windows, each by name. A list of all top-level windows taken first would
    // not do: the panel destroys its rows when it closes, and with them the pop-up windows of
    // their choice boxes, which such a list also holds.
    std::vector<QWidget*> windows = {formFXParameters_.get(), formPrint_.get(), formFirmwareUpgrade_.get(),
                                     formNewVersionMsg_.get()};
    if (formImpulseResponse_) windows.push_back(formImpulseResponse_->existingView());
    for (QWidget* window : windows) {
        if (window && window->isVisible()) window->close();
    }
    if (state.linked) {
        // A pedal that was unplugged meanwhile would otherwise see the editor off with a box.
        usb_->showDeviceErrors = false;
        usb_->CloseFTDevice();
        state.linked = false;
    }
    ended_ = true;
}

session::PedalLine Editor::pedalLine() {
    return session::PedalLine{*exchange_, *usb_, *line_, [this](const QString& text) { printToConsole(text); }};
}

void Editor::printToConsole(const QString& text) {
    if (formPrint_) {
        formPrint_->printToConsole(text);
    } else {
        earlyLines_ << text;
    }
}

void Editor::whenIdle(std::function<void()> work) {
    line_->whenIdle([this, work = std::move(work)] { guard(work, Source::TimerOrNetwork); });
}

void Editor::tellRefused(session::ConversationKind running, const QString& refused) {
    const QString text = (refused.isEmpty() ? QStringLiteral("Nothing was changed") : refused + QStringLiteral(" was not started")) +
                         QStringLiteral(": ") + session::conversationName(running) +
                         QStringLiteral(" is talking to the pedal. Try again when it has finished.");
    printToConsole(text);
    // One box per conversation, shown after it: a box now would hold the conversation up.
    if (refusalPending_) return;
    refusalPending_ = true;
    whenIdle([this, text] {
        refusalPending_ = false;
        dialogs_->message(text, session::MessageKind::Warning);
    });
}

void Editor::noteDriverFailure(const std::string& label, core::FtStatus status) {
    if (!lostDuring_) {
        // Only a failure in the middle of a normal conversation is a loss to tell of here: the
        // poll finds one between conversations, the flasher reports its own, and a handle not
        // open yet (a Link that failed) has nothing to lose.
        if (!line_->busy() || !state.linked || state.firmwareUpgradeMode) return;
        if (status == core::FT_INVALID_HANDLE) return;
        // A write refused by a pedal still on the bus is not a loss: the device still answers
        // for its queue.
        std::uint32_t queued = 0;
        const core::FtStatus probe = driver_->getQueueStatus(usb_->deviceHandle, queued);
        if (probe == core::FT_OK || probe == core::FT_INVALID_HANDLE) return;
        lostDuring_ = line_->running();
        whenIdle([this] {
            const auto during = lostDuring_;
            lostDuring_.reset();
            if (formMain_) formMain_->pedalDisconnected(during);
        });
    }
    // Every call that fails after the loss, whether driver reports are on or not.
    printToConsole(QString::fromStdString(core::ftErrorMessage(label, status)));
}

void Editor::tellNotSent(const QString& what) {
    const QString text = what + QStringLiteral(" did not reach the pedal: ") + exchange_->sendProblem() +
                         QStringLiteral(". Check the cable, then Unlink and Link again.");
    printToConsole(text);
    // The pedal has gone: the one box about the loss says it all.
    if (lostDuring_) return;
    // With driver reports on, the driver's own box about the failed write is already up.
    if (usb_->showDeviceErrors && usb_->lastDeviceStatus != core::FT_OK) return;
    // One box per conversation, shown after it, as for a refusal. It names the last action
    // that failed: the one the user asked for, after any step it took first (Upload's bypass).
    const bool pending = !notSentText_.isEmpty();
    notSentText_ = text;
    if (pending) return;
    whenIdle([this] { dialogs_->message(std::exchange(notSentText_, QString()), session::MessageKind::Error); });
}

void Editor::holdInput(bool hold) {
    if (hold == inputHeld_) return;
    inputHeld_ = hold;
    if (hold) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    if (hold) {
        focusBeforeHold_.clear();
        for (QWidget* window : {static_cast<QWidget*>(formMain_.get()), static_cast<QWidget*>(formFXParameters_.get())}) {
            if (window && window->focusWidget()) focusBeforeHold_.emplace_back(window->focusWidget());
        }
    }
    // Disabling a container keeps each control's own enabled state for when it is enabled again.
    std::vector<QWidget*> surfaces;
    if (formMain_) surfaces.insert(surfaces.end(), {formMain_->centralWidget(), formMain_->menuBar()});
    if (formFXParameters_) surfaces.push_back(formFXParameters_.get());
    if (formPrint_) surfaces.insert(surfaces.end(), {formPrint_->btnEraseEeprom, formPrint_->btnReadEEPROM, formPrint_->cmbI2Caddr});
    // Update Now ends the editor, and the impulse response's shaping changes what Upload sends.
    if (formNewVersionMsg_) surfaces.push_back(formNewVersionMsg_->btnLaunchUpdate);
    if (formImpulseResponse_) surfaces.push_back(formImpulseResponse_->existingView());
    if (formFirmwareUpgrade_) {
        surfaces.insert(surfaces.end(), {formFirmwareUpgrade_->cmbFirmwareChoose, formFirmwareUpgrade_->btnOpenFirmwareFile,
                                         formFirmwareUpgrade_->btnUpgradeFirmware});
    }
    for (QWidget* surface : surfaces) {
        if (surface) surface->setEnabled(!hold);
    }
    if (!hold) {
        // Without the window's activation: a window the conversation closed or greyed keeps none.
        for (const QPointer<QWidget>& control : std::as_const(focusBeforeHold_)) {
            if (control && control->isVisible() && control->isEnabled()) control->setFocus(Qt::OtherFocusReason);
        }
        focusBeforeHold_.clear();
    }
    // A menu entry's shortcut would reach past the held menu bar: the keys are taken off while
    // the hold lasts and given back after.
    if (!formMain_) return;
    static constexpr const char* kHeldKeys = "heldShortcut";
    for (QAction* action : formMain_->findChildren<QAction*>()) {
        if (hold && !action->shortcut().isEmpty()) {
            action->setProperty(kHeldKeys, action->shortcut());
            action->setShortcut(QKeySequence());
        } else if (!hold && action->property(kHeldKeys).isValid()) {
            action->setShortcut(action->property(kHeldKeys).value<QKeySequence>());
            action->setProperty(kHeldKeys, QVariant());
        }
    }
}

void Editor::focusWhenFree(QWidget* control) {
    if (!inputHeld_) {
        control->setFocus(Qt::OtherFocusReason);
        return;
    }
    std::erase_if(focusBeforeHold_, [control](const QPointer<QWidget>& held) {
        return !held || held->window() == control->window();
    });
    focusBeforeHold_.emplace_back(control);
}

void Editor::guard(const std::function<void()>& handler, Source source) {
    if (ended_) return;
    if (source == Source::UserInput && line_->insideWait() && line_->busy()) {
        tellRefused(*line_->running(), QString());
        return;
    }
    try {
        handler();
    } catch (const core::ConversionError& error) {
        dialogs_->errorReport(QString::fromUtf8(error.what()));
    } catch (const std::exception& error) {
        dialogs_->errorReport(QString::fromUtf8(error.what()));
    }
}

}  // namespace qeltx::app
