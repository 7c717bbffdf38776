// Settings backups from the main window: File ▸ Back Up Pedal Settings… and Restore Pedal
// Settings….
#include "app/busy_window.h"
#include "app/edit_history.h"
#include "app/editor.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "core/impulse_response.h"
#include "resources/resource_store.h"
#include "session/save_file.h"
#include "session/settings_backup_file.h"
#include "session/settings_conversation.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>

namespace qeltx::app {

namespace {

// After a restore that kept the algorithm: the values it changed (from `before`) are one step
// to undo.
void recordRestoredValues(Editor& editor, const QString& fileName, const QString& effect,
                          const std::vector<std::int32_t>& before) {
    const session::PedalState& pedal = editor.pedal();
    const TformFXParameters& panel = *editor.formFXParameters();
    if (before.empty() || !pedal.hasValuesFor(effect) || pedal.values().size() != before.size() || !panel.isBuilt()) return;
    std::vector<ValueChange> changes;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const std::int32_t after = pedal.values()[i];
        if (after == before[i]) continue;
        const auto undoCommand = panel.commandForValue(static_cast<int>(i), before[i]);
        const auto redoCommand = panel.commandForValue(static_cast<int>(i), after);
        if (undoCommand && redoCommand) changes.push_back({i, before[i], after, *undoCommand, *redoCommand});
    }
    editor.history().recordValues(QStringLiteral("Restore ") + fileName, std::move(changes));
}

const QString kFilter = QStringLiteral("Settings backups (*.json)");
const QString kExtension = QStringLiteral(".json");
// Backups the editor makes by itself are named so that the newest sorts last.
const QString kDatedPrefix = QStringLiteral("Pedal settings ");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH-mm-ss");
const QString kBackingUp = QStringLiteral("backing up the pedal's settings");
const QString kRestoring = QStringLiteral("restoring the pedal's settings");

core::ResourceLookup catalogue() {
    return [](std::string_view name) { return resources::catalogueResource(name); };
}

}  // namespace

QString TformMain::datedBackupPath() {
    const QString stem = QDir(presetFolder()).filePath(kDatedPrefix + QDateTime::currentDateTime().toString(kDateFormat));
    // Two backups within a second (before an erase, then before an upgrade) are both kept; the
    // later one's name sorts after the earlier's, as the newest is found by name.
    QString path = stem + kExtension;
    for (int n = 2; QFile::exists(path); ++n) path = stem + QStringLiteral("_%1").arg(n) + kExtension;
    return path;
}

void TformMain::menuBackUpSettingsClick() {
    const QString chosen = editor_.dialogs().saveFile(QStringLiteral("Back Up Pedal Settings"), datedBackupPath(), kFilter);
    if (chosen.isEmpty()) return;
    const QString path = chosen.endsWith(kExtension, Qt::CaseInsensitive) ? chosen : chosen + kExtension;
    QString note;
    if (const auto problem = backUpPedalTo(path, &note)) {
        editor_.dialogs().message(QStringLiteral("The pedal's settings could not be backed up: ") + *problem,
                                  session::MessageKind::Error);
        return;
    }
    editor_.dialogs().message(QStringLiteral("Pedal settings backed up: ") + path + note);
}

std::optional<QString> TformMain::backUpPedalTo(const QString& path, QString* note) {
    auto failed = [this](const QString& why) {
        editor_.printToConsole(QStringLiteral("The pedal's settings could not be backed up: ") + why);
        return std::optional<QString>(why);
    };
    if (!editor_.state.linked) return failed(QStringLiteral("link the pedal first."));
    std::optional<session::PedalBackupRead> read;
    {
        const auto talk = editor_.line().begin(session::ConversationKind::BackUpSettings);
        if (!talk) return failed(QStringLiteral("another conversation with the pedal is running."));
        BusyWindow busy(*this, kBackingUp, editor_.line());
        session::PedalLine line = editor_.pedalLine();
        auto result = session::readPedalSettings(line, catalogue());
        if (!result) return failed(QString::fromStdString(result.reason()));
        read = *result;
    }
    // The pedal cannot say which impulse response it runs: the backup holds the one the pedal
    // confirmed taking from this editor, never one only loaded to look at. Without it, the
    // backup says that none is included.
    const QString effectName = QString::fromStdString(read->backup.effectName);
    const session::ImpulseResponseImage& confirmed = editor_.pedal().confirmedIr();
    if (!confirmed.empty() && confirmed.effectName == effectName) {
        read->backup.irImage = confirmed.image.toStdString();
    } else if (core::irLoaderGeometry(read->backup.effectName)) {
        const QString none = QStringLiteral("The backup holds no impulse response: this editor did not upload the one "
                                            "the pedal runs. A restore uploads ") +
                             effectName + QStringLiteral(" with its own.");
        editor_.printToConsole(none);
        if (note) *note = QStringLiteral("\n") + none;
    }
    const QByteArray file = session::encodeBackup(read->backup, &read->layout,
                                                  session::BackupOrigin{editor_.state.appVersion, QDateTime::currentDateTime()});
    if (const auto problem = session::saveFile(path, file)) return failed(*problem);
    editor_.printToConsole(QStringLiteral("settings backed up: ") + path);
    return std::nullopt;
}

