#pragma once

#include <QString>

namespace tovrin {

// The column alignment of the reports and the goods names of the item lines.

// Display width of a text as the reports count it: a character whose GBK
// code is 1 to 127 is one column, any other two (the code 0, the one-byte
// "€" and every character of two bytes); a character GBK cannot write is one
// column (it is written as "?").
int displayWidth(const QString& text);

// `tiaozhen`: pads a text to a display width: trims the blanks around it (the
// caller's text is trimmed too) and, when it is narrower than `tzna`, appends
// blanks up to one column past that width. A text of `tzna` columns or more
// is unchanged.
QString tiaozhen(QString& tzs, double tzna);

}  // namespace tovrin
