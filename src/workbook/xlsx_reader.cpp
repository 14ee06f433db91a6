#include "workbook/xlsx_reader.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <QDateTime>
#include <QHash>
#include <QXmlStreamReader>
#include <memory>
#include <vector>

#include "workbook/cell_formats.h"
#include "workbook/string_pool.h"
#include "workbook/xml_part.h"

namespace tovrin {

namespace {

using Result = SpreadsheetReader::Result;

constexpr int kMaxRows = workbook_limits::kMaxRows;
constexpr int kMaxColumns = workbook_limits::kMaxSheetColumns;

// The relationship types are told by their last part, so that the strict
// variant of the format (other namespace, same names) reads as well.
bool hasType(const QString& type, QStringView last) {
    return type.endsWith(QLatin1Char('/') + last.toString(), Qt::CaseInsensitive);
}

// A part name inside the package: "/" separated, "." and ".." resolved,
// without a leading "/".
QString normalizePart(const QString& path) {
    QStringList out;
    for (const QString& segment : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (segment == QLatin1String(".")) continue;
        if (segment == QLatin1String("..")) {
            if (!out.isEmpty()) out.removeLast();
            continue;
        }
        out << segment;
    }
    return out.join(QLatin1Char('/'));
}

QString relsOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

int hexDigit(QChar c) {
    if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
    return -1;
}

// The format writes characters that XML cannot hold as "_xHHHH_" ("_x000D_"
// for a carriage return).
QString decodeEscapes(QString text) {
    if (!text.contains(QLatin1String("_x"))) return text;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == u'_' && i + 6 < n && text[i + 1] == u'x' && text[i + 6] == u'_') {
            int value = 0;
            bool hex = true;
            for (int k = 2; k < 6; ++k) {
                const int d = hexDigit(text[i + k]);
                hex = hex && d >= 0;
                value = value * 16 + d;
            }
            if (hex) {
                out += QChar(char16_t(value));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The column number (A = 1) of a cell reference such as "AB12"; 0 when the
// reference does not start with a column.
int columnOf(QStringView ref) {
    int column = 0;
    for (QChar c : ref) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z') break;
        column = column * 26 + (u - u'A' + 1);
        if (column > kMaxColumns) return -1;
    }
    return column;
}

// The letters of a column number (1 = "A").
QString columnName(int column) {
    QString out;
    for (; column > 0; column = (column - 1) / 26) out.prepend(QChar(u'A' + (column - 1) % 26));
    return out;
}

std::optional<int> toInt(QStringView text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok) return std::nullopt;
    return value;
}

// The escapes make a text longer in the XML than in the cell: at most this
// many times.
constexpr qsizetype kEscapeWidth = 7;

// The text of a shared or inline string: its <t> elements, also those of its
// runs, but not the phonetic guide (<rPh>). Reads to the end of the element
// the reader stands on; false, and the reading stopped, as soon as the text
// grows longer than `maxChars`.
bool richText(QXmlStreamReader& x, qsizetype maxChars, QString& out) {
    out.clear();
    int depth = 1;
    int textDepth = 0;  // the depth of the <t> element the reader is in, 0 outside
    while (depth > 0 && !x.atEnd()) {
        switch (x.readNext()) {
            case QXmlStreamReader::StartElement:
                if (textDepth != 0) {
                    x.raiseError(QStringLiteral("<t> holds an element"));
                } else if (x.name() == u"rPh") {
                    x.skipCurrentElement();
                } else {
                    ++depth;
                    if (x.name() == u"t") textDepth = depth;
                }
                break;
            case QXmlStreamReader::EndElement:
                if (depth == textDepth) textDepth = 0;
                --depth;
                break;
            case QXmlStreamReader::Characters:
                if (textDepth != 0) {
                    out += x.text();
                    if (out.size() > maxChars * kEscapeWidth) return false;
                }
                break;
            default:
                break;
        }
    }
    out = decodeEscapes(std::move(out));
    return out.size() <= maxChars;
}

QString cellTooLong(qsizetype maxChars) {
    return QStringLiteral("单元格的文字超过 %1 个字（电子表格一个单元格最多 %1 个字）").arg(maxChars);
}

// Serial day number (day 0 = 1899-12-30) of an ISO 8601 date or date-time.
std::optional<double> isoSerial(const QString& text) {
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid()) {
        const QTime time = QTime::fromString(text, Qt::ISODateWithMs);
        if (!time.isValid()) return std::nullopt;
        return time.msecsSinceStartOfDay() / 86400000.0;
    }
    const qint64 days = QDate(1899, 12, 30).daysTo(when.date());
    return double(days) + when.time().msecsSinceStartOfDay() / 86400000.0;
}

// A cell type read from the "t" attribute.
enum class CellType { Number, Shared, Inline, Formula, Boolean, Error, IsoDate };

CellType cellType(QStringView t) {
    if (t.isEmpty() || t == u"n") return CellType::Number;
    if (t == u"s") return CellType::Shared;
    if (t == u"inlineStr") return CellType::Inline;
    if (t == u"str") return CellType::Formula;
    if (t == u"b") return CellType::Boolean;
    if (t == u"e") return CellType::Error;
    if (t == u"d") return CellType::IsoDate;
    return CellType::Number;
}

// A row as the sheet's parser delivers it: shared strings are still their
// numbers (-1 where the cell is no shared string), looked up by the receiver.
struct ParsedRow {
    int number = 0;
    std::vector<Cell> cells;
    std::vector<qint64> shared;
};

// The rows of a sheet are handed on a batch at a time. A sheet found damaged
// drops the rows of its unfinished batch, so a fault near the top of a sheet
// is told before any of its rows is looked at.
constexpr size_t kBatchRows = 256;

struct Relationship {
    QString type;
    QString target;  // the part name
};

struct SheetEntry {
    QString name;
    QString part;
};

Result damaged(const QString& what) { return Result::failed(QStringLiteral("文件已损坏：") + what); }

// The open archive.
class Archive {
public:
    Archive(std::unique_ptr<QIODevice> device, const QHash<QString, QString>& entries,
            const XlsxReader::Limits& limits, qint64& unpacked)
        : device_(std::move(device)),
          zip_(device_.get()),
          entries_(entries),
          limits_(limits),
          unpacked_(unpacked) {}

