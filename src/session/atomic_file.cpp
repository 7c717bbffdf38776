// Writing a file so that a failure never harms the one it replaces.
#include "session/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace qeltx::session {

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& text) {
    // QSaveFile commits a file that a full disk cut short (the buffered write's failure goes
    // unseen), so the size on disk is checked before the new file takes the old one's name.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open()) return file.errorString();
    file.write(text);
    file.flush();
    const qint64 onDisk = QFileInfo(file.fileName()).size();
    if (onDisk != text.size()) {
        return QStringLiteral("only %1 of %2 bytes reached the disk (is it full?)").arg(onDisk).arg(text.size());
    }
#ifndef Q_OS_WIN
    // On the disk before the rename, so a power cut leaves the old file or the whole new one.
    if (::fsync(file.handle()) != 0) return QString::fromLocal8Bit(std::strerror(errno));
#endif
    const QFile::Permissions keep = QFileInfo::exists(path) ? QFile::permissions(path)
                                                             : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                                   QFile::ReadOther;
    file.setPermissions(keep);
    std::error_code error;
    std::filesystem::rename(file.fileName().toStdString(), path.toStdString(), error);
    if (error) return QString::fromStdString(error.message());
    file.setAutoRemove(false);
    return std::nullopt;
}

}  // namespace qeltx::session
