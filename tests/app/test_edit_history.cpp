// Undo and redo, Compare and the "changed since stored" mark, as a player meets them on the
// virtual pedal: what each sends to the pedal, what the pedal and the panel hold afterwards.
#include "app/edit_history.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/stored_compare.h"
#include "core/preset_file.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using namespace qeltx;

namespace {

constexpr int kModulationCategory = 1;
constexpr int kSynthesisCategory = 2;
constexpr std::uint32_t kGlassPhaser = 11;

using Bytes = std::vector<std::uint8_t>;

struct Player {
    testing::TestEditor editor;
    app::TformMain& main;
    app::TformFXParameters& panel;
    pedal_sim::PedalModel& pedal;
    Player() : main(*editor->formMain()), panel(*editor->formFXParameters()), pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
    }
    void poll() {
        editor->guard([&] { main.poll_pedal_messages(); }, app::Editor::Source::TimerOrNetwork);
    }
    void choose(int category, const QString& name) {
        editor->guard([&] { main.lstCategoryClick(category); });
        const auto found = main.lstEffects->findItems(name, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        main.lstEffects->setCurrentItem(found.first());
        editor->guard([&] { main.effectListItemClicked(found.first()); });
    }
    // Glass Phaser on the pedal, its values read back: the stored sound is known.
    void uploadPhaser() {
        choose(kModulationCategory, QStringLiteral("Glass Phaser"));
        main.btnUpload->click();
        poll();
        QCOMPARE(pedal.algorithmNumber(), std::uint8_t(kGlassPhaser));
        QVERIFY(panel.potTrackBar(0)->isEnabled());
    }
    std::int32_t pedalValue(int i) const {
        const auto word = pedal.controlValue(static_cast<std::size_t>(i));
        return word ? static_cast<std::int32_t>(*word / pedal_sim::kValueScale) : -1;
    }
    // Glass Phaser's five values on the pedal.
    std::vector<std::int32_t> pedalValues() const {
        std::vector<std::int32_t> values;
        for (int i = 0; i < 5; ++i) values.push_back(pedalValue(i));
        return values;
    }
    std::int32_t shownValue(int i) const {
        if (panel.potTrackBar(i)) return panel.potTrackBar(i)->value();
        if (panel.paramSwitch(i)) return panel.paramSwitch(i)->isChecked() ? 1024 : 0;
        if (panel.multiSwitchBox(i)) return panel.multiSwitchBox(i)->currentIndex() * (1024 / panel.optionCount(i));
        return -1;
    }
    Bytes sentSince(std::size_t from) const {
        const auto& all = pedal.received();
        return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
    }
    // The parameter command that gives control i `value`, as the pedal reads it.
    Bytes valueCommand(int i, std::int32_t value) const {
        const unsigned a = panel.parameterAddress(i);
        const auto word = static_cast<std::uint32_t>(value) * pedal_sim::kValueScale;
        return {0x01, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(word >> 24),
                static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
    }
    QString write(const QString& name, const core::PresetFile& preset) {
        const QString path = editor.platform->documents.filePath(name);
        QFile out(path);
        if (out.open(QIODevice::WriteOnly)) out.write(QByteArray::fromStdString(core::formatPresetFile(preset)));
        return path;
    }
    int firstSwitch() const {
        for (int i = panel.numPots(); i < panel.numPots() + panel.numSwitches(); ++i) {
            if (!panel.isButton(i)) return i;
        }
        return -1;
    }
    int firstMultiSwitch() const { return panel.numMultiSwitches() > 0 ? panel.numPots() + panel.numSwitches() : -1; }
    const app::EditHistory& history() { return editor->history(); }
};

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace

class EditHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void eachChangeIsOneStepThatUndoAndRedoSend_data();
    void eachChangeIsOneStepThatUndoAndRedoSend();
    void aDragOrABurstOfKeysIsOneStep();
    void aFailedUndoKeepsWhatWentOutAndClearsTheHistory();
    void heldInputSendsNoUndo();
    void pedalReportsAreNoStepsAndAnotherAlgorithmClearsTheHistory();
    void compareSendsOnlyTheDifferingStoredValuesAndLeavesTheHistory();
    void compareEndsCoherently_data();
    void compareEndsCoherently();
    void theMarkCountsTheValuesThatDifferFromTheStoredSound();
};

void EditHistoryTest::eachChangeIsOneStepThatUndoAndRedoSend_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"pot", "switch", "multi-switch", "reverse", "assignment", "preset", "restore"}) {
        QTest::newRow(kind) << QString::fromLatin1(kind);
    }
}

