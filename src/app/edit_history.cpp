// The steps of the player's edits and how undo and redo send them.
#include "app/edit_history.h"

#include "app/editor.h"
#include "session/pedal_state.h"

#include <QUndoCommand>

#include <utility>

namespace qeltx::app {

namespace {

// Ids QUndoStack merges by: a pot's steps by its control, nothing else.
constexpr int kPotIdBase = 1000;

// Every step was already done when it is recorded: the stack's first redo (on push) sends
// nothing.
class RecordedStep : public QUndoCommand {
public:
    RecordedStep(EditHistory& history, const QString& text) : history_(history) { setText(text); }
    void undo() final { apply(false); }
    void redo() final {
        if (std::exchange(recorded_, false)) return;
        apply(true);
    }

protected:
    // Sends the step's values after (or before) it; false when a send failed.
    virtual void apply(bool after) = 0;
    EditHistory& history_;

private:
    bool recorded_ = true;
};

class ValuesStep : public RecordedStep {
public:
    // A pot's step is named by its parameter and the sweep: "Drive 512 → 300".
    ValuesStep(EditHistory& history, const QString& text, std::vector<ValueChange> changes, std::optional<std::size_t> pot)
        : RecordedStep(history, text), changes_(std::move(changes)), pot_(pot), name_(text),
          gesture_(history.dragSerial()), lastAt_(history.nowMs()) {
        if (pot_) nameSweep();
    }

    int id() const override { return pot_ ? kPotIdBase + static_cast<int>(*pot_) : -1; }

    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = dynamic_cast<const ValuesStep*>(other);
        if (!next || !pot_ || next->pot_ != pot_ || changes_.size() != 1 || next->changes_.size() != 1) return false;
        // One drag is one step; without a drag, steps close together are one burst.
        const bool sameDrag = gesture_ >= 0 && next->gesture_ == gesture_;
        const bool sameBurst = gesture_ < 0 && next->gesture_ < 0 && next->lastAt_ - lastAt_ <= EditHistory::kBurstMs;
        if (!sameDrag && !sameBurst) return false;
        ValueChange& mine = changes_.front();
        const ValueChange& theirs = next->changes_.front();
        mine.after = theirs.after;
        mine.redoCommand = theirs.redoCommand;
        lastAt_ = next->lastAt_;
        nameSweep();
        // Back where it started: nothing is left to undo.
        setObsolete(mine.before == mine.after);
        return true;
    }

protected:
    void apply(bool after) override {
        // Undone in the reverse order they went out, so a later change of the same control
        // does not win over an earlier one.
        if (after) {
            for (const ValueChange& change : changes_) {
                if (!history_.sendValue(change.control, change.after, change.redoCommand)) return;
            }
        } else {
            for (auto it = changes_.rbegin(); it != changes_.rend(); ++it) {
                if (!history_.sendValue(it->control, it->before, it->undoCommand)) return;
            }
        }
    }

private:
    void nameSweep() {
        const ValueChange& change = changes_.front();
        setText(name_ + QLatin1Char(' ') + QString::number(change.before) + QStringLiteral(" → ") +
                QString::number(change.after));
    }
    std::vector<ValueChange> changes_;
    std::optional<std::size_t> pot_;
    QString name_;
    int gesture_;
    qint64 lastAt_;
};

class ReverseStep : public RecordedStep {
public:
    ReverseStep(EditHistory& history, const QString& text, std::size_t control, bool on)
        : RecordedStep(history, text), control_(control), on_(on) {}

protected:
    void apply(bool after) override { history_.sendReverse(control_, after ? on_ : !on_); }

private:
    std::size_t control_;
    bool on_;
};

class ChoiceStep : public RecordedStep {
public:
    ChoiceStep(EditHistory& history, const QString& text, std::function<void(std::uint8_t)> choose, std::uint8_t before,
               std::uint8_t after)
        : RecordedStep(history, text), choose_(std::move(choose)), before_(before), after_(after) {}

protected:
    void apply(bool after) override { choose_(after ? after_ : before_); }

private:
    std::function<void(std::uint8_t)> choose_;
    std::uint8_t before_;
    std::uint8_t after_;
};

}  // namespace

