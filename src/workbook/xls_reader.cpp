#include "workbook/xls_reader.h"

#include <QBuffer>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <limits>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "workbook/biff_records.h"
#include "workbook/cell_formats.h"
#include "workbook/compound_file.h"
#include "workbook/little_endian.h"
#include "workbook/string_pool.h"
#include "workbook/workbook_reasons.h"

namespace tovrin {

namespace {

using Result = SpreadsheetReader::Result;

using workbook_reasons::damaged;

using little_endian::f64;
using little_endian::u16;
using little_endian::u32;

using namespace biff;

Result notAWorkbook() { return Result::failed(QStringLiteral("文件不是 Excel 97-2003 工作簿")); }

Result passwordSet() {
    return Result::failed(QStringLiteral("工作簿设置了打开密码，请在 Excel 里取消密码后再导入"));
}

struct SheetInfo {
    QString name;
    quint32 offset = 0;
};

bool isCellRecord(quint16 type) {
    switch (type) {
        case kNumber:
        case kRk:
        case kMulRk:
        case kLabelSst:
        case kLabel:
        case kRString:
        case kBoolErr:
        case kFormula:
            return true;
        default:
            return false;
    }
}

// The number an RK value holds: 30 bits of an integer or the top 30 bits of
// a double, possibly to be divided by 100.
double rkValue(quint32 rk) {
    double value =
        (rk & 0x02) ? double(qint32(rk) >> 2) : std::bit_cast<double>(quint64(rk & 0xFFFFFFFCu) << 32);
    if (rk & 0x01) value /= 100;
    return value;
}

// What the workbook's globals tell its sheets: the BIFF version and the code
// page their strings are read in, the date system, which cell formats show
// dates, and the shared strings.
struct Globals {
    explicit Globals(const XlsReader::Limits& limits)
        : shared(limits.maxSharedChars, limits.maxSharedStrings) {}

    // A string of a BIFF5 record: 8 or 16 bit count, bytes in the code page.
    bool byteString(QByteArrayView data, bool shortCount, QString& out) const {
        const qsizetype head = shortCount ? 1 : 2;
        if (data.size() < head) return false;
        const qsizetype count = shortCount ? quint8(data[0]) : u16(data.data());
        if (data.size() < head + count) return false;
        QStringDecoder decoder(codePageName(codePage).constData());
        const QByteArrayView bytes = data.sliced(head, count);
        out = decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
        return true;
    }
    bool readString(QByteArrayView data, bool shortCount, QString& out) const {
        if (!biff8) return byteString(data, shortCount, out);
        Segments s(data, nullptr);
        return s.unicodeString(shortCount, out);
    }
    Cell numberCell(quint16 xf, double value) const {
        if (xf >= xfDates.size() || !xfDates[xf]) return Cell::ofNumber(value);
        return Cell::ofDate(date1904 ? value + 1462 : value);
    }

    bool biff8 = true;
    bool date1904 = false;
    int codePage = 1252;
    std::vector<bool> xfDates;
    StringPool shared;
};

// The cells of one worksheet on their way to `rows`. When the sheet's cells
// come row by row, as the spreadsheet programs write them, each row is handed
// on as soon as a later one begins; other sheets are gathered whole (at most
// 65,536 rows, their texts bounded) and handed on in row order at their end.
class RowBuffer {
public:
    RowBuffer(SheetRows& rows, const QString& sheet, int columns, bool ordered, qsizetype maxHeldChars)
        : rows_(rows), sheet_(sheet), columns_(columns), ordered_(ordered), maxHeldChars_(maxHeldChars) {}

    // Begins the sheet at once when its rows come in order.
    Result start() { return ordered_ && !begin() ? Result::stopped() : Result::done(); }

    // Puts `cell` at `row` and `column` (from 0); a cell beyond the columns
    // asked for is dropped.
    Result put(int row, int column, Cell cell) {
        if (column >= columns_) return Result::done();
        if (ordered_ && !grid_.empty() && row > grid_.begin()->first && !handOn(row))
            return Result::stopped();
        if (!ordered_) {
            heldChars_ += cell.text.size();
            if (heldChars_ > maxHeldChars_) {
                return Result::failed(QStringLiteral("单元格不是按行存放的，文字又超过 %1 M 个字，无法排序")
                                          .arg(maxHeldChars_ >> 20));
            }
        }
        std::vector<Cell>& cells = grid_[row];
        if (cells.empty()) cells.resize(size_t(columns_));
        cells[size_t(column)] = std::move(cell);
        return Result::done();
    }

    // Hands on the rows still held and ends the sheet.
    Result finish() {
        if (!handOn(std::numeric_limits<int>::max()) || !rows_.endSheet()) return Result::stopped();
        return Result::done();
    }

private:
    bool begin() {
        if (!begun_ && !rows_.beginSheet(sheet_)) return false;
        begun_ = true;
        return true;
    }

