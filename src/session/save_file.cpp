// The editor's one way of writing a file.
#include "session/save_file.h"

#include <QSaveFile>

namespace qeltx::session {

std::optional<QString> saveFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered, so a write the disk cuts short is seen here: QSaveFile commits a buffered
    // file whose last flush failed (Qt 6.4), and with it half the content.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return file.errorString();
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        const QString problem = written < 0 ? file.errorString()
                                            : QStringLiteral("only %1 of %2 bytes reached the disk (is it full?)")
                                                  .arg(written)
                                                  .arg(bytes.size());
        file.cancelWriting();  // the temporary file goes with `file`
        return problem;
    }
    if (!file.commit()) return file.errorString();
    return std::nullopt;
}

}  // namespace qeltx::session
