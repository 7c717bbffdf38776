// The Editor object: owns the editor state, the six windows, the driver stack and the seams.
// Tests make a fresh one per test; nothing of the editor is a static global.
#pragma once

#include "app/editor_state.h"
#include "session/exchange.h"
#include "session/line_owner.h"
#include "session/pedal_state.h"
#include "app/network.h"
#include "session/seams.h"
#include "link/d2xx_unit.h"
#include "link/driver.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace qeltx::session {
struct PedalLine;
}

namespace qeltx::pedal_sim {
class PedalModel;
}

namespace qeltx::app {

class TformMain;
class TformFirmwareUpgrade;
class TformPrint;
class TformFXParameters;
class TformImpulseResponse;
class TformNewVersionMsg;
class EditHistory;
class StoredSoundCompare;

// What the editor is built from. Anything left empty gets the real thing.
struct EditorSetup {
    std::unique_ptr<session::Dialogs> dialogs;
    std::unique_ptr<session::Timing> timing;
    std::unique_ptr<session::Platform> platform;
    std::unique_ptr<Network> network;
    // The devices the editor reaches; when empty, the system's backends (and the virtual
    // pedal when `virtualPedal` is set).
    std::unique_ptr<link::Driver> driver;
    bool virtualPedal = false;
    // Whether the system's backends (D2XX library, serial ports, libftdi1) are listed.
    bool systemBackends = true;
    // Serial-port paths to list as devices (a pseudo-terminal served by qeltx-pedal-sim).
    QStringList explicitPorts;
    // The maker's web server, without a trailing slash.
    QString serverAddress = QStringLiteral(QELTX_UPDATE_SERVER);
};

class Editor : public QObject {
    Q_OBJECT
public:
    explicit Editor(EditorSetup setup = {});
    ~Editor() override;

    // Creates the six windows in their order and shows the main window.
    void start();
    // The program is ending (its main window closed): the other windows close, the timers stop
    // and the device is handed back, closed, with nothing sent to the pedal. From then on no
    // handler runs, so nothing that was waiting (a late network answer, a message) opens a
    // window after the end. Only when no conversation runs.
    void end();
    bool ended() const { return ended_; }

    EditorState state;

    session::Dialogs& dialogs() { return *dialogs_; }
    session::Timing& timing() { return *timing_; }
    session::Platform& platform() { return *platform_; }
    Network& network() { return *network_; }
    link::D2XXUnit& usb() { return *usb_; }
    link::Driver& driver() { return *driver_; }
    session::Exchange& exchange() { return *exchange_; }
    // The line as the session's conversations take it (query, Request, upload, backup and
    // restore), logging to the console.
    session::PedalLine pedalLine();
    // The one owner of the pedal's line: every conversation with the pedal starts there.
    session::LineOwner& line() { return *line_; }
    // What the pedal holds: the windows draw it, and every change of the player's goes through it.
    session::PedalState& pedal() { return pedal_; }
    // The player's edits, to undo and redo.
    EditHistory& history() { return *history_; }
    // Compare with the sound stored on the pedal.
    StoredSoundCompare& compare() { return *compare_; }
    // Runs `work` (guarded) now, or when the running conversation has ended.
    void whenIdle(std::function<void()> work);
    // Gives `control` the keyboard in its window; while a conversation holds the controls, when
    // the hold ends (instead of the control that had it before).
    void focusWhenFree(QWidget* control);
    // The in-process virtual pedal, when the editor was started with it.
    pedal_sim::PedalModel* virtualPedal() { return pedalModel_.get(); }
    const QString& serverAddress() const { return serverAddress_; }

    TformMain* formMain() { return formMain_.get(); }
    TformFirmwareUpgrade* formFirmwareUpgrade() { return formFirmwareUpgrade_.get(); }
    TformPrint* formPrint() { return formPrint_.get(); }
    TformFXParameters* formFXParameters() { return formFXParameters_.get(); }
    TformImpulseResponse* formImpulseResponse() { return formImpulseResponse_.get(); }
    TformNewVersionMsg* formNewVersionMsg() { return formNewVersionMsg_.get(); }

    // The log sink of every module: one line in the debug console.
    void printToConsole(const QString& text);

    // Where a handler's call comes from. User input that reaches a handler from inside a
    // conversation's wait is refused (and the user told once the conversation ends); timer
    // ticks and network replies run.
    enum class Source { UserInput, TimerOrNetwork };

    // Runs a handler; an error it raises is shown as the general error report and the editor
    // runs on. No exception crosses the event loop.
    void guard(const std::function<void()>& handler, Source source = Source::UserInput);
    // The same, as something to connect to a signal.
    template <typename F>
    auto guarded(F handler, Source source = Source::UserInput) {
        return [this, handler, source](auto&&...) { guard(handler, source); };
    }

    // Tells the user that `what` (a user's action: "Assign", "Read EEPROM") did not reach the
    // pedal because the last send failed: a console line now, a box once the conversation
    // has ended (none when the driver has shown its own).
    void tellNotSent(const QString& what);

private:
    void buildDriverStack(EditorSetup& setup);
    // A driver call failed: when the pedal is gone in the middle of a conversation, the rest of
    // the conversation's complaints go to the console, and one box says so once it has ended.
    void noteDriverFailure(const std::string& label, core::FtStatus status);
    // While a conversation waits: a wait cursor, and every control that could send or change
    // what the conversation depends on held disabled.
    void holdInput(bool hold);
    // Told once the conversation has ended, so the message does not hold it up. `refused`
    // names the conversation that was not started (empty: a control's change was refused).
    void tellRefused(session::ConversationKind running, const QString& refused);

    std::unique_ptr<session::Dialogs> dialogs_;
    std::unique_ptr<session::Timing> timing_;
    std::unique_ptr<session::Platform> platform_;
    std::unique_ptr<Network> network_;
    std::unique_ptr<pedal_sim::PedalModel> pedalModel_;
    std::unique_ptr<link::Driver> ownedDriver_;
    link::Driver* driver_ = nullptr;
    std::unique_ptr<link::D2XXUnit> usb_;
    std::unique_ptr<session::LineOwner> line_;
    std::unique_ptr<session::Exchange> exchange_;
    session::PedalState pedal_;
    std::unique_ptr<EditHistory> history_;
    std::unique_ptr<StoredSoundCompare> compare_;
    bool inputHeld_ = false;
    // The controls that had the keyboard in the main window and the panel when input was held:
    // holding takes it from them, and it goes back when the hold ends.
    std::vector<QPointer<QWidget>> focusBeforeHold_;
    bool refusalPending_ = false;
    bool ended_ = false;
    // The conversation the pedal was lost in, until the player has been told.
    std::optional<session::ConversationKind> lostDuring_;
    QString notSentText_;  // the box tellNotSent will show, while it waits for the conversation
    QString serverAddress_;

    std::unique_ptr<TformMain> formMain_;
    std::unique_ptr<TformFirmwareUpgrade> formFirmwareUpgrade_;
    std::unique_ptr<TformPrint> formPrint_;
    std::unique_ptr<TformFXParameters> formFXParameters_;
    std::unique_ptr<TformImpulseResponse> formImpulseResponse_;
    std::unique_ptr<TformNewVersionMsg> formNewVersionMsg_;
    // Lines logged before the console exists; it takes them when it is created.
    QStringList earlyLines_;
};

}  // namespace qeltx::app
