// The preset folder as a list: every .txt file in it with its name, the algorithm it is for and
// when it was last changed. A file that is not a preset is listed as such; nothing here knows a
// widget.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qeltx::session {

struct PresetEntry {
    QString path;
    QString name;  // the file name without ".txt"
    // The catalogue's name of the preset's algorithm, or what the file is instead ("not a
    // preset file", "algorithm number 4095, which …").
    QString algorithm;
    std::optional<std::uint32_t> effectNumber;  // empty when the file is not a preset
    QDateTime modified;
};

// What the file at `path` is for: its name, path and date, and its algorithm as read from it.
PresetEntry describePresetFile(const QString& path, const std::vector<std::string>& effectListLines);

// The .txt files of `folder` (letter case of the extension ignored), newest first; each read
// once, at most core::kLargestPresetFile bytes of it. `effectListLines` is the catalogue's
// algorithm list.
std::vector<PresetEntry> listPresetFolder(const QString& folder, const std::vector<std::string>& effectListLines);

}  // namespace qeltx::session
