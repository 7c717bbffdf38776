// The editor's one-word preference files (style, mode, notice) as read at start: any bytes a
// file may hold, in any text encoding, then the number and words the editor looks for.
#include "app/preferences.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::unique_ptr<QTemporaryDir> folder = std::make_unique<QTemporaryDir>();
    static const QString path = folder->filePath(QStringLiteral("style.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    if (file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size)) std::abort();
    file.close();

    const std::optional<QString> text = qeltx::app::readPreferenceText(path);
    if (!text) std::abort();
    bool isNumber = false;
    (void)text->toInt(&isNumber);
    (void)text->trimmed().compare(QStringLiteral("Preset"), Qt::CaseInsensitive);
    return 0;
}
