// The one owner of the pedal's line. Every conversation with the pedal starts here, so the
// editor always knows whether one is running and which; nothing started from inside a
// conversation's waits (a click that got through, a timer) reaches the pedal in the middle of it.
#pragma once

#include "session/seams.h"

#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

namespace qeltx::session {

// What is being said to the pedal. Several user actions share a kind where they are one
// exchange to the pedal (every live edit is LiveEdit).
enum class ConversationKind {
    Link,
    Unlink,
    Query,          // which algorithm the pedal holds ("Get FX Stored on Pedal", and after Link)
    Request,        // the parameter read-back
    Upload,
    Assign,
    StoreSettings,
    MidiChannel,
    LiveEdit,       // pots, switches, buttons, multi-switches, reverse, bypass, Live
    EraseSettings,
    EepromTool,     // the debug console's Erase EEPROM and Read EEPROM
    UpgradeMode,    // restarting the pedal into its bootloader and greeting it
    Flashing,
    BackUpSettings,   // reading everything the pedal keeps into a settings backup
    RestoreSettings,  // putting a settings backup back on the pedal
};

// The name a user knows the conversation by, for messages ("Request is running").
QString conversationName(ConversationKind kind);

class LineOwner {
public:
    // A running conversation, from begin() to the end of its scope. A refused one is false and
    // must send nothing.
    class [[nodiscard]] Conversation {
    public:
        ~Conversation();
        Conversation(const Conversation&) = delete;
        Conversation& operator=(const Conversation&) = delete;
        Conversation(Conversation&&) = delete;
        Conversation& operator=(Conversation&&) = delete;

        explicit operator bool() const { return granted_; }

    private:
        friend class LineOwner;
        Conversation(LineOwner& owner, bool granted, bool outermost)
            : owner_(owner), granted_(granted), outermost_(outermost) {}
        LineOwner& owner_;
        bool granted_;
        bool outermost_;
    };

    explicit LineOwner(Timing& timing);
    LineOwner(const LineOwner&) = delete;
    LineOwner& operator=(const LineOwner&) = delete;

    // Starts a conversation. While none runs it is granted. While one runs:
    //  - called by that conversation's own code (not from inside one of its waits) it is a part
    //    of it (Link's query, Upload's bypass): granted, and its end leaves the outer one running;
    //  - called from inside a wait (a handler that the wait's event dispatch ran) it is refused:
    //    the result is false and onRefused is told, so the user hears why nothing happened.
    Conversation begin(ConversationKind kind);

    bool busy() const { return running_.has_value(); }
    std::optional<ConversationKind> running() const { return running_; }
    // True while a conversation's wait is letting window events run: whatever runs now was not
    // started by the conversation itself.
    bool insideWait() const { return waitDepth_ > 0; }

    // The one way a conversation lets the window run while it waits: repaints and timers run,
    // user input waits for the end (the real timing seam), and the 20 ms poll stays stopped.
    // Sleeps up to `ms` (0: only what is pending). With `wake` (the driver's wait for bytes,
    // which ends the moment a reply arrives), the window's events run only when a frame is due
    // (frameMs since they last ran), and `wake` blocks until bytes come, `ms` pass or the next
    // frame is due: one frame's events however short the exchanges, and no wait cut short
    // just before its answer comes (a wake for nothing, then another for the answer).
    void dispatch(int ms, const std::function<void(int ms)>& wake = {});
    // How often a wait lets the window run: a frame at 60 Hz.
    int frameMs = 16;

    // Marks anything else that runs window events in the middle of a conversation (a modal
    // box asking the user) as one of its waits, for as long as it lives.
    class [[nodiscard]] Waiting {
    public:
        explicit Waiting(LineOwner& owner);
        ~Waiting() { --owner_.waitDepth_; }
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;

    private:
        LineOwner& owner_;
    };
    Timing& timing() { return timing_; }

    // Runs `work` now when no conversation runs, otherwise as soon as the running one has ended
    // (closing a window the user closed during it, a message that would block it).
    void whenIdle(std::function<void()> work);

    // Puts the poll in the state pollWanted asks for (after something outside a conversation
    // had to stop it).
    void resumePoll();

    // The 20 ms poll for what the pedal sends by itself: stopped for every conversation, so it
    // cannot take a reply, and after the outermost one ends started exactly when pollWanted
    // says so (without pollWanted: put back as it was).
    QTimer* poll = nullptr;
    std::function<bool()> pollWanted;
    // The first wait of a conversation is starting (show that the editor is busy) and a
    // conversation that waited has ended (show it no longer is).
    std::function<void(ConversationKind)> onWaiting;
    std::function<void(ConversationKind)> onEnded;
    // `refused` was asked for while `running` ran.
    std::function<void(ConversationKind running, ConversationKind refused)> onRefused;

private:
    void end(bool outermost);

    Timing& timing_;
    std::optional<ConversationKind> running_;
    bool pollWasActive_ = false;
    bool waited_ = false;
    int waitDepth_ = 0;
    std::optional<qint64> lastFrameMs_;  // when a wait last let the window run
    std::deque<std::function<void()>> idleWork_;
};

}  // namespace qeltx::session
