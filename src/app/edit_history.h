// The player's edits as steps to undo and redo. A step holds what it changed before and after
// (parameter values with the commands that set them, a reverse flag, an assignment choice), and
// undoing or redoing it sends through what the pedal holds, so the pedal follows. What the
// pedal reports or a read-back brings is never a step.
#pragma once

#include "core/commands.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qeltx::app {

class Editor;

// One parameter's change within a step, with the command that sets each side.
struct ValueChange {
    std::size_t control = 0;
    std::int32_t before = 0;
    std::int32_t after = 0;
    core::PedalCommand undoCommand;
    core::PedalCommand redoCommand;
};

class EditHistory : public QObject {
    Q_OBJECT
public:
    // Keys and wheel steps on one pot closer together than this are one step.
    static constexpr qint64 kBurstMs = 800;

    explicit EditHistory(Editor& editor);
    ~EditHistory() override;

    const QUndoStack& stack() const { return stack_; }
    bool canUndo() const { return stack_.canUndo(); }
    bool canRedo() const { return stack_.canRedo(); }

    // Parameter values that went out (a control, a preset, a restore): one step named `text`
    // (for a pot, its parameter's name; the step adds the sweep, "Drive 512 → 300").
    // A pot's change (`pot` set) joins the step before it while it continues one gesture on
    // that pot: a drag (from beginDrag to endDrag), or a burst of wheel or key steps.
    void recordValues(const QString& text, std::vector<ValueChange> changes, std::optional<std::size_t> pot = {});
    // Control i's reverse flag went out, turned `on`.
    void recordReverse(const QString& text, std::size_t control, bool on);
    // A choice that is kept and sent later (an assignment): `choose` makes it again.
    void recordChoice(const QString& text, std::function<void(std::uint8_t)> choose, std::uint8_t before,
                      std::uint8_t after);
    // What is recorded between these is one step named `text`.
    void beginStep(const QString& text);
    void endStep();

    // The player holds pot `control` with the mouse.
    void beginDrag(std::size_t control);
    void endDrag();

    // Sends the step before (or after) the current one. A send that fails clears the history:
    // what the pedal holds keeps only what went out, and the steps no longer lead anywhere
    // the pedal has been. Refused (nothing sent) while another conversation runs.
    void undo();
    void redo();
    void clear();
    // The history belongs to one algorithm's values: another algorithm clears it.
    void forAlgorithm(const QString& effect);

    // For a step undone or redone: sends one value, or one reverse flag; false when it did not go out.
    bool sendValue(std::size_t control, std::int32_t value, const core::PedalCommand& command);
    bool sendReverse(std::size_t control, bool on);
    qint64 nowMs() const;
    int dragSerial() const { return dragging_ ? dragSerial_ : -1; }

Q_SIGNALS:
    // The steps, or which is current, changed.
    void changed();

private:
    void step(bool forward);
    Editor& editor_;
    QUndoStack stack_;
    QString effect_;
    bool dragging_ = false;
    std::size_t dragControl_ = 0;
    int dragSerial_ = 0;
    bool replaying_ = false;
    bool failed_ = false;
};

}  // namespace qeltx::app
