// Switches that take a click anywhere on them: a check box drawn as a switch, and the words
// that say a switch's state.
#pragma once

#include <QCheckBox>

class QAbstractButton;
class QLabel;

namespace qeltx::app {

// A check box whose whole box takes the click, not only its small indicator: the looks draw
// the indicator anywhere in it (the Live switch's knob runs from one end to the other).
class SwitchBox : public QCheckBox {
public:
    explicit SwitchBox(QWidget* parent) : QCheckBox(parent) {}

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// A click on `words` (the "OFF"/"ON" beside a switch) is a click on `button`, while it is
// enabled; the words show a pointing hand.
void clickThrough(QLabel* words, QAbstractButton* button);

}  // namespace qeltx::app
