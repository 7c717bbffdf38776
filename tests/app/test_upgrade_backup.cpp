// The backup offered before Erase Settings and before Upgrade Mode restarts the pedal, and the
// restore offered at the next Link after a firmware upgrade, on the virtual pedal: the answers
// come from the scripted dialogs.
#include "app/firmware_upgrade.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using namespace qeltx;

namespace {

using Bytes = std::vector<std::uint8_t>;

const QString kBackupBeforeErase = QStringLiteral("Back up the pedal's settings before Erase Settings?");
const QString kBackupBeforeUpgrade = QStringLiteral("Back up the pedal's settings before the firmware upgrade?");
const QString kBackupFailed = QStringLiteral("The pedal's settings could not be backed up: ");
const QString kRestoreOffer = QStringLiteral("The pedal's firmware was upgraded. Put back the settings backed up in \"");
const QString kComplete = QStringLiteral("Firmware Upgrade Complete, device will now restart");
const Bytes kEraseFrames{0x0B, 0x50, 0, 0, 0, 0x0C, 0x50, 0, 0, 0, 0, 0x0B, 0x51, 0, 0, 0, 0x0C, 0x51, 0, 0, 0, 0};

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A backup's lines but the one that says when it was made.
QList<QByteArray> withoutDate(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    lines.removeIf([](const QByteArray& l) { return l.contains("\"created\""); });
    return lines;
}

bool endsWith(const Bytes& all, const Bytes& tail) {
    return all.size() >= tail.size() && std::equal(tail.begin(), tail.end(), all.end() - static_cast<std::ptrdiff_t>(tail.size()));
}

struct Linked {
    testing::TestEditor editor;
    app::TformMain& main;
    pedal_sim::PedalModel& pedal;
    Linked() : main(*editor->formMain()), pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
    }
    QString productFolder() const { return editor.platform->documents.path() + QStringLiteral("/KORVA/Qelt X"); }
    QString offerFile() const { return productFolder() + QStringLiteral("/RestoreAfterUpgrade.txt"); }
    QStringList datedBackups() const {
        return QDir(productFolder() + QStringLiteral("/Preset"))
            .entryList({QStringLiteral("Pedal settings *.json")}, QDir::Files, QDir::Name);
    }
    QStringList confirmationsStartingWith(const QString& text) const {
        QStringList found;
        for (const QString& c : editor.dialogs->confirmations) {
            if (c.startsWith(text)) found << c;
        }
        return found;
    }
    // Settings a player would have made: a pot, an assignment, a reverse flag, the MIDI
    // channel, all stored on the pedal.
    void makeOwnSettings() {
        app::TformFXParameters& panel = *editor->formFXParameters();
        main.btnRequest->click();
        panel.potTrackBar(0)->setValue(700);
        panel.assignBox(1)->setCurrentIndex(2);  // KIII
        editor.dialogs->answers.push_back(true);
        main.btnAssign->click();
        main.midiChannelItems[5]->trigger();
        editor.dialogs->answers.push_back(true);
        main.btnStoreSettingsOnPedal->click();
    }
    void unlinkAndLink() {
        main.menuDisconnect->trigger();
        main.menuConnect->trigger();
    }
};

}  // namespace

class UpgradeBackupTest : public QObject {
    Q_OBJECT
private slots:
    void backupOfferedBeforeEraseSettings_data();
    void backupOfferedBeforeEraseSettings();
    void backupOfferedBeforeUpgradeMode_data();
    void backupOfferedBeforeUpgradeMode();
    void restoreOfferedAtLinkAfterTheUpgradeGivesEveryFieldBack();
    void offerSurvivesARestartAndIsMadeOnce();
    void eraseThatNeverReachedThePedalIsNotRemembered();
    void settingUpThePedalAgainDropsTheOffer_data();
    void settingUpThePedalAgainDropsTheOffer();
    void upgradeModeAfterAnEraseBacksUpAndKeepsTheOlderBackup();
    void eraseSettingsIsRefusedInUpgradeMode();
};

void UpgradeBackupTest::backupOfferedBeforeEraseSettings_data() {
    QTest::addColumn<bool>("backUp");
    QTest::addColumn<bool>("silentPedal");
    QTest::addColumn<bool>("goOnWithout");  // the answer when the backup failed
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("erased");
    QTest::newRow("Yes writes the dated file and erases") << true << false << true << true << true;
    QTest::newRow("No erases without a backup") << false << false << true << false << true;
    QTest::newRow("failed backup asks; Yes erases") << true << true << true << false << true;
    QTest::newRow("failed backup asks; No sends nothing") << true << true << false << false << false;
}

