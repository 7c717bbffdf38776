// Underlined letters for menu entries and answer buttons.
#include "app/mnemonics.h"

#include <optional>

namespace qeltx::app {

QString withMnemonic(QString caption, QChar letter) {
    const qsizetype at = caption.indexOf(letter);
    if (at >= 0) caption.insert(at, QLatin1Char('&'));
    return caption;
}

namespace {

// Where in `caption` the first free letter is; word starts first when `wordStarts`.
std::optional<qsizetype> freeLetter(const QString& caption, const QString& taken, bool wordStarts) {
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption.at(i);
        if (!c.isLetter() || taken.contains(c.toLower())) continue;
        if (wordStarts && i > 0 && caption.at(i - 1).isLetterOrNumber()) continue;
        return i;
    }
    return std::nullopt;
}

}  // namespace

QStringList withMnemonics(const QStringList& captions) {
    QString taken;
    QStringList underlined;
    for (const QString& caption : captions) {
        std::optional<qsizetype> at = freeLetter(caption, taken, true);
        if (!at) at = freeLetter(caption, taken, false);
        QString shown = caption;
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        if (at) {
            taken += caption.at(*at).toLower();
            // Every '&' before the letter became two.
            shown.insert(*at + caption.left(*at).count(QLatin1Char('&')), QLatin1Char('&'));
        }
        underlined << shown;
    }
    return underlined;
}

}  // namespace qeltx::app
