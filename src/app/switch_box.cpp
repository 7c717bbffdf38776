// A switch's words as part of the switch.
#include "app/switch_box.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>

namespace qeltx::app {

namespace {

class ClickThrough : public QObject {
public:
    ClickThrough(QLabel* words, QAbstractButton* button) : QObject(words), words_(words), button_(button) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != words_ || !button_) return false;
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) {
            return false;
        }
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        // As a button does: the click counts when released over the words.
        if (type == QEvent::MouseButtonRelease && words_->rect().contains(mouse->position().toPoint()) &&
            button_->isEnabled()) {
            button_->click();
        }
        return true;
    }

private:
    QLabel* words_;
    QPointer<QAbstractButton> button_;
};

}  // namespace

void clickThrough(QLabel* words, QAbstractButton* button) {
    words->installEventFilter(new ClickThrough(words, button));
    words->setCursor(Qt::PointingHandCursor);
}

}  // namespace qeltx::app
