// Reading and writing the one-word preference files.
#include "app/preferences.h"
#include "session/save_file.h"

#include <QFile>
#include <QStringDecoder>

namespace qeltx::app {

std::optional<QString> readPreferenceText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    if (auto encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*encoding);
        QString text = decoder.decode(bytes);
        if (!decoder.hasError()) {
            if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
            return text;
        }
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
}

bool writePreferenceText(const QString& path, const QString& text) {
    return !session::saveFile(path, text.toUtf8());
}

}  // namespace qeltx::app
