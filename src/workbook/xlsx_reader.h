#pragma once

#include <QIODevice>

#include "platform/spreadsheet.h"
#include "workbook/xml_part.h"

namespace tovrin {

// Reads an Office Open XML workbook (.xlsx): the worksheets in the order of
// workbook.xml, found through its relationships, the shared strings read
// first and each sheet's XML streamed row by row, all on the calling thread.
// Shared strings, inline strings, numbers, booleans, errors, cached
// formula results and date-formatted numbers are understood.
class XlsxReader {
public:
    struct Limits : PackageLimits {
        qsizetype maxSharedChars = workbook_limits::kMaxSharedChars;
        qsizetype maxSharedStrings = workbook_limits::kMaxSharedStrings;
        int maxStyles = workbook_limits::kMaxStyles;
        qint64 maxSheetBytes = workbook_limits::kMaxSheetXmlBytes;
        qint64 maxSharedBytes = workbook_limits::kMaxSharedXmlBytes;
        qint64 maxOtherPartBytes = workbook_limits::kMaxOtherPartBytes;
    };

    XlsxReader() = default;
    explicit XlsxReader(const Limits& limits) : limits_(limits) {}

    // Reads the .xlsx file on `device`, open or not, from its start.
    SpreadsheetReader::Result read(QIODevice& device, int columns, SheetRows& rows) const;

private:
    Limits limits_;
};

}  // namespace tovrin