void UpgradeBackupTest::backupOfferedBeforeEraseSettings() {
    QFETCH(bool, backUp);
    QFETCH(bool, silentPedal);
    QFETCH(bool, goOnWithout);
    QFETCH(bool, written);
    QFETCH(bool, erased);
    Linked s;
    s.pedal.faults().silent = silentPedal;
    s.editor.dialogs->answers = {true, backUp, goOnWithout};
    s.editor.dialogs->confirmations.clear();
    const std::size_t mark = s.pedal.received().size();

    s.main.menuEraseSettings->trigger();

    const QStringList& asked = s.editor.dialogs->confirmations;
    QCOMPARE(asked.size(), silentPedal ? 3 : 2);
    QVERIFY2(asked[1].startsWith(kBackupBeforeErase), qPrintable(asked[1]));
    if (silentPedal) {
        QVERIFY2(asked[2].startsWith(kBackupFailed) && asked[2].endsWith("Go on with Erase Settings without a backup?"),
                 qPrintable(asked[2]));
        QVERIFY2(asked[2].contains("did not answer"), qPrintable(asked[2]));
    }
    // The file the question named is the one written, in the preset folder.
    const QStringList files = s.datedBackups();
    QCOMPARE(files.size(), written ? 1 : 0);
    if (written) {
        QVERIFY2(asked[1].contains("\"" + files.first() + "\""), qPrintable(asked[1]));
        QVERIFY(readFile(s.productFolder() + "/Preset/" + files.first()).contains("\"name\": \"Amber Drive\""));
    }
    const Bytes sent(s.pedal.received().begin() + static_cast<std::ptrdiff_t>(mark), s.pedal.received().end());
    QCOMPARE(endsWith(sent, kEraseFrames), erased);
    if (!erased) QVERIFY(std::search(sent.begin(), sent.end(), kEraseFrames.begin(), kEraseFrames.begin() + 2) == sent.end());
    // An erase that ran is remembered for the restore offer at the next Link.
    QCOMPARE(QFile::exists(s.offerFile()), erased);
}

void UpgradeBackupTest::backupOfferedBeforeUpgradeMode_data() {
    QTest::addColumn<bool>("backUp");
    QTest::addColumn<bool>("silentPedal");
    QTest::addColumn<bool>("goOnWithout");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("restarted");
    QTest::newRow("Yes writes the dated file and restarts the pedal") << true << false << true << true << true;
    QTest::newRow("No restarts the pedal without a backup") << false << false << true << false << true;
    QTest::newRow("failed backup asks; No stays out of upgrade mode") << true << true << false << false << false;
}

void UpgradeBackupTest::backupOfferedBeforeUpgradeMode() {
    QFETCH(bool, backUp);
    QFETCH(bool, silentPedal);
    QFETCH(bool, goOnWithout);
    QFETCH(bool, written);
    QFETCH(bool, restarted);
    Linked s;
    s.pedal.faults().silent = silentPedal;
    s.pedal.setButton(pedal_sim::control::kB2, true);
    s.editor.dialogs->answers = {backUp};
    if (silentPedal) s.editor.dialogs->answers.push_back(goOnWithout);
    s.editor.dialogs->confirmations.clear();

    s.main.menuFirmwareUpgradeMode->trigger();

    // The backup is asked first: after the restart the pedal answers only its bootloader.
    QVERIFY(s.editor.dialogs->confirmations.first().startsWith(kBackupBeforeUpgrade));
    QCOMPARE(s.datedBackups().size(), written ? 1 : 0);
    QCOMPARE(s.pedal.mode() == pedal_sim::PedalMode::Bootloader, restarted);
    QCOMPARE(s.main.menuFirmwareUpgradeMode->isChecked(), restarted);
    QCOMPARE(s.editor->state.firmwareUpgradeMode, restarted);
    if (!restarted) {
        QVERIFY(s.main.btnRequest->isEnabled());
        QVERIFY(s.main.Timer_USB_read.isActive());
    }
    // Nothing is lost until the flash is written.
    QVERIFY(!QFile::exists(s.offerFile()));
}