void EditHistoryTest::eachChangeIsOneStepThatUndoAndRedoSend() {
    QFETCH(QString, kind);
    Player p;
    p.uploadPhaser();
    const int sw = p.firstSwitch();
    const int multi = p.firstMultiSwitch();
    QVERIFY(sw >= 0 && multi >= 0);
    std::vector<std::int32_t> before = p.pedalValues();
    // Reverse flags need an assignment the pedal took.
    if (kind == "reverse") {
        p.panel.assignBox(0)->setCurrentIndex(0);
        p.main.btnAssign->click();
    }
    int stepsBefore = p.history().stack().count();
    QString expectedName;
    Bytes undoBytes;
    Bytes redoBytes;
    std::vector<std::int32_t> after = before;
    if (kind == "pot") {
        p.panel.potTrackBar(0)->setValue(before[0] == 300 ? 301 : 300);
        after[0] = p.panel.potTrackBar(0)->value();
        expectedName = p.panel.nameLabel(0)->text() + QStringLiteral(" %1 → %2").arg(before[0]).arg(after[0]);
        undoBytes = p.valueCommand(0, before[0]);
        redoBytes = p.valueCommand(0, after[0]);
    } else if (kind == "switch") {
        p.panel.paramSwitch(sw)->click();
        after[static_cast<std::size_t>(sw)] = before[static_cast<std::size_t>(sw)] == 0 ? 1024 : 0;
        undoBytes = p.valueCommand(sw, before[static_cast<std::size_t>(sw)]);
        redoBytes = p.valueCommand(sw, after[static_cast<std::size_t>(sw)]);
    } else if (kind == "multi-switch") {
        QComboBox* box = p.panel.multiSwitchBox(multi);
        const int option = box->currentIndex() == 1 ? 2 : 1;
        box->setCurrentIndex(option);
        after[static_cast<std::size_t>(multi)] = option * (1024 / p.panel.optionCount(multi));
        expectedName = p.panel.nameLabel(multi)->text() + QLatin1Char(' ') +
                       box->itemText(before[static_cast<std::size_t>(multi)] / (1024 / p.panel.optionCount(multi))) +
                       QStringLiteral(" → ") + box->itemText(option);
        undoBytes = p.valueCommand(multi, before[static_cast<std::size_t>(multi)]);
        redoBytes = p.valueCommand(multi, after[static_cast<std::size_t>(multi)]);
    } else if (kind == "reverse") {
        QCheckBox* reverse = p.panel.reverseCheckBox(0);
        QVERIFY(reverse->isEnabled() && !reverse->isChecked());
        reverse->click();
        undoBytes = {0x08, 0xFF, 0x00};
        redoBytes = {0x08, 0x01, 0x00};
    } else if (kind == "assignment") {
        // A choice is kept and sent by Assign: undo takes the choice back and sends nothing.
        p.panel.assignBox(1)->setCurrentIndex(2);  // KIII
    } else if (kind == "restore") {
        // Backed up, two pots edited, then the backup restored: the edits are one step back.
        const QString path = p.editor.platform->documents.filePath(QStringLiteral("phaser.json"));
        p.editor.dialogs->fileNames.push_back(path);
        p.main.menuBackUpSettings->trigger();
        p.panel.potTrackBar(0)->setValue(before[0] == 300 ? 301 : 300);
        p.panel.potTrackBar(2)->setValue(before[2] == 700 ? 701 : 700);
        p.editor.clock->now += app::EditHistory::kBurstMs + 1;
        const std::vector<std::int32_t> edited = p.pedalValues();
        stepsBefore = p.history().stack().count();
        p.editor.dialogs->chosen.push_back(QStringLiteral("Discard"));  // the edits are what the restore replaces
        p.editor.dialogs->fileNames.push_back(path);
        p.main.menuRestoreSettings->trigger();
        QVERIFY(!p.editor.dialogs->messages.filter(QStringLiteral("Pedal settings restored from phaser.json")).isEmpty());
        after = before;
        before = edited;
        expectedName = QStringLiteral("Restore phaser.json");
        undoBytes = concat({p.valueCommand(2, before[2]), p.valueCommand(0, before[0])});
        redoBytes = concat({p.valueCommand(0, after[0]), p.valueCommand(2, after[2])});
    } else {
        core::PresetFile preset;
        preset.effectNumber = kGlassPhaser;
        preset.effectVersion = 1;
        preset.values = {before[0] == 100 ? 101 : 100, before[1], 777, before[3] == 0 ? 1024 : 0, before[4]};
        preset.assignments.assign(5, 255);
        preset.readbackAssignments.assign(1, 255);
        p.editor.dialogs->fileNames.push_back(p.write(QStringLiteral("swept.txt"), preset));
        p.main.menuLoadConfiguration->trigger();
        after = preset.values;
        expectedName = QStringLiteral("Preset swept.txt");
        // Undone in the reverse order; only the values the preset changed are sent.
        undoBytes = concat({p.valueCommand(3, before[3]), p.valueCommand(2, before[2]), p.valueCommand(0, before[0])});
        redoBytes = concat({p.valueCommand(0, after[0]), p.valueCommand(2, after[2]), p.valueCommand(3, after[3])});
    }
    QCOMPARE(p.pedalValues(), after);
    QCOMPARE(p.history().stack().count(), stepsBefore + 1);
    if (!expectedName.isEmpty()) QCOMPARE(p.main.menuUndo->text(), QStringLiteral("&Undo ") + expectedName);
    QVERIFY(p.main.menuUndo->isEnabled());

    std::size_t from = p.pedal.received().size();
    p.main.menuUndo->trigger();
    QCOMPARE(p.sentSince(from), undoBytes);
    QCOMPARE(p.pedalValues(), before);
    QCOMPARE(p.editor->pedal().values(), before);
    for (int i = 0; i < p.panel.numControls(); ++i) {
        if (!p.panel.isButton(i)) QCOMPARE(p.shownValue(i), before[static_cast<std::size_t>(i)]);
    }
    if (kind == "reverse") {
        QVERIFY(!p.panel.reverseCheckBox(0)->isChecked());
        QCOMPARE(p.editor->pedal().reverseFlags()[0], std::uint8_t(0xFF));
    }
    if (kind == "assignment") {
        QCOMPARE(p.panel.assignBox(1)->currentText(), QStringLiteral("--"));
        QCOMPARE(p.editor->pedal().assignments()[1], std::uint8_t(0xFF));
    }
    if (!expectedName.isEmpty()) QCOMPARE(p.main.menuRedo->text(), QStringLiteral("&Redo ") + expectedName);

    from = p.pedal.received().size();
    p.main.menuRedo->trigger();
    QCOMPARE(p.sentSince(from), redoBytes);
    QCOMPARE(p.pedalValues(), after);
    QCOMPARE(p.editor->pedal().values(), after);
    if (kind == "reverse") QVERIFY(p.panel.reverseCheckBox(0)->isChecked());
    if (kind == "assignment") {
        QCOMPARE(p.panel.assignBox(1)->currentText(), QStringLiteral("KIII"));
        QCOMPARE(p.editor->pedal().assignments()[1], std::uint8_t(2));
    }
    QVERIFY(!p.history().canRedo());
}

