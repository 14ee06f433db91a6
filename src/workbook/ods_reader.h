#pragma once

#include <QByteArray>
#include <QIODevice>

#include "platform/spreadsheet.h"
#include "workbook/workbook_limits.h"
#include "workbook/xml_part.h"

namespace tovrin {

// Reads an OpenDocument spreadsheet (.ods): the tables of content.xml in
// document order, streamed row by row. Repeated rows and cells are expanded
// only where they hold something within the columns asked for, so the empty
// rows a spreadsheet program writes down to its last row cost nothing.
// Numbers, percentages and currencies come from their stored values, dates
// and times become date serials, texts are the cells' paragraphs.
class OdsReader {
public:
    // The bounds of the reader.
    struct Limits : PackageLimits {
        int maxSheets = workbook_limits::kMaxOdsSheets;
        int maxRowsPerSheet = workbook_limits::kMaxRows;
        // The rows of all sheets together, counting the empty rows between
        // them, which the table gets as blank lines: as many as one sheet
        // can have.
        qint64 maxRows = workbook_limits::kMaxRows;
        // The characters the delivered cells can turn into, all together.
        qint64 maxTableChars = workbook_limits::kMaxOdsTableChars;
    };

    OdsReader() = default;
    explicit OdsReader(const Limits& limits) : limits_(limits) {}

    // Whether the first bytes of a file (workbook_limits::kHeadBytes of them) are those of an
    // OpenDocument spreadsheet package: a zip whose first entry is the stored
    // "mimetype".
    static bool looksLikeOds(const QByteArray& head);

    // `device` is the whole .ods file, open or not.
    SpreadsheetReader::Result read(QIODevice& device, int columns, SheetRows& rows) const;

private:
    Limits limits_;
};

}  // namespace tovrin
