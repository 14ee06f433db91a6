#include "workbook/ods_reader.h"

#include <QDateTime>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "workbook/workbook_reasons.h"
#include "workbook/xml_namespaces.h"
#include "workbook/xml_part.h"
#include "workbook/xml_text.h"
#include "workbook/zip_package.h"

namespace tovrin {

namespace {

using Result = SpreadsheetReader::Result;

using workbook_reasons::damaged;

// Serial day number (day 0 = 1899-12-30) of "2018-05-12" or
// "2018-05-12T09:05:07.250".
std::optional<double> dateSerial(QStringView text) {
    const QDate date = QDate::fromString(text.left(10).toString(), Qt::ISODate);
    if (!date.isValid() || (text.size() > 10 && text[10] != u'T')) return std::nullopt;
    double serial = double(QDate(1899, 12, 30).daysTo(date));
    if (text.size() > 11) {
        const QTime time = QTime::fromString(text.sliced(11).toString(), Qt::ISODateWithMs);
        if (!time.isValid()) return std::nullopt;
        serial += time.msecsSinceStartOfDay() / 86400000.0;
    }
    return serial;
}

// A time of day or a duration, "PT12H00M00S" or "P1DT2H30M15.5S", as a
// fraction of days.
std::optional<double> durationSerial(QStringView text) {
    bool negative = false;
    if (text.startsWith(u'-')) {
        negative = true;
        text = text.sliced(1);
    }
    if (!text.startsWith(u'P')) return std::nullopt;
    double seconds = 0;
    bool inTime = false, any = false;
    qsizetype start = 1;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'T') {
            if (inTime || i != start) return std::nullopt;
            inTime = true;
            start = i + 1;
            continue;
        }
        if (c.isDigit() || c == u'.') continue;
        bool ok = false;
        const double n = text.sliced(start, i - start).toDouble(&ok);
        if (!ok || n < 0) return std::nullopt;
        if (!inTime && c == u'D') {
            seconds += n * 86400;
        } else if (inTime && c == u'H') {
            seconds += n * 3600;
        } else if (inTime && c == u'M') {
            seconds += n * 60;
        } else if (inTime && c == u'S') {
            seconds += n;
        } else {
            return std::nullopt;
        }
        any = true;
        start = i + 1;
    }
    if (!any || start != text.size()) return std::nullopt;
    return (negative ? -seconds : seconds) / 86400;
}

// A repetition count: at least 1; an absurd count is cut to `cap`.
qint64 repeatCount(QByteArrayView text, qint64 cap) {
    if (text.isEmpty()) return 1;
    const std::optional<qint64> n = xml_text::toLongLong(text);
    if (!n || *n < 1) return 1;
    return std::min<qint64>(*n, cap);
}

// The serial of a plain "2018-05-12", read from the bytes; anything else
// goes through dateSerial().
std::optional<double> dateSerial(QByteArrayView text) {
    const auto digit = [&](int i) { return text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1; };
    const auto number = [&](int from, int count) {
        int n = 0;
        for (int i = from; i < from + count; ++i) {
            if (digit(i) < 0) return -1;
            n = n * 10 + digit(i);
        }
        return n;
    };
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
        if (year > 0 && month >= 0 && day >= 0) {
            const QDate date(year, month, day);
            if (!date.isValid()) return std::nullopt;
            return double(QDate(1899, 12, 30).daysTo(date));
        }
    }
    return dateSerial(QStringView(xml_text::decode(text)).trimmed());
}

enum Namespace { kOffice = 2, kTable, kText, kCalcExt };

// Walks content.xml: every table:table of the body is one sheet.
class Content {
public:
    Content(XmlPart& xml, const OdsReader::Limits& limits, int columns, SheetRows& rows)
        : xml_(xml),
          limits_(limits),
          columns_(std::max(columns, 0)),
          rows_(rows),
          cells_(size_t(columns_)),
          names_({kOfficeUri, kTableUri, kTextUri, kCalcExtUri}) {}

