// Acting in the middle of a conversation with the pedal: at the first point where a
// conversation lets window events run (a wait's dispatch, a box it shows), a user action runs.
// Whatever the action, the editor does not crash, the pedal receives exactly the bytes of the
// running conversation, and the editor ends in a state it can be in.
#include "app/firmware_upgrade.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/print_console.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <functional>

using namespace qeltx;

namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Conversation { Link, Query, Request, Upload, Flashing };

struct Fixture {
    testing::TestEditor editor;
    app::TformMain& main;
    app::TformFXParameters& panel;
    pedal_sim::PedalModel& pedal;

    explicit Fixture(Conversation conversation)
        : main(*editor->formMain()), panel(*editor->formFXParameters()), pedal(*editor->virtualPedal()) {
        if (conversation == Conversation::Link) return;
        main.menuConnect->trigger();
        if (conversation != Conversation::Flashing) return;
        // A small image to flash.
        testing::chooseFirmwareInUpgradeMode(editor, testing::firmwareImage(600, 7), QStringLiteral("small.bin"));
    }

    void start(Conversation conversation) {
        switch (conversation) {
            case Conversation::Link: main.menuConnect->trigger(); break;
            case Conversation::Query: main.btnOpenEffect->click(); break;
            case Conversation::Request: main.btnRequest->click(); break;
            case Conversation::Upload: main.btnUpload->click(); break;
            case Conversation::Flashing: editor->formFirmwareUpgrade()->btnUpgradeFirmware->click(); break;
        }
    }

    QListWidgetItem* otherAlgorithm() {
        for (int i = 0; i < main.lstEffects->count(); ++i) {
            QListWidgetItem* item = main.lstEffects->item(i);
            if (item->text() != editor->state.currentEffectName && (item->flags() & Qt::ItemIsEnabled)) return item;
        }
        return nullptr;
    }
};

// What a user does. "Clicks" go to the control as the mouse or keyboard would (a held control
// takes none); "got through" stands for input that reaches a handler all the same (a menu
// shortcut, a native menu bar).
using Action = std::function<void(Fixture&)>;

