// The preset library on the virtual pedal, in a temporary preset folder: what it lists and how
// it filters, following the folder as files come, renaming, deleting to a temporary trash,
// loading by Enter, double-click and a drop from the file manager.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/preset_library.h"
#include "core/commands.h"
#include "core/preset_file.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

using namespace qeltx;

namespace {

constexpr std::uint32_t kAmberDrive = 1;
constexpr std::uint32_t kGlassPhaser = 11;

struct Library {
    testing::TestEditor editor;
    app::TformMain& main;
    pedal_sim::PedalModel& pedal;
    app::TformPresetLibrary& library;
    QString folder;
    Library()
        : main(*editor->formMain()), pedal(*editor->virtualPedal()), library(*main.presetLibrary()),
          folder(main.presetFolder()) {
        main.menuConnect->trigger();
        main.btnRequest->click();
    }
    QString write(const QString& name, std::uint32_t number, std::vector<std::int32_t> values) {
        core::PresetFile preset;
        preset.effectNumber = number;
        preset.effectVersion = 1;
        preset.values = std::move(values);
        return writeBytes(name + ".txt", QByteArray::fromStdString(core::formatPresetFile(preset)));
    }
    QString writeBytes(const QString& name, const QByteArray& bytes) {
        const QString path = QDir(folder).filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
        return path;
    }
    // The Amber Drive preset whose first pot is at `pot`.
    QString drive(const QString& name, std::int32_t pot) {
        std::vector<std::int32_t> values = editor->pedal().values();
        values[0] = pot;
        return write(name, kAmberDrive, values);
    }
    // The file name of a preset is its name with ".txt".
    QStringList rows(int column = 0) const {
        QStringList out;
        for (int i = 0; i < library.lstPresets->topLevelItemCount(); ++i) {
            out << library.lstPresets->topLevelItem(i)->text(column);
        }
        out.sort();
        return out;
    }
    QTreeWidgetItem* row(const QString& name) const {
        const auto found = library.lstPresets->findItems(name, Qt::MatchExactly, 0);
        return found.isEmpty() ? nullptr : found.first();
    }
    std::uint32_t pot0() const { return pedal.controlValue(0).value_or(0); }
};

}  // namespace

class PresetLibraryTest : public QObject {
    Q_OBJECT
private slots:
    void listsFiltersAndFollowsTheFolder();
    void loadsByEnterDoubleClickAndDrop();
    void renames();
    void deletesToTheTrash();
    void opensFromTheMenuAndShowsTheFolder();
};

void PresetLibraryTest::listsFiltersAndFollowsTheFolder() {
    Library l;
    l.drive("crunch", 100);
    l.write("phaser", kGlassPhaser, {1, 2, 3, 1024, 0});
    l.writeBytes("notes.txt", "strings: 10-46\n");
    l.writeBytes("big.txt", QByteArray(100 * 1024, '0'));
    l.writeBytes("readme.md", "not listed");
    l.library.show();
    // The panel's algorithm only, then every file, a file that is no preset saying so.
    QCOMPARE(l.rows(), QStringList{"crunch"});
    l.library.chkAllAlgorithms->setChecked(true);
    QCOMPARE(l.rows(), (QStringList{"big", "crunch", "notes", "phaser"}));
    QCOMPARE(l.row("phaser")->text(1), QStringLiteral("Glass Phaser"));
    QCOMPARE(l.row("notes")->text(1), QStringLiteral("not a preset file"));
    QCOMPARE(l.row("big")->text(1), QStringLiteral("not a preset file"));
    QVERIFY(!l.row("crunch")->text(2).isEmpty());
    // A preset saved from elsewhere appears, and one removed goes, without asking.
    l.drive("lead", 900);
    QTRY_VERIFY(l.rows().contains("lead"));
    QVERIFY(QFile::remove(QDir(l.folder).filePath("phaser.txt")));
    QTRY_VERIFY(!l.rows().contains("phaser"));
    l.library.chkAllAlgorithms->setChecked(false);
    QCOMPARE(l.rows(), (QStringList{"crunch", "lead"}));
}

