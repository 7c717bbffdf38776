// Listing the attached devices and linking to the pedal.
#include "app/editor.h"
#include "app/main_window.h"
#include "app/stored_compare.h"
#include "app/fx_parameters.h"
#include "app/print_console.h"

#include "core/hex.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace qeltx::app {

namespace {
// The bridge chip's own description; the pedal's users know it as the product.
const QString kBridgeDescription = QStringLiteral("FT230X Basic UART");
const QString kProductName = QStringLiteral("Qelt X");
const QString kLinkedSuffix = QStringLiteral(" linked");
}  // namespace

void TformMain::ScanAtStartup() {
    link::D2XXUnit& usb = editor_.usb();
    usb.GetFTDeviceCount();
    if (usb.deviceCount == 0) return;
    for (std::uint32_t index = 0; index < usb.deviceCount; ++index) {
        usb.GetFTDeviceSerialNo(index);
        const QString serial = QString::fromStdString(usb.deviceString);
        menuSerialNumber->setText(menuSerialNumber->text() + serial);
        editor_.state.linkSerialNumber = serial;
        usb.GetFTDeviceDescription(index);
        const QString description = QString::fromStdString(usb.deviceString);
        lblDeviceName->setText(description == kBridgeDescription ? kProductName : description);
    }
}

void TformMain::ScanDevices() {
    link::D2XXUnit& usb = editor_.usb();
    lblDeviceName->setText(QStringLiteral("Device Name"));
    usb.GetFTDeviceCount();
    editor_.printToConsole(QStringLiteral("FT device count: ") + QString::number(usb.deviceCount));
    if (usb.deviceCount == 0) {
        editor_.dialogs().message(QStringLiteral("No device found"), session::MessageKind::Warning);
        lblDeviceName->setText(QStringLiteral("No device found"));
        return;
    }
    for (std::uint32_t index = 0; index < usb.deviceCount; ++index) {
        usb.GetFTDeviceSerialNo(index);
        editor_.printToConsole(QStringLiteral("FT_Device_String: ") + QString::fromStdString(usb.deviceString));
        editor_.state.linkSerialNumber = QString::fromStdString(usb.deviceString);
        usb.GetFTDeviceDescription(index);
        const QString description = QString::fromStdString(usb.deviceString);
        lblDeviceName->setText(description);
        editor_.dialogs().message(description + QStringLiteral(" found, click Link"));
    }
}

void TformMain::menuScanClick() { ScanDevices(); }

bool TformMain::LinkDevice() {
    link::D2XXUnit& usb = editor_.usb();
    editor_.printToConsole(QStringLiteral("serial number: ") + editor_.state.linkSerialNumber);

    // A failed Link is never silent: the reason is shown even while driver reports are off,
    // together with what the backend knows beyond the status (permissions, a busy port).
    const bool reportsWereOn = usb.showDeviceErrors;
    usb.showDeviceErrors = false;
    const core::FtStatus status = usb.Open_USB_Device_By_Serial_Number(editor_.state.linkSerialNumber.toStdString());
    usb.showDeviceErrors = reportsWereOn;

    const bool opened = status == core::FT_OK;
    editor_.state.linked = opened;
    if (opened) {
        if (!lblDeviceName->text().endsWith(kLinkedSuffix)) lblDeviceName->setText(lblDeviceName->text() + kLinkedSuffix);
        usb.SetFTDeviceBaudRate();
        usb.SetFTDeviceDataCharacteristics();
        editor_.printToConsole(QStringLiteral("FT_HANDLE: 0x") +
                               QString::fromStdString(core::word32ToHex(usb.deviceHandle)));
        editor_.formPrint()->appendWithoutScroll(QStringLiteral("baud rate = ") + QString::number(usb.portBaudRate));
        btnUpload->setEnabled(true);
        btnRequest->setEnabled(true);
        menuScan->setEnabled(false);
        menuConnect->setEnabled(false);
        menuDisconnect->setEnabled(true);
    } else {
        QString text = QString::fromStdString(core::ftErrorMessage("Open_USB_Device_By_Serial_Number", status));
        const std::string problem = usb.driver().lastOpenProblem();
        if (!problem.empty()) text += QStringLiteral("\n\n") + QString::fromStdString(problem);
        editor_.printToConsole(text);
        editor_.dialogs().message(text, session::MessageKind::Error);
    }
    // In upgrade mode the pedal is expected in its bootloader: greet it, opened or not.
    if (editor_.state.firmwareUpgradeMode) greetBootloader();
    return opened;
}

