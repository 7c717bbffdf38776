// The main window: controls, menus, start-up, the console shortcut and Support.
#include "app/main_window.h"

#include "app/editor.h"
#include "app/firmware_upgrade.h"
#include "app/preferences.h"
#include "app/preset_library.h"
#include "app/print_console.h"
#include "app/switch_box.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>

namespace qeltx::app {

namespace {

constexpr int kClientWidth = 399;
constexpr int kClientHeight = 391;
// The columns of the client area: the buttons on the left, the lists on the right.
constexpr int kMargin = 8, kLeftWidth = 190, kRight = 206, kCategoryHeight = 134, kEffectsTop = 148;
constexpr int kStatusHeight = 48;
constexpr int kPollIntervalMs = 20;
constexpr int kVersionCheckDelayMs = 1000;
constexpr int kKeyP = 80;

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QAction* addEntry(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

QMenu* addSubmenu(QWidget* parent, QMenuBar* bar, QMenu* into, const char* name, const QString& caption) {
    auto* menu = new QMenu(caption, parent);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name) + QLatin1String("Action"));
    if (bar) bar->addMenu(menu);
    if (into) into->addMenu(menu);
    return menu;
}

}  // namespace

void setMenuEnabled(QMenu* menu, bool enabled) { menu->menuAction()->setEnabled(enabled); }
bool isMenuEnabled(const QMenu* menu) { return menu->menuAction()->isEnabled(); }

TformMain::TformMain(Editor& editor) : QMainWindow(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formMain"));
    setWindowTitle(QStringLiteral("Qelt X Editor"));
    // Fixed border with minimize only, as the pedal's editor has always looked.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildControls();
    buildMenus();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    connectHandlers();
    setUpKeyboard();
    buildEditMenu();
    Timer_USB_read.setObjectName(QStringLiteral("Timer_USB_read"));
    Timer_USB_read.setInterval(kPollIntervalMs);
    TimerCheckWebVersion.setObjectName(QStringLiteral("TimerCheckWebVersion"));
    TimerCheckWebVersion.setInterval(kVersionCheckDelayMs);
    qApp->installEventFilter(this);
}

TformMain::~TformMain() {
    if (abandonedIrRead_) abandonedIrRead_->wait();
}

void TformMain::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    // Never smaller than the editor has always been; larger gives the lists more rows.
    client->setMinimumSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    constexpr int left = kMargin, leftWidth = kLeftWidth;
    lblDeviceName = named(new QLabel(QStringLiteral("Device Name: "), client), "lblDeviceName");
    lblDeviceName->setGeometry(left, 8, leftWidth, 18);
    lblFirmwareVersion = named(new QLabel(QStringLiteral("Firmware Version: "), client), "lblFirmwareVersion");
    lblFirmwareVersion->setGeometry(left, 28, leftWidth, 18);

    int y = 54;
    auto button = [&](const char* name, const char* caption) {
        auto* b = named(new QPushButton(QString::fromLatin1(caption), client), name);
        b->setGeometry(left, y, leftWidth, 28);
        y += 33;
        return b;
    };
    btnOpenEffect = button("btnOpenEffect", "Get FX Stored on Pedal");
    btnRequest = button("btnRequest", "Request");
    btnAssign = button("btnAssign", "Assign");
    btnStoreSettingsOnPedal = button("btnStoreSettingsOnPedal", "Store Settings On Pedal");
    btnUpload = button("btnUpload", "Upload Selected Effect");

    // Three lines: what Assign, Store Settings and Upload say stays whole in every look.
    lblStatus = named(new QLabel(QStringLiteral("Status: "), client), "lblStatus");
    lblStatus->setGeometry(left, y, leftWidth, kStatusHeight);
    lblStatus->setWordWrap(true);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    y += kStatusHeight + 4;

    lblBankNum = named(new QGroupBox(QStringLiteral("FX Bank"), client), "lblBankNum");
    lblBankNum->setGeometry(left, y, leftWidth, 62);
    rdbtnBank1 = named(new QRadioButton(QStringLiteral("Bank I"), lblBankNum), "rdbtnBank1");
    rdbtnBank2 = named(new QRadioButton(QStringLiteral("Bank II"), lblBankNum), "rdbtnBank2");
    rdbtnBank3 = named(new QRadioButton(QStringLiteral("Bank III"), lblBankNum), "rdbtnBank3");
    rdbtnBank1->setGeometry(8, 20, 85, 18);
    rdbtnBank2->setGeometry(96, 20, 85, 18);
    rdbtnBank3->setGeometry(8, 40, 85, 18);
    rdbtnBank1->setChecked(true);
    y += 66;

    lblLive = named(new QGroupBox(QStringLiteral("Live OFF"), client), "lblLive");
    lblLive->setGeometry(left, y, leftWidth, kClientHeight - y - kMargin);
    swLive = named(new SwitchBox(lblLive), "swLive");
    swLive->setGeometry(8, 20, 60, 20);
    swLive->setChecked(false);
    lblLive->setEnabled(false);

    // The switch has no caption of its own: its group's title says Live OFF or Live ON.
    swLive->setAccessibleName(QStringLiteral("Live"));
    swLive->setAccessibleDescription(QStringLiteral("Live OFF"));

    lstCategory = named(new QListWidget(client), "lstCategory");
    lstCategory->setAccessibleName(QStringLiteral("Category"));
    lstEffects = named(new QListWidget(client), "lstEffects");
    lstEffects->setAccessibleName(QStringLiteral("Effects"));
    layOutClientArea();
}

