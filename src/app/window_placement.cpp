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
    const QRect frame(window.pos(), window.size().grownBy(decorationOf(window, framed)));
    const QPoint kept = keptInside(frame, availableArea(window));
    if (kept != frame.topLeft()) window.move(kept);
}

}  // namespace qeltx::app
