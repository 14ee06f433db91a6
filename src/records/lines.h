#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "records/limits.h"

namespace tovrin {

// A line of a data file ends at CR LF, at a lone CR or at a lone LF: as the
// till writes it, or as an editor or a script on another system left it.
inline bool isLineEnd(QChar c) { return c == u'\r' || c == u'\n'; }

// The text with every line end written as CR LF. A CR that ends the text
// stays alone: the text may have been cut out between it and its LF.
QString withCrLf(QString text);
QByteArray withCrLf(QByteArray bytes);

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
