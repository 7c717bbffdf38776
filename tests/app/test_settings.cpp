// The pedal's settings from the editor: Assign, Store, MIDI, the modes, what the pedal
// reports by itself, and preset files — against the virtual pedal.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/print_console.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

using namespace qeltx;

namespace {

struct Session {
    testing::TestEditor editor;
    app::TformMain& main;
    app::TformFXParameters& panel;
    pedal_sim::PedalModel& pedal;
    Session() : main(*editor->formMain()), panel(*editor->formFXParameters()), pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
        main.btnRequest->click();
    }
    std::vector<std::uint8_t> lastSent(std::size_t n) const {
        const auto& all = pedal.received();
        return {all.end() - static_cast<std::ptrdiff_t>(n), all.end()};
    }
    void feed(const QByteArray& bytes) {
        for (char c : bytes) pedal.output().push_back(static_cast<std::uint8_t>(c));
        main.Timer_USB_readTimer();
    }
};

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void assignSendsEveryBoxAndTheFootswitches();
    void storeAndMidi();
    void declinedAssignLogsNothingAndTakesItsReverseBack();
    void bankModeFromTheMenuClosesThePanel();
    void pedalReportsAreApplied();
    void presetRoundTripAndRefusals();
};

void SettingsTest::assignSendsEveryBoxAndTheFootswitches() {
    Session s;
    const int n = s.panel.numControls();
    QVERIFY(s.main.btnAssign->isEnabled());
    for (int i = 0; i < n; ++i) s.panel.assignBox(static_cast<std::size_t>(i))->setCurrentIndex(12);
    s.panel.assignBox(0)->setCurrentIndex(0);                  // KI
    s.panel.assignBox(static_cast<std::size_t>(n - 1))->setCurrentIndex(11);  // EXP
    s.panel.bypassAssignBox()->setCurrentIndex(0);                 // FS
    s.panel.presetAssignBox()->setCurrentIndex(1);                 // FL
    s.main.btnAssign->click();
    const auto sent = s.lastSent(23);
    QCOMPARE(int(sent[0]), 0x04);
    QCOMPARE(int(sent[1]), 0x00);
    QCOMPARE(int(sent[static_cast<std::size_t>(n)]), 0x0B);
    for (int i = n + 1; i <= 20; ++i) QCOMPARE(int(sent[static_cast<std::size_t>(i)]), 0xFF);
    QCOMPARE(int(sent[21]), 0x08);
    QCOMPARE(int(sent[22]), 0x09);
    QCOMPARE(s.editor.dialogs->confirmations.last(), QStringLiteral("Assign parameters?"));
    // No: the codes are kept, nothing is sent.
    const std::size_t before = s.pedal.received().size();
    s.editor.dialogs->answers.push_back(false);
    s.main.btnAssign->click();
    QCOMPARE(s.pedal.received().size(), before);
}

void SettingsTest::declinedAssignLogsNothingAndTakesItsReverseBack() {
    Session s;
    const QString assignLine = QStringLiteral("04");
    auto assignLinesInConsole = [&] {
        int found = 0;
        for (const QString& line : s.editor->formPrint()->lines()) found += line.startsWith(assignLine) && line.size() == 46;
        return found;
    };
    QCheckBox* reverse = s.panel.reverseCheckBox(1);
    s.panel.assignBox(1)->setCurrentIndex(11);  // EXP
    QVERIFY(reverse->isEnabled());
    reverse->click();
    QCOMPARE(s.lastSent(3), (std::vector<std::uint8_t>{0x08, 0x01, 0x01}));

    // No: no assignment goes out, none is logged, and the reverse flag ticked for it is taken
    // back on the pedal; the box stays usable for the assignment the panel still shows.
    s.editor.dialogs->answers.push_back(false);
    const std::size_t before = s.pedal.received().size();
    const int logged = assignLinesInConsole();
    s.main.btnAssign->click();
    QCOMPARE(assignLinesInConsole(), logged);
    QCOMPARE(s.pedal.received().size(), before + 3);
    QCOMPARE(s.lastSent(3), (std::vector<std::uint8_t>{0x08, 0xFF, 0x01}));
    QVERIFY(!reverse->isChecked());
    QVERIFY(reverse->isEnabled());

    // A pedal that keeps a reverse flag for an unassigned control (left so by an editor that
    // did not take it back): read back, the box shows it ticked and can clear it.
    const std::uint8_t reverseOn[] = {0x08, 0x01, 0x01};
    s.pedal.receive(reverseOn, sizeof reverseOn, pedal_sim::kNormalLine);
    s.main.btnRequest->click();
    QCOMPARE(s.panel.assignBox(1)->currentText(), QStringLiteral("--"));
    QVERIFY(reverse->isChecked());
    QVERIFY(reverse->isEnabled());
    reverse->click();
    QCOMPARE(s.lastSent(3), (std::vector<std::uint8_t>{0x08, 0xFF, 0x01}));
    QVERIFY(!reverse->isChecked());

    // Yes: the command is logged once it has gone out.
    s.main.btnAssign->click();
    QCOMPARE(int(s.lastSent(23)[0]), 0x04);
    QCOMPARE(assignLinesInConsole(), logged + 1);
}

