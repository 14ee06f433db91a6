#pragma once

#include <QByteArrayView>
#include <QIODevice>

#include "platform/spreadsheet.h"
#include "workbook/workbook_limits.h"

namespace tovrin {

// Reads an Excel 97-2003 workbook (.xls): the compound file around it, the
// workbook stream in BIFF8 or BIFF5 (Excel 5/95) records, the worksheets in
// the order of their sheet records. Numbers, texts (shared and in cells),
// booleans, errors, cached formula results and date-formatted numbers are
// understood.
class XlsReader {
public:
    struct Limits {
        qsizetype maxSharedChars = workbook_limits::kMaxSharedChars;
        qsizetype maxSharedStrings = workbook_limits::kMaxSharedStrings;
        qsizetype maxCellChars = workbook_limits::kMaxCellChars;
        int maxSheets = workbook_limits::kMaxSheets;
        qsizetype maxUnorderedChars = workbook_limits::kMaxUnorderedChars;
        qint64 maxFileBytes = workbook_limits::kMaxXlsBytes;  // larger files are refused
    };

    XlsReader() = default;
    explicit XlsReader(const Limits& limits) : limits_(limits) {}

    // Reads the .xls file open on `file`, a window of sectors at a time: the
    // file is not held in memory.
    SpreadsheetReader::Result read(QIODevice& file, int columns, SheetRows& rows) const;
    // The same for a whole .xls file in memory.
    SpreadsheetReader::Result read(QByteArrayView file, int columns, SheetRows& rows) const;

private:
    Limits limits_;
};

}  // namespace tovrin
