#pragma once

#include <QString>
#include <QStringView>

#include "platform/spreadsheet.h"

class QIODevice;

// Why the workbook readers refuse a file, each failure worded once for all
// of them.
namespace tovrin::workbook_reasons {

using Result = SpreadsheetReader::Result;

// The file breaks its format: "文件已损坏：" and what is wrong.
Result damaged(const QString& what);
// A worksheet named `sheet` cannot be read, for `why`.
Result sheetFailed(const QString& sheet, const QString& why);
// A workbook without worksheets.
Result noSheets();
// The file could not be opened or read, in the words of its device's fault.
Result cannotOpen(const QIODevice& device);
Result cannotRead(const QIODevice& device);
// A file longer than `maxBytes`.
Result fileTooLarge(qint64 maxBytes);
Result emptyFile();

// A part a package must have is not in it.
Result missingPart(const QString& part);
// The package's list of entries cannot be read.
Result badDirectory();
// Why a part could not be unpacked, from the zip library's error code.
QString unpackFailed(int zipError);

// A cell's text longer than the spreadsheet programs allow (`maxChars`).
QString cellTooLong(qsizetype maxChars);
// The shared string `number` (from 1) is longer than that.
Result sharedStringTooLong(qsizetype number, qsizetype maxChars);
// More shared strings, or characters in them, than the bounds allow.
Result tooManySharedStrings(qsizetype maxStrings, qsizetype maxChars);
// A shared string number that names none; its first characters are shown.
QString badSharedIndex(QStringView index);
// A number that is none; its first characters are shown.
QString badNumber(QStringView text);
// More rows than `maxRows`.
QString tooManyRows(qint64 maxRows);

}  // namespace tovrin::workbook_reasons
