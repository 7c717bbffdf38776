// Lookup of the embedded resources through the Qt resource system.
#include "resources/resource_store.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace qeltx::resources {

namespace {

std::optional<std::string> readFolderEntry(const char* folder, std::string_view name) {
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    const QDir dir(QStringLiteral(":/") + QLatin1String(folder));
    for (const QString& entry : dir.entryList(QDir::Files)) {
        if (entry.compare(wanted, Qt::CaseInsensitive) != 0) continue;
        QFile file(dir.filePath(entry));
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        const QByteArray bytes = file.readAll();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return std::nullopt;
}

std::vector<std::string> folderEntries(const char* folder) {
    std::vector<std::string> names;
    const QDir dir(QStringLiteral(":/") + QLatin1String(folder));
    for (const QString& entry : dir.entryList(QDir::Files, QDir::Name)) names.push_back(entry.toStdString());
    return names;
}

}  // namespace

std::optional<std::string> catalogueResource(std::string_view name) { return readFolderEntry("catalogue", name); }
std::vector<std::string> catalogueResourceNames() { return folderEntries("catalogue"); }
std::optional<std::string> firmwareResource(std::string_view name) { return readFolderEntry("firmware", name); }
std::optional<std::string> styleResource(std::string_view name) { return readFolderEntry("styles", name); }
std::vector<std::string> firmwareResourceNames() { return folderEntries("firmware"); }

}  // namespace qeltx::resources