void SettingsTest::storeAndMidi() {
    Session s;
    s.main.btnStoreSettingsOnPedal->click();
    QCOMPARE(s.lastSent(2), (std::vector<std::uint8_t>{0x03, std::uint8_t(s.panel.numControls())}));
    s.main.midiChannelItems[12]->trigger();
    QCOMPARE(s.lastSent(2), (std::vector<std::uint8_t>{0x07, 0x0C}));
    s.main.midiChannelItems[0]->trigger();
    QCOMPARE(s.lastSent(2), (std::vector<std::uint8_t>{0x07, 0x00}));
    // The check marks show what the pedal reported, not the click.
    QVERIFY(!s.main.midiChannelItems[12]->isChecked());
    s.main.swLive->click();
    QCOMPARE(s.lastSent(3), (std::vector<std::uint8_t>{0x0A, 0x01, 0x00}));
    QCOMPARE(s.main.lblLive->title(), QStringLiteral("Live ON"));
}

void SettingsTest::bankModeFromTheMenuClosesThePanel() {
    Session s;
    s.main.menuModeBank->trigger();
    QCOMPARE(s.editor->state.pedalMode, app::kBankMode);
    QVERIFY(!s.panel.isVisible());
    QCOMPARE(s.main.lstEffects->count(), 0);
    QVERIFY(s.editor->state.currentEffectName.isEmpty());
    QVERIFY(s.main.rdbtnBank1->isChecked() && s.main.lblBankNum->isEnabled());
    QFile mode(s.editor.platform->documents.path() + "/KORVA/Qelt X/Mode.txt");
    QVERIFY(mode.open(QIODevice::ReadOnly));
    QCOMPARE(mode.readAll(), QByteArray("BANK"));
    // Oversized algorithms are greyed; clicking one closes the panel and disables Upload.
    s.main.lstGainClick();
    QListWidgetItem* greyed = nullptr;
    for (int i = 0; i < s.main.lstEffects->count(); ++i) {
        if (!(s.main.lstEffects->item(i)->flags() & Qt::ItemIsEnabled)) greyed = s.main.lstEffects->item(i);
    }
    QVERIFY(greyed);
    QVERIFY(s.editor->formPrint()->lines().contains("size of " + greyed->text() + " exceed 5440 bytes"));
    s.main.effectListItemClicked(greyed);
    QVERIFY(!s.main.btnUpload->isEnabled());
    QVERIFY(s.editor->state.currentEffectName.isEmpty());
    s.main.menuModePreset->trigger();
    QCOMPARE(s.editor->state.pedalMode, app::kPresetMode);
    QVERIFY(!s.main.lblBankNum->isEnabled());
}

void SettingsTest::pedalReportsAreApplied() {
    Session s;
    const std::size_t before = s.pedal.received().size();
    // Two control frames in one read: both applied, nothing sent back.
    s.feed(QByteArray::fromHex("AA0000 03FF" "AA0001 0200").replace(' ', ""));
    QCOMPARE(s.panel.potTrackBar(0)->value(), 1023);
    QCOMPARE(s.panel.potTrackBar(1)->value(), 512);
    QCOMPARE(s.pedal.received().size(), before);
    s.feed("02");
    QVERIFY(s.main.rdbtnBank3->isChecked());
    s.feed("05");
    QVERIFY(s.main.rdbtnBank3->isChecked());
    s.feed("0");  // does not convert: logged, no box
    QVERIFY(s.editor.dialogs->messages.isEmpty() && s.editor.dialogs->errors.isEmpty());
    s.feed("Upload complete\r\n");
    QCOMPARE(s.main.lblStatus->text(), QStringLiteral("Upload complete"));
    s.feed("12B");
    QCOMPARE(s.editor->pedal().algorithm().number, 43u);
    QVERIFY(s.panel.isVisible());
    // The report names no version, and the one known was another algorithm's.
    QCOMPARE(s.panel.windowTitle(), s.editor->pedal().algorithm().name);
    QVERIFY(!s.editor->pedal().algorithm().version.has_value());
    if (s.panel.numPots() > 0) QVERIFY(!s.panel.potTrackBar(0)->isEnabled());
    // An erased EEPROM's dump, split over two polls.
    QByteArray dump(1 + 16384, char(0xFF));
    dump[0] = char(0xAB);
    s.feed(dump.left(9000));
    QVERIFY(s.editor.dialogs->messages.isEmpty());
    s.feed(dump.mid(9000));
    QCOMPARE(s.editor.dialogs->messages, QStringList{"Memory Erased"});
    QVERIFY(s.editor->formPrint()->lines().contains("16383: FF"));
}

