// Every action that would drop values not stored on the pedal asks first, on the virtual pedal:
// each action × each answer against what reaches the pedal and what is kept, and with nothing
// changed no question at all.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "core/commands.h"
#include "core/hex.h"
#include "core/preset_file.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <algorithm>

using namespace qeltx;

namespace {

const QString kStore = QStringLiteral("Store on pedal");
const QString kSave = QStringLiteral("Save preset…");
const QString kDiscard = QStringLiteral("Discard");
const QString kCancel = QStringLiteral("Cancel");

struct Session {
    testing::TestEditor editor;
    app::TformMain& main;
    app::TformFXParameters& panel;
    pedal_sim::PedalModel& pedal;
    QString backup;
    QString preset;
    std::int32_t original = 0;
    std::int32_t edited = 0;
    Session() : main(*editor->formMain()), panel(*editor->formFXParameters()), pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
        main.btnRequest->click();
        original = editor->pedal().values().at(0);
        edited = original == 749 ? 300 : 749;
        backup = editor.platform->documents.filePath("backup.json");
        main.backUpPedalTo(backup);
        // A preset of the same algorithm with its first pot elsewhere.
        core::PresetFile file;
        file.effectNumber = editor->pedal().algorithm().number;
        file.effectVersion = editor->pedal().algorithm().version.value_or(0);
        file.values = editor->pedal().values();
        file.values[1] = file.values[1] == 100 ? 200 : 100;
        file.assignments.assign(file.values.size(), 255);
        preset = editor.platform->documents.filePath("preset.txt");
        QFile out(preset);
        if (out.open(QIODevice::WriteOnly)) out.write(QByteArray::fromStdString(core::formatPresetFile(file)));
    }
    void edit() { panel.potTrackBar(0)->setValue(edited); }
};

struct Action {
    QString name;
    bool storeOffered = true;
    std::function<void(Session&)> run;
    std::function<bool(Session&)> wentOn;
};

std::vector<Action> actions() {
    return {
        {"Unlink", true, [](Session& s) { s.main.menuDisconnect->trigger(); },
         [](Session& s) { return !s.editor->state.linked; }},
        {"upload another algorithm", true,
         [](Session& s) {
             QListWidgetItem* other = nullptr;
             for (int row = 0; row < s.main.lstEffects->count() && !other; ++row) {
                 QListWidgetItem* item = s.main.lstEffects->item(row);
                 if (item->text() != s.editor->pedal().algorithm().name && (item->flags() & Qt::ItemIsEnabled)) other = item;
             }
             QVERIFY(other);
             s.main.lstEffects->setCurrentItem(other);
             s.main.effectListItemClicked(other);
             s.main.btnUpload->click();
         },
         [](Session& s) { return s.pedal.uploadsTaken() == 1; }},
        {"load a preset", true,
         [](Session& s) {
             s.editor.dialogs->fileNames.push_front(s.preset);
             s.main.menuLoadConfiguration->trigger();
         },
         [](Session& s) {
             return s.editor.dialogs->messages.contains(QStringLiteral("File loaded successfully: ") + s.preset);
         }},
        {"restore a backup", true,
         [](Session& s) {
             s.editor.dialogs->fileNames.push_front(s.backup);
             s.main.menuRestoreSettings->trigger();
         },
         [](Session& s) {
             return s.editor.dialogs->messages.filter("Pedal settings restored from backup.json").size() == 1;
         }},
        {"Erase Settings", false,
         [](Session& s) {
             s.editor.dialogs->answers = {true, false};  // erase, without a backup
             s.main.menuEraseSettings->trigger();
         },
         [](Session& s) {
             s.pedal.powerCycle();
             return !s.pedal.hasAlgorithm();
         }},
        {"Upgrade Mode", true,
         [](Session& s) {
             s.editor.dialogs->answers = {false, true};  // no backup, then B2 held and Yes
             s.pedal.setButton(pedal_sim::control::kB2, true);
             s.main.menuFirmwareUpgradeMode->trigger();
             s.pedal.setButton(pedal_sim::control::kB2, false);
         },
         [](Session& s) { return s.pedal.mode() == pedal_sim::PedalMode::Bootloader; }},
        {"close the editor", true, [](Session& s) { s.main.close(); },
         [](Session& s) { return s.editor->ended(); }},
    };
}

