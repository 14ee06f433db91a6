#include "workbook/xlsx_reader.h"

#include <QDateTime>
#include <QHash>
#include <cstring>
#include <string_view>
#include <vector>

#include "workbook/cell_formats.h"
#include "workbook/string_pool.h"
#include "workbook/workbook_reasons.h"
#include "workbook/xml_namespaces.h"
#include "workbook/xml_part.h"
#include "workbook/xml_text.h"
#include "workbook/zip_package.h"

namespace tovrin {

namespace {

using Result = SpreadsheetReader::Result;

using workbook_reasons::cellTooLong;
using workbook_reasons::damaged;

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

// The same, read from the bytes where the reference is ASCII.
int columnOf(const char* ref) {
    int column = 0;
    for (const char* at = ref; *at; ++at) {
        const char c = *at;
        // Some other letters are upper-cased to ASCII ones.
        if (quint8(c) >= 0x80) return columnOf(QStringView(xml_text::decode(QByteArrayView(ref))));
        const char u = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        if (u < 'A' || u > 'Z') break;
        column = column * 26 + (u - 'A' + 1);
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

// The escapes make a text longer in the XML than in the cell: at most this
// many times.
constexpr qsizetype kEscapeWidth = 7;

// Whether a cell's text read so far, `utf8`, may still be one of `maxChars`
// characters once its escapes are written out.
bool mayFitCell(std::string_view utf8, qsizetype maxChars) {
    // A UTF-8 text has at least as many bytes as UTF-16 code units.
    const qsizetype limit = maxChars * kEscapeWidth;
    return qsizetype(utf8.size()) <= limit || xml_text::utf16Size(utf8) <= limit;
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

CellType cellType(const char* t) {
    if (!t || XmlPart::is(t, "n")) return CellType::Number;
    if (XmlPart::is(t, "s")) return CellType::Shared;
    if (XmlPart::is(t, "inlineStr")) return CellType::Inline;
    if (XmlPart::is(t, "str")) return CellType::Formula;
    if (XmlPart::is(t, "b")) return CellType::Boolean;
    if (XmlPart::is(t, "e")) return CellType::Error;
    if (XmlPart::is(t, "d")) return CellType::IsoDate;
    return CellType::Number;
}

// The number in an attribute value, as QString::toInt() reads it; plain
// digits are read straight away.
std::optional<int> intOf(const char* text) {
    int value = 0, digits = 0;
    for (const char* c = text; *c >= '0' && *c <= '9' && digits < 9; ++c, ++digits)
        value = value * 10 + (*c - '0');
    if (digits > 0 && text[digits] == '\0') return value;
    return xml_text::toInt(QByteArrayView(text));
}

// The value of the attribute named `name` (prefix and all) of a start tag;
// null when the tag has none.
const char* attribute(const char** attributes, const char* name) {
    for (const char** a = attributes; *a; a += 2) {
        if (std::strcmp(a[0], name) == 0) return a[1];
    }
    return nullptr;
}

QByteArrayView valueOf(const char** attributes, const char* name) {
    const char* value = attribute(attributes, name);
    return value ? QByteArrayView(value) : QByteArrayView();
}

// The text of a shared or inline string: its <t> elements, also those of its
// runs, but not the phonetic guide (<rPh>). Fed the events from the start of
// the string's element to its end.
class RichText {
public:
    enum class Step { More, Done, Malformed };

    void begin() {
        bytes_.clear();
        depth_ = 1;
        textDepth_ = 0;
        skip_ = 0;
    }
    Step start(const char* name) {
        if (skip_ > 0) {
            ++skip_;
        } else if (textDepth_ != 0) {
            return Step::Malformed;  // <t> holds an element
        } else if (XmlPart::is(name, "rPh")) {
            skip_ = 1;
        } else {
            ++depth_;
            if (XmlPart::is(name, "t")) textDepth_ = depth_;
        }
        return Step::More;
    }
    Step end() {
        if (skip_ > 0) {
            --skip_;
            return Step::More;
        }
        if (depth_ == textDepth_) textDepth_ = 0;
        return --depth_ == 0 ? Step::Done : Step::More;
    }
    void text(const char* data, int size) {
        if (textDepth_ != 0 && skip_ == 0) bytes_.append(data, size_t(size));
    }
    // Whether the text so far may still be a cell's of `maxChars`
    // characters, its escapes written out.
    bool fits(qsizetype maxChars) const { return mayFitCell(bytes_, maxChars); }

    // The text with its escapes decoded, once Done: nothing when it is longer
    // than `maxChars`.
    std::optional<QString> take(qsizetype maxChars) const {
        QString out;
        if (!hasEscapes()) {
            const qsizetype size = xml_text::utf16Size(bytes_);
            if (size > maxChars) return std::nullopt;
            xml_text::append(out, bytes_, size);
        } else {
            out = decodeEscapes(xml_text::decode(bytes_));
            if (out.size() > maxChars) return std::nullopt;
        }
        return out;
    }
    // Adds the text, once Done, to `pool`, unless it is longer than
    // `maxChars`.
    enum class Added { Yes, TooLong, PoolFull };
    Added addTo(StringPool& pool, qsizetype maxChars) const {
        if (!hasEscapes()) {
            const qsizetype size = xml_text::utf16Size(bytes_);
            if (size > maxChars) return Added::TooLong;
            return pool.addUtf8(bytes_, size) ? Added::Yes : Added::PoolFull;
        }
        const QString text = decodeEscapes(xml_text::decode(bytes_));
        if (text.size() > maxChars) return Added::TooLong;
        return pool.add(text) ? Added::Yes : Added::PoolFull;
    }

private:
    bool hasEscapes() const { return bytes_.find("_x") != std::string::npos; }

    std::string bytes_;
    int depth_ = 0;
    int textDepth_ = 0;  // the depth of the <t> element the text is in, 0 outside
    int skip_ = 0;       // the depth inside a skipped element
};

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
using workbook_limits::kXlsxBatchRows;

struct Relationship {
    QString type;
    QString target;  // the part name
};

struct SheetEntry {
    QString name;
    QString part;
};

// A handler of a part that looks at start tags only.
struct StartTags {
    void end(const char*) {}
    void text(const char*, int) {}
    void textDone() {}
};

// The archive, its parts found by their names in any case.
class Archive {
public:
    Archive(QIODevice& device, const XlsxReader::Limits& limits) : package_(device, limits) {}

    Result open() {
        const Result r = package_.open({QStringLiteral("文件不是有效的 .xlsx 工作簿（无法打开压缩包）"),
                                        QStringLiteral("压缩包里的文件太多，不像是工作簿")});
        if (!r.isDone()) return r;
        for (const QString& name : package_.names()) entries_.insert(normalizePart(name).toLower(), name);
        return r;
    }
    bool has(const QString& part) const { return entries_.contains(part.toLower()); }

    // Reads one part with `body`, which reads the XmlPart it is given; a
    // missing part is no error when `optional`. A part that unpacks to more
    // than `maxBytes`, or to far more than the packed bytes read for it, is
    // refused as soon as it does.
    template <typename Body>
    Result readPart(const QString& part, qint64 maxBytes, bool optional, Body&& body) {
        const auto entry = entries_.constFind(part.toLower());
        if (entry == entries_.constEnd()) {
            if (optional) return Result::done();
            return workbook_reasons::missingPart(part);
        }
        return package_.readPart(
            *entry, part, maxBytes,
            {damaged(QStringLiteral("无法找到 ") + part),
             Result::failed(QStringLiteral("无法解压 %1（文件可能已加密或损坏）").arg(part))},
            std::forward<Body>(body));
    }

private:
    ZipPackage package_;
    QHash<QString, QString> entries_;  // lower-case part name → name in the archive
};

// Walks a sheet's XML and hands its rows on a batch at a time; the elements
// are told by their names without prefix, the attributes by their names as
// written. `deliver` is given the batch and the number of its rows; it
// returns false to stop the reading.
template <typename Deliver>
class SheetParser {
public:
    SheetParser(XmlPart& xml, const XlsxReader::Limits& limits, int columns,
                const std::vector<bool>& dateStyles, bool date1904, Deliver deliver)
        : xml_(xml),
          limits_(limits),
          columns_(columns),
          dateStyles_(dateStyles),
          date1904_(date1904),
          deliver_(std::move(deliver)),
          batch_(kXlsxBatchRows) {
        for (ParsedRow& row : batch_) {
            row.cells.resize(size_t(columns_));
            row.shared.assign(size_t(columns_), -1);
        }
    }

    void start(const char* name, const char** attributes) {
        const char* local = XmlPart::localName(name);
        switch (state_) {
            case State::Sheet:
                if (XmlPart::is(local, "c")) {
                    startCell(attributes);
                } else if (XmlPart::is(local, "row")) {
                    startRow(attributes);
                }
                break;
            case State::Cell:
                if (XmlPart::is(local, "v")) {
                    hasValue_ = true;
                    state_ = State::Value;
                } else if (XmlPart::is(local, "is")) {
                    rich_.begin();
                    state_ = State::Inline;
                } else {
                    skip_ = 1;
                    state_ = State::Skip;
                }
                break;
            case State::Value:
                xml_.malformed();  // <v> holds an element
                break;
            case State::Inline:
                if (rich_.start(local) == RichText::Step::Malformed) xml_.malformed();
                break;
            case State::Skip:
                ++skip_;
                break;
        }
    }

    void end(const char* name) {
        switch (state_) {
            case State::Sheet:
                if (inRow_ && XmlPart::is(XmlPart::localName(name), "row")) endRow();
                break;
            case State::Cell:
                state_ = State::Sheet;  // </c>
                endCell();
                break;
            case State::Value:
                state_ = State::Cell;
                break;
            case State::Inline:
                if (rich_.end() == RichText::Step::Done) {
                    state_ = State::Cell;
                    if (const auto text = rich_.take(limits_.maxCellChars)) {
                        inline_ = *text;
                        hasInline_ = true;
                    } else {
                        tooLong();
                    }
                }
                break;
            case State::Skip:
                if (--skip_ == 0) state_ = State::Cell;
                break;
        }
    }

    void text(const char* data, int size) {
        if (state_ == State::Value) {
            value_.append(data, size_t(size));
        } else if (state_ == State::Inline) {
            rich_.text(data, size);
        }
    }

    void textDone() {
        if (state_ == State::Value && !mayFitCell(value_, limits_.maxCellChars)) tooLong();
        if (state_ == State::Inline && !rich_.fits(limits_.maxCellChars)) tooLong();
    }

    // After the sheet was read to its end: hands on the rows of the last
    // batch; false when that stops the reading.
    bool finish() { return used_ == 0 || deliver_(batch_, std::exchange(used_, 0)); }

private:
    enum class State { Sheet, Cell, Value, Inline, Skip };

    ParsedRow& row() { return batch_[used_]; }

    void startRow(const char** attributes) {
        const char* r = attribute(attributes, "r");
        const std::optional<int> number = !r || !*r ? std::optional<int>(number_ + 1) : intOf(r);
        if (!number || *number < 1 || *number > kMaxRows) {
            return xml_.stop(damaged(QStringLiteral("行号“%1”无效").arg(xml_text::decode(r ? r : ""))));
        }
        if (*number <= number_) return xml_.stop(damaged(QStringLiteral("第 %1 行的次序不对").arg(*number)));
        number_ = *number;
        inRow_ = true;
        column_ = 0;
        ParsedRow& current = row();
        current.number = number_;
        for (Cell& cell : current.cells) {
            cell.kind = Cell::Kind::Empty;
            cell.number = 0;
            cell.text.clear();
        }
        std::fill(current.shared.begin(), current.shared.end(), -1);
    }

    void endRow() {
        inRow_ = false;
        const ParsedRow& current = row();
        bool any = false;
        for (const Cell& c : current.cells) any = any || c.kind != Cell::Kind::Empty;
        if (!any) return;
        if (++used_ == kXlsxBatchRows && !deliver_(batch_, std::exchange(used_, 0)))
            xml_.stop(Result::stopped());
    }

    void startCell(const char** attributes) {
        if (!inRow_) return xml_.stop(damaged(QStringLiteral("单元格不在行内")));
        const char *ref = nullptr, *type = nullptr, *style = nullptr;
        for (const char** a = attributes; *a; a += 2) {
            const char* name = a[0];
            if (name[0] == '\0' || name[1] != '\0') continue;
            if (name[0] == 'r') {
                ref = a[1];
            } else if (name[0] == 't') {
                type = a[1];
            } else if (name[0] == 's') {
                style = a[1];
            }
        }
        at_ = !ref || !*ref ? column_ + 1 : columnOf(ref);
        if (at_ <= 0 || at_ > kMaxColumns) {
            return xml_.stop(damaged(
                QStringLiteral("单元格位置“%1”无效").arg(xml_text::decode(QByteArrayView(ref ? ref : "")))));
        }
        type_ = cellType(type);
        style_ = style ? intOf(style) : std::optional<int>(0);
        column_ = at_;
        value_.clear();
        if (hasInline_) inline_.clear();
        hasValue_ = hasInline_ = false;
        state_ = State::Cell;
    }

    void tooLong() {
        xml_.stop(Result::failed(QStringLiteral("单元格 %1%2：").arg(columnName(at_)).arg(number_) +
                                 cellTooLong(limits_.maxCellChars)));
    }

    void endCell() {
        if (at_ > columns_) return;
        Cell& cell = row().cells[size_t(at_ - 1)];
        qint64& shared = row().shared[size_t(at_ - 1)];
        shared = -1;
        if (type_ == CellType::Inline) {
            cell = hasInline_ ? Cell::ofText(inline_) : Cell{};
            return;
        }
        if (!hasValue_) {
            cell = Cell{};
            return;
        }
        // Plain numbers and shared string numbers are read from the bytes.
        if (type_ == CellType::Number) {
            if (const std::optional<double> number = xml_text::plainNumber(value_)) {
                setNumber(cell, *number);
                return;
            }
        } else if (type_ == CellType::Shared) {
            if (const std::optional<qint64> index = sharedIndex(); index && *index >= 0) {
                cell.kind = Cell::Kind::Text;
                cell.number = 0;
                cell.text.clear();
                shared = *index;
                return;
            }
        }
        const QString value = xml_text::decode(value_);
        const QStringView v = QStringView(value).trimmed();
        switch (type_) {
            case CellType::Shared: {
                bool ok = false;
                const qint64 index = v.toLongLong(&ok);
                if (!ok || index < 0) return xml_.stop(damaged(workbook_reasons::badSharedIndex(v)));
                cell = Cell::ofText({});
                shared = index;
                break;
            }
            case CellType::Formula: {
                QString text = decodeEscapes(value);
                if (text.size() > limits_.maxCellChars) return tooLong();
                cell = Cell::ofText(std::move(text));
                break;
            }
            case CellType::Boolean:
                cell = Cell::ofBoolean(v != u"0" && v.compare(u"false", Qt::CaseInsensitive) != 0);
                break;
            case CellType::Error:
                cell = Cell::ofError(v.toString());
                break;
            case CellType::IsoDate: {
                const std::optional<double> serial = isoSerial(v.toString());
                cell = serial ? Cell::ofDate(*serial) : Cell::ofText(value);
                break;
            }
            default:
                if (v.isEmpty()) {
                    cell = Cell{};
                } else {
                    bool ok = false;
                    const double number = v.toDouble(&ok);
                    if (!ok) return xml_.stop(damaged(workbook_reasons::badNumber(v)));
                    setNumber(cell, number);
                }
                break;
        }
    }

    // The shared string number the value holds, read straight away when it
    // is digits alone.
    std::optional<qint64> sharedIndex() const {
        qint64 index = 0;
        size_t i = 0;
        for (; i < value_.size() && i < 18 && value_[i] >= '0' && value_[i] <= '9'; ++i) {
            index = index * 10 + (value_[i] - '0');
        }
        if (i > 0 && i == value_.size()) return index;
        return xml_text::plainInteger(value_);
    }

    // Makes `cell` the number, or the date where the cell's style shows one.
    void setNumber(Cell& cell, double number) const {
        const bool date =
            style_ && *style_ >= 0 && size_t(*style_) < dateStyles_.size() && dateStyles_[size_t(*style_)];
        cell.kind = date ? Cell::Kind::Date : Cell::Kind::Number;
        cell.number = date && date1904_ ? number + 1462 : number;
        cell.text.clear();
    }

    XmlPart& xml_;
    const XlsxReader::Limits& limits_;
    int columns_;
    const std::vector<bool>& dateStyles_;
    bool date1904_;
    Deliver deliver_;

    State state_ = State::Sheet;
    int skip_ = 0;  // the depth inside an element skipped
    // The rows read and not yet handed on, the row being read after them.
    std::vector<ParsedRow> batch_;
    size_t used_ = 0;
    int number_ = 0;  // the number of the last row begun
    bool inRow_ = false;
    int column_ = 0;  // the column of the last cell begun

    // The cell being read.
    int at_ = 0;
    CellType type_ = CellType::Number;
    std::optional<int> style_;
    std::string value_;  // its <v> text, kept from cell to cell for its memory
    bool hasValue_ = false, hasInline_ = false;
    RichText rich_;
    QString inline_;
};

class Package {
public:
    Package(QIODevice& device, const XlsxReader::Limits& limits, int columns)
        : limits_(limits),
          columns_(columns),
          main_(device, limits),
          shared_(limits.maxSharedChars, limits.maxSharedStrings) {}

    Result read(SheetRows& rows);

private:
    Result readRelationships(const QString& part, QHash<QString, Relationship>& out);
    Result readWorkbook(const QString& part, std::vector<SheetEntry>& sheets, QString& sharedPart);
    Result readStyles(const QString& part);
    Result readSharedStrings(const QString& part);
    Result readSheet(const SheetEntry& sheet, SheetRows& rows);
    Result resolve(ParsedRow& row);

    const XlsxReader::Limits& limits_;
    int columns_;
    Archive main_;
    bool date1904_ = false;
    std::vector<bool> dateStyles_;

    // Read before the sheets; their failure is told at the first row that
    // could need them, or after the last sheet.
    StringPool shared_;
    Result sharedResult_;
    // The shared strings looked up lately, by their number modulo the
    // size: those that many rows share (units, categories, suppliers) are
    // made into a QString once.
    struct Recent {
        qint64 index = -1;
        QString text;
    };
    std::vector<Recent> recent_ = std::vector<Recent>(workbook_limits::kXlsxRecentStrings);
};

Result Package::readRelationships(const QString& part, QHash<QString, Relationship>& out) {
    const QString base = part.section(QStringLiteral("_rels/"), 0, 0);
    struct Handler : StartTags {
        void start(const char* name, const char** a) {
            if (!XmlPart::is(XmlPart::localName(name), "Relationship")) return;
            if (xml_text::equalsCaseBlind(valueOf(a, "TargetMode"), "External")) return;
            const QString target = xml_text::decode(valueOf(a, "Target"));
            const QString resolved = target.startsWith(QLatin1Char('/')) ? target : base + target;
            out.insert(xml_text::decode(valueOf(a, "Id")),
                       {xml_text::decode(valueOf(a, "Type")), normalizePart(resolved)});
        }
        const QString& base;
        QHash<QString, Relationship>& out;
    };
    return main_.readPart(part, limits_.maxOtherPartBytes, true, [&](XmlPart& xml) {
        Handler handler{{}, base, out};
        return xml.read(handler);
    });
}

Result Package::readWorkbook(const QString& part, std::vector<SheetEntry>& sheets, QString& sharedPart) {
    QHash<QString, Relationship> rels;
    Result r = readRelationships(relsOf(part), rels);
    if (!r.isDone()) return r;

    // Namespaces are resolved here: a sheet's relationship is its "id"
    // attribute in a namespace.
    struct Handler : StartTags {
        void start(const char* name, const char** a) {
            if (!names.enter(name, a)) return xml.malformed();
            if (names.name() == "workbookPr") {
                const QByteArrayView v = names.value(XmlNamespaces::kNone, "date1904");
                date1904 = v == "1" || xml_text::equalsCaseBlind(v, "true");
            } else if (names.name() == "sheet") {
                QString id;
                for (const XmlNamespaces::Attribute& attr : names.attributes()) {
                    if (attr.name == "id" && attr.ns != XmlNamespaces::kNone)
                        id = xml_text::decode(attr.value);
                }
                listed.emplace_back(xml_text::decode(names.value(XmlNamespaces::kNone, "name")), id);
            }
        }
        void end(const char*) { names.leave(); }
        XmlPart& xml;
        bool& date1904;
        std::vector<std::pair<QString, QString>>& listed;  // name, relationship id
        XmlNamespaces names{};
    };
    std::vector<std::pair<QString, QString>> listed;
    r = main_.readPart(part, limits_.maxOtherPartBytes, false, [&](XmlPart& xml) {
        Handler handler{{}, xml, date1904_, listed, XmlNamespaces{}};
        return xml.read(handler);
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
    struct Handler {
        void start(const char* name, const char** a) {
            const char* local = XmlPart::localName(name);
            if (XmlPart::is(local, "cellXfs")) {
                inCellXfs = true;
            } else if (XmlPart::is(local, "numFmt")) {
                if (const auto id = xml_text::toInt(valueOf(a, "numFmtId")))
                    custom.insert(*id, xml_text::decode(valueOf(a, "formatCode")));
            } else if (inCellXfs && XmlPart::is(local, "xf")) {
                if (int(formats.size()) >= maxStyles)
                    return xml.stop(damaged(xml.part() + QStringLiteral(" 的格式太多")));
                formats.push_back(xml_text::toInt(valueOf(a, "numFmtId")).value_or(0));
            }
        }
        void end(const char* name) {
            if (XmlPart::is(XmlPart::localName(name), "cellXfs")) inCellXfs = false;
        }
        void text(const char*, int) {}
        void textDone() {}
        XmlPart& xml;
        int maxStyles;
        QHash<int, QString> custom;
        std::vector<int> formats;
        bool inCellXfs = false;
    };
    std::vector<int> formats;
    QHash<int, QString> custom;
    Result r = main_.readPart(part, limits_.maxOtherPartBytes, true, [&](XmlPart& xml) {
        Handler handler{xml, limits_.maxStyles, {}, {}, false};
        const Result result = xml.read(handler);
        formats = std::move(handler.formats);
        custom = std::move(handler.custom);
        return result;
    });
    dateStyles_.clear();
    for (int id : formats) {
        const auto code = custom.constFind(id);
        dateStyles_.push_back(code != custom.constEnd() ? isDateFormat(*code) : isBuiltInDateFormat(id));
    }
    return r;
}

Result Package::readSharedStrings(const QString& part) {
    struct Handler {
        void start(const char* name, const char**) {
            const char* local = XmlPart::localName(name);
            if (!inString) {
                if (XmlPart::is(local, "si")) {
                    inString = true;
                    text_.begin();
                }
            } else if (text_.start(local) == RichText::Step::Malformed) {
                xml.malformed();
            }
        }
        void end(const char*) {
            if (!inString || text_.end() != RichText::Step::Done) return;
            inString = false;
            const RichText::Added added = text_.addTo(pool, limits.maxCellChars);
            if (added == RichText::Added::TooLong) return tooLong();
            if (added == RichText::Added::PoolFull) {
                xml.stop(
                    workbook_reasons::tooManySharedStrings(limits.maxSharedStrings, limits.maxSharedChars));
            }
        }
        void text(const char* data, int size) {
            if (inString) text_.text(data, size);
        }
        void textDone() {
            if (inString && !text_.fits(limits.maxCellChars)) tooLong();
        }
        void tooLong() {
            xml.stop(workbook_reasons::sharedStringTooLong(pool.size() + 1, limits.maxCellChars));
        }
        XmlPart& xml;
        const XlsxReader::Limits& limits;
        StringPool& pool;
        RichText text_;
        bool inString = false;
    };
    return main_.readPart(part, limits_.maxSharedBytes, true, [&](XmlPart& xml) {
        Handler handler{xml, limits_, shared_, {}, false};
        return xml.read(handler);
    });
}

Result Package::resolve(ParsedRow& row) {
    for (size_t i = 0; i < row.shared.size(); ++i) {
        const qint64 index = row.shared[i];
        if (index < 0) continue;
        if (!shared_.contains(index))
            return damaged(workbook_reasons::badSharedIndex(QString::number(index)));
        Recent& recent = recent_[size_t(index) % recent_.size()];
        if (recent.index != index) {
            recent.index = index;
            recent.text = shared_.at(qsizetype(index));
        }
        QString text = recent.text;
        row.cells[i].text.swap(text);  // the cell is a text already
    }
    return Result::done();
}

Result Package::readSheet(const SheetEntry& sheet, SheetRows& rows) {
    const auto failed = [&](const Result& r) { return workbook_reasons::sheetFailed(sheet.name, r.reason); };
    if (!rows.beginSheet(sheet.name)) return Result::stopped();

    // Each row's shared strings are looked up, and the row is handed on to
    // `rows`, which turns it into text and writes it.
    Result outcome = Result::done();
    const auto deliver = [&](std::vector<ParsedRow>& batch, size_t count) {
        if (!sharedResult_.isDone()) {
            outcome = sharedResult_.status == Result::Status::Failed ? failed(sharedResult_) : sharedResult_;
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            ParsedRow& row = batch[i];
            if (const Result r = resolve(row); !r.isDone()) {
                outcome = failed(r);
                return false;
            }
            if (!rows.row(row.number, row.cells)) {
                outcome = Result::stopped();
                return false;
            }
        }
        return true;
    };
    bool finished = true;
    Result parsed = main_.readPart(sheet.part, limits_.maxSheetBytes, false, [&](XmlPart& xml) {
        SheetParser parser(xml, limits_, columns_, dateStyles_, date1904_, deliver);
        const Result result = xml.read(parser);
        if (result.isDone()) finished = parser.finish();
        return result;
    });
    if (!finished) parsed = Result::stopped();
    if (!outcome.isDone()) return outcome;
    if (parsed.status == Result::Status::Failed) return failed(parsed);
    if (!parsed.isDone()) return parsed;
    if (!rows.endSheet()) return Result::stopped();
    return Result::done();
}

Result Package::read(SheetRows& rows) {
    Result r = main_.open();
    if (!r.isDone()) return r;

    QHash<QString, Relationship> packageRels;
    r = readRelationships(QStringLiteral("_rels/.rels"), packageRels);
    if (!r.isDone()) return r;
    QString workbook = QStringLiteral("xl/workbook.xml");
    for (const Relationship& rel : std::as_const(packageRels)) {
        if (hasType(rel.type, u"officeDocument")) workbook = rel.target;
    }
    if (!main_.has(workbook)) {
        return Result::failed(QStringLiteral("文件不是 Excel 工作簿（压缩包里没有 %1）").arg(workbook));
    }

    std::vector<SheetEntry> sheets;
    QString sharedPart;
    r = readWorkbook(workbook, sheets, sharedPart);
    if (!r.isDone()) return r;
    if (sheets.empty()) return workbook_reasons::noSheets();

    if (!sharedPart.isEmpty()) sharedResult_ = readSharedStrings(sharedPart);
    for (const SheetEntry& sheet : sheets) {
        r = readSheet(sheet, rows);
        if (!r.isDone()) return r;
    }
    return sharedResult_;
}

}  // namespace

SpreadsheetReader::Result XlsxReader::read(QIODevice& device, int columns, SheetRows& rows) const {
    Package package(device, limits_, columns);
    return package.read(rows);
}

}  // namespace tovrin