void EditHistoryTest::aDragOrABurstOfKeysIsOneStep() {
    Player p;
    p.uploadPhaser();
    QSlider* bar = p.panel.potTrackBar(0);
    const int start = bar->value();
    const std::size_t from = p.pedal.received().size();
    // A drag through many positions: each goes out live, and it is one step.
    bar->setSliderDown(true);
    for (int value = 100; value <= 900; value += 50) bar->setValue(value);
    bar->setSliderDown(false);
    QVERIFY(p.sentSince(from).size() >= 17 * 7);
    QCOMPARE(p.history().stack().count(), 1);
    QCOMPARE(p.main.menuUndo->text(), QStringLiteral("&Undo %1 %2 → 900").arg(p.panel.nameLabel(0)->text()).arg(start));
    // A second drag right after it is a step of its own.
    bar->setSliderDown(true);
    bar->setValue(400);
    bar->setSliderDown(false);
    QCOMPARE(p.history().stack().count(), 2);
    // Keys close together on the pot: one step; a pause, and the next key starts another.
    bar->setFocus();
    for (int k = 0; k < 5; ++k) QTest::keyClick(bar, Qt::Key_Right);
    QCOMPARE(bar->value(), 405);
    QCOMPARE(p.history().stack().count(), 3);
    p.editor.clock->now += app::EditHistory::kBurstMs + 1;
    QTest::keyClick(bar, Qt::Key_Right);
    QCOMPARE(p.history().stack().count(), 4);
    // Keys that bring the pot back where the burst began leave nothing to undo.
    QTest::keyClick(bar, Qt::Key_Left);
    QCOMPARE(p.history().stack().count(), 3);

    for (int k = 0; k < 3; ++k) p.main.menuUndo->trigger();
    QCOMPARE(bar->value(), start);
    QCOMPARE(p.pedalValue(0), start);
    QVERIFY(!p.history().canUndo());
}

