// File ▸ Back Up Pedal Settings… and Restore Pedal Settings… on the virtual pedal: the backup
// survives Erase Settings, a pedal holding another algorithm gets it uploaded, and a refused
// file sends nothing.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QtTest>

using namespace qeltx;

namespace {

struct Linked {
    testing::TestEditor editor;
    app::TformMain& main;
    pedal_sim::PedalModel& pedal;
    Linked() : main(*editor->formMain()), pedal(*editor->virtualPedal()) { main.menuConnect->trigger(); }
    QString file(const QString& name) const { return QDir(editor.platform->documents.path()).filePath(name); }
};

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class SettingsBackupTest : public QObject {
    Q_OBJECT
private slots:
    void backUpEraseRestore();
    void aRefusedFileSendsNothing();
};

void SettingsBackupTest::backUpEraseRestore() {
    Linked s;
    const QString path = s.file(QStringLiteral("before.json"));
    s.editor.dialogs->fileNames.push_back(path);
    s.main.menuBackUpSettings->trigger();
    QCOMPARE(s.editor.dialogs->messages.last(), QStringLiteral("Pedal settings backed up: ") + path);
    const QByteArray backup = readFile(path);
    QVERIFY(backup.contains("\"name\": \"Amber Drive\""));

    // Erase Settings, and the pedal restarts empty.
    s.editor.dialogs->answers = {true, false};  // Yes, and no dated backup besides this one
    s.main.menuEraseSettings->trigger();
    s.pedal.powerCycle();
    QVERIFY(!s.pedal.hasAlgorithm());

    s.editor.dialogs->fileNames.push_back(path);
    s.main.menuRestoreSettings->trigger();
    QVERIFY2(s.editor.dialogs->messages.contains(QStringLiteral("Pedal settings restored from before.json: restored 14 of 14 "
                                                                "settings")),
             qPrintable(s.editor.dialogs->messages.join('\n')));
    QCOMPARE(int(s.pedal.algorithmNumber()), 1);
    QCOMPARE(s.pedal.uploadsTaken(), 1u);
    // The editor shows what the pedal holds again, read back into the panel.
    QCOMPARE(s.editor->state.currentEffectName, QStringLiteral("Amber Drive"));
    QVERIFY(s.main.btnAssign->isEnabled());

    // A backup made now is the same as the one before the erase, but for when it was made.
    const QString again = s.file(QStringLiteral("after.json"));
    s.editor.dialogs->fileNames.push_back(again);
    s.main.menuBackUpSettings->trigger();
    auto withoutDate = [](QByteArray text) {
        QList<QByteArray> lines = text.split('\n');
        lines.removeIf([](const QByteArray& l) { return l.contains("\"created\""); });
        return lines;
    };
    QCOMPARE(withoutDate(readFile(again)), withoutDate(backup));
}

void SettingsBackupTest::aRefusedFileSendsNothing() {
    Linked s;
    const QString path = s.file(QStringLiteral("bad.json"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("{ \"format\": \"Qelt X settings backup\", \"formatVersion\": 7 }");
    f.close();
    const std::size_t before = s.pedal.received().size();
    s.editor.dialogs->fileNames.push_back(path);
    s.main.menuRestoreSettings->trigger();
    QCOMPARE(s.pedal.received().size(), before);
    QCOMPARE(s.editor.dialogs->messages.last(), QStringLiteral("The backup was not restored: ") + path +
                                                    QStringLiteral("\nThe backup is of format version 7; this editor reads version 1."));
}

QTEST_MAIN(SettingsBackupTest)
#include "test_settings_backup.moc"
