#pragma once

#include <QString>

namespace tovrin {

// The period keys of the statistics: a date text such as "2018-5-12" (its
// separator "-", "/" or "\") selects a day, its month key a month.

// `dyue`: the month key of a date text: the text before its last date
// separator. A text without a separator is returned unchanged.
QString dyue(const QString& date);

// `dyuea`: the end marker of a day: the year followed by the separator, or
// the next year when the day key is the last day of December. Empty when
// `zhuanda` has no separator or the year is not four digits. Of several
// separators in `zhuanda`, "/" goes before "\" and "\" before "-".
QString dyuea(const QString& dayKey, const QString& zhuanda);

// `dyueb`: the end marker of a month: as dyuea, the next year for any date
// in December.
QString dyueb(const QString& date);

// The position of the date separator in a date text: the first "-", else the
// first "/", else the first "\"; -1 when it has none.
qsizetype separatorPosition(const QString& date);

// The character that must follow a period key: the character of `text` at
// the separator position of today's date text; empty when that has none.
QString keyTerminator(const QString& text, const QString& zhuanda);

// The period key of the goods report: upper-cased, leading blanks removed.
QString goodsKey(const QString& key);

}  // namespace tovrin
