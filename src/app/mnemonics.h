// Underlined letters for menu entries and answer buttons, so a player reaches each by one key.
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace qeltx::app {

// `caption` with `letter` underlined at its first occurrence (letter case as written); unchanged
// when the letter is not in it.
QString withMnemonic(QString caption, QChar letter);

// The captions of a row of buttons, each with a letter of its own underlined: a word's first
// letter where one is free, else any free letter, else none. A '&' already in a caption is
// shown as written.
QStringList withMnemonics(const QStringList& captions);

}  // namespace qeltx::app