void TformMain::layOutClientArea() {
    const QWidget* client = centralWidget();
    const int width = std::max(client->width(), kClientWidth);
    const int height = std::max(client->height(), kClientHeight);
    const int rightWidth = width - kRight - kMargin;
    lstCategory->setGeometry(kRight, kMargin, rightWidth, kCategoryHeight);
    lstEffects->setGeometry(kRight, kEffectsTop, rightWidth, height - kEffectsTop - kMargin);
}

void TformMain::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    // Six menus share the width of the main window, which is fixed; the items are set closer
    // than the looks set them, or the last menus would hide behind the bar's "more" button.
    bar->setStyleSheet(QStringLiteral("QMenuBar { spacing: 0px; } QMenuBar::item { padding-left: 5px; padding-right: 5px; }"));

    menuFile = addSubmenu(this, bar, nullptr, "menuFile", QStringLiteral("File"));
    menuLoadConfiguration = addEntry(menuFile, "menuLoadConfiguration", QStringLiteral("Load Configuration"));
    menuSaveConfiguration = addEntry(menuFile, "menuSaveConfiguration", QStringLiteral("Save Configuration"));
    menuLoadIR = addEntry(menuFile, "menuLoadIR", QStringLiteral("Load IR"));
    menuBackUpSettings = addEntry(menuFile, "menuBackUpSettings", QStringLiteral("Back Up Pedal Settings…"));
    menuRestoreSettings = addEntry(menuFile, "menuRestoreSettings", QStringLiteral("Restore Pedal Settings…"));
    menuLoadIR->setEnabled(false);
    menuImpulseResponse = addEntry(menuFile, "menuImpulseResponse", QStringLiteral("Impulse Response"));
    menuPresetLibrary = addEntry(menuFile, "menuPresetLibrary", QStringLiteral("Preset Library"));

    menuConnection = addSubmenu(this, bar, nullptr, "menuConnection", QStringLiteral("Connection"));
    menuScan = addEntry(menuConnection, "menuScan", QStringLiteral("Scan"));
    menuConnect = addEntry(menuConnection, "menuConnect", QStringLiteral("Link"));
    menuDisconnect = addEntry(menuConnection, "menuDisconnect", QStringLiteral("Unlink"));
    menuDisconnect->setEnabled(false);

    menuSettings = addSubmenu(this, bar, nullptr, "menuSettings", QStringLiteral("Settings"));
    menuLook = addSubmenu(this, nullptr, menuSettings, "menuLook", QStringLiteral("Look"));
    menuMIDI = addSubmenu(this, nullptr, menuSettings, "menuMIDI", QStringLiteral("MIDI"));
    menuMIDIchannel = addSubmenu(this, nullptr, menuMIDI, "menuMIDIchannel", QStringLiteral("Channel"));
    setMenuEnabled(menuMIDI, false);
    menuMode = addSubmenu(this, nullptr, menuSettings, "menuMode", QStringLiteral("Mode"));
    menuModePreset = addEntry(menuMode, "menuModePreset", QStringLiteral("Preset Mode"));
    menuModeBank = addEntry(menuMode, "menuModeBank", QStringLiteral("FX Bank Mode"));
    menuModePreset->setCheckable(true);
    menuModeBank->setCheckable(true);
    setMenuEnabled(menuMode, false);
    menuReadValuesAutomatically = addEntry(menuSettings, "menuReadValuesAutomatically",
                                           QStringLiteral("Read values from the pedal automatically"));
    menuReadValuesAutomatically->setCheckable(true);
    menuReadValuesAutomatically->setChecked(true);
    menuReadValuesAutomatically->setToolTip(
        QStringLiteral("After Link and after an upload, read the pedal's values into the parameter window (Request)"));
    menuResampleIR = addEntry(menuSettings, "menuResampleIR", QStringLiteral("Resample IR to 48 kHz"));
    menuResampleIR->setCheckable(true);
    menuResampleIR->setChecked(true);

    menuFirmwareUpgrade = addSubmenu(this, bar, nullptr, "menuFirmwareUpgrade", QStringLiteral("Firmware Upgrade"));
    menuFirmwareUpgradeMode = addEntry(menuFirmwareUpgrade, "menuFirmwareUpgradeMode", QStringLiteral("Upgrade Mode"));
    menuFirmwareUpgradeMode->setCheckable(true);
    menuStartFirmwareUpgrade =
        addEntry(menuFirmwareUpgrade, "menuStartFirmwareUpgrade", QStringLiteral("Start Firmware Upgrade"));
    menuStartFirmwareUpgrade->setEnabled(false);
    menuEraseSettings = addEntry(menuFirmwareUpgrade, "menuEraseSettings", QStringLiteral("Erase Settings"));

    menuInfo = addSubmenu(this, bar, nullptr, "menuInfo", QStringLiteral("Info"));
    menuSupport = addEntry(menuInfo, "menuSupport", QStringLiteral("Support"));
    menuSaveSupportReport = addEntry(menuInfo, "menuSaveSupportReport", QStringLiteral("Save Support Report…"));
    menuAppVersion = addEntry(menuInfo, "menuAppVersion", QStringLiteral("Version: "));
    menuAppVersion->setEnabled(false);
    menuNewAppVersion = addEntry(menuInfo, "menuNewAppVersion", QStringLiteral("New version available:"));
    menuNewAppVersion->setEnabled(false);
    // Nothing to say until the check knows whether a newer version exists.
    menuNewAppVersion->setVisible(false);
    menuSerialNumber = addEntry(menuInfo, "menuSerialNumber", QStringLiteral("Device Serial: "));
    menuUpdateNow = addEntry(menuInfo, "menuUpdateNow", QStringLiteral("Update Now"));
    // It opens the notice, which has nothing to offer before a newer version is known.
    menuUpdateNow->setEnabled(false);
    menuShowUpdateMsg = addEntry(menuInfo, "menuShowUpdateMsg", QStringLiteral("Show Update Message"));
    menuShowUpdateMsg->setCheckable(true);
}