void UpgradeBackupTest::restoreOfferedAtLinkAfterTheUpgradeGivesEveryFieldBack() {
    Linked s;
    s.makeOwnSettings();

    // Erase Settings with its backup, and the pedal starts empty.
    s.editor.dialogs->answers = {true, true};
    s.main.menuEraseSettings->trigger();
    QCOMPARE(s.datedBackups().size(), 1);
    const QString backup = s.productFolder() + "/Preset/" + s.datedBackups().first();
    const QByteArray before = readFile(backup);
    QVERIFY(!before.contains("\"midiChannel\": \"OMNI\""));
    s.pedal.powerCycle();
    QVERIFY(!s.pedal.hasAlgorithm());

    // Upgrade Mode still offers a backup and says the one made before the erase is kept; the
    // player declines (the pedal holds nothing of theirs now); flashing completes.
    s.editor.dialogs->confirmations.clear();
    s.editor.dialogs->answers = {false};
    s.pedal.setButton(pedal_sim::control::kB2, true);
    s.main.menuFirmwareUpgradeMode->trigger();
    s.pedal.setButton(pedal_sim::control::kB2, false);
    const QStringList asked = s.confirmationsStartingWith(kBackupBeforeUpgrade);
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked.first().contains("erased since the backup \"" + s.datedBackups().first() + "\"; that backup is kept too"),
             qPrintable(asked.first()));
    QCOMPARE(s.datedBackups().size(), 1);
    s.main.menuStartFirmwareUpgrade->trigger();
    s.editor.dialogs->confirmations.clear();
    s.editor.dialogs->messages.clear();
    s.editor->formFirmwareUpgrade()->btnUpgradeFirmware->click();
    QVERIFY(s.editor.dialogs->messages.contains(kComplete));

    // The editor links again by itself once the new firmware answers, and that Link offers the
    // backup made before the erase; Yes restores it.
    QVERIFY(s.main.menuDisconnect->isEnabled());
    const QStringList offers = s.confirmationsStartingWith(kRestoreOffer);
    QCOMPARE(offers.size(), 1);
    QVERIFY2(offers.first().contains("\"" + s.datedBackups().first() + "\""), qPrintable(offers.first()));
    QVERIFY2(!s.editor.dialogs->messages.filter("Pedal settings restored from " + s.datedBackups().first() +
                                                ": restored 14 of 14 settings")
                  .isEmpty(),
             qPrintable(s.editor.dialogs->messages.join('\n')));
    QCOMPARE(int(s.pedal.algorithmNumber()), 1);

    // Every field reads back as before the erase.
    const QString after = s.editor.platform->documents.filePath("after.json");
    s.editor.dialogs->fileNames.push_back(after);
    s.main.menuBackUpSettings->trigger();
    QCOMPARE(withoutDate(readFile(after)), withoutDate(before));

    // Made once.
    s.editor.dialogs->confirmations.clear();
    s.unlinkAndLink();
    QVERIFY(s.confirmationsStartingWith(kRestoreOffer).isEmpty());
}

void UpgradeBackupTest::offerSurvivesARestartAndIsMadeOnce() {
    // One run backs up and erases, then the editor is closed.
    QTemporaryDir kept;
    {
        Linked first;
        first.editor.dialogs->answers = {true, true};
        first.main.menuEraseSettings->trigger();
        QVERIFY(QFile::exists(first.offerFile()));
        QVERIFY(QDir().rename(first.editor.platform->documents.path() + "/KORVA", kept.path() + "/KORVA"));
    }
    // The next run finds what the first left in its documents folder, and offers it at Link.
    testing::TestEditor next(nullptr, true, [&](const QString& documents) {
        QVERIFY(QDir().rename(kept.path() + "/KORVA", documents + "/KORVA"));
    });
    app::TformMain& main = *next->formMain();
    next.dialogs->answers = {false};
    main.menuConnect->trigger();
    QCOMPARE(next.dialogs->confirmations.size(), 1);
    QVERIFY2(next.dialogs->confirmations.first().startsWith(
                 QStringLiteral("The pedal's settings were erased. Put back the settings backed up in \"Pedal settings ")),
             qPrintable(next.dialogs->confirmations.first()));
    // Declined: nothing restored, and not offered again.
    QCOMPARE(next->virtualPedal()->uploadsTaken(), 0u);
    QVERIFY(next.dialogs->messages.filter("restored").isEmpty());
    main.menuDisconnect->trigger();
    main.menuConnect->trigger();
    QCOMPARE(next.dialogs->confirmations.size(), 1);
}

void UpgradeBackupTest::eraseThatNeverReachedThePedalIsNotRemembered() {
    Linked s;
    s.pedal.faults().writeFails = true;
    s.editor.dialogs->answers = {true, false};  // erase, without a backup

    s.main.menuEraseSettings->trigger();

    QVERIFY(s.pedal.hasAlgorithm());
    QVERIFY(!QFile::exists(s.offerFile()));
    // So the next Link offers nothing, and the next Upgrade Mode asks for a backup as usual.
    s.pedal.faults().writeFails = false;
    s.editor.dialogs->confirmations.clear();
    s.unlinkAndLink();
    QVERIFY(s.confirmationsStartingWith(QStringLiteral("The pedal's settings were erased.")).isEmpty());
}

