// The editor's preference files under the documents folder: the look, the mode, whether the
// new-version notice is wanted and whether impulse responses are resampled.
#pragma once

#include <QString>

#include <optional>

namespace qeltx::app {

inline const QString kMakerFolder = QStringLiteral("KORVA");
inline const QString kProductFolder = QStringLiteral("Qelt X");
inline const QString kStyleFile = QStringLiteral("style.txt");
inline const QString kModeFile = QStringLiteral("Mode.txt");
inline const QString kNoticeFile = QStringLiteral("ShowMessageVersionAtStartup.txt");
// "YES" or "NO": whether Load IR resamples a file that is not at the pedal's 48 kHz.
inline const QString kResampleIrFile = QStringLiteral("ResampleIR.txt");
// "YES" or "NO": whether the editor reads the pedal's values by itself after Link and uploads.
inline const QString kReadValuesFile = QStringLiteral("ReadValuesAutomatically.txt");
// Present after Erase Settings or a firmware upgrade until the restore was offered at a Link:
// what happened ("erased" or "upgraded") and, on the next line, the backup made before it.
inline const QString kRestoreOfferFile = QStringLiteral("RestoreAfterUpgrade.txt");

// A whole preference file as text: UTF-8 unless a byte-order mark names another Unicode
// form, Latin-1 when the bytes are not valid UTF-8. Nothing when it cannot be read.
std::optional<QString> readPreferenceText(const QString& path);
// Replaces the file's content with `text` (UTF-8, no byte-order mark, no line end), through a
// temporary file so a failed write leaves the old content. False when it cannot be written.
bool writePreferenceText(const QString& path, const QString& text);

}  // namespace qeltx::app