void TformMain::connectHandlers() {
    connect(menuSupport, &QAction::triggered, this, editor_.guarded([this] { menuSupportClick(); }));
    connect(menuSaveSupportReport, &QAction::triggered, this, editor_.guarded([this] { menuSaveSupportReportClick(); }));
    connect(menuScan, &QAction::triggered, this, editor_.guarded([this] { menuScanClick(); }));
    connect(menuConnect, &QAction::triggered, this, editor_.guarded([this] { menuConnectClick(); }));
    connect(menuDisconnect, &QAction::triggered, this, editor_.guarded([this] { menuDisconnectClick(); }));
    connect(lstCategory, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { editor_.guard([this, item] { lstCategoryClick(lstCategory->row(item)); }); });
    connect(lstEffects, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { editor_.guard([this, item] { effectListItemClicked(item); }); });
    connect(btnOpenEffect, &QPushButton::clicked, this, editor_.guarded([this] { btnOpenEffectClick(); }));
    connect(btnUpload, &QPushButton::clicked, this, editor_.guarded([this] { btnUploadClick(); }));
    connect(menuLoadIR, &QAction::triggered, this, editor_.guarded([this] { menuLoadIRClick(); }));
    connect(menuReadValuesAutomatically, &QAction::triggered, this,
            editor_.guarded([this] { menuReadValuesAutomaticallyClick(); }));
    connect(menuImpulseResponse, &QAction::triggered, this, editor_.guarded([this] { menuImpulseResponseClick(); }));
    connect(menuResampleIR, &QAction::triggered, this, editor_.guarded([this] { menuResampleIRClick(); }));
    connect(menuSaveConfiguration, &QAction::triggered, this, editor_.guarded([this] { menuSaveConfigurationClick(); }));
    connect(menuBackUpSettings, &QAction::triggered, this, editor_.guarded([this] { menuBackUpSettingsClick(); }));
    connect(menuRestoreSettings, &QAction::triggered, this, editor_.guarded([this] { menuRestoreSettingsClick(); }));
    connect(menuLoadConfiguration, &QAction::triggered, this, editor_.guarded([this] { menuLoadConfigurationClick(); }));
    connect(menuPresetLibrary, &QAction::triggered, this, editor_.guarded([this] { menuPresetLibraryClick(); }));
    connect(btnRequest, &QPushButton::clicked, this, editor_.guarded([this] { btnRequestClick(); }));
    connect(btnAssign, &QPushButton::clicked, this, editor_.guarded([this] { btnAssignClick(); }));
    connect(btnStoreSettingsOnPedal, &QPushButton::clicked, this, editor_.guarded([this] { btnStoreSettingsOnPedalClick(); }));
    connect(menuModeBank, &QAction::triggered, this, editor_.guarded([this] { SetBankMode(); }));
    connect(menuModePreset, &QAction::triggered, this, editor_.guarded([this] { SetPresetMode(); }));
    connect(swLive, &QCheckBox::toggled, this, editor_.guarded([this] { swLiveSwitch(); }));
    connect(&Timer_USB_read, &QTimer::timeout, this,
            editor_.guarded([this] { Timer_USB_readTimer(); }, Editor::Source::TimerOrNetwork));
    connect(menuFirmwareUpgradeMode, &QAction::triggered, this, editor_.guarded([this] { menuFirmwareUpgradeModeClick(); }));
    connect(menuStartFirmwareUpgrade, &QAction::triggered, this, editor_.guarded([this] { menuStartFirmwareUpgradeClick(); }));
    connect(menuEraseSettings, &QAction::triggered, this, editor_.guarded([this] { menuEraseSettingsClick(); }));
}

