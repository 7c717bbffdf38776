// The owner of the pedal's line: who is talking to the pedal, the poll around it, and what
// waits for the conversation to end.
#include "session/line_owner.h"

#include <algorithm>

namespace qeltx::session {

QString conversationName(ConversationKind kind) {
    switch (kind) {
        case ConversationKind::Link: return QStringLiteral("Link");
        case ConversationKind::Unlink: return QStringLiteral("Unlink");
        case ConversationKind::Query: return QStringLiteral("Get FX Stored on Pedal");
        case ConversationKind::Request: return QStringLiteral("Request");
        case ConversationKind::Upload: return QStringLiteral("Upload");
        case ConversationKind::Assign: return QStringLiteral("Assign");
        case ConversationKind::StoreSettings: return QStringLiteral("Store Settings On Pedal");
        case ConversationKind::MidiChannel: return QStringLiteral("the MIDI channel");
        case ConversationKind::LiveEdit: return QStringLiteral("a parameter change");
        case ConversationKind::EraseSettings: return QStringLiteral("Erase Settings");
        case ConversationKind::EepromTool: return QStringLiteral("the EEPROM tool");
        case ConversationKind::UpgradeMode: return QStringLiteral("Upgrade Mode");
        case ConversationKind::Flashing: return QStringLiteral("the firmware upgrade");
        case ConversationKind::BackUpSettings: return QStringLiteral("Back Up Pedal Settings");
        case ConversationKind::RestoreSettings: return QStringLiteral("Restore Pedal Settings");
    }
    return {};
}

LineOwner::LineOwner(Timing& timing) : timing_(timing) {}

LineOwner::Conversation LineOwner::begin(ConversationKind kind) {
    if (running_) {
        if (insideWait()) {
            if (onRefused) onRefused(*running_, kind);
            return Conversation(*this, false, false);
        }
        return Conversation(*this, true, false);
    }
    running_ = kind;
    waited_ = false;
    pollWasActive_ = poll && poll->isActive();
    if (poll) poll->stop();
    return Conversation(*this, true, true);
}

LineOwner::Conversation::~Conversation() {
    if (granted_) owner_.end(outermost_);
}

void LineOwner::end(bool outermost) {
    if (!outermost) return;
    const ConversationKind kind = *running_;
    running_.reset();
    if (poll) {
        const bool wanted = pollWanted ? pollWanted() : pollWasActive_;
        if (wanted) {
            poll->start();
        } else {
            poll->stop();
        }
    }
    if (waited_ && onEnded) onEnded(kind);
    // Work that waited for this end may start a conversation of its own; each runs only while
    // the line is free.
    while (!idleWork_.empty() && !running_) {
        std::function<void()> work = std::move(idleWork_.front());
        idleWork_.pop_front();
        work();
    }
}

LineOwner::Waiting::Waiting(LineOwner& owner) : owner_(owner) {
    if (owner_.running_ && !owner_.waited_) {
        owner_.waited_ = true;
        if (owner_.onWaiting) owner_.onWaiting(*owner_.running_);
    }
    // Code inside a conversation may have started the poll (Link does at its end); it must not
    // tick in the middle of this wait.
    if (owner_.running_ && owner_.poll && owner_.poll->isActive()) owner_.poll->stop();
    ++owner_.waitDepth_;
}

void LineOwner::dispatch(int ms, const std::function<void(int)>& wake) {
    const Waiting waiting(*this);
    const qint64 now = timing_.nowMs();
    if (!wake) {
        timing_.processEvents(ms);
        lastFrameMs_ = now;
        return;
    }
    ms = std::max(ms, 0);
    if (!lastFrameMs_ || now - *lastFrameMs_ >= frameMs) {
        lastFrameMs_ = now;
        timing_.waitFor(std::min(ms, frameMs), wake);
    } else {
        timing_.block(static_cast<int>(std::min<qint64>(ms, *lastFrameMs_ + frameMs - now)), wake);
    }
}

void LineOwner::whenIdle(std::function<void()> work) {
    if (!running_) {
        work();
        return;
    }
    idleWork_.push_back(std::move(work));
}

void LineOwner::resumePoll() {
    if (!poll || running_) return;
    if (pollWanted && pollWanted()) {
        poll->start();
    } else if (pollWanted) {
        poll->stop();
    }
}

}  // namespace qeltx::session