    void start(const char* name, const char** attributes) {
        if (!names_.enter(name, attributes)) return xml_.malformed();
        switch (state_) {
            case State::Body:
                if (isTable("table")) beginTable();
                break;
            case State::Table:
                if (isTable("table-row")) {
                    beginRow();
                } else if (isTable("table-row-group") || isTable("table-header-rows") ||
                           isTable("table-rows")) {
                    ++depth_;
                } else {
                    skip(State::Table);
                }
                break;
            case State::Row:
                if (!isTable("table-cell") && !isTable("covered-table-cell")) return skip(State::Row);
                times_ = repeatCount(names_.value(kTable, "number-columns-repeated"), columns_ + 1);
                if (column_ >= columns_) return skip(State::Row);
                beginCell();
                break;
            case State::Cell:
                if (isText("p") || isText("h")) {
                    if (paragraphs_ && !append("\n")) return;
                    paragraphs_ = true;
                    blank_ = true;
                    paragraphDepth_ = 1;
                    state_ = State::Paragraph;
                } else {
                    skip(State::Cell);  // comments, drawings, ...
                }
                break;
            case State::Paragraph:
                startInParagraph();
                break;
            case State::Skip:
                ++skip_;
                break;
        }
    }

    void end(const char*) {
        names_.leave();
        switch (state_) {
            case State::Body:
                break;
            case State::Table:
                if (--depth_ == 0) endTable();
                break;
            case State::Row:
                endRow();
                break;
            case State::Cell:
                endCell();
                break;
            case State::Paragraph:
                if (--paragraphDepth_ == 0) state_ = State::Cell;
                break;
            case State::Skip:
                if (--skip_ == 0) state_ = after_;
                break;
        }
    }

    // A paragraph's text: white space in the XML collapsed to one blank and
    // dropped at the start.
    void text(const char* data, int size) {
        if (state_ != State::Paragraph) return;
        for (int i = 0; i < size;) {
            const char c = data[i];
            const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
            if (space && blank_) {
                ++i;
                continue;
            }
            blank_ = space;
            // A character of four bytes takes two code units.
            const auto b = quint8(c);
            const int bytes = std::min(b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4, size - i);
            if (textSize_ + (bytes == 4 ? 1 : 0) >= limits_.maxCellChars) return tooLong();
            if (space) {
                text_ += ' ';
            } else {
                text_.append(data + i, size_t(bytes));
            }
            textSize_ += bytes == 4 ? 2 : 1;
            i += bytes;
        }
    }
    void textDone() {}

private:
    static constexpr QByteArrayView kOfficeUri = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
    static constexpr QByteArrayView kTableUri = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
    static constexpr QByteArrayView kTextUri = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
    static constexpr QByteArrayView kCalcExtUri =
        "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

    enum class State { Body, Table, Row, Cell, Paragraph, Skip };

    bool isTable(QByteArrayView name) const { return names_.is(kTable, name); }
    bool isText(QByteArrayView name) const { return names_.is(kText, name); }

    void skip(State after) {
        after_ = after;
        skip_ = 1;
        state_ = State::Skip;
    }
    void fail(const Result& r) { xml_.stop(r); }
    void failSheet(const QString& why) { fail(workbook_reasons::sheetFailed(sheet_, why)); }
    void stop() { fail(Result::stopped()); }

    void beginTable() {
        if (++sheets_ > limits_.maxSheets) {
            return fail(Result::failed(QStringLiteral("工作表太多（超过 %1 张）").arg(limits_.maxSheets)));
        }
        sheet_ = xml_text::decode(names_.value(kTable, "name"));
        if (!rows_.beginSheet(sheet_)) return stop();
        rowsSeen_ = 0;
        lastDelivered_ = 0;
        depth_ = 1;
        state_ = State::Table;
    }