    // Hands on the rows held before `limit`.
    bool handOn(int limit) {
        if (!begin()) return false;
        while (!grid_.empty() && grid_.begin()->first < limit) {
            auto node = grid_.extract(grid_.begin());
            bool any = false;
            for (const Cell& c : node.mapped()) any = any || c.kind != Cell::Kind::Empty;
            if (any && !rows_.row(node.key() + 1, node.mapped())) return false;
        }
        return true;
    }

    SheetRows& rows_;
    const QString& sheet_;
    int columns_;
    bool ordered_;
    qsizetype maxHeldChars_;
    std::map<int, std::vector<Cell>> grid_;  // row (0-based) → cells A, B, ...
    qsizetype heldChars_ = 0;
    bool begun_ = false;
};

// The cell records of one worksheet, their values put into the row buffer.
// A failure says what is wrong with the record, not in which sheet.
class CellRecords {
public:
    CellRecords(const Globals& book, Records& records, RowBuffer& buffer, qsizetype maxCellChars)
        : book_(book), records_(records), buffer_(buffer), maxCellChars_(maxCellChars) {}

    Result take(const Record& r) {
        const QByteArrayView d = r.data;
        switch (r.type) {
            case kNumber:
                return number(d);
            case kRk:
                return rk(d, false);
            case kMulRk:
                return rk(d, true);
            case kLabelSst:
                return labelSst(d);
            case kLabel:
            case kRString:
                return label(d);
            case kBoolErr:
                return boolErr(d);
            case kFormula:
                return formula(d);
            case kString:
                return string(d);
            default:
                return Result::done();
        }
    }

private:
    Result number(QByteArrayView d) {
        if (d.size() < 14) return Result::failed(QStringLiteral("数字记录太短"));
        const char* p = d.data();
        return buffer_.put(u16(p), u16(p + 2), book_.numberCell(u16(p + 4), f64(p + 6)));
    }

    // RK holds one number, MULRK several of one row side by side.
    Result rk(QByteArrayView d, bool multiple) {
        if (d.size() < (multiple ? 12 : 10)) return Result::failed(QStringLiteral("数字记录太短"));
        const char* p = d.data();
        const int row = u16(p);
        const int first = u16(p + 2);
        const qsizetype count = multiple ? (d.size() - 6) / 6 : 1;
        for (qsizetype i = 0; i < count; ++i) {
            const char* at = p + 4 + 6 * i;
            const Result put =
                buffer_.put(row, first + int(i), book_.numberCell(u16(at), rkValue(u32(at + 2))));
            if (!put.isDone()) return put;
        }
        return Result::done();
    }

    Result labelSst(QByteArrayView d) {
        if (d.size() < 10) return Result::failed(QStringLiteral("文字记录太短"));
        const char* p = d.data();
        const quint32 index = u32(p + 6);
        if (!book_.shared.contains(index))
            return Result::failed(QStringLiteral("共享文字编号 %1 无效").arg(index));
        return buffer_.put(u16(p), u16(p + 2), Cell::ofText(book_.shared.at(index)));
    }

    Result label(QByteArrayView d) {
        QString text;
        if (d.size() < 8 || !book_.readString(d.sliced(6), false, text))
            return Result::failed(QStringLiteral("文字记录无效"));
        return putText(u16(d.data()), u16(d.data() + 2), std::move(text));
    }

    Result boolErr(QByteArrayView d) {
        if (d.size() < 8) return Result::failed(QStringLiteral("逻辑值记录太短"));
        const char* p = d.data();
        const quint8 value = quint8(p[6]);
        return buffer_.put(u16(p), u16(p + 2),
                           p[7] ? Cell::ofError(errorText(value)) : Cell::ofBoolean(value != 0));
    }

    // A formula's cached result: a number, or a boolean, an error or a text
    // told by its first byte, the text following in a STRING record.
    Result formula(QByteArrayView d) {
        if (d.size() < 14) return Result::failed(QStringLiteral("公式记录太短"));
        const char* p = d.data();
        const int row = u16(p), column = u16(p + 2);
        pending_.reset();
        Cell cell;
        if (u16(p + 12) != 0xFFFF) {
            cell = book_.numberCell(u16(p + 4), f64(p + 6));
        } else {
            switch (quint8(p[6])) {
                case 0:
                    cell = Cell::ofText({});
                    pending_ = {row, column};
                    break;
                case 1:
                    cell = Cell::ofBoolean(p[8] != 0);
                    break;
                case 2:
                    cell = Cell::ofError(errorText(quint8(p[8])));
                    break;
                default:
                    cell = Cell::ofText({});
                    break;
            }
        }
        return buffer_.put(row, column, std::move(cell));
    }