void UpgradeBackupTest::settingUpThePedalAgainDropsTheOffer_data() {
    QTest::addColumn<bool>("upload");
    QTest::newRow("Store Settings") << false;
    QTest::newRow("Upload") << true;
}

void UpgradeBackupTest::settingUpThePedalAgainDropsTheOffer() {
    QFETCH(bool, upload);
    Linked s;
    s.editor.dialogs->answers = {true, true};  // erase, with a backup
    s.main.menuEraseSettings->trigger();
    QVERIFY(QFile::exists(s.offerFile()));

    // Set up again without linking anew.
    s.editor.dialogs->answers = {true};
    if (upload) {
        s.main.btnUpload->click();
    } else {
        // The erase cleared what the editor showed: the player asks the pedal again first.
        s.main.menuGetFXStored->trigger();
        s.main.btnRequest->click();
        QVERIFY(s.main.btnStoreSettingsOnPedal->isEnabled());
        s.main.btnStoreSettingsOnPedal->click();
    }
    QVERIFY(!QFile::exists(s.offerFile()));

    // Upgrade Mode asks for a backup of the new set-up, as for any pedal; after flashing, the
    // next Link offers that one, never the backup of the settings erased before.
    s.editor.dialogs->confirmations.clear();
    s.editor.dialogs->answers = {true};
    s.pedal.setButton(pedal_sim::control::kB2, true);
    s.main.menuFirmwareUpgradeMode->trigger();
    s.pedal.setButton(pedal_sim::control::kB2, false);
    const QStringList asked = s.confirmationsStartingWith(kBackupBeforeUpgrade);
    QCOMPARE(asked.size(), 1);
    QVERIFY2(!asked.first().contains("erased"), qPrintable(asked.first()));
    QCOMPARE(s.datedBackups().size(), 2);
    s.main.menuStartFirmwareUpgrade->trigger();
    s.editor.dialogs->confirmations.clear();
    s.editor.dialogs->answers = {false};
    s.editor->formFirmwareUpgrade()->btnUpgradeFirmware->click();
    QVERIFY(s.editor.dialogs->messages.contains(kComplete));
    const QStringList offers = s.confirmationsStartingWith(kRestoreOffer);
    QCOMPARE(offers.size(), 1);
    QVERIFY2(offers.first().contains("\"" + s.datedBackups().last() + "\""), qPrintable(offers.first()));
}

void UpgradeBackupTest::upgradeModeAfterAnEraseBacksUpAndKeepsTheOlderBackup() {
    Linked s;
    s.editor.dialogs->answers = {true, true};
    s.main.menuEraseSettings->trigger();
    QCOMPARE(s.datedBackups().size(), 1);
    const QString older = s.datedBackups().first();

    s.editor.dialogs->confirmations.clear();
    s.editor.dialogs->answers = {true};
    s.pedal.setButton(pedal_sim::control::kB2, true);
    s.main.menuFirmwareUpgradeMode->trigger();
    s.pedal.setButton(pedal_sim::control::kB2, false);

    const QStringList asked = s.confirmationsStartingWith(kBackupBeforeUpgrade);
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked.first().contains("\"" + older + "\"; that backup is kept too"), qPrintable(asked.first()));
    // Both are in the preset folder, the older one untouched.
    QCOMPARE(s.datedBackups().size(), 2);
    QVERIFY(s.datedBackups().contains(older));
    QVERIFY(s.pedal.mode() == pedal_sim::PedalMode::Bootloader);
}

void UpgradeBackupTest::eraseSettingsIsRefusedInUpgradeMode() {
    Linked s;
    s.editor.dialogs->answers = {false};  // no backup before the upgrade
    s.pedal.setButton(pedal_sim::control::kB2, true);
    s.main.menuFirmwareUpgradeMode->trigger();
    s.pedal.setButton(pedal_sim::control::kB2, false);
    QVERIFY(s.editor->state.firmwareUpgradeMode);
    s.editor.dialogs->confirmations.clear();
    s.editor.dialogs->messages.clear();
    const std::size_t mark = s.pedal.received().size();

    s.main.menuEraseSettings->trigger();

    QVERIFY(s.editor.dialogs->confirmations.isEmpty());
    QCOMPARE(s.editor.dialogs->messages.size(), 1);
    QVERIFY2(s.editor.dialogs->messages.front().startsWith("Erase Settings is not available in Upgrade Mode"),
             qPrintable(s.editor.dialogs->messages.front()));
    QCOMPARE(s.pedal.received().size(), mark);
    QVERIFY(!QFile::exists(s.offerFile()));
}

QTEST_MAIN(UpgradeBackupTest)
#include "test_upgrade_backup.moc"
