// TformImpulseResponse: hosts the dialog that picks an impulse response file, and the
// "Impulse Response" window that shows what the pedal will hold. The form itself is never
// shown; Load IR (main_window_ir.cpp) asks it for the file.
#pragma once

#include <QWidget>

#include <memory>

namespace qeltx::app {

class Editor;
class ImpulseResponseView;

class TformImpulseResponse : public QWidget {
    Q_OBJECT
public:
    explicit TformImpulseResponse(Editor& editor);
    ~TformImpulseResponse() override;

    // OpenDialog1: asks for the impulse response file; empty when the user cancels.
    QString executeOpenDialog1();

    // The "Impulse Response" window, made when it is first asked for.
    ImpulseResponseView* view();
    // The window when it has been made, else null.
    ImpulseResponseView* existingView() { return view_.get(); }

private:
    Editor& editor_;
    std::unique_ptr<ImpulseResponseView> view_;
};

}  // namespace qeltx::app