    // The text result of the formula before it, if it has one.
    Result string(QByteArrayView d) {
        if (!pending_) return Result::done();
        QString text;
        bool ok = false;
        if (book_.biff8) {
            Segments s(d, &records_);
            ok = s.unicodeString(false, text);
        } else {
            ok = book_.byteString(d, false, text);
        }
        if (!ok) return Result::failed(QStringLiteral("公式的文字结果无效"));
        const auto [row, column] = *std::exchange(pending_, std::nullopt);
        return putText(row, column, std::move(text));
    }

    Result putText(int row, int column, QString text) {
        if (text.size() > maxCellChars_) return Result::failed(workbook_reasons::cellTooLong(maxCellChars_));
        return buffer_.put(row, column, Cell::ofText(std::move(text)));
    }

    const Globals& book_;
    Records& records_;
    RowBuffer& buffer_;
    qsizetype maxCellChars_;
    // The cell of a formula whose text result follows in a STRING record.
    std::optional<std::pair<int, int>> pending_;
};

class Workbook {
public:
    Workbook(StreamReader& stream, int columns, const XlsReader::Limits& limits)
        : stream_(stream), columns_(columns), globals_(limits), limits_(limits) {}

    Result read(SheetRows& rows);

private:
    Result readGlobals();
    Result readSharedStrings(Segments& s);
    Result addSheet(QByteArrayView record, QSet<quint32>& places);
    // Whether the sheet's cells come row by row, as the spreadsheet programs
    // write them.
    bool rowsInOrder(const SheetInfo& sheet);
    Result readSheet(const SheetInfo& sheet, SheetRows& rows);