    void endTable() {
        state_ = State::Body;
        rowsBefore_ += lastDelivered_;
        if (!rows_.endSheet()) stop();
    }

    void beginRow() {
        repeat_ = repeatCount(names_.value(kTable, "number-rows-repeated"), limits_.maxRows + 1);
        std::fill(cells_.begin(), cells_.end(), Cell{});
        column_ = 0;
        state_ = State::Row;
    }

    void endRow() {
        state_ = State::Table;
        qint64 chars = 0;
        for (const Cell& c : cells_) {
            if (c.kind == Cell::Kind::Text || c.kind == Cell::Kind::Error) {
                chars += c.text.size();
            } else if (c.kind != Cell::Kind::Empty) {
                chars += workbook_limits::kOdsNonTextChars;
            }
        }
        const bool any = std::any_of(cells_.begin(), cells_.end(),
                                     [](const Cell& c) { return c.kind != Cell::Kind::Empty; });
        if (any) {
            for (qint64 k = 0; k < repeat_; ++k) {
                const qint64 number = rowsSeen_ + 1 + k;
                if (number > limits_.maxRowsPerSheet) {
                    return failSheet(workbook_reasons::tooManyRows(limits_.maxRowsPerSheet));
                }
                if (rowsBefore_ + number > limits_.maxRows) {
                    return fail(Result::failed(
                        QStringLiteral("表格太大（所有工作表合计超过 %1 行）").arg(limits_.maxRows)));
                }
                tableChars_ += chars;
                if (tableChars_ > limits_.maxTableChars) {
                    return fail(Result::failed(
                        QStringLiteral("表格太大（合计超过 %1 M 个字）").arg(limits_.maxTableChars >> 20)));
                }
                if (!rows_.row(int(number), cells_)) return stop();
                lastDelivered_ = number;
            }
        }
        rowsSeen_ = std::min<qint64>(rowsSeen_ + repeat_, qint64(limits_.maxRowsPerSheet) + 1);
    }

    // The cell's value, taken from its attributes in one pass.
    void beginCell() {
        type_ = Type::None;
        error_ = false;
        value_ = 0;
        valid_ = true;
        invalid_.clear();
        stringValue_.clear();
        QByteArrayView valueType, number, date, time, boolean, string;
        for (const XmlNamespaces::Attribute& a : names_.attributes()) {
            if (a.ns == kOffice) {
                if (a.name == "value-type") {
                    valueType = QByteArrayView(a.value);
                } else if (a.name == "value") {
                    number = QByteArrayView(a.value);
                } else if (a.name == "date-value") {
                    date = QByteArrayView(a.value);
                } else if (a.name == "time-value") {
                    time = QByteArrayView(a.value);
                } else if (a.name == "boolean-value") {
                    boolean = QByteArrayView(a.value);
                } else if (a.name == "string-value") {
                    string = QByteArrayView(a.value);
                }
            } else if (a.ns == kCalcExt && a.name == "value-type") {
                error_ = QByteArrayView(a.value) == "error";
            }
        }
        if (valueType == "float" || valueType == "percentage" || valueType == "currency") {
            type_ = Type::Number;
            if (const std::optional<double> plain = xml_text::plainNumber(number)) {
                value_ = *plain;
            } else {
                const QString trimmed = xml_text::decode(number).trimmed();
                value_ = trimmed.toDouble(&valid_);
                if (!valid_) invalid_ = workbook_reasons::badNumber(trimmed);
            }
        } else if (valueType == "date" || valueType == "time") {
            type_ = Type::Date;
            const std::optional<double> serial =
                valueType == "date" ? dateSerial(date)
                                    : durationSerial(QStringView(xml_text::decode(time)).trimmed());
            valid_ = serial.has_value();
            value_ = serial.value_or(0);
        } else if (valueType == "boolean") {
            type_ = Type::Boolean;
            const QString b = xml_text::decode(boolean).trimmed();
            value_ = b.compare(u"true", Qt::CaseInsensitive) == 0 || b == u"1" ? 1 : 0;
        } else if (valueType == "string") {
            type_ = Type::String;
            if (xml_text::utf16Size(string) > limits_.maxCellChars) return tooLong();
            stringValue_ = xml_text::decode(string);
        } else if (!valueType.isEmpty()) {
            type_ = Type::Other;
        }
        text_.clear();
        textSize_ = 0;
        paragraphs_ = false;
        state_ = State::Cell;
    }

