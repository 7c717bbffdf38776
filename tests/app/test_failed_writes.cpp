// A write to the pedal that fails, or that the driver takes only part of, is a failure on every
// path that sends: the user is told (a console line, and one box once the conversation has
// ended), nothing says the command was sent, no reply is waited for and no pause waited out.
// The virtual pedal's bridge fails the writes; everything else is the editor as the user has it.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/print_console.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <functional>

using namespace qeltx;

namespace {

enum class Fault { WriteFails, ShortWrites };

// Linked to the virtual pedal, the panel read back, then the bridge's writes start failing.
struct Session {
    testing::TestEditor editor;
    app::TformMain& main;
    app::TformFXParameters& panel;
    app::TformPrint& console;
    pedal_sim::PedalModel& pedal;
    std::size_t receivedBefore = 0;
    qsizetype linesBefore = 0;
    qint64 clockBefore = 0;

    explicit Session(Fault fault)
        : main(*editor->formMain()),
          panel(*editor->formFXParameters()),
          console(*editor->formPrint()),
          pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
        main.btnRequest->click();
        pedal.faults().writeFails = fault == Fault::WriteFails;
        pedal.faults().shortWrites = fault == Fault::ShortWrites;
        console.cmbI2Caddr->setCurrentIndex(0);
        receivedBefore = pedal.received().size();
        linesBefore = console.lines().size();
        clockBefore = editor.clock->now;
    }
    QStringList newLines() const { return console.lines().mid(linesBefore); }
};

struct Path {
    const char* name;
    std::function<void(Session&)> act;
    // Console lines or status texts that say the command went out.
    QStringList successTexts;
};

std::vector<Path> paths() {
    return {
        {"parameter command",
         [](Session& s) {
             QSlider* pot = s.panel.potTrackBar(0);
             pot->setValue(pot->value() < 500 ? pot->value() + 7 : pot->value() - 7);
         },
         {QStringLiteral("data sent pot")}},
        {"Assign", [](Session& s) { s.main.btnAssign->click(); }, {QStringLiteral("Assignments sent")}},
        {"Store", [](Session& s) { s.main.btnStoreSettingsOnPedal->click(); }, {QStringLiteral("Store Settings sent")}},
        {"MIDI", [](Session& s) { s.main.midiChannelItems[5]->trigger(); }, {}},
        {"Live", [](Session& s) { s.main.swLive->toggle(); }, {}},
        {"Upgrade Mode", [](Session& s) { s.main.menuFirmwareUpgradeMode->trigger(); },
         {QStringLiteral("received Byte"), QStringLiteral("bootloader")}},
        {"Erase EEPROM", [](Session& s) { s.console.btnEraseEeprom->click(); }, {}},
        {"Read EEPROM", [](Session& s) { s.console.btnReadEEPROM->click(); }, {QStringLiteral("waiting")}},
        {"Erase Settings",
         [](Session& s) {
             // Erase, without the backup offered first: this row is about Erase Settings' own steps.
             s.editor.dialogs->answers = {true, false};
             s.main.menuEraseSettings->trigger();
         },
         {QStringLiteral("waiting")}},
        {"Upload", [](Session& s) { s.main.btnUpload->click(); },
         {QStringLiteral("write to device"), QStringLiteral("Uploading")}},
        {"Request", [](Session& s) { s.main.btnRequest->click(); }, {QStringLiteral("did not answer")}},
        {"Get FX Stored on Pedal", [](Session& s) { s.main.btnOpenEffect->click(); },
         {QStringLiteral("did not answer"), QStringLiteral("received")}},
    };
}

}  // namespace

Q_DECLARE_METATYPE(Fault)

class FailedWritesTest : public QObject {
    Q_OBJECT
private slots:
    void everySendingPathReportsIt_data();
    void everySendingPathReportsIt();
};

void FailedWritesTest::everySendingPathReportsIt_data() {
    QTest::addColumn<int>("path");
    QTest::addColumn<Fault>("fault");
    const std::vector<Path> all = paths();
    for (std::size_t i = 0; i < all.size(); ++i) {
        QTest::addRow("%s x write fails", all[i].name) << static_cast<int>(i) << Fault::WriteFails;
        QTest::addRow("%s x short write", all[i].name) << static_cast<int>(i) << Fault::ShortWrites;
    }
}

void FailedWritesTest::everySendingPathReportsIt() {
    QFETCH(int, path);
    QFETCH(Fault, fault);
    const Path p = paths()[static_cast<std::size_t>(path)];
    Session s(fault);
    const QStringList messagesBefore = s.editor.dialogs->messages;
    QVERIFY(s.panel.isBuilt());

    p.act(s);

    // One box, after the conversation, naming what did not reach the pedal and why.
    const QStringList boxes = s.editor.dialogs->messages.mid(messagesBefore.size());
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(s.editor.dialogs->messageKinds.last(), session::MessageKind::Error);
    QVERIFY2(boxes[0].contains(QStringLiteral("did not reach the pedal")), qPrintable(boxes[0]));
    QVERIFY2(boxes[0].contains(fault == Fault::WriteFails ? QStringLiteral("the write failed")
                                                          : QStringLiteral("bytes were written")),
             qPrintable(boxes[0]));
    // The console says which command was not sent.
    const QStringList lines = s.newLines();
    QVERIFY2(!lines.filter(QStringLiteral("not sent: ")).isEmpty(), qPrintable(lines.join('\n')));
    // Nothing claims it went out.
    for (const QString& success : p.successTexts) {
        QVERIFY2(lines.filter(success).isEmpty(), qPrintable(lines.join('\n')));
        QVERIFY2(!s.main.lblStatus->text().contains(success), qPrintable(s.main.lblStatus->text()));
        QVERIFY2(boxes.filter(success).isEmpty(), qPrintable(boxes.join('\n')));
    }
    // A failed write is not followed by the wait for an answer or the pause after the command.
    QVERIFY2(s.editor.clock->now - s.clockBefore < 1000, qPrintable(QString::number(s.editor.clock->now - s.clockBefore)));
    if (fault == Fault::WriteFails) QCOMPARE(s.pedal.received().size(), s.receivedBefore);
    // Erase Settings stops at its first step: the bytes of one cut-short command at most.
    if (QByteArray(p.name) == "Erase Settings" && fault == Fault::ShortWrites)
        QCOMPARE(s.pedal.received().size(), s.receivedBefore + 4);

    // The editor is in a state it can be in: linked, in normal operation, nothing held.
    QVERIFY(!s.editor->line().busy());
    QVERIFY(s.editor->state.linked);
    QVERIFY(!s.editor->state.firmwareUpgradeMode);
    QVERIFY(s.main.Timer_USB_read.isActive());
    QVERIFY(s.main.centralWidget()->isEnabled());
    QVERIFY(s.main.btnRequest->isEnabled());
}

QTEST_MAIN(FailedWritesTest)
#include "test_failed_writes.moc"
