// TformFirmwareUpgrade: the window that flashes new firmware into the pedal.
#include "app/firmware_upgrade.h"

namespace qeltx::app {

TformFirmwareUpgrade::TformFirmwareUpgrade(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formFirmwareUpgrade"));
    setWindowTitle(QStringLiteral("Firmware Upgrade"));
}

}  // namespace qeltx::app
