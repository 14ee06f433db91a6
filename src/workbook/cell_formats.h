#pragma once

#include <QString>
#include <QStringView>

namespace tovrin {

// Whether a number format code shows its number as a date or a time
// ("yyyy-m-d", "h:mm", "[h]:mm:ss"); quoted text, escaped characters, colours
// and locale tags do not count.
bool isDateFormat(QStringView code);

// Whether one of the spreadsheet's built-in number formats, by its number,
// is a date or time format (the Chinese date formats 27 to 36 and 50 to 58
// included).
bool isBuiltInDateFormat(int id);

// The texts of the spreadsheet's error codes (0x2A gives "#N/A"); an unknown
// code gives "#N/A".
QString errorText(int code);

}  // namespace tovrin
