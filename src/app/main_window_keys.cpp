// The main window by keyboard: underlined letters in every menu, the platform's standard
// shortcuts and the editor's own keys (shown in the menus), menu entries for the buttons of
// the left column, F10 to the menu bar, and F6 between the main window and the parameter window.
#include "app/editor.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/mnemonics.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>

#include <utility>
#include <vector>

namespace qeltx::app {

namespace {

void underline(QMenu* menu, QChar letter) { menu->setTitle(withMnemonic(menu->title(), letter)); }
void underline(QAction* action, QChar letter) { action->setText(withMnemonic(action->text(), letter)); }

// A menu entry that stands for a button: enabled as the button is (the container's state
// included, so a held window holds the entry too), and a click of the button when chosen.
class ButtonEntry : public QObject {
public:
    ButtonEntry(QPushButton* button, QAction* action) : QObject(action), button_(button), action_(action) {
        button->installEventFilter(this);
        action->setEnabled(button->isEnabled());
        connect(action, &QAction::triggered, this, [this] {
            if (button_->isEnabled()) button_->click();
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == button_ && event->type() == QEvent::EnabledChange) action_->setEnabled(button_->isEnabled());
        return false;
    }

private:
    QPushButton* button_;
    QAction* action_;
};

QAction* addButtonEntry(QMenu* menu, QPushButton* button, const char* name, QChar letter, const QKeySequence& keys) {
    QAction* action = menu->addAction(withMnemonic(button->text(), letter));
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    new ButtonEntry(button, action);
    return action;
}

}  // namespace

void TformMain::setUpKeyboard() {
    underline(menuFile, QLatin1Char('F'));
    underline(menuConnection, QLatin1Char('C'));
    underline(menuSettings, QLatin1Char('S'));
    underline(menuFirmwareUpgrade, QLatin1Char('r'));
    underline(menuInfo, QLatin1Char('I'));

    menuFile->addSeparator();
    menuQuit = menuFile->addAction(QStringLiteral("Quit"));
    menuQuit->setObjectName(QStringLiteral("menuQuit"));
    connect(menuQuit, &QAction::triggered, this, &QWidget::close);
    const std::vector<std::pair<QAction*, QChar>> fileEntries{
        {menuLoadConfiguration, QLatin1Char('L')}, {menuSaveConfiguration, QLatin1Char('S')},
        {menuLoadIR, QLatin1Char('I')},            {menuBackUpSettings, QLatin1Char('B')},
        {menuRestoreSettings, QLatin1Char('R')},   {menuImpulseResponse, QLatin1Char('p')},
        {menuPresetLibrary, QLatin1Char('y')},     {menuQuit, QLatin1Char('Q')}};
    for (const auto& [action, letter] : fileEntries) underline(action, letter);
    menuLoadConfiguration->setShortcut(QKeySequence::Open);
    menuSaveConfiguration->setShortcut(QKeySequence::Save);
    menuQuit->setShortcut(QKeySequence::Quit);
    menuPresetLibrary->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));

    underline(menuScan, QLatin1Char('S'));
    underline(menuConnect, QLatin1Char('L'));
    underline(menuDisconnect, QLatin1Char('U'));
    menuConnect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    menuConnection->addSeparator();
    menuGetFXStored = addButtonEntry(menuConnection, btnOpenEffect, "menuGetFXStored", QLatin1Char('G'),
                                     QKeySequence(Qt::CTRL | Qt::Key_G));
    menuRequest = addButtonEntry(menuConnection, btnRequest, "menuRequest", QLatin1Char('R'),
                                 QKeySequence(Qt::CTRL | Qt::Key_R));
    menuAssign = addButtonEntry(menuConnection, btnAssign, "menuAssign", QLatin1Char('A'), QKeySequence());
    menuStoreSettings = addButtonEntry(menuConnection, btnStoreSettingsOnPedal, "menuStoreSettings",
                                       QLatin1Char('t'), QKeySequence(Qt::CTRL | Qt::Key_T));
    menuUpload = addButtonEntry(menuConnection, btnUpload, "menuUpload", QLatin1Char('p'),
                                QKeySequence(Qt::CTRL | Qt::Key_U));
    menuConnection->addSeparator();
    menuParameterWindow = menuConnection->addAction(QStringLiteral("Parameter &Window"));
    menuParameterWindow->setObjectName(QStringLiteral("menuParameterWindow"));
    menuParameterWindow->setShortcut(QKeySequence(Qt::Key_F6));
    // From the parameter window too, so the same key leads back.
    menuParameterWindow->setShortcutContext(Qt::ApplicationShortcut);
    connect(menuParameterWindow, &QAction::triggered, this, editor_.guarded([this] { menuParameterWindowClick(); }));

    underline(menuLook, QLatin1Char('L'));
    underline(menuMIDI, QLatin1Char('M'));
    underline(menuMIDIchannel, QLatin1Char('C'));
    underline(menuMode, QLatin1Char('o'));
    underline(menuModePreset, QLatin1Char('P'));
    underline(menuModeBank, QLatin1Char('B'));
    underline(menuReadValuesAutomatically, QLatin1Char('R'));
    underline(menuResampleIR, QLatin1Char('s'));

    underline(menuFirmwareUpgradeMode, QLatin1Char('U'));
    underline(menuStartFirmwareUpgrade, QLatin1Char('S'));
    underline(menuEraseSettings, QLatin1Char('E'));

    underline(menuSupport, QLatin1Char('S'));
    underline(menuSaveSupportReport, QLatin1Char('R'));
    underline(menuUpdateNow, QLatin1Char('U'));
    underline(menuShowUpdateMsg, QLatin1Char('M'));

#ifndef Q_OS_MACOS
    // F10 opens the menu bar, as the desktops of Windows and Linux do.
    auto* toMenuBar = new QShortcut(QKeySequence(Qt::Key_F10), this);
    toMenuBar->setObjectName(QStringLiteral("shortcutMenuBar"));
    connect(toMenuBar, &QShortcut::activated, this, [this] {
        QMenuBar* bar = menuBar();
        if (!bar->isEnabled() || bar->actions().isEmpty()) return;
        bar->setFocus(Qt::ShortcutFocusReason);
        bar->setActiveAction(bar->actions().first());
    });
#endif
}

void TformMain::menuParameterWindowClick() {
    TformFXParameters* panel = editor_.formFXParameters();
    if (panel->isVisible() && QApplication::activeWindow() != panel) {
        if (panel->isMinimized()) panel->showNormal();
        panel->raise();
        panel->activateWindow();
        return;
    }
    raise();
    activateWindow();
}

}  // namespace qeltx::app
