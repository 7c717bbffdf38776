// Keeping the editor's windows wholly on the screen they open on.
#include "app/window_placement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace qeltx::app {

QPoint keptInside(const QRect& frame, const QRect& area) {
    const int left = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int top = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    return {left, top};
}

QMargins decorationOf(const QWidget& window, const QWidget* framed) {
    auto decoration = [](const QWidget& w) {
        const QRect outer = w.frameGeometry();
        const QRect inner = w.geometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                        outer.bottom() - inner.bottom());
    };
    if (window.frameGeometry() != window.geometry() || !framed) return decoration(window);
    return decoration(*framed);
}

QRect availableArea(const QWidget& window) {
    if (const QScreen* screen = window.screen()) return screen->availableGeometry();
    return {QPoint(0, 0), QSize(1 << 14, 1 << 14)};
}

void keepOnScreen(QWidget& window, const QWidget* framed) {
    const QMargins decoration = decorationOf(window, framed);
    const QRect frame(window.pos(), window.size().grownBy(decoration));
    const QPoint kept = keptInside(frame, availableArea(window));
    // Placed by its client area: a window manager may take a position given for a window it has
    // not framed yet as that of the client area, which would put the title bar off the screen.
    window.setGeometry(QRect(kept + QPoint(decoration.left(), decoration.top()), window.size()));
}

}  // namespace qeltx::app
