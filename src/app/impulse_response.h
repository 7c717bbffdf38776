// TformImpulseResponse: hosts the dialog that picks an impulse response file.
#pragma once

#include <QWidget>

namespace qeltx::app {

class Editor;

class TformImpulseResponse : public QWidget {
    Q_OBJECT
public:
    explicit TformImpulseResponse(Editor& editor);

private:
    Editor& editor_;
};

}  // namespace qeltx::app