    bool open() { return zip_.open(QuaZip::mdUnzip); }
    QuaZip& zip() { return zip_; }

    // Reads one part with `body`; a missing part is no error when `optional`.
    // Namespaces are resolved only when `namespaces` is set: elements and
    // attributes are otherwise matched by their local names. A part that
    // unpacks to more than `maxBytes`, or to far more than the packed bytes
    // read for it, is refused as soon as it does.
    template <typename Body>
    Result readPart(const QString& part, qint64 maxBytes, bool optional, bool namespaces, Body&& body);

private:
    std::unique_ptr<QIODevice> device_;
    QuaZip zip_;
    const QHash<QString, QString>& entries_;
    const XlsxReader::Limits& limits_;
    qint64& unpacked_;
};

template <typename Body>
Result Archive::readPart(const QString& part, qint64 maxBytes, bool optional, bool namespaces, Body&& body) {
    const auto entry = entries_.constFind(part.toLower());
    if (entry == entries_.constEnd()) {
        if (optional) return Result::done();
        return damaged(QStringLiteral("缺少 ") + part);
    }
    if (!zip_.setCurrentFile(*entry, QuaZip::csSensitive)) return damaged(QStringLiteral("无法找到 ") + part);
    QuaZipFile file(&zip_);
    if (!file.open(QIODevice::ReadOnly)) {
        return Result::failed(QStringLiteral("无法解压 %1（文件可能已加密或损坏）").arg(part));
    }
    // The sizes the archive gives are not believed: the bytes are counted
    // as they are unpacked, and so are the packed bytes read for them.
    XmlGuard guard(file, limits_.xml, unpacked_, maxBytes);
    guard.watchRatio(*device_, limits_.maxUnpackRatio, limits_.unpackRatioFloor);
    QXmlStreamReader x(&guard);
    x.setNamespaceProcessing(namespaces);
    const Result result = body(x);
    return finishXmlPart(part, result, x, guard, file);
}

class Package {
public:
    Package(const XlsxReader::Opener& open, const XlsxReader::Limits& limits, int columns)
        : open_(open),
          limits_(limits),
          columns_(columns),
          shared_(limits.maxSharedChars, limits.maxSharedStrings) {}

