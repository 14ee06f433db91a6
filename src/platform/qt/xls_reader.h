#pragma once

#include <QByteArrayView>

#include "platform/spreadsheet.h"

namespace tovrin {

// Reads an Excel 97-2003 workbook (.xls): the compound file around it, the
// workbook stream in BIFF8 or BIFF5 (Excel 5/95) records, the worksheets in
// the order of their sheet records. Numbers, texts (shared and in cells),
// booleans, errors, cached formula results and date-formatted numbers are
// understood.
class XlsReader {
public:
    struct Limits {
        qsizetype maxSharedChars = qsizetype(32) << 20;
        qsizetype maxSharedStrings = qsizetype(4) << 20;
    };

    XlsReader() = default;
    explicit XlsReader(const Limits& limits) : limits_(limits) {}

    // `file` is the whole .xls file.
    SpreadsheetReader::Result read(QByteArrayView file, int columns, SheetRows& rows) const;

private:
    Limits limits_;
};

}  // namespace tovrin