std::vector<std::uint8_t> storeBytes(std::size_t numControls) {
    return core::parseHex(core::storeSettingsCommand(numControls).text).value();
}

}  // namespace

class UnstoredChangesTest : public QObject {
    Q_OBJECT
private slots:
    void eachActionAsksAndFollowsTheAnswer_data();
    void eachActionAsksAndFollowsTheAnswer();
    void nothingChangedAsksNothing();
    void aCancelledSaveDialogKeepsEverything();
};

void UnstoredChangesTest::eachActionAsksAndFollowsTheAnswer_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("answer");
    const auto all = actions();
    for (int a = 0; a < int(all.size()); ++a) {
        for (const QString& answer : {kStore, kSave, kDiscard, kCancel}) {
            if (answer == kStore && !all[std::size_t(a)].storeOffered) continue;
            QTest::newRow(qPrintable(all[std::size_t(a)].name + " / " + answer)) << a << answer;
        }
    }
}

void UnstoredChangesTest::eachActionAsksAndFollowsTheAnswer() {
    QFETCH(int, action);
    QFETCH(QString, answer);
    const Action what = actions()[std::size_t(action)];
    Session s;
    s.edit();
    QCOMPARE(s.editor->pedal().differencesFromStored(), std::vector<std::size_t>{0});
    const std::size_t sentBefore = s.pedal.received().size();
    const auto store = storeBytes(s.editor->pedal().values().size());
    const QString saved = s.editor.platform->documents.filePath("saved.txt");
    s.editor.dialogs->chosen = {answer};
    if (answer == kSave) s.editor.dialogs->fileNames.push_back(saved);

    what.run(s);

    QCOMPARE(s.editor.dialogs->questions.size(), 1);
    QVERIFY2(s.editor.dialogs->questions.first().startsWith("One parameter of Amber Drive is not stored on the pedal."),
             qPrintable(s.editor.dialogs->questions.first()));
    const QStringList offered = what.storeOffered ? QStringList{kStore, kSave, kDiscard, kCancel}
                                                  : QStringList{kSave, kDiscard, kCancel};
    QCOMPARE(s.editor.dialogs->questionAnswers.first(), offered);
    // Store Settings goes out first, or not before the action (a restore sends its own).
    const auto& received = s.pedal.received();
    const bool storedFirst = received.size() >= sentBefore + store.size() &&
                             std::equal(store.begin(), store.end(), received.begin() + std::ptrdiff_t(sentBefore));
    if (answer == kCancel) {
        // Nothing went to the pedal, and the edit is still there to store.
        QCOMPARE(s.pedal.received().size(), sentBefore);
        QVERIFY(!what.wentOn(s));
        QCOMPARE(s.editor->pedal().values().at(0), s.edited);
        QCOMPARE(s.editor->pedal().differencesFromStored(), std::vector<std::size_t>{0});
        return;
    }
    QVERIFY2(what.wentOn(s), qPrintable(s.editor.dialogs->messages.join('\n')));
    QCOMPARE(storedFirst, answer == kStore);
    if (answer == kSave) {
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto preset = core::parsePresetFile(file.readAll().toStdString());
        QVERIFY(preset);
        QCOMPARE(preset->values.at(0), s.edited);
    }
}

void UnstoredChangesTest::nothingChangedAsksNothing() {
    for (const Action& what : actions()) {
        Session s;
        what.run(s);
        QVERIFY2(s.editor.dialogs->questions.isEmpty(), qPrintable(what.name));
        QVERIFY2(what.wentOn(s), qPrintable(what.name));
    }
}

void UnstoredChangesTest::aCancelledSaveDialogKeepsEverything() {
    // "Save preset…" and then Cancel in the save dialog: the action does not go on.
    Session s;
    s.edit();
    s.editor.dialogs->chosen = {kSave};
    s.main.menuDisconnect->trigger();
    QVERIFY(s.editor->state.linked);
    QCOMPARE(s.editor->pedal().values().at(0), s.edited);
}

QTEST_MAIN(UnstoredChangesTest)
#include "test_unstored_changes.moc"