void TformMain::FormCreate() {
    link::D2XXUnit& usb = editor_.usb();
    usb.showDeviceErrors = false;
    ScanAtStartup();
    usb.SetPortParameters(link::portModeNormal);
    for (QPushButton* b : {btnRequest, btnAssign, btnStoreSettingsOnPedal, btnUpload, btnOpenEffect}) {
        b->setEnabled(false);
    }
    create_categories();
    prepareUpdateCheck();
    editor_.state.appVersion =
        editor_.platform().programVersion().value_or(QStringLiteral("Version info not available"));
    menuAppVersion->setText(menuAppVersion->text() + QLatin1Char(' ') + editor_.state.appVersion);
    CreateDataFolder(kMakerFolder);
    CreateDataSubfolder(kMakerFolder, kProductFolder);
    ReadStartupPreferences();
    readImpulseResponsePreferences();
    menuShowUpdateMsg->setChecked(editor_.state.showUpdateMessage);
    BuildLookMenu();
    ApplySavedStyle();
    BuildMIDIChannelMenu();
}

void TformMain::BuildMIDIChannelMenu() {
    midiChannelItems.clear();
    for (int channel = 0; channel <= 16; ++channel) {
        const QString caption = channel == 0 ? QStringLiteral("OMNI") : QString::number(channel);
        QAction* item = menuMIDIchannel->addAction(caption);
        item->setObjectName(QStringLiteral("midiChannelItem%1").arg(channel));
        item->setCheckable(true);
        // The check marks show what the pedal reported, not what was clicked.
        connect(item, &QAction::triggered, this, editor_.guarded([this, item] {
            item->setChecked(!item->isChecked());
            menuMIDIchannelsClickItem(item);
        }));
        midiChannelItems.push_back(item);
    }
}