void PresetLibraryTest::loadsByEnterDoubleClickAndDrop() {
    Library l;
    const QString crunch = l.drive("crunch", 111);
    l.drive("lead", 222);
    l.library.show();
    // Enter on the selected row.
    l.library.lstPresets->setCurrentItem(l.row("crunch"));
    l.library.lstPresets->setFocus();
    QTest::keyClick(l.library.lstPresets, Qt::Key_Return);
    QCOMPARE(l.pot0(), core::valueWord(111));
    QCOMPARE(l.editor.dialogs->messages.last(), "File loaded successfully: " + crunch);
    // The loaded values are not stored on the pedal: each load after this asks, and goes on.
    l.editor.dialogs->chosen = {"Discard", "Discard", "Discard"};
    // A double-click (the view's activation) on another row.
    QTreeWidgetItem* lead = l.row("lead");
    l.library.lstPresets->setCurrentItem(lead);
    Q_EMIT l.library.lstPresets->itemActivated(lead, 0);
    QCOMPARE(l.pot0(), core::valueWord(222));
    // Dropped from the file manager on the main window, then on the panel.
    for (QWidget* target : {static_cast<QWidget*>(&l.main), static_cast<QWidget*>(l.editor->formFXParameters())}) {
        const std::int32_t pot = target == &l.main ? 333 : 444;
        const QString path = l.drive("dropped", pot);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QTRY_COMPARE(l.pot0(), core::valueWord(std::uint32_t(pot)));
    }
    QCOMPARE(l.editor.dialogs->questions.size(), 3);
    // Anything else is not taken.
    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(QDir(l.folder).filePath("song.wav"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QApplication::sendEvent(&l.main, &enter);
    QVERIFY(!enter.isAccepted());
}

void PresetLibraryTest::renames() {
    Library l;
    const QString crunch = l.drive("crunch", 100);
    l.drive("lead", 200);
    l.library.show();
    // The name edited in place renames the file.
    l.row("crunch")->setText(0, QStringLiteral("crunch rhythm"));
    QVERIFY(!QFile::exists(crunch));
    QVERIFY(QFile::exists(QDir(l.folder).filePath("crunch rhythm.txt")));
    QCOMPARE(l.rows(), (QStringList{"crunch rhythm", "lead"}));
    // Names that would overwrite a preset or leave the folder are refused, and the row keeps its name.
    const std::vector<std::pair<QString, QString>> refused = {
        {"lead", "a preset called \"lead\" exists already."},
        {"../elsewhere", "\"../elsewhere\" is not a file name."},
        {"  ", "\"  \" is not a file name."},
    };
    for (const auto& [name, why] : refused) {
        l.row("crunch rhythm")->setText(0, name);
        QCOMPARE(l.editor.dialogs->messages.last(), "The preset was not renamed: " + why);
        QVERIFY(l.row("crunch rhythm"));
        QVERIFY(QFile::exists(QDir(l.folder).filePath("crunch rhythm.txt")));
    }
    QCOMPARE(QDir(l.folder).entryList(QDir::Files).size(), 2);
}

void PresetLibraryTest::deletesToTheTrash() {
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    Library l;
    const QString crunch = l.drive("crunch", 100);
    l.library.show();
    l.library.lstPresets->setCurrentItem(l.row("crunch"));
    // Declined: kept.
    l.editor.dialogs->answers = {false};
    l.library.btnDeletePreset->click();
    QVERIFY(QFile::exists(crunch));
    l.library.btnDeletePreset->click();
    QVERIFY(!QFile::exists(crunch));
    QCOMPARE(l.editor.dialogs->confirmations.last(), QStringLiteral("Move the preset \"crunch.txt\" to the trash?"));
    QVERIFY(l.rows().isEmpty());
    // In the trash, where the file manager can put it back.
    const QStringList trashed = QDir(dataHome.filePath("Trash/files")).entryList(QDir::Files);
    QCOMPARE(trashed, QStringList{"crunch.txt"});
    qunsetenv("XDG_DATA_HOME");
}

void PresetLibraryTest::opensFromTheMenuAndShowsTheFolder() {
    Library l;
    QCOMPARE(l.main.menuPresetLibrary->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    QVERIFY(l.main.menuPresetLibrary->text().contains(QLatin1Char('&')));
    l.main.move(300, 200);
    l.main.menuPresetLibrary->trigger();
    QVERIFY(l.library.isVisible());
    QCOMPARE(l.library.objectName(), QStringLiteral("formPresetLibrary"));
    // It opens over the main window, not at the screen's corner.
    QVERIFY2(l.main.frameGeometry().contains(l.library.geometry().center()),
             qPrintable(QStringLiteral("library at %1,%2").arg(l.library.x()).arg(l.library.y())));
    l.library.btnShowPresetFolder->click();
    QCOMPARE(l.editor.platform->openedUrls, QStringList{QUrl::fromLocalFile(l.folder).toString()});
    // The folder is the editor's own, under the documents folder the platform gives.
    QVERIFY(l.folder.startsWith(l.editor.platform->documents.path()));
    // Closing the editor closes the library.
    l.main.close();
    QVERIFY(!l.library.isVisible());
}

QTEST_MAIN(PresetLibraryTest)
#include "test_preset_library.moc"