    StreamReader& stream_;
    int columns_;
    Globals globals_;
    std::vector<SheetInfo> sheets_;
    const XlsReader::Limits& limits_;
};

Result Workbook::readSharedStrings(Segments& s) {
    quint32 total = 0, unique = 0;
    if (!s.dword(total) || !s.dword(unique)) return damaged(QStringLiteral("共享文字表太短"));
    QString text;
    for (quint32 i = 0; i < unique && !s.atEnd(); ++i) {
        if (!s.unicodeString(false, text)) return damaged(QStringLiteral("共享文字表不完整"));
        if (text.size() > limits_.maxCellChars) {
            return workbook_reasons::sharedStringTooLong(i + 1, limits_.maxCellChars);
        }
        if (!globals_.shared.add(text)) {
            return workbook_reasons::tooManySharedStrings(limits_.maxSharedStrings, limits_.maxSharedChars);
        }
    }
    return Result::done();
}

// A sheet record: the place of the sheet, which must be a place of its own
// (`places` holds those named so far, worksheets or not), and its name.
Result Workbook::addSheet(QByteArrayView d, QSet<quint32>& places) {
    if (d.size() < 7) return damaged(QStringLiteral("工作表记录太短"));
    SheetInfo sheet;
    sheet.offset = u32(d.data());
    if (places.size() >= limits_.maxSheets) {
        return Result::failed(
            QStringLiteral("工作簿的工作表超过 %1 个，不像是商品表").arg(limits_.maxSheets));
    }
    if (places.contains(sheet.offset)) {
        return damaged(QStringLiteral("几个工作表记录指向同一个工作表（位置 %1）").arg(sheet.offset));
    }
    places.insert(sheet.offset);
    if (!globals_.readString(d.sliced(6), true, sheet.name)) return damaged(QStringLiteral("工作表名称无效"));
    if (quint8(d[5]) == 0) sheets_.push_back(sheet);  // worksheets only
    return Result::done();
}

Result Workbook::readGlobals() {
    Records records(stream_);
    Record r;
    if (!records.next(r) || r.type != kBof || r.data.size() < 4) return notAWorkbook();
    const quint16 version = u16(r.data.data());
    if (version == 0x0600) {
        globals_.biff8 = true;
    } else if (version == 0x0500) {
        globals_.biff8 = false;
    } else {
        return Result::failed(
            QStringLiteral("不支持这个版本的 Excel 文件，请在 Excel 里另存为 .xls 或 .xlsx 再导入"));
    }

    QHash<int, QString> formats;
    std::vector<quint16> xfFormats;
    QSet<quint32> places;
    while (records.next(r)) {
        const QByteArrayView d = r.data;
        switch (r.type) {
            case kEof: {
                for (quint16 id : xfFormats) {
                    const auto code = formats.constFind(id);
                    globals_.xfDates.push_back(code != formats.constEnd() ? isDateFormat(*code)
                                                                          : isBuiltInDateFormat(id));
                }
                return Result::done();
            }
            case kFilePass:
                return passwordSet();
            case kCodePage:
                if (d.size() >= 2) globals_.codePage = u16(d.data());
                break;
            case kDateMode:
                if (d.size() >= 2) globals_.date1904 = u16(d.data()) != 0;
                break;
            case kFormat: {
                if (d.size() < 3) return damaged(QStringLiteral("数字格式记录太短"));
                QString code;
                if (!globals_.readString(d.sliced(2), !globals_.biff8, code))
                    return damaged(QStringLiteral("数字格式记录无效"));
                formats.insert(u16(d.data()), code);
                break;
            }
            case kXf:
                if (d.size() < 4) return damaged(QStringLiteral("单元格格式记录太短"));
                if (xfFormats.size() < workbook_limits::kMaxXfs) xfFormats.push_back(u16(d.data() + 2));
                break;
            case kBoundSheet:
                if (Result added = addSheet(d, places); !added.isDone()) return added;
                break;
            case kSst: {
                if (!globals_.biff8) break;
                Segments s(d, &records);
                Result strings = readSharedStrings(s);
                if (!strings.isDone()) return strings;
                break;
            }
            default:
                break;
        }
    }
    return damaged(QStringLiteral("工作簿记录不完整"));
}

bool Workbook::rowsInOrder(const SheetInfo& sheet) {
    Records records(stream_);
    records.seek(sheet.offset);
    Record r;
    int depth = 0;
    int last = -1;
    while (records.next(r)) {
        if (r.type == kBof) {
            ++depth;
        } else if (r.type == kEof) {
            if (--depth <= 0) return true;
        } else if (depth == 1 && isCellRecord(r.type) && r.data.size() >= 2) {
            const int row = u16(r.data.data());
            if (row < last) return false;
            last = row;
        }
    }
    return true;
}

Result Workbook::readSheet(const SheetInfo& sheet, SheetRows& rows) {
    const auto fail = [&](const QString& why) { return workbook_reasons::sheetFailed(sheet.name, why); };
    Records records(stream_);
    records.seek(sheet.offset);
    Record r;
    if (sheet.offset >= stream_.size() || !records.next(r) || r.type != kBof) {
        return fail(QStringLiteral("找不到工作表的开头"));
    }
    RowBuffer buffer(rows, sheet.name, columns_, rowsInOrder(sheet), limits_.maxUnorderedChars);
    if (Result started = buffer.start(); !started.isDone()) return started;
    CellRecords cells(globals_, records, buffer, limits_.maxCellChars);

    int depth = 1;  // charts embedded in the sheet bring their own BOF ... EOF
    bool ended = false;
    while (!ended && records.next(r)) {
        if (r.type == kBof) {
            ++depth;
        } else if (r.type == kEof) {
            ended = --depth == 0;
        } else if (depth == 1) {
            Result taken = cells.take(r);
            if (taken.status == Result::Status::Failed) return fail(taken.reason);
            if (!taken.isDone()) return taken;
        }
    }
    if (!ended) return fail(records.truncated() ? QStringLiteral("记录不完整") : QStringLiteral("没有结尾"));
    return buffer.finish();
}

Result Workbook::read(SheetRows& rows) {
    Result r = readGlobals();
    if (!r.isDone()) return r;
    if (sheets_.empty()) return workbook_reasons::noSheets();
    for (const SheetInfo& sheet : sheets_) {
        r = readSheet(sheet, rows);
        if (!r.isDone()) return r;
    }
    return Result::done();
}

}  // namespace

SpreadsheetReader::Result XlsReader::read(QIODevice& file, int columns, SheetRows& rows) const {
    static const QByteArray kSignature = QByteArray::fromHex("D0CF11E0A1B11AE1");
    if (file.size() < 512 || !file.seek(0) || file.peek(8) != kSignature) return notAWorkbook();
    if (file.size() > limits_.maxFileBytes) return workbook_reasons::fileTooLarge(limits_.maxFileBytes);
    CompoundFile compound(file);
    if (auto e = compound.open()) return damaged(*e);
    const DirectoryEntry* entry = compound.find(u"Workbook");
    if (!entry) entry = compound.find(u"Book");
    if (!entry) {
        if (compound.find(u"EncryptedPackage")) return passwordSet();
        return Result::failed(QStringLiteral("文件里没有 Excel 工作簿"));
    }
    StreamReader stream;
    if (auto e = compound.openStream(*entry, stream)) return damaged(*e);
    Workbook workbook(stream, columns, limits_);
    return workbook.read(rows);
}

SpreadsheetReader::Result XlsReader::read(QByteArrayView file, int columns, SheetRows& rows) const {
    QByteArray bytes = QByteArray::fromRawData(file.data(), file.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, columns, rows);
}

}  // namespace tovrin