bool TformMain::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    // Alt is deliberately not examined.
    if ((modifiers & Qt::ControlModifier) && (modifiers & Qt::ShiftModifier) && key == kKeyP) {
        editor_.formPrint()->show();
        return true;
    }
    return false;
}

bool TformMain::eventFilter(QObject* watched, QEvent* event) {
    // The main window sees keys before any control of the editor does, so the console's
    // shortcut works in every window of the editor (the panel, the console, the notices),
    // wherever the focus is.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (eventFilterForLists(watched, key)) return true;
        // Only the shortcut's letter goes through the handler guard: any other key belongs to
        // the control that has the focus, and must not count as a refused action while the
        // editor talks to the pedal.
        if (key->key() == kKeyP) {
            bool consumed = false;
            editor_.guard([&] { consumed = FormKeyDown(key->key(), key->modifiers()); });
            if (consumed) return true;
        }
    }
    if (takePresetDrop(watched, event)) return true;
    // A larger window (a window manager's maximise) gives its room to the lists.
    if (event->type() == QEvent::Resize && watched == centralWidget()) layOutClientArea();
    return QMainWindow::eventFilter(watched, event);
}

void TformMain::closeEvent(QCloseEvent* event) {
    const session::LineOwner& line = editor_.line();
    if (line.running() == session::ConversationKind::Flashing) {
        event->ignore();
        editor_.formFirmwareUpgrade()->refuseClosing();
        return;
    }
    if (line.busy()) {
        // Closed from inside one of the conversation's waits: its code still runs around this
        // one and needs the windows and the port until it ends.
        event->ignore();
        if (closePending_) return;
        closePending_ = true;
        editor_.printToConsole(QStringLiteral("The editor closes when ") + session::conversationName(*line.running()) +
                               QStringLiteral(" has finished."));
        editor_.whenIdle([this] {
            closePending_ = false;
            // From the event loop, not from inside the handler whose conversation has just
            // ended: closing destroys the panel's rows, and that handler may be one of theirs.
            QTimer::singleShot(0, this, [this] { close(); });
        });
        return;
    }
    // Values not stored on the pedal are asked about first; Cancel keeps the editor open.
    bool close = false;
    editor_.guard([&] { close = settleUnstoredChanges(QStringLiteral("closing the editor")); });
    if (!close) {
        event->ignore();
        return;
    }
    editor_.end();
    if (presetLibrary_) presetLibrary_->close();
    QMainWindow::closeEvent(event);
}

void TformMain::menuSupportClick() { OpenURL(editor_.serverAddress() + QStringLiteral("/contact-us/")); }

void TformMain::OpenURL(const QString& address) {
    if (!editor_.platform().openUrl(address)) {
        editor_.dialogs().message(QStringLiteral("Could not open ") + address, session::MessageKind::Error);
    }
}


}  // namespace qeltx::app
