// TformFXParameters: the parameter panel generated from the current algorithm's control layout.
#pragma once

#include <QWidget>

namespace qeltx::app {

class Editor;

class TformFXParameters : public QWidget {
    Q_OBJECT
public:
    explicit TformFXParameters(Editor& editor);

private:
    Editor& editor_;
};

}  // namespace qeltx::app
