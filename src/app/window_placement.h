// Keeping the editor's windows wholly on the screen they open on, wherever they are asked to go.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>

class QWidget;

namespace qeltx::app {

// The top-left corner for a window whose frame (the window manager's decoration included) is
// `frame`: as near to where it is as lets the whole frame lie inside `area`, and the area's
// top-left corner when the frame is larger than the area (its title bar stays reachable).
QPoint keptInside(const QRect& frame, const QRect& area);

// The decoration the window manager puts round `window`; before it has framed the window, that
// of `framed`, a window of the editor already on screen (none: no decoration).
QMargins decorationOf(const QWidget& window, const QWidget* framed);

// The available area of the screen `window` is on (a large area when there is no screen).
QRect availableArea(const QWidget& window);

// Places `window`, a top-level window about to be shown, so that its frame lies wholly on its
// screen, as near to where it is (its move() position) as that allows.
void keepOnScreen(QWidget& window, const QWidget* framed);

}  // namespace qeltx::app