    void endCell() {
        state_ = State::Row;
        Cell cell;
        switch (type_) {
            case Type::Number:
                if (!valid_) return failSheet(invalid_);
                cell = Cell::ofNumber(value_);
                break;
            case Type::Date:
                cell = valid_ ? Cell::ofDate(value_) : Cell::ofText(text());
                break;
            case Type::Boolean:
                cell = Cell::ofBoolean(value_ != 0);
                break;
            case Type::String:
                if (error_) {
                    cell = Cell::ofError(text());
                } else {
                    cell = Cell::ofText(paragraphs_ ? text() : stringValue_);
                }
                break;
            case Type::Other:
                cell = error_ ? Cell::ofError(text()) : Cell::ofText(text());
                break;
            case Type::None:
                cell = text_.empty() ? Cell{} : Cell::ofText(text());
                break;
        }
        const qint64 end = std::min<qint64>(column_ + times_, columns_);
        for (qint64 c = column_; c < end; ++c) cells_[size_t(c)] = cell;
        column_ += times_;
    }

    QString text() const {
        QString out;
        xml_text::append(out, text_, textSize_);
        return out;
    }

    void tooLong() {
        failSheet(
            QStringLiteral("第 %1 行有单元格超过 %2 个字").arg(rowsSeen_ + 1).arg(limits_.maxCellChars));
    }

    bool append(const char* s) {
        const qsizetype n = qsizetype(std::strlen(s));
        if (textSize_ + n > limits_.maxCellChars) {
            tooLong();
            return false;
        }
        text_ += s;
        textSize_ += n;
        return true;
    }

    // text:s gives its count of blanks, text:tab a TAB and text:line-break a
    // line feed; spans and links give their text, notes and comments none.
    void startInParagraph() {
        if (isText("s")) {
            const qint64 n = repeatCount(names_.value(kText, "c"), limits_.maxCellChars + 1);
            if (textSize_ + n > limits_.maxCellChars) return tooLong();
            text_.append(size_t(n), ' ');
            textSize_ += n;
            blank_ = false;
            skip(State::Paragraph);
        } else if (isText("tab")) {
            if (!append("\t")) return;
            blank_ = false;
            skip(State::Paragraph);
        } else if (isText("line-break")) {
            if (!append("\n")) return;
            blank_ = false;
            skip(State::Paragraph);
        } else if (isText("note") || isText("ruby-text") || names_.is(kOffice, "annotation")) {
            skip(State::Paragraph);
        } else {
            ++paragraphDepth_;
        }
    }

    enum class Type { None, Number, Date, Boolean, String, Other };

    XmlPart& xml_;
    const OdsReader::Limits& limits_;
    int columns_;
    SheetRows& rows_;
    std::vector<Cell> cells_;
    XmlNamespaces names_;

    State state_ = State::Body;
    State after_ = State::Body;  // the state a skipped element returns to
    int skip_ = 0;               // the depth inside a skipped element
    int depth_ = 0;              // the depth inside the table, row groups counted
    int paragraphDepth_ = 0;

    QString sheet_;
    int sheets_ = 0;
    qint64 rowsSeen_ = 0;       // rows of the current sheet, empty ones included
    qint64 lastDelivered_ = 0;  // the current sheet's last row handed on
    qint64 rowsBefore_ = 0;     // rows of the earlier sheets, up to their last row handed on
    qint64 tableChars_ = 0;

