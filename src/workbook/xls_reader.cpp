#include "workbook/xls_reader.h"

#include <QBuffer>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <limits>
#include <map>
#include <vector>

#include "workbook/biff_records.h"
#include "workbook/cell_formats.h"
#include "workbook/compound_file.h"
#include "workbook/little_endian.h"
#include "workbook/string_pool.h"

namespace tovrin {

namespace {

using Result = SpreadsheetReader::Result;

Result damaged(const QString& what) { return Result::failed(QStringLiteral("文件已损坏：") + what); }

using little_endian::f64;
using little_endian::u16;
using little_endian::u32;

using namespace biff;

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

class Workbook {
public:
    Workbook(StreamReader& stream, int columns, const XlsReader::Limits& limits)
        : stream_(stream),
          columns_(columns),
          shared_(limits.maxSharedChars, limits.maxSharedStrings),
          limits_(limits) {}

    Result read(SheetRows& rows);

private:
    Result readGlobals();
    Result readSheet(const SheetInfo& sheet, SheetRows& rows);
    // Whether the sheet's cells come row by row, as the spreadsheet programs
    // write them: then each row is handed on once the next one begins.
    bool rowsInOrder(const SheetInfo& sheet);
    Result readSharedStrings(Segments& s);
    // A string of a BIFF5 record: 8 or 16 bit count, bytes in the code page.
    bool byteString(QByteArrayView data, bool shortCount, QString& out);
    bool readString(QByteArrayView data, bool shortCount, QString& out);
    bool isDate(quint16 xf) const { return xf < xfDates_.size() && xfDates_[xf]; }
    Cell numberCell(quint16 xf, double value) const {
        if (!isDate(xf)) return Cell::ofNumber(value);
        return Cell::ofDate(date1904_ ? value + 1462 : value);
    }
    QString tooLong() const {
        return QStringLiteral("单元格的文字超过 %1 个字（电子表格一个单元格最多 %1 个字）")
            .arg(limits_.maxCellChars);
    }

