// TformNewVersionMsg: the notice that a newer editor is out.
#pragma once

#include <QWidget>

namespace qeltx::app {

class Editor;

class TformNewVersionMsg : public QWidget {
    Q_OBJECT
public:
    explicit TformNewVersionMsg(Editor& editor);

private:
    Editor& editor_;
};

}  // namespace qeltx::app