// A step whose send fails: what the pedal holds keeps what went out, and the history that no
// longer leads anywhere the pedal has been is cleared.
void EditHistoryTest::aFailedUndoKeepsWhatWentOutAndClearsTheHistory() {
    Player p;
    p.uploadPhaser();
    p.panel.potTrackBar(0)->setValue(640);
    p.panel.potTrackBar(1)->setValue(10);
    p.editor.clock->now += app::EditHistory::kBurstMs + 1;
    QCOMPARE(p.history().stack().count(), 2);
    const qsizetype told = p.editor.dialogs->messages.size();
    p.pedal.faults().writeFails = true;
    p.main.menuUndo->trigger();
    p.pedal.faults().writeFails = false;
    QCOMPARE(p.editor->pedal().values()[1], 10);
    QCOMPARE(p.panel.potTrackBar(1)->value(), 10);
    QCOMPARE(p.pedalValue(1), 10);
    QCOMPARE(p.history().stack().count(), 0);
    QVERIFY(!p.main.menuUndo->isEnabled());
    QCOMPARE(p.editor.dialogs->messages.size(), told + 1);
}

// Undo is the player's: while a conversation waits, its key is off and a trigger sends nothing.
void EditHistoryTest::heldInputSendsNoUndo() {
    Player p;
    p.uploadPhaser();
    p.panel.potTrackBar(0)->setValue(512);
    QVERIFY(p.history().canUndo());
    const QKeySequence keys = p.main.menuUndo->shortcut();
    QCOMPARE(keys, QKeySequence(QKeySequence::Undo));
    QKeySequence keysDuringWait = keys;
    std::size_t sentDuringWait = 0;
    p.editor.duringWait->action = [&] {
        keysDuringWait = p.main.menuUndo->shortcut();
        const std::size_t from = p.pedal.received().size();
        p.main.menuUndo->trigger();
        sentDuringWait = p.pedal.received().size() - from;
    };
    p.main.btnRequest->click();
    QVERIFY(keysDuringWait.isEmpty());
    QCOMPARE(sentDuringWait, std::size_t(0));
    QCOMPARE(p.main.menuUndo->shortcut(), keys);
    QCOMPARE(p.pedalValue(0), 512);
    QVERIFY(p.history().canUndo());
}

void EditHistoryTest::pedalReportsAreNoStepsAndAnotherAlgorithmClearsTheHistory() {
    Player p;
    p.uploadPhaser();
    p.panel.assignBox(0)->setCurrentIndex(0);  // KI
    p.main.btnAssign->click();
    p.editor.clock->now += app::EditHistory::kBurstMs + 1;
    const int steps = p.history().stack().count();
    p.pedal.turnKnob(0, 900);
    p.poll();
    QCOMPARE(p.editor->pedal().values()[0], 900);
    QCOMPARE(p.history().stack().count(), steps);
    // A read-back of the same algorithm keeps the steps.
    p.main.btnRequest->click();
    QCOMPARE(p.history().stack().count(), steps);
    QVERIFY(steps > 0);
    // The panel of another algorithm: its values are another sound.
    p.choose(kSynthesisCategory, QStringLiteral("Square Synth"));
    QCOMPARE(p.history().stack().count(), 0);
}

void EditHistoryTest::compareSendsOnlyTheDifferingStoredValuesAndLeavesTheHistory() {
    Player p;
    p.uploadPhaser();
    const std::vector<std::int32_t> stored = p.pedalValues();
    QVERIFY(!p.panel.compareButton()->isEnabled());
    const int sw = p.firstSwitch();
    p.panel.potTrackBar(1)->setValue(stored[1] == 200 ? 201 : 200);
    p.panel.paramSwitch(sw)->click();
    const std::vector<std::int32_t> edits = p.pedalValues();
    const int steps = p.history().stack().count();
    const int index = p.history().stack().index();
    QVERIFY(p.panel.compareButton()->isEnabled());
    QVERIFY(p.panel.compareButton()->toolTip().contains(app::compareKeys().toString(QKeySequence::NativeText)));

    std::size_t from = p.pedal.received().size();
    p.panel.compareButton()->click();
    QCOMPARE(p.sentSince(from), concat({p.valueCommand(1, stored[1]), p.valueCommand(sw, stored[static_cast<std::size_t>(sw)])}));
    QCOMPARE(p.pedalValues(), stored);
    QVERIFY(p.panel.compareButton()->isChecked());
    QVERIFY(p.main.menuCompare->isChecked());
    QVERIFY(!p.panel.potTrackBar(0)->isEnabledTo(&p.panel));
    QCOMPARE(p.panel.statusText(), QStringLiteral("Comparing with the sound stored on the pedal"));
    QVERIFY(!p.main.menuUndo->isEnabled());
    QCOMPARE(p.history().stack().count(), steps);

    // Again, from the Edit menu: the edits go back, and only they.
    from = p.pedal.received().size();
    p.main.menuCompare->trigger();
    QCOMPARE(p.sentSince(from), concat({p.valueCommand(1, edits[1]), p.valueCommand(sw, edits[static_cast<std::size_t>(sw)])}));
    QCOMPARE(p.pedalValues(), edits);
    QCOMPARE(p.editor->pedal().values(), edits);
    QVERIFY(!p.panel.compareButton()->isChecked());
    QVERIFY(p.panel.potTrackBar(0)->isEnabledTo(&p.panel));
    QCOMPARE(p.history().stack().count(), steps);
    QCOMPARE(p.history().stack().index(), index);
    QVERIFY(p.main.menuUndo->isEnabled());
}

