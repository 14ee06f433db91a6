#pragma once

#include <QIODevice>

#include "platform/qt/xml_guard.h"
#include "platform/spreadsheet.h"

namespace tovrin {

// Reads an Office Open XML workbook (.xlsx): the worksheets in the order of
// workbook.xml, found through its relationships, each sheet's XML streamed
// row by row. Shared strings, inline strings, numbers, booleans, errors,
// cached formula results and date-formatted numbers are understood.
class XlsxReader {
public:
    struct Limits {
        XmlLimits xml;
        qsizetype maxSharedChars = qsizetype(32) << 20;
        qsizetype maxSharedStrings = qsizetype(4) << 20;
        int maxEntries = 20000;
        int maxStyles = 1 << 20;
    };

    XlsxReader() = default;
    explicit XlsxReader(const Limits& limits) : limits_(limits) {}

    // `file` is the whole .xlsx file; it is opened for reading if it is not
    // open yet.
    SpreadsheetReader::Result read(QIODevice& file, int columns, SheetRows& rows) const;

private:
    Limits limits_;
};

}  // namespace tovrin
