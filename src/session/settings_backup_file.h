// The settings backup file: versioned, human-readable JSON (docs/backup-format.md). It is
// written with saveFile (session/save_file.h), as preset files are.
#pragma once

#include "core/control_layout.h"
#include "core/refusable.h"
#include "core/settings_backup.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace qeltx::session {

inline constexpr int kBackupFormatVersion = 1;
// The "format" member every backup carries, so that another JSON file is told apart.
inline constexpr char kBackupFormatName[] = "Qelt X settings backup";

// Where and by which editor a backup was made; only informative, restore ignores it.
struct BackupOrigin {
    QString editorVersion;
    QDateTime created;
};

// The file's text. `layout` gives each control's name and kind, written beside its value so a
// person can read the file; it may be null (then they are left out).
QByteArray encodeBackup(const core::SettingsBackup& backup, const core::ControlLayout* layout, const BackupOrigin& origin);

// Reads a backup file's text. Refused, with one sentence for the user, when it is not JSON,
// not a settings backup, of another format version, or misses a member or holds one of the
// wrong type or an unknown label. Whether its algorithm and values suit the pedal is
// core::checkBackup's question.
core::Refusable<core::SettingsBackup> decodeBackup(const QByteArray& text);

}  // namespace qeltx::session
