// Start-up: the windows, every control and menu in its start-up state, the editor state,
// the console shortcut and Support.
#include "app/main_window.h"
#include "app/print_console.h"
#include "support/test_seams.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace qeltx;

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void controlsStartInTheirStartupState_data();
    void controlsStartInTheirStartupState();
    void menusStartInTheirStartupState_data();
    void menusStartInTheirStartupState();
    void editorStateStartsWithItsInitialValues();
    void onlyTheMainWindowIsShown();
    void aLargerMainWindowGivesItsRoomToTheLists();
    void missingVersionServiceSaysSo();
    void consoleShortcut_data();
    void consoleShortcut();
    void consoleShortcutFromEveryWindow_data();
    void consoleShortcutFromEveryWindow();
    void supportOpensTheContactPage();
    void placeholderServerIsNeverAsked();
};

void StartupTest::controlsStartInTheirStartupState_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("device") << "lblDeviceName" << "Device Name: " << true;
    QTest::newRow("firmware") << "lblFirmwareVersion" << "Firmware Version: " << true;
    QTest::newRow("open") << "btnOpenEffect" << "Get FX Stored on Pedal" << false;
    QTest::newRow("request") << "btnRequest" << "Request" << false;
    QTest::newRow("assign") << "btnAssign" << "Assign" << false;
    QTest::newRow("store") << "btnStoreSettingsOnPedal" << "Store Settings On Pedal" << false;
    QTest::newRow("upload") << "btnUpload" << "Upload Selected Effect" << false;
    QTest::newRow("status") << "lblStatus" << "Status: " << true;
    QTest::newRow("bank") << "lblBankNum" << "FX Bank" << false;
    QTest::newRow("bank1") << "rdbtnBank1" << "Bank I" << false;
    QTest::newRow("bank2") << "rdbtnBank2" << "Bank II" << false;
    QTest::newRow("bank3") << "rdbtnBank3" << "Bank III" << false;
    QTest::newRow("live") << "lblLive" << "Live OFF" << false;
    QTest::newRow("swLive") << "swLive" << "" << false;
}

static QString captionOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return {};
}

void StartupTest::controlsStartInTheirStartupState() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    testing::TestEditor editor(std::make_unique<testing::ListingDriver>());
    auto* widget = editor->formMain()->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(captionOf(widget), caption);
    QCOMPARE(widget->isEnabled(), enabled);
    if (name == "swLive") QVERIFY(!qobject_cast<QCheckBox*>(widget)->isChecked());
}

void StartupTest::menusStartInTheirStartupState_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("load") << "menuLoadConfiguration" << "Load Configuration" << true;
    QTest::newRow("save") << "menuSaveConfiguration" << "Save Configuration" << true;
    QTest::newRow("ir") << "menuLoadIR" << "Load IR" << false;
    QTest::newRow("scan") << "menuScan" << "Scan" << true;
    QTest::newRow("link") << "menuConnect" << "Link" << true;
    QTest::newRow("unlink") << "menuDisconnect" << "Unlink" << false;
    QTest::newRow("upgrade") << "menuFirmwareUpgradeMode" << "Upgrade Mode" << true;
    QTest::newRow("start") << "menuStartFirmwareUpgrade" << "Start Firmware Upgrade" << false;
    QTest::newRow("erase") << "menuEraseSettings" << "Erase Settings" << true;
    QTest::newRow("support") << "menuSupport" << "Support" << true;
    QTest::newRow("version") << "menuAppVersion" << "Version:  1.0.0.0" << false;
    QTest::newRow("new") << "menuNewAppVersion" << "New version available:" << false;
    QTest::newRow("serial") << "menuSerialNumber" << "Device Serial: " << true;
    QTest::newRow("update") << "menuUpdateNow" << "Update Now" << false;
    QTest::newRow("notice") << "menuShowUpdateMsg" << "Show Update Message" << true;
    QTest::newRow("File") << "menuFile" << "File" << true;
    QTest::newRow("Connection") << "menuConnection" << "Connection" << true;
    QTest::newRow("Settings") << "menuSettings" << "Settings" << true;
    QTest::newRow("Look") << "menuLook" << "Look" << true;
    QTest::newRow("MIDI") << "menuMIDI" << "MIDI" << false;
    QTest::newRow("Channel") << "menuMIDIchannel" << "Channel" << true;
    QTest::newRow("Mode") << "menuMode" << "Mode" << false;
    QTest::newRow("preset") << "menuModePreset" << "Preset Mode" << true;
    QTest::newRow("bankmode") << "menuModeBank" << "FX Bank Mode" << true;
    QTest::newRow("Firmware") << "menuFirmwareUpgrade" << "Firmware Upgrade" << true;
    QTest::newRow("Info") << "menuInfo" << "Info" << true;
}

