// The editor without a mouse: underlined letters in every menu, the shortcuts shown in the
// menus, the buttons as menu entries, F6 between the main window and the parameter window, and
// the keys that move a pot, each reaching the virtual pedal.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using namespace qeltx;

namespace {

// The letter after the single '&' of a caption; none without one.
std::optional<QChar> mnemonicOf(const QString& caption) {
    const qsizetype at = caption.indexOf(QLatin1Char('&'));
    if (at < 0 || at + 1 >= caption.size()) return std::nullopt;
    return caption.at(at + 1).toLower();
}

struct Linked {
    testing::TestEditor editor;
    app::TformMain& main;
    app::TformFXParameters& panel;
    pedal_sim::PedalModel& pedal;
    Linked() : main(*editor->formMain()), panel(*editor->formFXParameters()), pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
    }
};

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void everyMenuEntryHasItsOwnUnderlinedLetter();
    void shortcutsAreTheStandardOnesAndShownInTheMenus();
    void buttonEntriesFollowTheirButtonsAndClickThem();
    void f6BringsTheParameterWindowForwardAndBack();
    void listsChooseByEnterAndUploadWhatIsChosen();
    void keysReachTheFirstPotOnceTheValuesAreRead();
    void potKeysSendAsADragDoes_data();
    void potKeysSendAsADragDoes();
};

void KeyboardTest::everyMenuEntryHasItsOwnUnderlinedLetter() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    // The menu bar's titles, then every menu's entries: each a letter of its own in its menu.
    // Entries that only inform (the version lines, the serial numbers, the MIDI channels, which
    // are numbers) are left as they are.
    const QList<QAction*> informOnly{main.menuAppVersion, main.menuNewAppVersion, main.menuSerialNumber};
    QList<QList<QAction*>> menus{main.menuBar()->actions()};
    for (QMenu* menu : main.findChildren<QMenu*>()) {
        if (menu != main.menuMIDIchannel) menus << menu->actions();
    }
    int checked = 0;
    for (const QList<QAction*>& entries : menus) {
        QList<QChar> seen;
        for (QAction* action : entries) {
            if (action->isSeparator() || informOnly.contains(action)) continue;
            const auto letter = mnemonicOf(action->text());
            QVERIFY2(letter, qPrintable(action->text()));
            QVERIFY2(!seen.contains(*letter), qPrintable(QStringLiteral("%1 repeats '%2'").arg(action->text(), *letter)));
            seen << *letter;
            ++checked;
        }
    }
    QVERIFY(checked > 30);
    QCOMPARE(main.menuFirmwareUpgrade->title(), QStringLiteral("Fi&rmware Upgrade"));
}

void KeyboardTest::shortcutsAreTheStandardOnesAndShownInTheMenus() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    QCOMPARE(main.menuLoadConfiguration->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(main.menuSaveConfiguration->shortcut(), QKeySequence(QKeySequence::Save));
    QCOMPARE(main.menuQuit->shortcut(), QKeySequence(QKeySequence::Quit));
    for (QAction* action : {main.menuConnect, main.menuRequest, main.menuUpload, main.menuStoreSettings,
                            main.menuGetFXStored, main.menuParameterWindow}) {
        QVERIFY2(!action->shortcut().isEmpty(), qPrintable(action->text()));
    }
    // Every shortcut is the only one of its keys.
    QList<QKeySequence> keys;
    for (QAction* action : main.findChildren<QAction*>()) {
        if (action->shortcut().isEmpty()) continue;
        QVERIFY2(!keys.contains(action->shortcut()), qPrintable(action->shortcut().toString()));
        keys << action->shortcut();
    }
    // Pressed in the window: Ctrl+L links (and reads the pedal's values), Ctrl+S saves them.
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QTest::keyClick(&main, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(editor->state.linked);
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    const QString path = editor.platform->documents.path() + QStringLiteral("/keys.txt");
    editor.dialogs->fileNames.push_back(path);
    QTest::keyClick(&main, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(editor.dialogs->fileNames.empty());
    QVERIFY(QFile::exists(path));
}

void KeyboardTest::buttonEntriesFollowTheirButtonsAndClickThem() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    const std::vector<std::pair<QAction*, QPushButton*>> pairs{
        {main.menuGetFXStored, main.btnOpenEffect}, {main.menuRequest, main.btnRequest},
        {main.menuAssign, main.btnAssign},         {main.menuStoreSettings, main.btnStoreSettingsOnPedal},
        {main.menuUpload, main.btnUpload}};
    auto follow = [&] {
        for (const auto& [action, button] : pairs) {
            QVERIFY2(action->isEnabled() == button->isEnabled(), qPrintable(action->text()));
            QCOMPARE(QString(action->text()).remove(QLatin1Char('&')), button->text());
        }
    };
    follow();
    QVERIFY(!main.menuRequest->isEnabled());
    main.menuConnect->trigger();
    follow();
    QVERIFY(main.menuStoreSettings->isEnabled());
    // The entry is the button: Store Settings sends 03 N.
    main.menuStoreSettings->trigger();
    const auto& sent = editor->virtualPedal()->received();
    QCOMPARE(sent[sent.size() - 2], std::uint8_t{0x03});
    // A held window holds the entries too.
    main.centralWidget()->setEnabled(false);
    QVERIFY(!main.menuRequest->isEnabled());
    main.centralWidget()->setEnabled(true);
    follow();
    main.menuDisconnect->trigger();
    follow();
}

void KeyboardTest::f6BringsTheParameterWindowForwardAndBack() {
    Linked s;
    s.main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s.main));
    QVERIFY(s.panel.isVisible());
    QTest::keyClick(&s.main, Qt::Key_F6);
    QVERIFY(QTest::qWaitForWindowActive(&s.panel));
    // The pedal's conversations answer their keys in the parameter window too: Ctrl+R sends
    // Request (02 N), Ctrl+T Store Settings (03 N).
    const auto& sent = s.pedal.received();
    for (const auto& [key, command] : {std::pair{Qt::Key_R, std::uint8_t{0x02}}, std::pair{Qt::Key_T, std::uint8_t{0x03}}}) {
        const std::size_t before = sent.size();
        QTest::keyClick(&s.panel, key, Qt::ControlModifier);
        QVERIFY2(sent.size() > before, qPrintable(QKeySequence(key | Qt::ControlModifier).toString()));
        QCOMPARE(sent[before], command);
    }
    QTest::keyClick(&s.panel, Qt::Key_F6);
    QVERIFY(QTest::qWaitForWindowActive(&s.main));
}

