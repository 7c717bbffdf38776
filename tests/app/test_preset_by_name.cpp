// Load Configuration with a preset for another algorithm than the pedal's, on the virtual
// pedal: both algorithms are named, and the offered upload puts the preset's algorithm and then
// every value of the preset on the pedal; declined, nothing is sent.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/qt_seams.h"
#include "core/commands.h"
#include "core/preset_file.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QTimer>
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
    void theOpenDialogNamesEachFilesAlgorithm();
    void theRealDialogShowsTheNameUnderTheList();
};

void PresetByNameTest::declinedSendsNothing() {
    Session s;
    const std::size_t before = s.pedal.received().size();
    const std::vector<std::int32_t> shown = s.editor->pedal().values();
    s.editor.dialogs->fileNames.push_back(s.preset);
    s.editor.dialogs->answers = {false};
    s.main.menuLoadConfiguration->trigger();
    QCOMPARE(s.editor.dialogs->confirmations.last(), kOffer);
    QCOMPARE(s.pedal.received().size(), before);
    QCOMPARE(int(s.pedal.algorithmNumber()), 1);
    QCOMPARE(s.editor->pedal().values(), shown);
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
    QCOMPARE(s.editor->pedal().values(), kPhaserValues);
    QCOMPARE(s.editor.dialogs->messages.last(), "File loaded successfully: " + s.preset);
}

void PresetByNameTest::theOpenDialogNamesEachFilesAlgorithm() {
    Session s;
    const QString folder = s.editor.platform->documents.path();
    auto write = [&](const QString& name, const QByteArray& content) {
        QFile f(folder + "/" + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    };
    core::PresetFile drive;
    drive.effectNumber = 1;
    drive.effectVersion = 1;
    drive.values = {1, 2, 3};
    write("drive.txt", QByteArray::fromStdString(core::formatPresetFile(drive)));
    write("notes.txt", "strings: 10-46\n");
    write("big.txt", QByteArray(100 * 1024, '0'));
    s.main.menuLoadConfiguration->trigger();  // cancelled
    const auto& describe = s.editor.dialogs->describe;
    QVERIFY(describe);
    const std::vector<std::pair<QString, QString>> rows = {
        {s.preset, "Algorithm: Glass Phaser"},
        {folder + "/drive.txt", "Algorithm: Amber Drive"},
        {folder + "/notes.txt", "Algorithm: not a preset file"},
        {folder + "/big.txt", "Algorithm: not a preset file"},
        {folder + "/missing.txt", "Algorithm: the file cannot be read"},
    };
    for (const auto& [path, expected] : rows) QCOMPARE(describe(path), expected);
}

void PresetByNameTest::theRealDialogShowsTheNameUnderTheList() {
    Session s;
    app::QtDialogs dialogs;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        Q_EMIT dialog->currentChanged(s.preset);
        if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("lblFileDescription"))) {
            shown = label->isVisible() ? label->text() : QStringLiteral("(hidden)");
        }
        dialog->selectFile(s.preset);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the chosen file
    });
    const QString chosen = dialogs.openFileDescribed(QStringLiteral("Open Preset File"),
                                                     s.editor.platform->documents.path(),
                                                     QStringLiteral("Preset files (*.txt)"), s.main.presetDescription());
    QCOMPARE(shown, QStringLiteral("Algorithm: Glass Phaser"));
    QCOMPARE(chosen, s.preset);
}

QTEST_MAIN(PresetByNameTest)
#include "test_preset_by_name.moc"
