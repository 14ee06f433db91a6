#pragma once

#include <QtGlobal>

// The bounds of the workbook readers, all in one place. They fit a shop's
// price table: one table of at most 1,048,576 rows by eleven columns (A to K),
// each cell's text at most as long as the spreadsheet programs allow. A file
// beyond one of them is refused with a message that names the bound, before
// it can take much time or memory.
namespace tovrin::workbook_limits {

// The rows and columns of the price table; the rows are also the most a
// worksheet can have, and a worksheet's columns go up to XFD.
inline constexpr int kMaxRows = 1048576;
inline constexpr int kTableColumns = 11;
inline constexpr int kMaxSheetColumns = 16384;

// A cell's text, in characters: the spreadsheet programs' own limit. Texts
// that a cell gathers from runs or around comments count together.
inline constexpr qsizetype kMaxCellChars = 32767;

// Shared strings: at most one per cell of the table, and at most this many
// characters together.
inline constexpr qsizetype kMaxSharedStrings = qsizetype(kMaxRows) * kTableColumns;
inline constexpr qsizetype kMaxSharedChars = qsizetype(64) << 20;

// ---------------------------------------------------------------------------
// .xlsx: the XML unpacked from the package.

// What the table's XML needs at most per row and per cell (tags, attributes,
// a number or a shared string number), and so a sheet's XML at most.
inline constexpr qint64 kRowXmlBytes = 64;
inline constexpr qint64 kCellXmlBytes = 64;
inline constexpr qint64 kMaxSheetXmlBytes = kMaxRows * (kRowXmlBytes + kTableColumns * kCellXmlBytes);
// The shared strings' XML: the strings' tags and their characters in UTF-8.
inline constexpr qint64 kMaxSharedXmlBytes = kMaxSharedStrings * 24 + kMaxSharedChars * 3;
// Any other part (workbook, relationships, styles).
inline constexpr qint64 kMaxOtherPartBytes = qint64(64) << 20;
// All parts of one workbook together.
inline constexpr qint64 kMaxUnpackedBytes = kMaxSheetXmlBytes + kMaxSharedXmlBytes + kMaxOtherPartBytes;

// A part may unpack to at most this many times the packed bytes read for it
// once it is larger than the floor: table XML packs well, but not a
// thousandfold.
inline constexpr qint64 kMaxUnpackRatio = 200;
inline constexpr qint64 kUnpackRatioFloorBytes = qint64(1) << 20;

// The longest XML token (a text, a tag with its attributes, a comment): a
// cell's longest text written with character references, and room to spare.
inline constexpr qint64 kMaxXmlTokenBytes = qint64(1) << 20;
inline constexpr int kMaxXmlDepth = 64;

// The parser's own bound on entity expansion (the workbook formats declare
// no entities, and a document type declaration is refused anyway): past the
// floor, the XML may grow to at most this many times its bytes.
inline constexpr float kMaxXmlAmplification = 100.0f;
inline constexpr unsigned long long kXmlAmplificationFloorBytes = 1ULL << 20;

// Entries of the package (.xlsx and .ods) and formats of its styles.
inline constexpr int kMaxZipEntries = 20000;
inline constexpr int kMaxStyles = 1 << 20;

// ---------------------------------------------------------------------------
// .ods: content.xml, unpacked under the bounds of the .xlsx parts above (the
// bytes of all parts together, tokens, depth, unpack ratio).

// Sheets of one document.
inline constexpr int kMaxOdsSheets = 10000;
// The characters the cells handed on can turn into, all together; a cell
// that is no text counts as kOdsNonTextChars. Repeated rows make a small file
// give many cells, so this bounds what they can give.
inline constexpr qint64 kMaxOdsTableChars = qint64(256) << 20;
inline constexpr qint64 kOdsNonTextChars = 24;

// ---------------------------------------------------------------------------
// .xls: the compound file and its workbook stream.

// The file; it is read sector by sector, not held in memory.
inline constexpr qint64 kMaxXlsBytes = qint64(256) << 20;
// Sheets of one workbook. Every sheet record must name a sheet of its own:
// a workbook that names one sheet's place twice is damaged.
inline constexpr int kMaxSheets = 4096;
// The characters of the texts a sheet may hold in memory when its cells are
// not stored row by row (its rows are then sorted before they are handed on).
inline constexpr qsizetype kMaxUnorderedChars = qsizetype(32) << 20;

}  // namespace tovrin::workbook_limits