    Result read(SheetRows& rows);

private:
    Result readRelationships(const QString& part, QHash<QString, Relationship>& out);
    Result readWorkbook(const QString& part, std::vector<SheetEntry>& sheets, QString& sharedPart);
    Result readStyles(const QString& part);
    Result readSharedStrings(Archive& archive, const QString& part);
    Result readSheet(const SheetEntry& sheet, SheetRows& rows);
    // Parses the sheet's XML and hands its rows to `deliver` a batch at a
    // time; `deliver` returns false to stop the parsing.
    template <typename Deliver>
    Result parseSheet(const SheetEntry& sheet, Deliver&& deliver);
    Result readCell(QXmlStreamReader& x, ParsedRow& row, int& column, QString& value);
    Result resolve(ParsedRow& row);

    const XlsxReader::Opener& open_;
    const XlsxReader::Limits& limits_;
    int columns_;
    std::unique_ptr<Archive> main_;
    QHash<QString, QString> entries_;  // lower-case part name → name in the archive
    qint64 unpacked_ = 0;
    bool date1904_ = false;
    std::vector<bool> dateStyles_;

    // Read before the sheets; their failure is told at the first row that
    // could need them, or after the last sheet.
    StringPool shared_;
    Result sharedResult_;
};

Result Package::readRelationships(const QString& part, QHash<QString, Relationship>& out) {
    const QString base = part.section(QStringLiteral("_rels/"), 0, 0);
    return main_->readPart(part, limits_.maxOtherPartBytes, true, false, [&](QXmlStreamReader& x) {
        while (!x.atEnd()) {
            if (x.readNext() != QXmlStreamReader::StartElement || x.name() != u"Relationship") continue;
            const QXmlStreamAttributes a = x.attributes();
            if (a.value(QLatin1String("TargetMode")).compare(u"External", Qt::CaseInsensitive) == 0) continue;
            const QString target = a.value(QLatin1String("Target")).toString();
            const QString resolved = target.startsWith(QLatin1Char('/')) ? target : base + target;
            out.insert(a.value(QLatin1String("Id")).toString(),
                       {a.value(QLatin1String("Type")).toString(), normalizePart(resolved)});
        }
        return Result::done();
    });
}

Result Package::readWorkbook(const QString& part, std::vector<SheetEntry>& sheets, QString& sharedPart) {
    QHash<QString, Relationship> rels;
    Result r = readRelationships(relsOf(part), rels);
    if (!r.isDone()) return r;

    std::vector<std::pair<QString, QString>> listed;  // name, relationship id
    r = main_->readPart(part, limits_.maxOtherPartBytes, false, true, [&](QXmlStreamReader& x) {
        while (!x.atEnd()) {
            if (x.readNext() != QXmlStreamReader::StartElement) continue;
            const QXmlStreamAttributes a = x.attributes();
            if (x.name() == u"workbookPr") {
                const QStringView v = a.value(QLatin1String("date1904"));
                date1904_ = v == u"1" || v.compare(u"true", Qt::CaseInsensitive) == 0;
            } else if (x.name() == u"sheet") {
                QString id;
                for (const QXmlStreamAttribute& attr : a) {
                    if (attr.name() == u"id" && !attr.namespaceUri().isEmpty()) id = attr.value().toString();
                }
                listed.emplace_back(a.value(QLatin1String("name")).toString(), id);
            }
        }
        return Result::done();
    });
    if (!r.isDone()) return r;

    QString stylesPart;
    for (const Relationship& rel : std::as_const(rels)) {
        if (hasType(rel.type, u"styles")) stylesPart = rel.target;
        if (hasType(rel.type, u"sharedStrings")) sharedPart = rel.target;
    }
    for (const auto& [name, id] : listed) {
        const auto rel = rels.constFind(id);
        if (rel == rels.constEnd()) return damaged(QStringLiteral("找不到工作表“%1”的位置").arg(name));
        if (hasType(rel->type, u"worksheet")) sheets.push_back({name, rel->target});
    }
    if (stylesPart.isEmpty()) return Result::done();
    return readStyles(stylesPart);
}

Result Package::readStyles(const QString& part) {
    QHash<int, QString> custom;
    std::vector<int> formats;
    Result r = main_->readPart(part, limits_.maxOtherPartBytes, true, false, [&](QXmlStreamReader& x) {
        bool inCellXfs = false;
        while (!x.atEnd()) {
            const auto token = x.readNext();
            if (token == QXmlStreamReader::EndElement && x.name() == u"cellXfs") inCellXfs = false;
            if (token != QXmlStreamReader::StartElement) continue;
            if (x.name() == u"cellXfs") {
                inCellXfs = true;
            } else if (x.name() == u"numFmt") {
                const QXmlStreamAttributes a = x.attributes();
                if (const auto id = toInt(a.value(QLatin1String("numFmtId"))))
                    custom.insert(*id, a.value(QLatin1String("formatCode")).toString());
            } else if (inCellXfs && x.name() == u"xf") {
                if (int(formats.size()) >= limits_.maxStyles)
                    return damaged(part + QStringLiteral(" 的格式太多"));
                formats.push_back(toInt(x.attributes().value(QLatin1String("numFmtId"))).value_or(0));
            }
        }
        return Result::done();
    });
    dateStyles_.clear();
    for (int id : formats) {
        const auto code = custom.constFind(id);
        dateStyles_.push_back(code != custom.constEnd() ? isDateFormat(*code) : isBuiltInDateFormat(id));
    }
    return r;
}

Result Package::readSharedStrings(Archive& archive, const QString& part) {
    QString text;
    return archive.readPart(part, limits_.maxSharedBytes, true, false, [&](QXmlStreamReader& x) {
        while (!x.atEnd()) {
            if (x.readNext() != QXmlStreamReader::StartElement || x.name() != u"si") continue;
            if (!richText(x, limits_.maxCellChars, text)) {
                if (x.hasError()) break;
                return Result::failed(QStringLiteral("第 %1 条共享文字：").arg(shared_.size() + 1) +
                                      cellTooLong(limits_.maxCellChars));
            }
            if (!shared_.add(text)) {
                return Result::failed(QStringLiteral("共享文字太多（超过 %1 条或 %2 M 个字）")
                                          .arg(limits_.maxSharedStrings)
                                          .arg(limits_.maxSharedChars >> 20));
            }
        }
        return Result::done();
    });
}

Result Package::readCell(QXmlStreamReader& x, ParsedRow& row, int& column, QString& value) {
    // The attributes are taken into locals and let go before the children
    // are read, so the reader can reuse its attribute list without copying.
    int at = column + 1;
    CellType type = CellType::Number;
    std::optional<int> style = 0;
    {
        const QXmlStreamAttributes a = x.attributes();
        const QStringView ref = a.value(QLatin1String("r"));
        if (!ref.isEmpty()) at = columnOf(ref);
        if (at <= 0 || at > kMaxColumns) return damaged(QStringLiteral("单元格位置“%1”无效").arg(ref));
        type = cellType(a.value(QLatin1String("t")));
        if (a.hasAttribute(QLatin1String("s"))) style = toInt(a.value(QLatin1String("s")));
    }
    column = at;
    const auto tooLong = [&] {
        return Result::failed(QStringLiteral("单元格 %1%2：").arg(columnName(at)).arg(row.number) +
                              cellTooLong(limits_.maxCellChars));
    };

    // The value's text is gathered in a buffer kept from cell to cell
    // (resize, unlike clear, keeps its memory).
    value.resize(0);
    QString inlineText;
    bool hasValue = false, hasInline = false;
    while (!x.atEnd()) {
        const auto token = x.readNext();
        if (token == QXmlStreamReader::EndElement) break;  // </c>
        if (token != QXmlStreamReader::StartElement) continue;
        if (x.name() == u"v") {
            hasValue = true;
            while (!x.atEnd() && x.readNext() != QXmlStreamReader::EndElement) {
                if (x.isCharacters()) {
                    value += x.text();
                    if (value.size() > limits_.maxCellChars * kEscapeWidth) return tooLong();
                } else if (x.isStartElement()) {
                    x.raiseError(QStringLiteral("<v> holds an element"));
                }
            }
        } else if (x.name() == u"is") {
            if (!richText(x, limits_.maxCellChars, inlineText) && !x.hasError()) return tooLong();
            hasInline = true;
        } else {
            x.skipCurrentElement();
        }
    }
    if (x.hasError() || at > columns_) return Result::done();

    const QStringView v = QStringView(value).trimmed();
    Cell& cell = row.cells[size_t(at - 1)];
    row.shared[size_t(at - 1)] = -1;
    if (type == CellType::Inline) {
        cell = hasInline ? Cell::ofText(inlineText) : Cell{};
    } else if (!hasValue) {
        cell = Cell{};
    } else if (type == CellType::Shared) {
        bool ok = false;
        const qint64 index = v.toLongLong(&ok);
        if (!ok || index < 0) return damaged(QStringLiteral("共享文字编号“%1”无效").arg(v.left(20)));
        cell = Cell::ofText({});
        row.shared[size_t(at - 1)] = index;
    } else if (type == CellType::Formula) {
        QString text = decodeEscapes(value);
        if (text.size() > limits_.maxCellChars) return tooLong();
        cell = Cell::ofText(std::move(text));
    } else if (type == CellType::Boolean) {
        cell = Cell::ofBoolean(v != u"0" && v.compare(u"false", Qt::CaseInsensitive) != 0);
    } else if (type == CellType::Error) {
        cell = Cell::ofError(v.toString());
    } else if (type == CellType::IsoDate) {
        const std::optional<double> serial = isoSerial(v.toString());
        cell = serial ? Cell::ofDate(*serial) : Cell::ofText(value);
    } else if (v.isEmpty()) {
        cell = Cell{};
    } else {
        bool ok = false;
        const double number = v.toDouble(&ok);
        if (!ok) return damaged(QStringLiteral("数字“%1”无效").arg(v.left(40)));
        const bool date =
            style && *style >= 0 && size_t(*style) < dateStyles_.size() && dateStyles_[size_t(*style)];
        cell = date ? Cell::ofDate(date1904_ ? number + 1462 : number) : Cell::ofNumber(number);
    }
    return Result::done();
}

template <typename Deliver>
Result Package::parseSheet(const SheetEntry& sheet, Deliver&& deliver) {
    std::vector<ParsedRow> batch;
    ParsedRow row;
    row.cells.resize(size_t(columns_));
    row.shared.assign(size_t(columns_), -1);
    QString value;
    Result r = main_->readPart(sheet.part, limits_.maxSheetBytes, false, false, [&](QXmlStreamReader& x) {
        bool inRow = false;
        int column = 0;
        while (!x.atEnd()) {
            const auto token = x.readNext();
            if (token == QXmlStreamReader::EndElement && x.name() == u"row") {
                inRow = false;
                bool any = false;
                for (const Cell& c : row.cells) any = any || c.kind != Cell::Kind::Empty;
                if (!any) continue;
                batch.push_back(row);
                if (batch.size() >= kBatchRows && !deliver(batch)) return Result::stopped();
                continue;
            }
            if (token != QXmlStreamReader::StartElement) continue;
            if (x.name() == u"row") {
                const QStringView r = x.attributes().value(QLatin1String("r"));
                const std::optional<int> number = r.isEmpty() ? std::optional<int>(row.number + 1) : toInt(r);
                if (!number || *number < 1 || *number > kMaxRows) {
                    return damaged(QStringLiteral("行号“%1”无效").arg(r));
                }
                if (*number <= row.number) return damaged(QStringLiteral("第 %1 行的次序不对").arg(*number));
                row.number = *number;
                inRow = true;
                column = 0;
                std::fill(row.cells.begin(), row.cells.end(), Cell{});
                std::fill(row.shared.begin(), row.shared.end(), -1);
            } else if (x.name() == u"c") {
                if (!inRow) return damaged(QStringLiteral("单元格不在行内"));
                Result c = readCell(x, row, column, value);
                if (!c.isDone()) return c;
            }
        }
        return Result::done();
    });
    if (r.isDone() && !batch.empty() && !deliver(batch)) return Result::stopped();
    return r;
}

Result Package::resolve(ParsedRow& row) {
    for (size_t i = 0; i < row.shared.size(); ++i) {
        const qint64 index = row.shared[i];
        if (index < 0) continue;
        if (!shared_.contains(index)) return damaged(QStringLiteral("共享文字编号“%1”无效").arg(index));
        row.cells[i] = Cell::ofText(shared_.at(qsizetype(index)));
    }
    return Result::done();
}

Result Package::readSheet(const SheetEntry& sheet, SheetRows& rows) {
    const auto failed = [&](const Result& r) {
        return Result::failed(QStringLiteral("工作表“%1”无法读取：%2").arg(sheet.name, r.reason));
    };
    if (!rows.beginSheet(sheet.name)) return Result::stopped();

    // Each row's shared strings are looked up, and the row is handed on to
    // `rows`, which turns it into text and writes it.
    Result outcome = Result::done();
    const Result parsed = parseSheet(sheet, [&](std::vector<ParsedRow>& batch) {
        for (ParsedRow& row : batch) {
            outcome = sharedResult_;
            if (outcome.isDone()) outcome = resolve(row);
            if (outcome.status == Result::Status::Failed) outcome = failed(outcome);
            if (outcome.isDone() && !rows.row(row.number, row.cells)) outcome = Result::stopped();
            if (!outcome.isDone()) return false;
        }
        batch.clear();
        return true;
    });
    if (!outcome.isDone()) return outcome;
    if (parsed.status == Result::Status::Failed) return failed(parsed);
    if (!parsed.isDone()) return parsed;
    if (!rows.endSheet()) return Result::stopped();
    return Result::done();
}

Result Package::read(SheetRows& rows) {
    main_ = std::make_unique<Archive>(open_(), entries_, limits_, unpacked_);
    if (!main_->open())
        return Result::failed(QStringLiteral("文件不是有效的 .xlsx 工作簿（无法打开压缩包）"));
    QuaZip& zip = main_->zip();
    if (zip.getEntriesCount() > limits_.maxEntries) {
        return Result::failed(QStringLiteral("压缩包里的文件太多，不像是工作簿"));
    }
    for (const QString& name : zip.getFileNameList()) entries_.insert(normalizePart(name).toLower(), name);
    if (zip.getZipError() != UNZ_OK) return damaged(QStringLiteral("压缩包目录无法读取"));

    QHash<QString, Relationship> packageRels;
    Result r = readRelationships(QStringLiteral("_rels/.rels"), packageRels);
    if (!r.isDone()) return r;
    QString workbook = QStringLiteral("xl/workbook.xml");
    for (const Relationship& rel : std::as_const(packageRels)) {
        if (hasType(rel.type, u"officeDocument")) workbook = rel.target;
    }
    if (!entries_.contains(workbook.toLower())) {
        return Result::failed(QStringLiteral("文件不是 Excel 工作簿（压缩包里没有 %1）").arg(workbook));
    }

    std::vector<SheetEntry> sheets;
    QString sharedPart;
    r = readWorkbook(workbook, sheets, sharedPart);
    if (!r.isDone()) return r;
    if (sheets.empty()) return Result::failed(QStringLiteral("工作簿里没有工作表"));

    if (!sharedPart.isEmpty()) sharedResult_ = readSharedStrings(*main_, sharedPart);
    for (const SheetEntry& sheet : sheets) {
        r = readSheet(sheet, rows);
        if (!r.isDone()) return r;
    }
    return sharedResult_;
}

}  // namespace

SpreadsheetReader::Result XlsxReader::read(const Opener& open, int columns, SheetRows& rows) const {
    Package package(open, limits_, columns);
    return package.read(rows);
}

}  // namespace tovrin