    // The row being read.
    qint64 repeat_ = 1;
    qint64 column_ = 0;
    qint64 times_ = 1;

    // The cell being read.
    Type type_ = Type::None;
    bool error_ = false;
    double value_ = 0;
    bool valid_ = true;  // the value attribute could be read
    QString invalid_;    // why the value attribute could not be read
    QString stringValue_;
    std::string text_;  // its paragraphs' text
    qsizetype textSize_ = 0;
    bool paragraphs_ = false;
    bool blank_ = true;  // the text so far ends in collapsible white space
};

const QString kManifestPart = QStringLiteral("META-INF/manifest.xml");
const QString kContentPart = QStringLiteral("content.xml");

// Walks META-INF/manifest.xml: a document saved with a password has its
// parts encrypted, and its manifest says so. The reading stops there.
class Manifest {
public:
    explicit Manifest(XmlPart& xml) : xml_(xml) {}

    void start(const char* name, const char** attributes) {
        if (!names_.enter(name, attributes)) return xml_.malformed();
        if (names_.name() == "encryption-data") {
            xml_.stop(Result::failed(QStringLiteral("文件设有密码，请在表格软件里去掉密码另存后再导入")));
        }
    }
    void end(const char*) { names_.leave(); }
    void text(const char*, int) {}
    void textDone() {}

private:
    XmlPart& xml_;
    XmlNamespaces names_{};
};

// The open package.
class Package {
public:
    Package(QIODevice& device, const OdsReader::Limits& limits) : package_(device, limits), limits_(limits) {}

    Result read(int columns, SheetRows& rows) {
        Result r = open();
        if (!r.isDone()) return r;
        r = readManifest();
        if (!r.isDone()) return r;
        return readContent(columns, rows);
    }

private:
    Result open() {
        return package_.open({QStringLiteral("文件不是有效的 .ods 表格（无法打开压缩包）"),
                              QStringLiteral("压缩包里的文件太多，不像是表格")});
    }

    Result readManifest() {
        if (!package_.names().contains(kManifestPart)) return Result::done();
        return readPart(kManifestPart, [](XmlPart& xml) {
            Manifest manifest(xml);
            return xml.read(manifest);
        });
    }

    Result readContent(int columns, SheetRows& rows) {
        if (!package_.names().contains(kContentPart)) {
            return Result::failed(QStringLiteral("文件不是 .ods 表格（压缩包里没有 content.xml）"));
        }
        return readPart(kContentPart, [&](XmlPart& xml) {
            Content content(xml, limits_, columns, rows);
            return xml.read(content);
        });
    }

    // Reads one part of the package with `body`, which reads the XmlPart it
    // is given; the part is refused as soon as it unpacks to far more than
    // the packed bytes read for it.
    template <typename Body>
    Result readPart(const QString& part, Body&& body) {
        return package_.readPart(
            part, part, -1,
            {workbook_reasons::missingPart(part), damaged(QStringLiteral("无法解压 ") + part)},
            std::forward<Body>(body));
    }

    ZipPackage package_;
    const OdsReader::Limits& limits_;
};

}  // namespace

bool OdsReader::looksLikeOds(const QByteArray& head) {
    static const QByteArray kMime = "application/vnd.oasis.opendocument.spreadsheet";
    if (head.size() < 30 || !head.startsWith("PK\x03\x04")) return false;
    const auto u16 = [&](int at) { return int(quint8(head[at])) | int(quint8(head[at + 1])) << 8; };
    const int method = u16(8), nameLength = u16(26), extraLength = u16(28);
    if (method != 0 || nameLength != 8 || head.mid(30, 8) != "mimetype") return false;
    return head.mid(30 + 8 + extraLength, kMime.size()) == kMime;
}

SpreadsheetReader::Result OdsReader::read(QIODevice& device, int columns, SheetRows& rows) const {
    Package package(device, limits_);
    return package.read(columns, rows);
}

}  // namespace tovrin
