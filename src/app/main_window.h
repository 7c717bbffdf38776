// TformMain: the main window "Qelt X Editor" — its controls and menus, start-up, the
// console shortcut and Support. Listing and linking are in communication.cpp.
#pragma once

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <vector>

class QAction;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QCheckBox;

namespace qeltx::app {

class Editor;

class TformMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TformMain(Editor& editor);

    // Start-up, run once when the window is created.
    void FormCreate();
    // Ctrl+Shift+P shows the debug console; returns true when the key was consumed.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void menuSupportClick();
    void OpenURL(const QString& address);
    void BuildMIDIChannelMenu();

    // Listing and linking (communication.cpp).
    void ScanAtStartup();
    void ScanDevices();
    bool LinkDevice();
    void menuScanClick();
    void menuConnectClick();
    void menuDisconnectClick();

    // Preferences and look (main_window_preferences.cpp).
    void CreateDataFolder(const QString& name);
    void CreateDataSubfolder(const QString& name, const QString& sub);
    void ReadStartupPreferences();
    void BuildLookMenu();
    void ApplySavedStyle();
    void menuLookClickItem(QAction* item);
    // Applies "Style_<number>"; false (and the look unchanged) when there is no such style.
    bool applyStyle(int number);
    QString makerFolder() const;
    QString productFolder() const;

    // The 20 ms poll for what the pedal sends by itself.
    void Timer_USB_readTimer();

    // The update check and the Info menu's update entries (main_window_update.cpp).
    // Prepares the version request, wires the update entries and starts TimerCheckWebVersion.
    void prepareUpdateCheck();
    // TimerCheckWebVersion's tick: stops the timer and asks the server, without waiting.
    void checkmostrecentversiononwebsite();
    // The server answered: 200 carries the newest version, anything else is shown as an error.
    void WebRequestCompleted(int statusCode, const QString& statusText, const QByteArray& body);
    // No answer at all (no network, unreachable server, the time limit).
    void versionRequestFailed(const QString& failure);
    void menuUpdateNowClick();
    void menuShowUpdateMsgClick();
    // The server's newest version, empty until a check succeeded.
    QString webVersion;
    QString versionRequestAddress;

    // Controls, named as the editor's users and tests know them.
    QLabel* lblDeviceName = nullptr;
    QLabel* lblFirmwareVersion = nullptr;
    QPushButton* btnOpenEffect = nullptr;
    QPushButton* btnRequest = nullptr;
    QPushButton* btnAssign = nullptr;
    QPushButton* btnStoreSettingsOnPedal = nullptr;
    QPushButton* btnUpload = nullptr;
    QLabel* lblStatus = nullptr;
    QGroupBox* lblBankNum = nullptr;
    QRadioButton* rdbtnBank1 = nullptr;
    QRadioButton* rdbtnBank2 = nullptr;
    QRadioButton* rdbtnBank3 = nullptr;
    QGroupBox* lblLive = nullptr;
    QCheckBox* swLive = nullptr;
    QListWidget* lstCategory = nullptr;
    QListWidget* lstEffects = nullptr;

    QMenu* menuFile = nullptr;
    QAction* menuLoadConfiguration = nullptr;
    QAction* menuSaveConfiguration = nullptr;
    QAction* menuLoadIR = nullptr;
    QMenu* menuConnection = nullptr;
    QAction* menuScan = nullptr;
    QAction* menuConnect = nullptr;
    QAction* menuDisconnect = nullptr;
    QMenu* menuSettings = nullptr;
    QMenu* menuLook = nullptr;
    QMenu* menuMIDI = nullptr;
    QMenu* menuMIDIchannel = nullptr;
    QMenu* menuMode = nullptr;
    QAction* menuModePreset = nullptr;
    QAction* menuModeBank = nullptr;
    QMenu* menuFirmwareUpgrade = nullptr;
    QAction* menuFirmwareUpgradeMode = nullptr;
    QAction* menuStartFirmwareUpgrade = nullptr;
    QAction* menuEraseSettings = nullptr;
    QMenu* menuInfo = nullptr;
    QAction* menuSupport = nullptr;
    QAction* menuAppVersion = nullptr;
    QAction* menuNewAppVersion = nullptr;
    QAction* menuSerialNumber = nullptr;
    QAction* menuUpdateNow = nullptr;
    QAction* menuShowUpdateMsg = nullptr;
    std::vector<QAction*> midiChannelItems;
    std::array<QAction*, 8> lookMenuItems{};

    QTimer Timer_USB_read;
    QTimer TimerCheckWebVersion;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void connectHandlers();

    Editor& editor_;
};

// A submenu's entry in its parent menu is what the user sees enabled or greyed.
void setMenuEnabled(QMenu* menu, bool enabled);
bool isMenuEnabled(const QMenu* menu);

}  // namespace qeltx::app
