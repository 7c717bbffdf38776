// Writing a file the player keeps (a preset, a preference, a settings backup, a report, a
// picture) through QSaveFile: the new content goes to a temporary file that takes the old one's
// place only when all of it is on the disk, so a full disk, a read-only folder or a power cut
// never leaves half a file, on every system Qt runs on. A file that is a link stays a link.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace qeltx::session {

// Writes `bytes` to `path`; the reason when it could not (the old file is then as it was, and
// nothing is left beside it).
std::optional<QString> saveFile(const QString& path, const QByteArray& bytes);

}  // namespace qeltx::session
