// The data folders, the three preference files read at start-up, and the Look menu.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/preferences.h"
#include "pedal_sim/pedal_model.h"
#include "resources/resource_store.h"
#include "support/test_seams.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QMenuBar>
#include <QtTest>

using namespace qeltx;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString product(const QString& docs, const QString& file) { return docs + "/KORVA/Qelt X/" + file; }

}  // namespace

class PreferencesTest : public QObject {
    Q_OBJECT
private slots:
    void firstRunCreatesFoldersAndDefaults();
    void modeFile_data();
    void modeFile();
    void noticeFileSaysNo();
    void savedStyle_data();
    void savedStyle();
    void lookClickAppliesAndStores();
    void unreadableFilesFallBackToDefaults();
    void everyLookShowsTheLeftColumnsWordsWhole();
    void everyLookShowsTheStatusTextsWhole();
    void everyLookShowsEveryMenuOnTheBar();
};

void PreferencesTest::firstRunCreatesFoldersAndDefaults() {
    testing::TestEditor editor;
    const QString docs = editor.platform->documents.path();
    QVERIFY(QDir(docs + "/KORVA/Qelt X").exists());
    QCOMPARE(readFile(product(docs, "Mode.txt")), QByteArray("PRESET"));
    QCOMPARE(readFile(product(docs, "ShowMessageVersionAtStartup.txt")), QByteArray("YES"));
    QVERIFY(!QFile::exists(docs + "/KORVA/style.txt"));
    app::TformMain& m = *editor->formMain();
    QCOMPARE(editor->state.pedalMode, app::kPresetMode);
    QVERIFY(m.menuModePreset->isChecked() && !m.menuModeBank->isChecked());
    QVERIFY(!m.lblBankNum->isEnabled());
    QCOMPARE(m.menuLook->actions().size(), 7);
    // Each entry shows its number, which picks it from the keyboard, and its look's name.
    QCOMPARE(m.lookMenuItems[0]->text(), QStringLiteral("&0  Default"));
    QCOMPARE(m.lookMenuItems[6]->text(), QStringLiteral("&6  Stage"));
    QVERIFY(m.lookMenuItems[7] == nullptr);
    QVERIFY(editor.dialogs->messages.isEmpty());
}

void PreferencesTest::modeFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("presetChecked");
    QTest::addColumn<bool>("bankChecked");
    QTest::addColumn<bool>("bankGroupEnabled");
    QTest::newRow("BANK") << QByteArray("BANK") << 1 << false << true << true;
    QTest::newRow("BANK with BOM") << QByteArray("\xEF\xBB\xBF" "BANK") << 1 << false << true << true;
    QTest::newRow("bank") << QByteArray("bank") << 0 << false << false << true;
    QTest::newRow("BANK CR LF") << QByteArray("BANK\r\n") << 0 << false << false << true;
    QTest::newRow("PRESET") << QByteArray("PRESET") << 0 << true << false << false;
}

void PreferencesTest::modeFile() {
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(bool, presetChecked);
    QFETCH(bool, bankChecked);
    QFETCH(bool, bankGroupEnabled);
    testing::TestEditor editor(nullptr, true, [&](const QString& docs) { writeFile(product(docs, "Mode.txt"), content); });
    app::TformMain& m = *editor->formMain();
    QCOMPARE(int(editor->state.pedalMode), mode);
    QCOMPARE(m.menuModePreset->isChecked(), presetChecked);
    QCOMPARE(m.menuModeBank->isChecked(), bankChecked);
    QCOMPARE(m.lblBankNum->isEnabled(), bankGroupEnabled);
    if (mode == 1) QVERIFY(m.rdbtnBank1->isChecked());
    QCOMPARE(readFile(product(editor.platform->documents.path(), "Mode.txt")), content);
}

void PreferencesTest::noticeFileSaysNo() {
    testing::TestEditor editor(nullptr, true, [](const QString& docs) {
        writeFile(product(docs, "ShowMessageVersionAtStartup.txt"), "NO");
    });
    QVERIFY(!editor->state.showUpdateMessage);
    QVERIFY(!editor->formMain()->menuShowUpdateMsg->isChecked());
}

void PreferencesTest::savedStyle_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("messages");
    QTest::newRow("7 is applied though the menu stops at 6") << QByteArray("7") << "Style_7" << 0;
    QTest::newRow("9 names no style") << QByteArray("9") << "" << 0;
    QTest::newRow("not a number") << QByteArray("dark") << "Style_0" << 1;
}