EditHistory::EditHistory(Editor& editor) : editor_(editor) {
    connect(&stack_, &QUndoStack::indexChanged, this, &EditHistory::changed);
    connect(&stack_, &QUndoStack::cleanChanged, this, &EditHistory::changed);
    // What the editor knows of the values no longer holds (erased, another algorithm uploaded
    // or reported): the steps would send values of a sound the pedal no longer has.
    session::PedalState& pedal = editor_.pedal();
    connect(&pedal, &session::PedalState::valuesReplaced, this, [this] {
        if (!effect_.isEmpty() && !editor_.pedal().hasValuesFor(effect_)) clear();
    });
    connect(&pedal, &session::PedalState::algorithmChanged, this, [this] { forAlgorithm(editor_.pedal().algorithm().name); });
}

EditHistory::~EditHistory() = default;

qint64 EditHistory::nowMs() const { return editor_.timing().nowMs(); }

void EditHistory::recordValues(const QString& text, std::vector<ValueChange> changes, std::optional<std::size_t> pot) {
    if (replaying_ || changes.empty()) return;
    effect_ = editor_.pedal().valuesEffect();
    stack_.push(new ValuesStep(*this, text, std::move(changes), pot));
}

void EditHistory::recordReverse(const QString& text, std::size_t control, bool on) {
    if (replaying_) return;
    effect_ = editor_.pedal().valuesEffect();
    stack_.push(new ReverseStep(*this, text, control, on));
}

void EditHistory::recordChoice(const QString& text, std::function<void(std::uint8_t)> choose, std::uint8_t before,
                               std::uint8_t after) {
    if (replaying_ || before == after) return;
    effect_ = editor_.pedal().valuesEffect();
    stack_.push(new ChoiceStep(*this, text, std::move(choose), before, after));
}

void EditHistory::beginStep(const QString& text) {
    if (!replaying_) stack_.beginMacro(text);
}

void EditHistory::endStep() {
    if (!replaying_) stack_.endMacro();
}

void EditHistory::beginDrag(std::size_t control) {
    dragging_ = true;
    dragControl_ = control;
    ++dragSerial_;
}

void EditHistory::endDrag() { dragging_ = false; }

void EditHistory::undo() { step(false); }
void EditHistory::redo() { step(true); }

void EditHistory::step(bool forward) {
    if (replaying_ || !(forward ? stack_.canRedo() : stack_.canUndo())) return;
    const auto talk = editor_.line().begin(session::ConversationKind::LiveEdit);
    if (!talk) return;
    const QString what = (forward ? QStringLiteral("Redo ") : QStringLiteral("Undo ")) +
                         (forward ? stack_.redoText() : stack_.undoText());
    editor_.printToConsole(what);
    failed_ = false;
    replaying_ = true;
    if (forward) {
        stack_.redo();
    } else {
        stack_.undo();
    }
    replaying_ = false;
    if (failed_) {
        editor_.tellNotSent(what);
        clear();
    }
}

void EditHistory::clear() {
    dragging_ = false;
    stack_.clear();
}

void EditHistory::forAlgorithm(const QString& effect) {
    if (effect == effect_) return;
    effect_ = effect;
    clear();
}

bool EditHistory::sendValue(std::size_t control, std::int32_t value, const core::PedalCommand& command) {
    if (failed_) return false;
    failed_ = !editor_.pedal().change(control, value, command);
    return !failed_;
}

bool EditHistory::sendReverse(std::size_t control, bool on) {
    if (failed_) return false;
    const auto command = core::reverseCommand(on, static_cast<int>(control));
    failed_ = !command || !editor_.pedal().changeReverse(control, on, *command);
    return !failed_;
}

}  // namespace qeltx::app
