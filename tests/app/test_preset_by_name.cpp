// Load Configuration with a preset for another algorithm than the pedal's, on the virtual
// pedal: both algorithms are named, and the offered upload puts the preset's algorithm and then
// every value of the preset on the pedal; declined, nothing is sent.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "core/commands.h"
#include "core/preset_file.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QtTest>

using namespace qeltx;

namespace {

constexpr std::uint32_t kGlassPhaser = 11;
// Rate, Depth, Feedback (pots), Direction (switch), Stages (multi-switch of 5 options).
const std::vector<std::int32_t> kPhaserValues = {300, 1023, 0, 1024, 2 * (1024 / 5)};
const QString kOffer = QStringLiteral("This preset is for Glass Phaser; the pedal holds Amber Drive.\r\n"
                                      "Upload Glass Phaser to the pedal and then apply the preset?");

struct Session {
    testing::TestEditor editor;
    app::TformMain& main;
    pedal_sim::PedalModel& pedal;
    QString preset;
    Session() : main(*editor->formMain()), pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
        main.btnRequest->click();
        core::PresetFile file;
        file.effectNumber = kGlassPhaser;
        file.effectVersion = 1;
        file.values = kPhaserValues;
        file.assignments = {0, 255, 255, 255, 255};
        file.readbackAssignments = {255};
        preset = editor.platform->documents.filePath("phaser.txt");
        QFile out(preset);
        if (out.open(QIODevice::WriteOnly)) out.write(QByteArray::fromStdString(core::formatPresetFile(file)));
    }
};

}  // namespace

class PresetByNameTest : public QObject {
    Q_OBJECT
private slots:
    void declinedSendsNothing();
    void acceptedUploadsTheAlgorithmAndAppliesThePreset();
};

void PresetByNameTest::declinedSendsNothing() {
    Session s;
    const std::size_t before = s.pedal.received().size();
    const std::vector<std::int32_t> shown = s.editor->formFXParameters()->paramValues;
    s.editor.dialogs->fileNames.push_back(s.preset);
    s.editor.dialogs->answers = {false};
    s.main.menuLoadConfiguration->trigger();
    QCOMPARE(s.editor.dialogs->confirmations.last(), kOffer);
    QCOMPARE(s.pedal.received().size(), before);
    QCOMPARE(int(s.pedal.algorithmNumber()), 1);
    QCOMPARE(s.editor->formFXParameters()->paramValues, shown);
    QVERIFY(s.editor.dialogs->messages.filter("File loaded successfully").isEmpty());
}

void PresetByNameTest::acceptedUploadsTheAlgorithmAndAppliesThePreset() {
    Session s;
    s.editor.dialogs->fileNames.push_back(s.preset);
    s.editor.dialogs->answers = {true};
    s.main.menuLoadConfiguration->trigger();
    QCOMPARE(s.editor.dialogs->confirmations.last(), kOffer);
    QCOMPARE(s.pedal.uploadsTaken(), 1u);
    QCOMPARE(int(s.pedal.algorithmNumber()), int(kGlassPhaser));
    // The pedal holds every value of the preset, switch included.
    for (std::size_t i = 0; i < kPhaserValues.size(); ++i) {
        QCOMPARE(s.pedal.controlValue(i), std::optional<std::uint32_t>(core::valueWord(std::uint32_t(kPhaserValues[i]))));
    }
    // The editor shows the new algorithm with the values read back from the pedal.
    QCOMPARE(s.editor->state.currentEffectName, QStringLiteral("Glass Phaser"));
    QCOMPARE(s.editor->formFXParameters()->paramValues, kPhaserValues);
    QCOMPARE(s.editor.dialogs->messages.last(), "File loaded successfully: " + s.preset);
}

QTEST_MAIN(PresetByNameTest)
#include "test_preset_by_name.moc"
