#pragma once

#include <QIODevice>
#include <QString>

#include "platform/spreadsheet.h"
#include "workbook/workbook_limits.h"

namespace tovrin {

// Reads a table of comma-separated values (.csv) as one sheet: the encoding
// UTF-8 (with or without a byte order mark) when the bytes are valid UTF-8,
// otherwise GBK; the separator the one of comma, semicolon and TAB that
// splits the first lines most evenly; quoted fields as RFC 4180 has them
// (doubled quotes, separators and line breaks inside quotes). Every record is
// one row, an empty line an empty row; every field is a text as it stands, so
// a barcode keeps its leading zeros.
class CsvReader {
public:
    // The bounds of the reader.
    struct Limits {
        qint64 maxFileBytes = workbook_limits::kMaxCsvBytes;
        int maxRows = workbook_limits::kMaxRows;
        int maxFields = workbook_limits::kMaxCsvFields;  // in one record
        // One record, the line breaks inside its quotes included.
        qsizetype maxRecordChars = workbook_limits::kMaxCsvRecordChars;
        qsizetype maxCellChars = workbook_limits::kMaxCellChars;
    };

    CsvReader() = default;
    explicit CsvReader(const Limits& limits) : limits_(limits) {}

    // `device` is the whole file, open for reading and able to seek back to
    // its start; `sheet` names the one sheet.
    SpreadsheetReader::Result read(QIODevice& device, const QString& sheet, int columns,
                                   SheetRows& rows) const;

    // The separator chosen for a sample of the text (its first lines).
    static QChar separatorOf(QStringView sample);
    // Whether the bytes are valid UTF-8 throughout (no overlong forms, no
    // surrogates, nothing cut off at the end).
    static bool isUtf8(QByteArrayView bytes);

private:
    Limits limits_;
};

}  // namespace tovrin
