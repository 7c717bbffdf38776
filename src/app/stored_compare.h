// Compare: the player hears the sound stored on the pedal and then the edits again. Going in
// sends the stored values that differ from the edits; going out sends the edits back. Both go
// through what the pedal holds and leave the undo history alone.
#pragma once

#include <QKeySequence>
#include <QObject>

#include <cstdint>
#include <vector>

namespace qeltx::app {

class Editor;

// The keys of Compare, from the panel and the main window.
inline QKeySequence compareKeys() { return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C); }

class StoredSoundCompare : public QObject {
    Q_OBJECT
public:
    explicit StoredSoundCompare(Editor& editor);

    bool comparing() const { return comparing_; }
    // Whether Compare can start: the panel shows the held algorithm's values, a stored sound is
    // known and some value differs from it. While comparing it can always be left.
    bool available() const;
    // In or out of the comparison, as the Compare button.
    void toggle();
    // Leaves the comparison with the edits sent back (Unlink, the panel closing): when they
    // cannot be sent (not linked, another conversation runs) they are dropped.
    void finish();

Q_SIGNALS:
    // Comparing started or ended, or whether it can start changed.
    void changed();

private:
    void start();
    // Leaves the comparison without sending: what the pedal holds already says what it plays.
    void drop();
    Editor& editor_;
    bool comparing_ = false;
    bool sending_ = false;
    // The values of the edits, kept while the pedal plays the stored sound.
    std::vector<std::int32_t> edits_;
};

}  // namespace qeltx::app
