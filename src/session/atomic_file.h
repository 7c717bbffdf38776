// Writing a file the user keeps (a preset, a settings backup) beside the old one and renaming it
// over it, so that a full disk, a read-only folder or a power cut never leaves half a file.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace qeltx::session {

// Writes `text` to `path`; the reason when it could not (the old file is then as it was, and
// nothing is left beside it).
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& text);

}  // namespace qeltx::session
