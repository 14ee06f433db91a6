#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tovrin {

// How far the line rule looks forward from an occurrence for its line's end,
// in characters.
inline constexpr qsizetype kLineWindow = 720;

// Upper case that maps every character to one character, so that positions
// in the upper-cased text are the positions in the original ("ß" stays "ß").
// A text handed over (moved) is upper-cased in place.
QString upperSameLength(QString text);

// True when upper-casing a text cannot change where this (upper-case) key
// occurs in it: the key holds no letter that a lower-case letter maps to.
bool caseBlind(const QString& key);

// The fields of a line: with a TAB put before and after it, every TAB and
// every "|" is a separator and field k is the text between the k-th separator
// and the next one. Index 0 of the result is unused (empty), so that index k
// holds field k. At most `maxFields` fields are kept.
QStringList splitFields(QStringView line, int maxFields = 99);

}  // namespace tovrin