void PreferencesTest::savedStyle() {
    QFETCH(QByteArray, content);
    QFETCH(QString, style);
    QFETCH(int, messages);
    // (Qt cannot clear an application style sheet and set another safely, so the look before
    // the start is whatever the previous row left.)
    const QString before = qApp->styleSheet();
    testing::TestEditor editor(nullptr, true, [&](const QString& docs) { writeFile(docs + "/KORVA/style.txt", content); });
    QCOMPARE(editor.dialogs->messages.size(), messages);
    if (style.isEmpty()) {
        QCOMPARE(qApp->styleSheet(), before);
        return;
    }
    // Each look exists as a resource and is the one applied.
    const auto expected = resources::styleResource(style.toStdString());
    QVERIFY2(expected, qPrintable(style));
    QCOMPARE(qApp->styleSheet(), QString::fromStdString(*expected));
}

void PreferencesTest::lookClickAppliesAndStores() {
    const auto style4 = resources::styleResource("Style_4");
    QVERIFY(style4);
    testing::TestEditor editor;
    editor->formMain()->lookMenuItems[4]->trigger();
    const QString docs = editor.platform->documents.path();
    QCOMPARE(readFile(docs + "/KORVA/style.txt"), QByteArray("4"));
    QCOMPARE(qApp->styleSheet(), QString::fromStdString(*style4));
    // The check mark follows the look, on one entry only; every entry's hint names its look.
    auto checkedLooks = [&](app::TformMain& m) {
        QList<int> checked;
        for (int i = 0; i < 7; ++i) {
            if (m.lookMenuItems[static_cast<std::size_t>(i)]->isChecked()) checked << i;
        }
        return checked;
    };
    QCOMPARE(checkedLooks(*editor->formMain()), QList<int>{4});
    editor->formMain()->lookMenuItems[4]->trigger();  // clicking the current look keeps its mark
    QCOMPARE(checkedLooks(*editor->formMain()), QList<int>{4});
    editor->formMain()->lookMenuItems[1]->trigger();
    QCOMPARE(checkedLooks(*editor->formMain()), QList<int>{1});
    const QStringList names{"Default", "Graphite", "High contrast", "Amp", "Studio blue", "Classic", "Stage"};
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(editor->formMain()->lookMenuItems[static_cast<std::size_t>(i)]->toolTip(), names[i]);
    }
    QVERIFY(editor->formMain()->menuLook->toolTipsVisible());
    // The next start applies the saved look again.
    testing::TestEditor next(nullptr, true, [&](const QString& d) { writeFile(d + "/KORVA/style.txt", "4"); });
    QCOMPARE(qApp->styleSheet(), QString::fromStdString(*style4));
    QCOMPARE(checkedLooks(*next->formMain()), QList<int>{4});
    // Look 7 exists but has no entry: nothing is marked.
    testing::TestEditor seventh(nullptr, true, [&](const QString& d) { writeFile(d + "/KORVA/style.txt", "7"); });
    QCOMPARE(checkedLooks(*seventh->formMain()), QList<int>{});
}

void PreferencesTest::unreadableFilesFallBackToDefaults() {
    // A folder where the file should be cannot be read or written, even by root.
    testing::TestEditor editor(nullptr, true, [](const QString& docs) {
        QDir().mkpath(product(docs, "Mode.txt"));
        QDir().mkpath(docs + "/KORVA/style.txt");
    });
    QCOMPARE(editor->state.pedalMode, app::kPresetMode);
    QVERIFY(editor->formMain()->menuModePreset->isChecked());
    QVERIFY(editor->formMain()->isVisible());
    QVERIFY(!editor.dialogs->messages.isEmpty());
}