void TformMain::menuRestoreSettingsClick() {
    const QString path = editor_.dialogs().openFile(QStringLiteral("Restore Pedal Settings"), presetFolder(), kFilter);
    if (path.isEmpty()) return;
    restorePedalFrom(path);
}

bool TformMain::restorePedalFrom(const QString& path) {
    auto refuse = [this, &path](const QString& why) {
        const QString text = QStringLiteral("The backup was not restored: ") + path + QStringLiteral("\n") + why;
        editor_.printToConsole(text);
        editor_.dialogs().message(text, session::MessageKind::Error);
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return refuse(file.errorString());
    // The whole file is checked before anything is sent.
    const auto backup = session::decodeBackup(file.readAll());
    if (!backup) return refuse(QString::fromStdString(backup.reason()));
    if (const auto target = core::checkBackup(*backup, catalogue()); !target) {
        return refuse(QString::fromStdString(target.reason()));
    }
    if (!editor_.state.linked) return refuse(QStringLiteral("Link the pedal first."));
    if (!settleUnstoredChanges(QStringLiteral("restoring the backup"))) return false;

    // The values the restore replaces, so that it is one step to undo when the pedal keeps its
    // algorithm (an upload starts another sound, and another history).
    const QString effect = editor_.state.currentEffectName;
    const std::vector<std::int32_t> before =
        editor_.pedal().hasValuesFor(effect) ? editor_.pedal().values() : std::vector<std::int32_t>{};
    QString summary;
    std::optional<QString> failure;
    bool partial = false;
    bool ran = false;
    {
        const auto talk = editor_.line().begin(session::ConversationKind::RestoreSettings);
        if (!talk) return false;
        BusyWindow busy(*this, kRestoring, editor_.line());
        session::PedalLine line = editor_.pedalLine();
        const auto outcome = session::restorePedalSettings(line, *backup, catalogue(), &ran);
        if (outcome) {
            summary = QString::fromStdString(outcome->summary);
            partial = !outcome->differences.empty();
            if (outcome->uploaded) {
                editor_.pedal().uploadTaken({backup->effectNumber, std::nullopt, QString::fromStdString(backup->effectName)},
                                            QString::fromStdString(backup->irImage));
            }
        } else {
            failure = QString::fromStdString(outcome.reason());
        }
    }
    if (ran) {
        // Whatever came of it, the pedal may hold another algorithm and other values now: the
        // editor shows what it holds, so no live edit goes to the old algorithm's addresses.
        query_stored_effect();
        if (btnRequest->isEnabled()) btnRequestClick();
        recordRestoredValues(editor_, QFileInfo(path).fileName(), effect, before);
    }
    if (failure) return refuse(*failure);
    const QString told = QStringLiteral("Pedal settings restored from ") + QFileInfo(path).fileName() +
                         QStringLiteral(": ") + summary;
    if (partial) {
        // Not all of it took: the offer stays for the next Link, and the player is warned.
        editor_.printToConsole(told);
        editor_.dialogs().message(told, session::MessageKind::Warning);
        return false;
    }
    // Put back by hand, the settings need no offer at the next Link.
    QFile::remove(restoreOfferPath());
    editor_.dialogs().message(told);
    return true;
}

}  // namespace qeltx::app
