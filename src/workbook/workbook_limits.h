#pragma once

#include <QtGlobal>
#include <cstddef>

// The bounds of the workbook readers, all in one place. They fit a shop's
// price table: one table of at most 1,048,576 rows by eleven columns (A to K),
// each cell's text at most as long as the spreadsheet programs allow. A file
// beyond one of them is refused with a message that names the bound, before
// it can take much time or memory. Beside them stand the amounts a reader
// reads or holds at a time.
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

// The first bytes of a file looked at to tell its kind.
inline constexpr int kHeadBytes = 128;

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

// The bytes unpacked and handed to the parser at a time; more while a tag or
// comment longer than that is pending.
inline constexpr qint64 kXmlPieceBytes = qint64(1) << 16;
// The rows of a sheet read before they are handed on, a batch at a time.
inline constexpr size_t kXlsxBatchRows = 256;
// The shared strings looked up lately that are kept as texts.
inline constexpr size_t kXlsxRecentStrings = 1024;

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
// The bytes of the workbook stream read from the file at a time.
inline constexpr qint64 kXlsWindowBytes = qint64(256) << 10;
// A stream held in the compound file's mini stream, and so the 64-byte
// sectors of its chain.
inline constexpr quint64 kMaxMiniStreamBytes = 65536;
inline constexpr qint64 kMaxMiniSectors = qint64(kMaxMiniStreamBytes / 64);
// Cell formats of one workbook: a cell names its format by a 16-bit number,
// and formats past these are not kept.
inline constexpr size_t kMaxXfs = 65536;
// Sheets of one workbook. Every sheet record must name a sheet of its own:
// a workbook that names one sheet's place twice is damaged.
inline constexpr int kMaxSheets = 4096;
// The characters of the texts a sheet may hold in memory when its cells are
// not stored row by row (its rows are then sorted before they are handed on).
inline constexpr qsizetype kMaxUnorderedChars = qsizetype(32) << 20;

// ---------------------------------------------------------------------------
// .csv: one sheet of comma-separated values.

// The file.
inline constexpr qint64 kMaxCsvBytes = qint64(256) << 20;
// The fields of one record: as many as a worksheet's columns.
inline constexpr int kMaxCsvFields = kMaxSheetColumns;
// One record, the line breaks inside its quotes included.
inline constexpr qsizetype kMaxCsvRecordChars = qsizetype(1) << 20;
// The bytes read at a time.
inline constexpr qint64 kCsvChunkBytes = 256 * 1024;
// The first bytes, and of them the first lines, looked at to choose the
// separator.
inline constexpr qsizetype kCsvSampleBytes = 64 * 1024;
inline constexpr int kCsvSampleLines = 20;

}  // namespace tovrin::workbook_limits