void EditHistoryTest::compareEndsCoherently_data() {
    QTest::addColumn<QString>("way");
    for (const char* way : {"unlink", "request", "another algorithm", "cable pulled"}) QTest::newRow(way) << QString::fromLatin1(way);
}

void EditHistoryTest::compareEndsCoherently() {
    QFETCH(QString, way);
    Player p;
    p.uploadPhaser();
    const std::vector<std::int32_t> stored = p.pedalValues();
    p.panel.potTrackBar(2)->setValue(stored[2] == 333 ? 334 : 333);
    const std::vector<std::int32_t> edits = p.pedalValues();
    p.panel.compareButton()->click();
    QVERIFY(p.editor->compare().comparing());
    std::vector<std::int32_t> playing = edits;
    if (way == "unlink") {
        p.main.menuDisconnect->trigger();
    } else if (way == "request") {
        p.main.btnRequest->click();
    } else if (way == "another algorithm") {
        p.choose(kSynthesisCategory, QStringLiteral("Square Synth"));
    } else {
        // Nothing can go back: the pedal keeps playing the stored sound, and the editor says so.
        p.pedal.faults().offBus = true;
        p.poll();
        p.pedal.faults().offBus = false;
        playing = stored;
    }
    QVERIFY(!p.editor->compare().comparing());
    QCOMPARE(p.pedalValues(), playing);
    if (p.editor->pedal().hasValuesFor(QStringLiteral("Glass Phaser"))) QCOMPARE(p.editor->pedal().values(), playing);
    QVERIFY(!p.panel.compareButton()->isChecked());
    QVERIFY(!p.main.menuCompare->isChecked());
    QVERIFY(p.panel.statusText() != QStringLiteral("Comparing with the sound stored on the pedal"));
}

void EditHistoryTest::theMarkCountsTheValuesThatDifferFromTheStoredSound() {
    Player p;
    p.uploadPhaser();
    const QString caption = p.panel.caption();
    QVERIFY(caption.startsWith(QStringLiteral("Glass Phaser")));
    QCOMPARE(p.panel.windowTitle(), caption);
    const std::vector<std::int32_t> stored = p.pedalValues();
    p.panel.potTrackBar(0)->setValue(stored[0] == 50 ? 51 : 50);
    QCOMPARE(p.panel.windowTitle(), caption + QLatin1Char('*'));
    QCOMPARE(p.panel.statusText(), QStringLiteral("1 parameter differs from the sound stored on the pedal"));
    p.panel.paramSwitch(p.firstSwitch())->click();
    p.panel.potTrackBar(2)->setValue(stored[2] == 60 ? 61 : 60);
    QCOMPARE(p.panel.statusText(), QStringLiteral("3 parameters differ from the sound stored on the pedal"));
    // A pot put back by hand differs no more.
    p.panel.potTrackBar(0)->setValue(stored[0]);
    QCOMPARE(p.panel.statusText(), QStringLiteral("2 parameters differ from the sound stored on the pedal"));
    // Store Settings makes the edits the stored sound.
    p.main.btnStoreSettingsOnPedal->click();
    QCOMPARE(p.panel.windowTitle(), caption);
    QVERIFY(!p.panel.statusText().contains(QStringLiteral("differ")));
    // The pedal's own knob moves a value away from it; a Request reads the pedal again.
    p.panel.assignBox(1)->setCurrentIndex(0);  // KI
    p.main.btnAssign->click();
    p.pedal.turnKnob(0, 1000);
    p.poll();
    QCOMPARE(p.panel.windowTitle(), caption + QLatin1Char('*'));
    p.main.btnRequest->click();
    QCOMPARE(p.panel.windowTitle(), caption);
    QVERIFY(!p.panel.statusText().contains(QStringLiteral("differ")));
}

QTEST_MAIN(EditHistoryTest)
#include "test_edit_history.moc"
