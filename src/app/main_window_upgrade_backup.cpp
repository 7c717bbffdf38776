// Keeping the player's settings across a firmware upgrade: a backup offered before Erase
// Settings and before the pedal restarts into its bootloader, and the restore of it offered at
// the next Link once the settings were erased or the firmware replaced (remembered in the
// preferences folder, so a restart of the editor in between loses nothing).
#include "app/editor.h"
#include "app/main_window.h"
#include "app/preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qeltx::app {

namespace {

const QString kErasedEvent = QStringLiteral("erased");
const QString kUpgradedEvent = QStringLiteral("upgraded");
const QString kDatedBackups = QStringLiteral("Pedal settings *.json");

}  // namespace

QString TformMain::restoreOfferPath() const { return QDir(productFolder()).filePath(kRestoreOfferFile); }

bool TformMain::offerBackupBefore(const QString& step) {
    // A pedal the editor cannot read has nothing to back up.
    if (!editor_.state.linked) return true;
    const QString path = datedBackupPath();
    QString question = QStringLiteral("Back up the pedal's settings before %1?\r\n"
                                      "They are saved as \"%2\" in the preset folder, and the editor offers to "
                                      "put them back at the next Link.")
                           .arg(step, QFileInfo(path).fileName());
    // The settings were erased since an earlier backup and the editor cannot tell whether the
    // pedal was set up again on its own controls: the player decides, and loses nothing.
    if (QFile::exists(restoreOfferPath())) {
        QString earlier = readPreferenceText(restoreOfferPath()).value_or(QString()).section(QLatin1Char('\n'), 1);
        if (earlier.isEmpty() || !QFile::exists(earlier)) earlier = latestDatedBackup();
        question += earlier.isEmpty()
                        ? QStringLiteral("\r\nThe pedal's settings were erased since they were last set up from the editor.")
                        : QStringLiteral("\r\nThe pedal's settings were erased since the backup \"%1\"; that backup is "
                                         "kept too (File, Restore Pedal Settings… can put it back).")
                              .arg(QFileInfo(earlier).fileName());
    }
    if (!editor_.dialogs().confirm(question)) return true;
    const auto problem = backUpPedalTo(path);
    if (!problem) {
        backupBeforeUpgrade = path;
        return true;
    }
    return editor_.dialogs().confirm(QStringLiteral("The pedal's settings could not be backed up: %1\r\n"
                                                    "Go on with %2 without a backup?")
                                         .arg(*problem, step));
}

void TformMain::rememberSettingsLost(bool upgraded) {
    // What an earlier step kept stays the one to offer, unless a newer backup was made since.
    QString backup = backupBeforeUpgrade;
    if (backup.isEmpty()) {
        if (const auto earlier = readPreferenceText(restoreOfferPath())) backup = earlier->section(QLatin1Char('\n'), 1);
    }
    backupBeforeUpgrade.clear();
    const QString text = (upgraded ? kUpgradedEvent : kErasedEvent) + QLatin1Char('\n') + backup;
    if (!writePreferenceText(restoreOfferPath(), text)) {
        editor_.printToConsole(QStringLiteral("Could not write ") + restoreOfferPath() +
                               QStringLiteral(": the restore will not be offered at the next Link"));
    }
}

void TformMain::forgetSettingsLost() {
    if (!QFile::exists(restoreOfferPath())) return;
    if (QFile::remove(restoreOfferPath())) {
        editor_.printToConsole(QStringLiteral("the pedal is set up again: no restore will be offered at the next Link"));
    } else {
        editor_.printToConsole(QStringLiteral("Could not remove ") + restoreOfferPath());
    }
}

QString TformMain::latestDatedBackup() {
    // The date in the name sorts the newest last.
    const QDir folder(presetFolder());
    const QStringList names = folder.entryList({kDatedBackups}, QDir::Files, QDir::Name);
    return names.isEmpty() ? QString() : folder.filePath(names.last());
}

void TformMain::offerRestoreAfterUpgrade() {
    if (!editor_.state.linked || editor_.state.firmwareUpgradeMode) return;
    const QString offer = restoreOfferPath();
    if (!QFile::exists(offer)) return;
    const QString text = readPreferenceText(offer).value_or(QString());
    // Offered once, whatever the answer.
    if (!QFile::remove(offer)) {
        editor_.printToConsole(QStringLiteral("Could not remove ") + offer);
    }
    QString backup = text.section(QLatin1Char('\n'), 1);
    if (backup.isEmpty() || !QFile::exists(backup)) backup = latestDatedBackup();
    if (backup.isEmpty()) {
        editor_.printToConsole(QStringLiteral("no settings backup in the preset folder to put back"));
        return;
    }
    const QString what = text.section(QLatin1Char('\n'), 0, 0) == kUpgradedEvent
                             ? QStringLiteral("The pedal's firmware was upgraded.")
                             : QStringLiteral("The pedal's settings were erased.");
    const QString question = what + QStringLiteral(" Put back the settings backed up in \"%1\"?\r\n"
                                                   "(File, Restore Pedal Settings… can do it later.)")
                                        .arg(QFileInfo(backup).fileName());
    if (!editor_.dialogs().confirm(question)) return;
    restorePedalFrom(backup);
}

}  // namespace qeltx::app