void PreferencesTest::everyLookShowsTheLeftColumnsWordsWhole() {
    // Linked to the virtual pedal, whose name is the longest the device label shows: in a
    // look with a wide face it was cut to "linkec".
    testing::TestEditor editor;
    app::TformMain& m = *editor->formMain();
    m.menuConnect->trigger();
    QVERIFY(editor->state.linked);
    const QList<QWidget*> fixedWidth{m.lblDeviceName,  m.lblFirmwareVersion,      m.btnOpenEffect, m.btnRequest,
                                     m.btnAssign,      m.btnStoreSettingsOnPedal, m.btnUpload};
    for (int look = 0; look < 7; ++look) {
        m.lookMenuItems[static_cast<std::size_t>(look)]->trigger();
        for (QWidget* w : fixedWidth) {
            w->ensurePolished();
            QVERIFY2(w->sizeHint().width() <= w->width(),
                     qPrintable(QStringLiteral("look %1: %2 needs %3 px, has %4")
                                    .arg(look)
                                    .arg(w->objectName())
                                    .arg(w->sizeHint().width())
                                    .arg(w->width())));
        }
    }
}

void PreferencesTest::everyLookShowsTheStatusTextsWhole() {
    // The texts the status lines take in a player's round, as the editor writes them: Assign and
    // Store Settings in the main window, an upload that carries its own impulse response; the
    // parameter window's hint, preview note and read-back note.
    testing::TestEditor editor;
    app::TformMain& m = *editor->formMain();
    app::TformFXParameters& panel = *editor->formFXParameters();
    m.menuConnect->trigger();
    QList<std::pair<QLabel*, QString>> shown;
    auto keep = [&](QLabel* label) { shown << std::pair<QLabel*, QString>{label, label->text()}; };
    keep(panel.findChild<QLabel*>(QStringLiteral("lblPanelStatus")));  // "Values read from the pedal."
    m.btnAssign->click();
    keep(m.lblStatus);
    m.btnStoreSettingsOnPedal->click();
    keep(m.lblStatus);
    m.btnOpenEffect->click();
    keep(panel.findChild<QLabel*>(QStringLiteral("lblPanelStatus")));
    editor->guard([&] { m.lstCategoryClick(5); });
    QListWidgetItem* room = m.lstEffects->findItems(QStringLiteral("Room IR Blend"), Qt::MatchExactly).first();
    m.lstEffects->setCurrentItem(room);
    editor->guard([&] { m.effectListItemClicked(room); });
    keep(panel.findChild<QLabel*>(QStringLiteral("lblPanelStatus")));
    m.btnUpload->click();
    keep(m.lblStatus);
    // Linked to a pedal in its bootloader, Upgrade Mode declined.
    m.menuDisconnect->trigger();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    pedal.setButton(pedal_sim::control::kB2, true);
    pedal.powerCycle();
    m.menuConnect->trigger();
    keep(m.lblStatus);
    for (const auto& [label, text] : shown) QVERIFY2(!text.isEmpty(), qPrintable(label->objectName()));

    for (int look = 0; look < 7; ++look) {
        m.lookMenuItems[static_cast<std::size_t>(look)]->trigger();
        for (const auto& [label, text] : shown) {
            label->setText(text);
            label->ensurePolished();
            const QRect inside = label->contentsRect();
            const int needed = label->heightForWidth(label->width()) - (label->height() - inside.height());
            QVERIFY2(needed <= inside.height(), qPrintable(QStringLiteral("look %1: %2 needs %3 px for \"%4\", has %5")
                                                               .arg(look)
                                                               .arg(label->objectName())
                                                               .arg(needed)
                                                               .arg(text)
                                                               .arg(inside.height())));
        }
    }
}

void PreferencesTest::everyLookShowsEveryMenuOnTheBar() {
    // With the Edit menu the bar grew past the window's width, and Firmware Upgrade and Info were
    // left behind the bar's "more" button, where nobody looks for them.
    testing::TestEditor editor;
    app::TformMain& m = *editor->formMain();
    m.show();
    QMenuBar* bar = m.menuBar();
    for (int look = 0; look < 7; ++look) {
        m.lookMenuItems[static_cast<std::size_t>(look)]->trigger();
        QCoreApplication::processEvents();
        int needed = 0;
        for (QAction* menu : bar->actions()) needed = std::max(needed, bar->actionGeometry(menu).right() + 1);
        for (QAction* menu : bar->actions()) {
            const QRect where = bar->actionGeometry(menu);
            QVERIFY2(!where.isEmpty() && where.right() < m.width(),
                     qPrintable(QStringLiteral("look %1: \"%2\" is not on the bar (the menus need %3 px, the bar has %4)")
                                    .arg(look)
                                    .arg(menu->text())
                                    .arg(needed)
                                    .arg(m.width())));
        }
    }
}

QTEST_MAIN(PreferencesTest)
#include "test_preferences.moc"