void TformMain::menuConnectClick() {
    const auto talk = editor_.line().begin(session::ConversationKind::Link);
    if (!talk) return;
    // A Link in upgrade mode has asked the bootloader already; the query's silence asks it no more.
    bootloaderAskedAtLink = editor_.state.firmwareUpgradeMode;
    if (!LinkDevice()) return;
    if (editor_.state.firmwareUpgradeMode) {
        menuFirmwareUpgradeMode->setEnabled(true);
        return;
    }
    editor_.state.linkedOnceInNormalMode = true;
    menuFirmwareUpgradeMode->setEnabled(true);
    btnOpenEffect->setEnabled(true);
    // Whatever the query meets, the link itself is made: its failure is reported on its own.
    bootloaderAnsweredAtLink = false;
    // The values are read with the query (Request goes out as soon as the algorithm is known).
    bool valuesRequested = false;
    editor_.guard([this, &valuesRequested] { valuesRequested = query_stored_effect(true); });
    // The pedal runs its bootloader: nothing of a normal link applies to it.
    if (bootloaderAnsweredAtLink) {
        if (!editor_.state.firmwareUpgradeMode) showPedalInBootloader();
        return;
    }
    setMenuEnabled(menuMIDI, true);
    setMenuEnabled(menuMode, true);
    lblLive->setEnabled(true);
    if (!valuesRequested) readPedalValuesAutomatically();
    // After Erase Settings or a firmware upgrade: offered once Link's conversation has ended.
    editor_.whenIdle([this] { offerRestoreAfterUpgrade(); });
    // The poll starts when Link's conversation ends.
}

void TformMain::menuDisconnectClick() {
    if (!settleUnstoredChanges(QStringLiteral("Unlink"))) return;
    const auto talk = editor_.line().begin(session::ConversationKind::Unlink);
    if (!talk) return;
    // The pedal is left playing the edits, not the stored sound it was compared with.
    editor_.compare().finish();
    if (editor_.usb().CloseFTDevice() != core::FT_OK) return;
    showUnlinkedState();
}

void TformMain::showUnlinkedState() {
    editor_.state.linked = false;
    // The suffix goes with its space, so Link and Unlink can follow each other for ever.
    QString name = lblDeviceName->text();
    if (name.endsWith(kLinkedSuffix)) name.chop(kLinkedSuffix.size());
    lblDeviceName->setText(name);
    // What the pedal said belongs to the link that has ended.
    lblFirmwareVersion->setText(QStringLiteral("Firmware Version: "));
    lblStatus->setText(QStringLiteral("Status: "));
    menuScan->setEnabled(true);
    menuConnect->setEnabled(true);
    menuDisconnect->setEnabled(false);
    for (QPushButton* b : {btnUpload, btnOpenEffect, btnRequest, btnAssign, btnStoreSettingsOnPedal}) {
        b->setEnabled(false);
    }
    setMenuEnabled(menuMIDI, false);
    setMenuEnabled(menuMode, false);
    lblLive->setEnabled(false);
    Timer_USB_read.stop();
    TformFXParameters* panel = editor_.formFXParameters();
    if (panel->isVisible()) panel->EnableDisableControls(false);
    // A comparison still running (the cable pulled) cannot send the edits back.
    editor_.compare().finish();
}

}  // namespace qeltx::app