void KeyboardTest::listsChooseByEnterAndUploadWhatIsChosen() {
    Linked s;
    s.main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s.main));
    // A category: Down moves the highlight, Enter opens it.
    s.main.lstCategory->setFocus(Qt::TabFocusReason);
    s.main.lstCategory->setCurrentRow(0);
    QTest::keyClick(s.main.lstCategory, Qt::Key_Down);
    QCOMPARE(s.main.lstCategory->currentRow(), 1);
    QTest::keyClick(s.main.lstCategory, Qt::Key_Return);
    QCOMPARE(s.editor->state.selectedCategory, QStringLiteral("Modulation"));
    // An algorithm: the highlight alone changes nothing; Space chooses it as a click does.
    s.main.lstEffects->setFocus(Qt::TabFocusReason);
    const QString held = s.editor->state.currentEffectName;
    QTest::keyClick(s.main.lstEffects, Qt::Key_Down);
    const QString highlighted = s.main.lstEffects->currentItem()->text();
    QCOMPARE(s.editor->state.currentEffectName, held);
    QTest::keyClick(s.main.lstEffects, Qt::Key_Space);
    QCOMPARE(s.editor->state.currentEffectName, highlighted);
    QVERIFY(s.panel.windowTitle().startsWith(highlighted));
    // Upload offers the chosen algorithm, not the one clicked last.
    s.editor.dialogs->answers.push_back(false);
    QTest::keyClick(s.main.lstEffects, Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(s.editor.dialogs->confirmations.size(), 1);
    QVERIFY2(s.editor.dialogs->confirmations.first().contains(highlighted), qPrintable(s.editor.dialogs->confirmations.first()));
}

void KeyboardTest::keysReachTheFirstPotOnceTheValuesAreRead() {
    Linked s;
    if (s.main.menuReadValuesAutomatically->isChecked()) s.main.menuReadValuesAutomatically->trigger();
    // Get FX Stored on Pedal shows the panel grey, waiting for Request: no control takes keys
    // there, and the main window's are on Request.
    s.main.btnOpenEffect->setFocus(Qt::TabFocusReason);
    s.main.btnOpenEffect->click();
    QCOMPARE(s.main.focusWidget(), s.main.btnRequest);
    s.panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s.panel));
    QVERIFY(!s.panel.potTrackBar(0)->isEnabled());
    QVERIFY(!s.panel.focusWidget());
    QTest::keyClick(&s.panel, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(s.panel.focusWidget(), s.panel.potTrackBar(0));
    // Request, greyed while the answer came in, keeps the main window's keys (the next button
    // is Store Settings).
    QCOMPARE(s.main.focusWidget(), s.main.btnRequest);
    QTest::keyClick(s.panel.focusWidget(), Qt::Key_End);
    QCOMPARE(*s.pedal.controlValue(0), 1023u * 8192u);
    // A conversation holds the window and takes the keys from its controls; they come back to
    // the control that had them, not to the first.
    s.panel.potTrackBar(1)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(&s.panel, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(s.panel.focusWidget(), s.panel.potTrackBar(1));
}

void KeyboardTest::potKeysSendAsADragDoes_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");  // from 500
    QTest::newRow("Right") << int(Qt::Key_Right) << 501;
    QTest::newRow("Left") << int(Qt::Key_Left) << 499;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 510;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 490;
    QTest::newRow("Home") << int(Qt::Key_Home) << 0;
    QTest::newRow("End") << int(Qt::Key_End) << 1023;
}

void KeyboardTest::potKeysSendAsADragDoes() {
    QFETCH(int, key);
    QFETCH(int, expected);
    Linked s;
    QSlider* pot = s.panel.potTrackBar(0);
    QVERIFY(pot->isEnabled());
    QCOMPARE(pot->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    pot->setValue(500);
    const std::size_t mark = s.pedal.received().size();
    QTest::keyClick(pot, static_cast<Qt::Key>(key));
    QCOMPARE(pot->value(), expected);
    QVERIFY(s.pedal.received().size() > mark);
    QCOMPARE(*s.pedal.controlValue(0), static_cast<std::uint32_t>(expected) * 8192u);
}

QTEST_MAIN(KeyboardTest)
#include "test_keyboard.moc"
