// TformFirmwareUpgrade: the window that flashes new firmware into the pedal.
#pragma once

#include <QWidget>

namespace qeltx::app {

class Editor;

class TformFirmwareUpgrade : public QWidget {
    Q_OBJECT
public:
    explicit TformFirmwareUpgrade(Editor& editor);

private:
    Editor& editor_;
};

}  // namespace qeltx::app