void StartupTest::menusStartInTheirStartupState() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    testing::TestEditor editor(std::make_unique<testing::ListingDriver>());
    app::TformMain* main = editor->formMain();
    if (auto* menu = main->findChild<QMenu*>(name)) {
        // The underlined letter (keyboard) is no part of the caption.
        QCOMPARE(QString(menu->title()).remove(QLatin1Char('&')), caption);
        QCOMPARE(app::isMenuEnabled(menu), enabled);
        return;
    }
    auto* action = main->findChild<QAction*>(name);
    QVERIFY2(action, qPrintable(name));
    QCOMPARE(QString(action->text()).remove(QLatin1Char('&')), caption);
    QCOMPARE(action->isEnabled(), enabled);
}

void StartupTest::editorStateStartsWithItsInitialValues() {
    testing::TestEditor editor(std::make_unique<testing::ListingDriver>());
    const app::EditorState& s = editor->state;
    QVERIFY(!s.firmwareUpgradeMode && !s.linkedOnceInNormalMode && !s.applyingReadBack && !s.panelShowsHeldAlgorithm);
    QVERIFY(s.showUpdateMessage);
    QCOMPARE(s.pedalMode, app::kPresetMode);
    QVERIFY(s.selectedCategory.isEmpty() && s.currentEffectName.isEmpty());
    QCOMPARE(s.appVersion, QStringLiteral("1.0.0.0"));
    QVERIFY(!editor->usb().showDeviceErrors);
    QCOMPARE(editor->usb().portBaudRate, 115200u);
    QCOMPARE(editor->usb().portParity, 0);
    app::TformMain* main = editor->formMain();
    QVERIFY(!main->Timer_USB_read.isActive());
    QCOMPARE(main->midiChannelItems.size(), std::size_t{17});
    QCOMPARE(main->midiChannelItems.front()->text(), QStringLiteral("OMNI"));
    QCOMPARE(main->midiChannelItems.back()->text(), QStringLiteral("16"));
    QVERIFY(main->menuShowUpdateMsg->isChecked());
    QVERIFY(editor.dialogs->messages.isEmpty());
    QVERIFY(editor->formPrint()->lines().isEmpty());
}

void StartupTest::onlyTheMainWindowIsShown() {
    testing::TestEditor editor(std::make_unique<testing::ListingDriver>());
    QVERIFY(editor->formMain()->isVisible());
    QCOMPARE(editor->formMain()->windowTitle(), QStringLiteral("Qelt X Editor"));
    QVERIFY(!editor->formPrint()->isVisible());
    QCOMPARE(editor->formPrint()->windowTitle(), QStringLiteral("Debug Console"));
    int visibleTopLevels = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) visibleTopLevels += w->isVisible() && w->isWindow() ? 1 : 0;
    QCOMPARE(visibleTopLevels, 1);
}

void StartupTest::aLargerMainWindowGivesItsRoomToTheLists() {
    testing::TestEditor editor(std::make_unique<testing::ListingDriver>());
    app::TformMain* main = editor->formMain();
    QWidget* client = main->centralWidget();
    QCOMPARE(client->size(), QSize(399, 391));
    const QRect request = main->btnRequest->geometry();
    const QRect live = main->lblLive->geometry();
    const QRect category = main->lstCategory->geometry();
    const QRect effects = main->lstEffects->geometry();
    QCOMPARE(effects.right(), 399 - 8 - 1);
    QCOMPARE(effects.bottom(), 391 - 8 - 1);

    // Maximised: the lists take the room, right and below; the left column stays where it was.
    main->resize(900, 700);
    QTRY_COMPARE(client->width(), 900);
    QCOMPARE(main->lstCategory->geometry(), QRect(category.topLeft(), QSize(900 - 206 - 8, category.height())));
    QCOMPARE(main->lstEffects->geometry().topLeft(), effects.topLeft());
    QCOMPARE(main->lstEffects->geometry().right(), 900 - 8 - 1);
    QCOMPARE(main->lstEffects->geometry().bottom(), client->height() - 8 - 1);
    QCOMPARE(main->btnRequest->geometry(), request);
    QCOMPARE(main->lblLive->geometry(), live);

    // Never smaller than the controls need.
    main->resize(200, 150);
    QTRY_COMPARE(client->size(), QSize(399, 391));
    QCOMPARE(main->lstEffects->geometry(), effects);
}

