#pragma once

#include "platform/spreadsheet.h"
#include "workbook/csv_reader.h"
#include "workbook/ods_reader.h"
#include "workbook/xls_reader.h"
#include "workbook/xlsx_reader.h"

namespace tovrin {

// Reads a workbook file of any kind it knows, told by its content rather than
// its name: an Excel 97-2003 compound file, an Office Open XML package or an
// OpenDocument spreadsheet; a file of none of these whose name ends in ".csv"
// is read as comma-separated values.
class WorkbookReader : public SpreadsheetReader {
public:
    WorkbookReader() = default;
    WorkbookReader(const XlsReader::Limits& xls, const XlsxReader::Limits& xlsx) : xls_(xls), xlsx_(xlsx) {}

    Result read(const QString& path, int columns, SheetRows& rows) override;

private:
    XlsReader xls_;
    XlsxReader xlsx_;
    OdsReader ods_;
    CsvReader csv_;
};

}  // namespace tovrin
