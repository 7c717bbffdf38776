// TformFirmwareUpgrade: the window that flashes new firmware into the pedal once its bootloader
// answers: the firmware choice (built-in images and files the user opens), Upgrade Firmware
// with its progress, and the return to normal operation.
#pragma once

#include "core/bootloader_frames.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

namespace qeltx::session {
struct FlashProgress;
}

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace qeltx::app {

class Editor;

class TformFirmwareUpgrade : public QWidget {
    Q_OBJECT
public:
    explicit TformFirmwareUpgrade(Editor& editor);

    // Selects the last entry of the firmware choice, which runs FirmwareSelect.
    void FormShow();
    // Records the selected entry and its firmware number and logs them.
    void FirmwareSelect();
    // "Open firmware file…": adds a .bin or Intel .hex file as an entry and selects it.
    void btnOpenFirmwareFileClick();
    // Reads a firmware file; false (with the reason shown) when it is refused, and nothing is
    // added then.
    bool addFirmwareFile(const QString& path);
    // Erases the flash, writes the selected image and the marker, reads it all back, starts
    // it and returns the editor to normal operation. Stops at the first failure, says which
    // step failed and leaves the editor in upgrade mode so the user can start again.
    void btnUpgradeFirmwareClick();
    // Someone tried to close the editor (or this window) while the firmware is being written:
    // refused, and said here, in front, because stopping now would leave the pedal without
    // firmware. No box: a modal one would hold the upgrade up between two steps.
    void refuseClosing();

    QComboBox* cmbFirmwareChoose = nullptr;
    QPushButton* btnOpenFirmwareFile = nullptr;
    QPushButton* btnUpgradeFirmware = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lblFirmwareStep = nullptr;
    // Why the editor stays open, shown while a run that refused closing lasts.
    QLabel* lblFirmwareNote = nullptr;

    // What FirmwareSelect recorded.
    QString firmwareResourceName;
    int firmwareNumber = 0;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Entry {
        QString name;
        // A file's image, read when it was opened; none for a built-in resource.
        std::optional<core::FirmwareImage> file;
    };
    // The selected entry's image, or nothing with the reason shown.
    std::optional<core::FirmwareImage> loadSelectedImage();
    void logChunks(const std::vector<core::FlashChunk>& chunks);
    void refuse(const QString& text);
    // The stage line for the flasher's progress.
    void showProgress(const session::FlashProgress& progress);

    Editor& editor_;
    std::vector<Entry> entries_;
};

}  // namespace qeltx::app