void clickAt(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

struct Row {
    const char* name;
    Conversation conversation;
    Action action;
    // The refusal is told to the user (after the conversation).
    bool told;
    // A further check of the outcome.
    std::function<void(Fixture&)> check;
};

const QString kRefusedConversation = QStringLiteral(" was not started: ");
const QString kRefusedChange = QStringLiteral("Nothing was changed: ");

std::vector<Row> rows() {
    std::vector<Row> table = {
        {"Request x close the panel", Conversation::Request, [](Fixture& f) { f.panel.close(); }, false,
         [](Fixture& f) {
             // Closed once the block was in, which it was, whole.
             QVERIFY(!f.panel.isVisible());
             QVERIFY(!f.panel.isBuilt());
             QVERIFY(f.editor.dialogs->messages.isEmpty());
         }},
        {"Request x select another algorithm (got through)", Conversation::Request,
         [](Fixture& f) { Q_EMIT f.main.lstEffects->itemClicked(f.otherAlgorithm()); }, true,
         [](Fixture& f) {
             QCOMPARE(f.editor->state.currentEffectName, f.editor->pedal().algorithm().name);
             QVERIFY(f.panel.isVisible());
             QVERIFY(f.panel.potTrackBar(0)->isEnabled());
         }},
        {"Request x select another algorithm (click)", Conversation::Request,
         [](Fixture& f) {
             QListWidgetItem* item = f.otherAlgorithm();
             QTest::mouseClick(f.main.lstEffects->viewport(), Qt::LeftButton, {},
                               f.main.lstEffects->visualItemRect(item).center());
         },
         false, [](Fixture& f) { QCOMPARE(f.editor->state.currentEffectName, f.editor->pedal().algorithm().name); }},
        {"Request x Unlink", Conversation::Request, [](Fixture& f) { f.main.menuDisconnect->trigger(); }, true,
         [](Fixture& f) { QVERIFY(f.editor->state.linked); }},
        {"Request x Request", Conversation::Request, [](Fixture& f) { Q_EMIT f.main.btnRequest->clicked(); }, true, {}},
        {"query x Get FX Stored on Pedal (got through)", Conversation::Query,
         [](Fixture& f) { Q_EMIT f.main.btnOpenEffect->clicked(); }, true,
         [](Fixture& f) {
             // The first query got its own reply.
             QVERIFY(f.editor.dialogs->messages.filter(QStringLiteral("did not answer")).isEmpty());
         }},
        {"query x Get FX Stored on Pedal (click)", Conversation::Query,
         [](Fixture& f) { clickAt(f.main.btnOpenEffect); }, false, {}},
        {"query x Upload", Conversation::Query, [](Fixture& f) { Q_EMIT f.main.btnUpload->clicked(); }, true, {}},
        {"Link x Unlink", Conversation::Link, [](Fixture& f) { f.main.menuDisconnect->trigger(); }, true,
         [](Fixture& f) {
             QVERIFY(f.editor->state.linked);
             QVERIFY(f.panel.isVisible());
         }},
        {"Upload x Upload", Conversation::Upload, [](Fixture& f) { Q_EMIT f.main.btnUpload->clicked(); }, true,
         [](Fixture& f) { QCOMPARE(f.editor.dialogs->confirmations.size(), 1); }},
        {"Upload x close the panel", Conversation::Upload, [](Fixture& f) { f.panel.close(); }, false,
         [](Fixture& f) { QVERIFY(!f.panel.isVisible()); }},
    };
    // Flashing holds every control that can send.
    const std::vector<std::pair<const char*, Action>> senders = {
        {"Upload", [](Fixture& f) { Q_EMIT f.main.btnUpload->clicked(); }},
        {"Request", [](Fixture& f) { Q_EMIT f.main.btnRequest->clicked(); }},
        {"Get FX Stored on Pedal", [](Fixture& f) { Q_EMIT f.main.btnOpenEffect->clicked(); }},
        {"Get FX Stored on Pedal (click)", [](Fixture& f) { clickAt(f.main.btnOpenEffect); }},
        {"Assign", [](Fixture& f) { Q_EMIT f.main.btnAssign->clicked(); }},
        {"Store Settings On Pedal", [](Fixture& f) { Q_EMIT f.main.btnStoreSettingsOnPedal->clicked(); }},
        {"Live", [](Fixture& f) { f.main.swLive->toggle(); }},
        {"Live (click)", [](Fixture& f) { clickAt(f.main.swLive); }},
        {"MIDI channel 5", [](Fixture& f) { f.main.midiChannelItems[5]->trigger(); }},
        {"FX Bank Mode", [](Fixture& f) { f.main.menuModeBank->trigger(); }},
        {"Unlink", [](Fixture& f) { f.main.menuDisconnect->trigger(); }},
        {"Upgrade Mode", [](Fixture& f) { f.main.menuFirmwareUpgradeMode->trigger(); }},
        {"Erase Settings", [](Fixture& f) { f.main.menuEraseSettings->trigger(); }},
        {"Erase EEPROM", [](Fixture& f) {
             f.editor->formPrint()->cmbI2Caddr->setCurrentIndex(0);
             Q_EMIT f.editor->formPrint()->btnEraseEeprom->clicked();
         }},
        {"Read EEPROM (click)", [](Fixture& f) { clickAt(f.editor->formPrint()->btnReadEEPROM); }},
        {"panel pot (keys)", [](Fixture& f) {
             if (QSlider* pot = f.panel.potTrackBar(0)) QTest::keyClick(pot, Qt::Key_PageUp);
         }},
        {"panel bypass assignment", [](Fixture& f) {
             if (f.panel.bypassAssignBox()) QTest::keyClick(f.panel.bypassAssignBox(), Qt::Key_Down);
         }},
        {"Upgrade Firmware again", [](Fixture& f) { Q_EMIT f.editor->formFirmwareUpgrade()->btnUpgradeFirmware->clicked(); }},
        {"another algorithm", [](Fixture& f) { Q_EMIT f.main.lstEffects->itemClicked(f.otherAlgorithm()); }},
    };
    static std::vector<std::string> names;
    names.reserve(senders.size());
    for (const auto& [name, action] : senders) {
        names.push_back(std::string("flashing x ") + name);
        const bool click = std::string(name).find("(click)") != std::string::npos ||
                           std::string(name).find("(keys)") != std::string::npos ||
                           std::string(name).find("assignment") != std::string::npos;
        table.push_back({names.back().c_str(), Conversation::Flashing, action, !click, [](Fixture& f) {
                             QVERIFY(f.editor.dialogs->messages.contains(
                                 QStringLiteral("Firmware Upgrade Complete, device will now restart")));
                             QVERIFY(!f.editor->state.firmwareUpgradeMode);
                         }});
    }
    return table;
}

// The controls of the link state the editor is in, as the main window's table gives them.
void checkConsistentState(Fixture& f) {
    const app::EditorState& state = f.editor->state;
    app::TformMain& m = f.main;
    QCOMPARE(m.Timer_USB_read.isActive(), state.linked && !state.firmwareUpgradeMode);
    QVERIFY(!f.editor->line().busy());
    // Nothing is held any more.
    QVERIFY(m.centralWidget()->isEnabled());
    QVERIFY(m.menuBar()->isEnabled());
    QVERIFY(f.panel.isEnabled());
    QVERIFY(f.editor->formPrint()->btnEraseEeprom->isEnabled());
    QVERIFY(f.editor->formFirmwareUpgrade()->btnUpgradeFirmware->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    const bool linked = state.linked;
    QCOMPARE(m.menuScan->isEnabled(), !linked);
    QCOMPARE(m.menuConnect->isEnabled(), !linked);
    QCOMPARE(m.menuDisconnect->isEnabled(), linked);
    QCOMPARE(m.btnUpload->isEnabled(), linked && !state.firmwareUpgradeMode);
    QCOMPARE(app::isMenuEnabled(m.menuMIDI), linked);
    QCOMPARE(app::isMenuEnabled(m.menuMode), linked);
    QCOMPARE(m.lblLive->isEnabled(), linked);
    if (!linked) {
        QVERIFY(!m.btnRequest->isEnabled());
        QVERIFY(!m.btnAssign->isEnabled());
    }
}

// The bytes the pedal receives during `conversation` when nobody acts.
Bytes undisturbed(Conversation conversation) {
    Fixture f(conversation);
    const std::size_t mark = f.pedal.received().size();
    f.start(conversation);
    return {f.pedal.received().begin() + static_cast<std::ptrdiff_t>(mark), f.pedal.received().end()};
}

}  // namespace

class ConversationTest : public QObject {
    Q_OBJECT
private slots:
    void actingDuringAWait_data();
    void actingDuringAWait();
    void refusedActionWorksOnceTheConversationHasEnded();
};

void ConversationTest::actingDuringAWait_data() {
    QTest::addColumn<int>("row");
    const auto table = rows();
    for (std::size_t i = 0; i < table.size(); ++i) QTest::newRow(table[i].name) << static_cast<int>(i);
}

void ConversationTest::actingDuringAWait() {
    QFETCH(int, row);
    const Row r = rows()[static_cast<std::size_t>(row)];
    const Bytes expected = undisturbed(r.conversation);
    QVERIFY(!expected.empty());

    Fixture f(r.conversation);
    f.editor.dialogs->messages.clear();
    f.editor.dialogs->messageKinds.clear();
    f.editor.dialogs->confirmations.clear();
    bool heldDuringAction = false;
    f.editor.duringWait->action = [&] {
        heldDuringAction = !f.main.centralWidget()->isEnabled() && QApplication::overrideCursor() != nullptr;
        r.action(f);
    };
    const std::size_t mark = f.pedal.received().size();
    f.start(r.conversation);

    QCOMPARE(f.editor.duringWait->ran, 1);
    QVERIFY2(heldDuringAction, "the editor did not look busy while it waited");
    const Bytes sent(f.pedal.received().begin() + static_cast<std::ptrdiff_t>(mark), f.pedal.received().end());
    QCOMPARE(sent, expected);
    const QStringList told = f.editor.dialogs->messages.filter(kRefusedConversation) +
                             f.editor.dialogs->messages.filter(kRefusedChange);
    QCOMPARE(told.size(), r.told ? 1 : 0);
    // A refusal is a warning, not news.
    const testing::DialogLog& log = *f.editor.dialogs;
    for (qsizetype i = 0; i < log.messages.size(); ++i) {
        if (told.contains(log.messages[i])) QCOMPARE(log.messageKinds[i], session::MessageKind::Warning);
    }
    checkConsistentState(f);
    if (r.check) r.check(f);
}

void ConversationTest::refusedActionWorksOnceTheConversationHasEnded() {
    // Unlink refused during Request works when clicked again afterwards.
    Fixture f(Conversation::Request);
    f.editor.duringWait->action = [&] { f.main.menuDisconnect->trigger(); };
    f.start(Conversation::Request);
    QVERIFY(f.editor->state.linked);
    f.main.menuDisconnect->trigger();
    QVERIFY(!f.editor->state.linked);
    checkConsistentState(f);
}

QTEST_MAIN(ConversationTest)
#include "test_conversations.moc"