void StartupTest::missingVersionServiceSaysSo() {
    auto platform = std::make_shared<testing::PlatformLog>();
    platform->version.reset();
    app::EditorSetup setup;
    auto dialogs = std::make_shared<testing::DialogLog>();
    setup.dialogs = std::make_unique<testing::ScriptedDialogs>(dialogs);
    setup.timing = std::make_unique<testing::VirtualTiming>(std::make_shared<testing::Clock>());
    setup.platform = std::make_unique<testing::TempPlatform>(platform);
    setup.driver = std::make_unique<testing::ListingDriver>();
    app::Editor editor(std::move(setup));
    editor.start();
    QCOMPARE(editor.state.appVersion, QStringLiteral("Version info not available"));
    QCOMPARE(editor.formMain()->menuAppVersion->text(), QStringLiteral("Version:  Version info not available"));
}

void StartupTest::consoleShortcut_data() {
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("shows");
    QTest::newRow("ctrl+shift+P") << int(Qt::ControlModifier | Qt::ShiftModifier) << true;
    QTest::newRow("ctrl+alt+shift+P") << int(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier) << true;
    QTest::newRow("P") << int(Qt::NoModifier) << false;
    QTest::newRow("ctrl+P") << int(Qt::ControlModifier) << false;
    QTest::newRow("shift+P") << int(Qt::ShiftModifier) << false;
}

void StartupTest::consoleShortcut() {
    QFETCH(int, modifiers);
    QFETCH(bool, shows);
    testing::TestEditor editor(std::make_unique<testing::ListingDriver>());
    editor->printToConsole(QStringLiteral("logged while hidden"));
    // Sent to a control inside the main window: the window sees the key first.
    QTest::keyClick(editor->formMain()->lstEffects, Qt::Key_P, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(editor->formPrint()->isVisible(), shows);
    if (shows) {
        QCOMPARE(editor->formPrint()->lines(), QStringList{QStringLiteral("logged while hidden")});
        QTest::keyClick(editor->formMain(), Qt::Key_P, Qt::KeyboardModifiers(modifiers));
        QVERIFY(editor->formPrint()->isVisible());
    }
}

void StartupTest::consoleShortcutFromEveryWindow_data() {
    QTest::addColumn<QString>("window");
    QTest::newRow("parameter panel") << "formFXParameters";
    QTest::newRow("firmware upgrade") << "formFirmwareUpgrade";
    QTest::newRow("impulse response") << "formImpulseResponse";
    QTest::newRow("new version notice") << "formNewVersionMsg";
    QTest::newRow("console itself") << "formPrint";
}

void StartupTest::consoleShortcutFromEveryWindow() {
    QFETCH(QString, window);
    testing::TestEditor editor(std::make_unique<testing::ListingDriver>());
    QWidget* shown = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == window) shown = top;
    }
    QVERIFY2(shown, qPrintable(window));
    shown->show();
    QWidget* target = shown->focusWidget() ? shown->focusWidget() : shown;
    QTest::keyClick(target, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(editor->formPrint()->isVisible());
    // P alone in another window is only a letter.
    if (window != QStringLiteral("formPrint")) {
        editor->formPrint()->hide();
        QTest::keyClick(target, Qt::Key_P);
        QVERIFY(!editor->formPrint()->isVisible());
    }
}

void StartupTest::supportOpensTheContactPage() {
    testing::TestEditor editor(std::make_unique<testing::ListingDriver>());
    editor->formMain()->menuSupport->trigger();
    QCOMPARE(editor.platform->openedUrls, QStringList{QStringLiteral("http://127.0.0.1:1/contact-us/")});
}

void StartupTest::placeholderServerIsNeverAsked() {
    app::EditorSetup setup;
    setup.dialogs = std::make_unique<testing::ScriptedDialogs>(std::make_shared<testing::DialogLog>());
    setup.timing = std::make_unique<testing::VirtualTiming>(std::make_shared<testing::Clock>());
    setup.platform = std::make_unique<testing::TempPlatform>(std::make_shared<testing::PlatformLog>());
    setup.driver = std::make_unique<testing::ListingDriver>();
    setup.serverAddress = QStringLiteral("https://www.example.invalid");
    app::Editor editor(std::move(setup));
    editor.start();
    QVERIFY(!editor.formMain()->TimerCheckWebVersion.isActive());
    testing::TestEditor withServer(std::make_unique<testing::ListingDriver>());
    QVERIFY(withServer->formMain()->TimerCheckWebVersion.isActive());
}

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