void SettingsTest::presetRoundTripAndRefusals() {
    Session s;
    s.panel.potTrackBar(0)->setValue(700);
    s.main.btnRequest->click();
    const std::vector<std::int32_t> values = s.editor->pedal().values();
    const QString path = s.editor.platform->documents.filePath("sound");
    s.editor.dialogs->fileNames.push_back(path);
    s.main.menuSaveConfiguration->trigger();
    QCOMPARE(s.editor.dialogs->messages.last(), "File saved successfully: " + path + ".txt");
    const QByteArray saved = readFile(path + ".txt");
    QVERIFY(saved.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(saved.count('\r'), 3 + 2 * s.panel.numControls() + s.panel.numReadbacks());

    s.panel.potTrackBar(0)->setValue(5);
    const std::size_t before = s.pedal.received().size();
    s.editor.dialogs->chosen.push_back(QStringLiteral("Discard"));  // the edit the preset replaces
    s.editor.dialogs->fileNames.push_back(path + ".txt");
    s.main.menuLoadConfiguration->trigger();
    QCOMPARE(s.editor->pedal().values(), values);
    QCOMPARE(s.panel.potTrackBar(0)->value(), 700);
    QVERIFY(s.pedal.received().size() > before);  // the pot that moved is sent to the pedal

    // A file for another algorithm, or a malformed one, changes nothing and sends nothing.
    QFile other(path + "-other.txt");
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write(QByteArray(saved).replace(3, 4, "0FFF"));
    other.close();
    QFile phaser(path + "-phaser.txt");
    QVERIFY(phaser.open(QIODevice::WriteOnly));
    phaser.write(QByteArray(saved).replace(3, 4, "000B"));
    phaser.close();
    QFile broken(path + "-broken.txt");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("0002\r01\r");
    broken.close();
    const QString held = s.editor->pedal().algorithm().name;
    for (const QString& file : {path + "-other.txt", path + "-phaser.txt", path + "-broken.txt"}) {
        const std::size_t sentBefore = s.pedal.received().size();
        s.panel.potTrackBar(0)->setValue(3);
        const std::size_t afterMove = s.pedal.received().size();
        s.editor.dialogs->fileNames.push_back(file);
        s.main.menuLoadConfiguration->trigger();
        QVERIFY(s.editor.dialogs->messages.last().startsWith("Error loading file: "));
        QCOMPARE(s.panel.potTrackBar(0)->value(), 3);
        QCOMPARE(s.pedal.received().size(), afterMove);
        Q_UNUSED(sentBefore);
        // The refusal names both algorithms, as players know them.
        if (file.endsWith("-phaser.txt")) {
            // Glass Phaser has five parameters: no upload is offered for a preset that cannot fit it.
            QVERIFY2(s.editor.dialogs->messages.last().endsWith("\nThis preset is for Glass Phaser; the pedal holds " + held +
                                                                ". The preset has 3 parameters; Glass Phaser has 5."),
                     qPrintable(s.editor.dialogs->messages.last()));
        }
        if (file.endsWith("-other.txt")) {
            QVERIFY2(s.editor.dialogs->messages.last().endsWith("\nThis preset is for algorithm number 4095, which this editor's "
                                                                "catalogue does not have; the pedal holds " + held + "."),
                     qPrintable(s.editor.dialogs->messages.last()));
        }
    }
    // Cancelling changes nothing.
    s.main.menuLoadConfiguration->trigger();
    QCOMPARE(s.panel.potTrackBar(0)->value(), 3);
}

QTEST_MAIN(SettingsTest)
#include "test_settings.moc"
