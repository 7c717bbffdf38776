// TformImpulseResponse: hosts the dialog that picks an impulse response file. The window itself
// is never shown; Load IR (main_window_ir.cpp) asks it for the file.
#pragma once

#include <QWidget>

namespace qeltx::app {

class Editor;

class TformImpulseResponse : public QWidget {
    Q_OBJECT
public:
    explicit TformImpulseResponse(Editor& editor);

    // OpenDialog1: asks for the impulse response file; empty when the user cancels.
    QString executeOpenDialog1();

private:
    Editor& editor_;
};

}  // namespace qeltx::app
