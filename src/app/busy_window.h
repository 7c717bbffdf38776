// While a blocking pause holds the event loop: a wait cursor and a window title that say what
// the editor is busy with, so nobody takes the frozen window for a hang.
#pragma once

#include "session/line_owner.h"

#include <QApplication>
#include <QString>
#include <QWidget>

namespace qeltx::app {

// Shown from construction to destruction, however the blocking work ends. They nest: each
// one puts back the cursor and title it found.
class BusyWindow {
public:
    BusyWindow(QWidget& window, const QString& doing, session::LineOwner& line)
        : window_(window), title_(window.windowTitle()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        window_.setWindowTitle(title_ + QStringLiteral(" - ") + doing);
        // The pause that follows lets nothing paint: show the cursor, title and log line now,
        // through the conversation's own wait, so no click starts other work in the middle.
        line.dispatch(0);
    }
    ~BusyWindow() {
        window_.setWindowTitle(title_);
        QApplication::restoreOverrideCursor();
    }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

private:
    QWidget& window_;
    QString title_;
};

}  // namespace qeltx::app
