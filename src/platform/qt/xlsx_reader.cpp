#include "platform/qt/xlsx_reader.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <QDateTime>
#include <QHash>
#include <QXmlStreamReader>
#include <vector>

#include "platform/qt/string_pool.h"

namespace tovrin {

namespace {

using Result = SpreadsheetReader::Result;

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

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

std::optional<int> toInt(QStringView text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok) return std::nullopt;
    return value;
}

// The text of a shared or inline string: its <t> elements, also those of its
// runs, but not the phonetic guide (<rPh>). Reads to the end of the element
// the reader stands on.
QString richText(QXmlStreamReader& x) {
    QString out;
    int depth = 1;
    while (depth > 0 && !x.atEnd()) {
        switch (x.readNext()) {
            case QXmlStreamReader::StartElement:
                if (x.name() == u"t") {
                    out += x.readElementText();
                } else if (x.name() == u"rPh") {
                    x.skipCurrentElement();
                } else {
                    ++depth;
                }
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            default:
                break;
        }
    }
    return decodeEscapes(out);
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

struct Relationship {
    QString type;
    QString target;  // the part name
};

struct SheetEntry {
    QString name;
    QString part;
};

class Package {
public:
    Package(QIODevice& file, const XlsxReader::Limits& limits, int columns)
        : zip_(&file),
          limits_(limits),
          columns_(columns),
          shared_(limits.maxSharedChars, limits.maxSharedStrings) {}

    Result read(SheetRows& rows);

private:
    // Reads one part with `body`; a missing part is no error when `optional`.
    template <typename Body>
    Result readPart(const QString& part, bool optional, Body&& body);
    Result readRelationships(const QString& part, QHash<QString, Relationship>& out);
    Result readWorkbook(const QString& part, std::vector<SheetEntry>& sheets);
    Result readStyles(const QString& part);
    Result readSharedStrings(const QString& part);
    Result readSheet(const SheetEntry& sheet, SheetRows& rows);
    Result readCell(QXmlStreamReader& x, std::vector<Cell>& cells, int& column);

    static Result damaged(const QString& what) {
        return Result::failed(QStringLiteral("文件已损坏：") + what);
    }

    QuaZip zip_;
    const XlsxReader::Limits& limits_;
    int columns_;
    QHash<QString, QString> entries_;  // lower-case part name → name in the archive
    qint64 unpacked_ = 0;
    bool date1904_ = false;
    std::vector<bool> dateStyles_;
    StringPool shared_;
};

template <typename Body>
Result Package::readPart(const QString& part, bool optional, Body&& body) {
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
    XmlGuard guard(file, limits_.xml, unpacked_);
    QXmlStreamReader x(&guard);
    Result result = body(x);
    if (!guard.violation().isEmpty()) return Result::failed(part + QStringLiteral("：") + guard.violation());
    if (result.status == Result::Status::Done && x.hasError()) {
        return damaged(QStringLiteral("%1 不是有效的 XML（第 %2 行）").arg(part).arg(x.lineNumber()));
    }
    if (result.status != Result::Status::Done) return result;
    // Read to the end, so that the checksum is tested.
    char rest[4096];
    while (guard.read(rest, sizeof rest) > 0) {
    }
    if (!guard.violation().isEmpty()) return Result::failed(part + QStringLiteral("：") + guard.violation());
    file.close();
    if (file.getZipError() != UNZ_OK) return damaged(QStringLiteral("%1 的校验和不符").arg(part));
    return Result::done();
}

Result Package::readRelationships(const QString& part, QHash<QString, Relationship>& out) {
    const QString base = part.section(QStringLiteral("_rels/"), 0, 0);
    return readPart(part, true, [&](QXmlStreamReader& x) {
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

Result Package::readWorkbook(const QString& part, std::vector<SheetEntry>& sheets) {
    QHash<QString, Relationship> rels;
    Result r = readRelationships(relsOf(part), rels);
    if (!r.isDone()) return r;

    std::vector<std::pair<QString, QString>> listed;  // name, relationship id
    r = readPart(part, false, [&](QXmlStreamReader& x) {
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

    QString stylesPart, sharedPart;
    for (const Relationship& rel : std::as_const(rels)) {
        if (hasType(rel.type, u"styles")) stylesPart = rel.target;
        if (hasType(rel.type, u"sharedStrings")) sharedPart = rel.target;
    }
    for (const auto& [name, id] : listed) {
        const auto rel = rels.constFind(id);
        if (rel == rels.constEnd()) return damaged(QStringLiteral("找不到工作表“%1”的位置").arg(name));
        if (hasType(rel->type, u"worksheet")) sheets.push_back({name, rel->target});
    }
    if (!stylesPart.isEmpty()) {
        r = readStyles(stylesPart);
        if (!r.isDone()) return r;
    }
    if (!sharedPart.isEmpty()) {
        r = readSharedStrings(sharedPart);
        if (!r.isDone()) return r;
    }
    return Result::done();
}

Result Package::readStyles(const QString& part) {
    QHash<int, QString> custom;
    std::vector<int> formats;
    Result r = readPart(part, true, [&](QXmlStreamReader& x) {
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

Result Package::readSharedStrings(const QString& part) {
    return readPart(part, true, [&](QXmlStreamReader& x) {
        while (!x.atEnd()) {
            if (x.readNext() != QXmlStreamReader::StartElement || x.name() != u"si") continue;
            if (!shared_.add(richText(x))) {
                return Result::failed(QStringLiteral("共享文字太多（超过 %1 条或 %2 M 个字）")
                                          .arg(limits_.maxSharedStrings)
                                          .arg(limits_.maxSharedChars >> 20));
            }
        }
        return Result::done();
    });
}

Result Package::readCell(QXmlStreamReader& x, std::vector<Cell>& cells, int& column) {
    const QXmlStreamAttributes a = x.attributes();
    const QStringView ref = a.value(QLatin1String("r"));
    const int at = ref.isEmpty() ? column + 1 : columnOf(ref);
    if (at <= 0 || at > kMaxColumns) return damaged(QStringLiteral("单元格位置“%1”无效").arg(ref));
    column = at;
    const QString type = a.value(QLatin1String("t")).toString();
    const std::optional<int> style =
        a.hasAttribute(QLatin1String("s")) ? toInt(a.value(QLatin1String("s"))) : std::optional<int>(0);

    QString value;
    QString inlineText;
    bool hasValue = false, hasInline = false;
    while (!x.atEnd()) {
        const auto token = x.readNext();
        if (token == QXmlStreamReader::EndElement) break;  // </c>
        if (token != QXmlStreamReader::StartElement) continue;
        if (x.name() == u"v") {
            value = x.readElementText();
            hasValue = true;
        } else if (x.name() == u"is") {
            inlineText = richText(x);
            hasInline = true;
        } else {
            x.skipCurrentElement();
        }
    }
    if (x.hasError() || at > columns_) return Result::done();

    Cell& cell = cells[size_t(at - 1)];
    if (type == u"inlineStr") {
        cell = hasInline ? Cell::ofText(inlineText) : Cell{};
    } else if (!hasValue) {
        cell = Cell{};
    } else if (type == u"s") {
        const std::optional<int> index = toInt(value);
        if (!index || !shared_.contains(*index))
            return damaged(QStringLiteral("共享文字编号“%1”无效").arg(value));
        cell = Cell::ofText(shared_.at(*index));
    } else if (type == u"str") {
        cell = Cell::ofText(decodeEscapes(value));
    } else if (type == u"b") {
        const QStringView v = QStringView(value).trimmed();
        cell = Cell::ofBoolean(v != u"0" && v.compare(u"false", Qt::CaseInsensitive) != 0);
    } else if (type == u"e") {
        cell = Cell::ofError(value);
    } else if (type == u"d") {
        const std::optional<double> serial = isoSerial(value.trimmed());
        cell = serial ? Cell::ofDate(*serial) : Cell::ofText(value);
    } else if (value.trimmed().isEmpty()) {
        cell = Cell{};
    } else {
        bool ok = false;
        const double number = QStringView(value).trimmed().toDouble(&ok);
        if (!ok) return damaged(QStringLiteral("数字“%1”无效").arg(value.left(40)));
        const bool date =
            style && *style >= 0 && size_t(*style) < dateStyles_.size() && dateStyles_[size_t(*style)];
        cell = date ? Cell::ofDate(date1904_ ? number + 1462 : number) : Cell::ofNumber(number);
    }
    return Result::done();
}

Result Package::readSheet(const SheetEntry& sheet, SheetRows& rows) {
    if (!rows.beginSheet(sheet.name)) return Result::stopped();
    std::vector<Cell> cells(static_cast<size_t>(columns_));
    Result r = readPart(sheet.part, false, [&](QXmlStreamReader& x) {
        int rowNumber = 0;
        bool inRow = false;
        int column = 0;
        while (!x.atEnd()) {
            const auto token = x.readNext();
            if (token == QXmlStreamReader::EndElement && x.name() == u"row") {
                inRow = false;
                bool any = false;
                for (const Cell& c : cells) any = any || c.kind != Cell::Kind::Empty;
                if (any && !rows.row(rowNumber, cells)) return Result::stopped();
                continue;
            }
            if (token != QXmlStreamReader::StartElement) continue;
            if (x.name() == u"row") {
                const QStringView r = x.attributes().value(QLatin1String("r"));
                const std::optional<int> number = r.isEmpty() ? std::optional<int>(rowNumber + 1) : toInt(r);
                if (!number || *number < 1 || *number > kMaxRows) {
                    return damaged(QStringLiteral("行号“%1”无效").arg(r));
                }
                if (*number <= rowNumber) return damaged(QStringLiteral("第 %1 行的次序不对").arg(*number));
                rowNumber = *number;
                inRow = true;
                column = 0;
                std::fill(cells.begin(), cells.end(), Cell{});
            } else if (x.name() == u"c") {
                if (!inRow) return damaged(QStringLiteral("单元格不在行内"));
                Result c = readCell(x, cells, column);
                if (!c.isDone()) return c;
            }
        }
        return Result::done();
    });
    if (r.status == Result::Status::Failed) {
        return Result::failed(QStringLiteral("工作表“%1”无法读取：%2").arg(sheet.name, r.reason));
    }
    if (!r.isDone()) return r;
    if (!rows.endSheet()) return Result::stopped();
    return Result::done();
}

Result Package::read(SheetRows& rows) {
    if (!zip_.open(QuaZip::mdUnzip)) {
        return Result::failed(QStringLiteral("文件不是有效的 .xlsx 工作簿（无法打开压缩包）"));
    }
    if (zip_.getEntriesCount() > limits_.maxEntries) {
        return Result::failed(QStringLiteral("压缩包里的文件太多，不像是工作簿"));
    }
    for (const QString& name : zip_.getFileNameList()) entries_.insert(normalizePart(name).toLower(), name);
    if (zip_.getZipError() != UNZ_OK) return damaged(QStringLiteral("压缩包目录无法读取"));

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
    r = readWorkbook(workbook, sheets);
    if (!r.isDone()) return r;
    if (sheets.empty()) return Result::failed(QStringLiteral("工作簿里没有工作表"));
    for (const SheetEntry& sheet : sheets) {
        r = readSheet(sheet, rows);
        if (!r.isDone()) return r;
    }
    return Result::done();
}

}  // namespace

SpreadsheetReader::Result XlsxReader::read(QIODevice& file, int columns, SheetRows& rows) const {
    Package package(file, limits_, columns);
    return package.read(rows);
}

}  // namespace tovrin
