// Listing the preset folder.
#include "session/preset_library.h"

#include "core/preset_algorithm.h"
#include "core/preset_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace qeltx::session {

PresetEntry describePresetFile(const QString& path, const std::vector<std::string>& effectListLines) {
    const QFileInfo info(path);
    PresetEntry entry{path, info.completeBaseName(), {}, std::nullopt, info.lastModified()};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        entry.algorithm = QStringLiteral("the file cannot be read");
    } else if (file.size() > core::kLargestPresetFile) {
        // Not read whole: a preset is a few hundred bytes.
        entry.algorithm = QStringLiteral("not a preset file");
    } else {
        const auto preset = core::parsePresetFile(file.readAll().toStdString());
        if (preset) entry.effectNumber = preset->effectNumber;
        entry.algorithm = QString::fromStdString(preset ? core::presetAlgorithmText(*preset, effectListLines)
                                                        : std::string("not a preset file"));
    }
    return entry;
}

std::vector<PresetEntry> listPresetFolder(const QString& folder, const std::vector<std::string>& effectListLines) {
    std::vector<PresetEntry> entries;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.txt")}, QDir::Files | QDir::Readable, QDir::Time);
    for (const QFileInfo& info : files) entries.push_back(describePresetFile(info.filePath(), effectListLines));
    return entries;
}

}  // namespace qeltx::session