    StreamReader& stream_;
    int columns_;
    bool biff8_ = true;
    bool date1904_ = false;
    int codePage_ = 1252;
    std::vector<SheetInfo> sheets_;
    std::vector<bool> xfDates_;
    StringPool shared_;
    const XlsReader::Limits& limits_;
};

bool Workbook::byteString(QByteArrayView data, bool shortCount, QString& out) {
    const qsizetype head = shortCount ? 1 : 2;
    if (data.size() < head) return false;
    const qsizetype count = shortCount ? quint8(data[0]) : u16(data.data());
    if (data.size() < head + count) return false;
    QStringDecoder decoder(codePageName(codePage_).constData());
    const QByteArrayView bytes = data.sliced(head, count);
    out = decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
    return true;
}

bool Workbook::readString(QByteArrayView data, bool shortCount, QString& out) {
    if (!biff8_) return byteString(data, shortCount, out);
    Segments s(data, nullptr);
    return s.unicodeString(shortCount, out);
}

Result Workbook::readSharedStrings(Segments& s) {
    quint32 total = 0, unique = 0;
    if (!s.dword(total) || !s.dword(unique)) return damaged(QStringLiteral("共享文字表太短"));
    QString text;
    for (quint32 i = 0; i < unique && !s.atEnd(); ++i) {
        if (!s.unicodeString(false, text)) return damaged(QStringLiteral("共享文字表不完整"));
        if (text.size() > limits_.maxCellChars) {
            return Result::failed(QStringLiteral("第 %1 条共享文字：").arg(i + 1) + tooLong());
        }
        if (!shared_.add(text)) {
            return Result::failed(QStringLiteral("共享文字太多（超过 %1 条或 %2 M 个字）")
                                      .arg(limits_.maxSharedStrings)
                                      .arg(limits_.maxSharedChars >> 20));
        }
    }
    return Result::done();
}

Result Workbook::readGlobals() {
    Records records(stream_);
    Record r;
    if (!records.next(r) || r.type != kBof || r.data.size() < 4) {
        return Result::failed(QStringLiteral("文件不是 Excel 97-2003 工作簿"));
    }
    const quint16 version = u16(r.data.data());
    if (version == 0x0600) {
        biff8_ = true;
    } else if (version == 0x0500) {
        biff8_ = false;
    } else {
        return Result::failed(
            QStringLiteral("不支持这个版本的 Excel 文件，请在 Excel 里另存为 .xls 或 .xlsx 再导入"));
    }

    QHash<int, QString> formats;
    std::vector<quint16> xfFormats;
    // The place of every sheet named so far, worksheet or not: each sheet's
    // place is read once.
    QSet<quint32> places;
    while (records.next(r)) {
        const QByteArrayView d = r.data;
        switch (r.type) {
            case kEof: {
                for (quint16 id : xfFormats) {
                    const auto code = formats.constFind(id);
                    xfDates_.push_back(code != formats.constEnd() ? isDateFormat(*code)
                                                                  : isBuiltInDateFormat(id));
                }
                return Result::done();
            }
            case kFilePass:
                return Result::failed(QStringLiteral("工作簿设置了打开密码，请在 Excel 里取消密码后再导入"));
            case kCodePage:
                if (d.size() >= 2) codePage_ = u16(d.data());
                break;
            case kDateMode:
                if (d.size() >= 2) date1904_ = u16(d.data()) != 0;
                break;
            case kFormat: {
                if (d.size() < 3) return damaged(QStringLiteral("数字格式记录太短"));
                QString code;
                if (!readString(d.sliced(2), !biff8_, code))
                    return damaged(QStringLiteral("数字格式记录无效"));
                formats.insert(u16(d.data()), code);
                break;
            }
            case kXf:
                if (d.size() < 4) return damaged(QStringLiteral("单元格格式记录太短"));
                if (xfFormats.size() < 65536) xfFormats.push_back(u16(d.data() + 2));
                break;
            case kBoundSheet: {
                if (d.size() < 7) return damaged(QStringLiteral("工作表记录太短"));
                SheetInfo sheet;
                sheet.offset = u32(d.data());
                if (places.size() >= limits_.maxSheets) {
                    return Result::failed(
                        QStringLiteral("工作簿的工作表超过 %1 个，不像是商品表").arg(limits_.maxSheets));
                }
                if (places.contains(sheet.offset)) {
                    return damaged(
                        QStringLiteral("几个工作表记录指向同一个工作表（位置 %1）").arg(sheet.offset));
                }
                places.insert(sheet.offset);
                if (!readString(d.sliced(6), true, sheet.name))
                    return damaged(QStringLiteral("工作表名称无效"));
                if (quint8(d[5]) == 0) sheets_.push_back(sheet);  // worksheets only
                break;
            }
            case kSst: {
                if (!biff8_) break;
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
    const auto fail = [&](const QString& why) {
        return Result::failed(QStringLiteral("工作表“%1”无法读取：%2").arg(sheet.name, why));
    };
    Records records(stream_);
    records.seek(sheet.offset);
    Record r;
    if (sheet.offset >= stream_.size() || !records.next(r) || r.type != kBof) {
        return fail(QStringLiteral("找不到工作表的开头"));
    }

    // Rows in order are handed on as soon as the next row begins; other
    // sheets are gathered whole (at most 65,536 rows, their texts bounded)
    // and handed on in row order at their end.
    const bool ordered = rowsInOrder(sheet);
    std::map<int, std::vector<Cell>> grid;  // row (0-based) → cells A, B, ...
    qsizetype heldChars = 0;
    bool begun = false;
    Result halt = Result::stopped();
    const auto begin = [&] {
        if (!begun && !rows.beginSheet(sheet.name)) return false;
        begun = true;
        return true;
    };
    // Hands on the gathered rows before `limit`.
    const auto handOn = [&](int limit) {
        if (!begin()) return false;
        while (!grid.empty() && grid.begin()->first < limit) {
            auto node = grid.extract(grid.begin());
            bool any = false;
            for (const Cell& c : node.mapped()) any = any || c.kind != Cell::Kind::Empty;
            if (any && !rows.row(node.key() + 1, node.mapped())) return false;
        }
        return true;
    };
    if (ordered && !begin()) return Result::stopped();
    const auto put = [&](int row, int column, Cell cell) {
        if (column >= columns_) return true;
        if (ordered && !grid.empty() && row > grid.begin()->first && !handOn(row)) return false;
        if (!ordered) {
            heldChars += cell.text.size();
            if (heldChars > limits_.maxUnorderedChars) {
                halt = fail(QStringLiteral("单元格不是按行存放的，文字又超过 %1 M 个字，无法排序")
                                .arg(limits_.maxUnorderedChars >> 20));
                return false;
            }
        }
        std::vector<Cell>& cells = grid[row];
        if (cells.empty()) cells.resize(size_t(columns_));
        cells[size_t(column)] = std::move(cell);
        return true;
    };
    // A formula whose text result follows in a STRING record.
    bool pendingString = false;
    int pendingRow = 0, pendingColumn = 0;

    int depth = 1;  // charts embedded in the sheet bring their own BOF ... EOF
    bool ended = false;
    while (!ended && records.next(r)) {
        const QByteArrayView d = r.data;
        const char* p = d.data();
        if (r.type == kBof) {
            ++depth;
            continue;
        }
        if (r.type == kEof) {
            ended = --depth == 0;
            continue;
        }
        if (depth > 1) continue;
        switch (r.type) {
            case kNumber:
                if (d.size() < 14) return fail(QStringLiteral("数字记录太短"));
                if (!put(u16(p), u16(p + 2), numberCell(u16(p + 4), f64(p + 6)))) return halt;
                break;
            case kRk:
            case kMulRk: {
                const bool multiple = r.type == kMulRk;
                if (d.size() < (multiple ? 12 : 10)) return fail(QStringLiteral("数字记录太短"));
                const int row = u16(p);
                const int first = u16(p + 2);
                const qsizetype count = multiple ? (d.size() - 6) / 6 : 1;
                for (qsizetype i = 0; i < count; ++i) {
                    const char* at = p + 4 + 6 * i;
                    const quint32 rk = u32(at + 2);
                    double value = (rk & 0x02) ? double(qint32(rk) >> 2)
                                               : std::bit_cast<double>(quint64(rk & 0xFFFFFFFCu) << 32);
                    if (rk & 0x01) value /= 100;
                    if (!put(row, first + int(i), numberCell(u16(at), value))) return halt;
                }
                break;
            }
            case kLabelSst: {
                if (d.size() < 10) return fail(QStringLiteral("文字记录太短"));
                const quint32 index = u32(p + 6);
                if (!shared_.contains(index)) return fail(QStringLiteral("共享文字编号 %1 无效").arg(index));
                if (!put(u16(p), u16(p + 2), Cell::ofText(shared_.at(index)))) return halt;
                break;
            }
            case kLabel:
            case kRString: {
                QString text;
                if (d.size() < 8 || !readString(d.sliced(6), false, text))
                    return fail(QStringLiteral("文字记录无效"));
                if (text.size() > limits_.maxCellChars) return fail(tooLong());
                if (!put(u16(p), u16(p + 2), Cell::ofText(text))) return halt;
                break;
            }
            case kBoolErr: {
                if (d.size() < 8) return fail(QStringLiteral("逻辑值记录太短"));
                const quint8 value = quint8(p[6]);
                if (!put(u16(p), u16(p + 2),
                         p[7] ? Cell::ofError(errorText(value)) : Cell::ofBoolean(value != 0)))
                    return halt;
                break;
            }
            case kFormula: {
                if (d.size() < 14) return fail(QStringLiteral("公式记录太短"));
                const int row = u16(p), column = u16(p + 2);
                pendingString = false;
                Cell cell;
                if (u16(p + 12) != 0xFFFF) {
                    cell = numberCell(u16(p + 4), f64(p + 6));
                } else {
                    switch (quint8(p[6])) {
                        case 0:  // the text follows in a STRING record
                            cell = Cell::ofText({});
                            pendingString = true;
                            pendingRow = row;
                            pendingColumn = column;
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
                if (!put(row, column, std::move(cell))) return halt;
                break;
            }
            case kString: {
                if (!pendingString) break;
                QString text;
                bool ok = false;
                if (biff8_) {
                    Segments s(d, &records);
                    ok = s.unicodeString(false, text);
                } else {
                    ok = byteString(d, false, text);
                }
                if (!ok) return fail(QStringLiteral("公式的文字结果无效"));
                if (text.size() > limits_.maxCellChars) return fail(tooLong());
                if (!put(pendingRow, pendingColumn, Cell::ofText(text))) return halt;
                pendingString = false;
                break;
            }
            default:
                break;
        }
    }
    if (!ended) return fail(records.truncated() ? QStringLiteral("记录不完整") : QStringLiteral("没有结尾"));

    if (!handOn(std::numeric_limits<int>::max())) return Result::stopped();
    if (!rows.endSheet()) return Result::stopped();
    return Result::done();
}

Result Workbook::read(SheetRows& rows) {
    Result r = readGlobals();
    if (!r.isDone()) return r;
    if (sheets_.empty()) return Result::failed(QStringLiteral("工作簿里没有工作表"));
    for (const SheetInfo& sheet : sheets_) {
        r = readSheet(sheet, rows);
        if (!r.isDone()) return r;
    }
    return Result::done();
}

}  // namespace

SpreadsheetReader::Result XlsReader::read(QIODevice& file, int columns, SheetRows& rows) const {
    static const QByteArray kSignature = QByteArray::fromHex("D0CF11E0A1B11AE1");
    if (file.size() < 512 || !file.seek(0) || file.peek(8) != kSignature) {
        return Result::failed(QStringLiteral("文件不是 Excel 97-2003 工作簿"));
    }
    CompoundFile compound(file);
    if (auto e = compound.open()) return damaged(*e);
    const DirectoryEntry* entry = compound.find(u"Workbook");
    if (!entry) entry = compound.find(u"Book");
    if (!entry) {
        if (compound.find(u"EncryptedPackage")) {
            return Result::failed(QStringLiteral("工作簿设置了打开密码，请在 Excel 里取消密码后再导入"));
        }
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
