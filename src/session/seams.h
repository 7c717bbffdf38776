// The seams the editor talks to the outside through, so tests can answer dialogs, skip
// pauses and use a temporary documents folder: dialogs, timing and the platform.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qeltx::session {

// What a message box says, shown by its icon: news, a step the user must take first, or
// something that failed.
enum class MessageKind { Information, Warning, Error };

// Modal boxes and file dialogs.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void message(const QString& text, MessageKind kind = MessageKind::Information) = 0;
    // A message with one more button beside OK, captioned `action`: true when the user chose it.
    virtual bool messageOffering(const QString& text, const QString& action) = 0;
    // A Yes/No box: true for any answer other than No.
    virtual bool confirm(const QString& text) = 0;
    // A question with a button per answer, in order: the index of the one chosen. Closing the
    // box (Escape, the title bar) chooses `cancel`.
    virtual int choose(const QString& text, const QStringList& answers, int cancel) = 0;
    // Empty text when the user cancels.
    virtual QString openFile(const QString& title, const QString& folder, const QString& filter) = 0;
    // The same, with a line under the file list that says what `describe` makes of the file
    // under the cursor (a preset's algorithm). Where a dialog cannot show it, a plain one.
    virtual QString openFileDescribed(const QString& title, const QString& folder, const QString& filter,
                                      const std::function<QString(const QString& path)>& describe) {
        (void)describe;
        return openFile(title, folder, filter);
    }
    virtual QString saveFile(const QString& title, const QString& folder, const QString& filter) = 0;
    // The general error report for a handler that ended on an error.
    virtual void errorReport(const QString& text) = 0;
};

// Pauses and waits. A pause blocks the window; a wait lets the event loop run.
class Timing {
public:
    virtual ~Timing() = default;
    virtual void pause(int ms) = 0;
    // Lets pending window events run, then sleeps up to `ms` (0 = don't sleep).
    virtual void processEvents(int ms = 0) = 0;
    // Lets pending window events run, then hands `ms` to `wake`: a call that blocks until what
    // the caller waits for has come or that many milliseconds have passed (the driver's wait
    // for bytes), so the wait ends the moment a reply arrives. Real timings block in `wake`;
    // this, for virtual time, counts `ms` as a wait and lets `wake` look without blocking.
    virtual void waitFor(int ms, const std::function<void(int ms)>& wake) {
        processEvents(ms);
        wake(0);
    }
    // Hands `ms` to `wake` without running window events first (they ran a moment ago). A
    // timing that cannot block, as virtual time, waits as waitFor does.
    virtual void block(int ms, const std::function<void(int ms)>& wake) { waitFor(ms, wake); }
    // Milliseconds on this clock (virtual in tests).
    virtual qint64 nowMs() = 0;
};

// Folders, web pages, other programs and the program's own version.
class Platform {
public:
    virtual ~Platform() = default;
    virtual QString documentsFolder() = 0;
    virtual QString tempFolder() = 0;
    virtual QString programFolder() = 0;
    virtual bool openUrl(const QString& url) = 0;
    virtual bool startElevated(const QString& program, const QString& parameters) = 0;
    // Four dotted numbers, or nothing where the platform cannot say.
    virtual std::optional<QString> programVersion() = 0;
};

}  // namespace qeltx::session
