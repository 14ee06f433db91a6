#pragma once

#include <QString>

namespace tovrin {

// Display width of a text as the reports count it: a character whose GBK
// code is 1 to 127 is one column, any other two (the code 0, the one-byte
// "€" and every character of two bytes); a character GBK cannot write is one
// column (it is written as "?").
int displayWidth(const QString& text);

// Pads a text to a display width: trims the blanks around it (the caller's
// text is trimmed too) and, when it is narrower than `tzna`, appends blanks up
// to one column past that width. A text of `tzna` columns or more is unchanged.
QString tiaozhen(QString& tzs, double tzna);

// The month key of a date text: the text before its last date separator
// ("-", "/" or "\"). A text without a separator is returned unchanged.
QString dyue(const QString& date);

// The end marker of a day: the year followed by the separator, or the next
// year when the day key is the last day of December. Empty when `zhuanda` has
// no separator or the year is not four digits.
QString dyuea(const QString& dayKey, const QString& zhuanda);

// The end marker of a month: as dyuea, the next year for any date in December.
QString dyueb(const QString& date);

}  // namespace tovrin
