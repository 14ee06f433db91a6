#pragma once

#include <QByteArray>
#include <QIODevice>

#include "platform/spreadsheet.h"
#include "workbook/xml_guard.h"

namespace tovrin {

// Reads an OpenDocument spreadsheet (.ods): the tables of content.xml in
// document order, streamed row by row. Repeated rows and cells are expanded
// only where they hold something within the columns asked for, so the empty
// rows a spreadsheet program writes down to its last row cost nothing.
// Numbers, percentages and currencies come from their stored values, dates
// and times become date serials, texts are the cells' paragraphs.
class OdsReader {
public:
    // All bounds of the reader, in one place.
    struct Limits {
        XmlLimits xml;
        int maxEntries = 20000;  // files in the package
        int maxSheets = 10000;
        int maxRowsPerSheet = 1048576;
        // The rows of all sheets together, counting the empty rows between
        // them, which the table gets as blank lines: as many as one sheet
        // can have.
        qint64 maxRows = qint64(1) << 20;
        // The characters the delivered cells can turn into, all together; a
        // cell that is not a text counts as kNonTextChars. Repeated rows make
        // a small file give many cells, so this bounds what they can give.
        qint64 maxTableChars = qint64(256) << 20;
        qsizetype maxCellChars = 32767;
    };
    static constexpr qint64 kNonTextChars = 24;

    OdsReader() = default;
    explicit OdsReader(const Limits& limits) : limits_(limits) {}

    // Whether the first bytes of a file are those of an OpenDocument
    // spreadsheet package: a zip whose first entry is the stored "mimetype".
    static bool looksLikeOds(const QByteArray& head);
    static constexpr int kHeadBytes = 128;

    // `device` is the whole .ods file, open or not.
    SpreadsheetReader::Result read(QIODevice& device, int columns, SheetRows& rows) const;

private:
    Limits limits_;
};

}  // namespace tovrin
