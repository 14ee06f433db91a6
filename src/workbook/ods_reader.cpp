#include "workbook/ods_reader.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <QDateTime>
#include <QXmlStreamReader>
#include <algorithm>
#include <optional>
#include <vector>

#include "workbook/xml_part.h"

namespace tovrin {

namespace {

using Result = SpreadsheetReader::Result;

const QString kOffice = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString kTable = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString kText = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString kCalcExt =
    QStringLiteral("urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0");

Result damaged(const QString& what) { return Result::failed(QStringLiteral("文件已损坏：") + what); }

// A repetition count: at least 1; an absurd count is cut to `cap`.
qint64 repeatCount(QStringView text, qint64 cap) {
    if (text.isEmpty()) return 1;
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok || n < 1) return 1;
    return std::min<qint64>(n, cap);
}

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

// Walks content.xml: every table:table of the body is one sheet.
class Content {
public:
    Content(QXmlStreamReader& x, const OdsReader::Limits& limits, int columns, SheetRows& rows)
        : x_(x), limits_(limits), columns_(std::max(columns, 0)), rows_(rows), cells_(size_t(columns_)) {}

    Result read() {
        while (!x_.atEnd()) {
            if (x_.readNext() != QXmlStreamReader::StartElement) continue;
            if (isTable(u"table") && !readTable()) return result_;
        }
        return Result::done();
    }

private:
    bool is(const QString& ns, QStringView name) const {
        return x_.name() == name && x_.namespaceUri() == ns;
    }
    bool isTable(QStringView name) const { return is(kTable, name); }
    bool isText(QStringView name) const { return is(kText, name); }

    bool fail(const Result& r) {
        result_ = r;
        return false;
    }
    bool failSheet(const QString& why) {
        return fail(Result::failed(QStringLiteral("工作表“%1”无法读取：%2").arg(sheet_, why)));
    }
    bool stop() { return fail(Result::stopped()); }

    bool readTable() {
        if (++sheets_ > limits_.maxSheets) {
            return fail(Result::failed(QStringLiteral("工作表太多（超过 %1 张）").arg(limits_.maxSheets)));
        }
        sheet_ = x_.attributes().value(kTable, QLatin1String("name")).toString();
        if (!rows_.beginSheet(sheet_)) return stop();
        rowsSeen_ = 0;
        lastDelivered_ = 0;
        int depth = 1;
        while (depth > 0 && !x_.atEnd()) {
            const auto token = x_.readNext();
            if (token == QXmlStreamReader::EndElement) {
                --depth;
                continue;
            }
            if (token != QXmlStreamReader::StartElement) continue;
            if (isTable(u"table-row")) {
                if (!readRow()) return false;
            } else if (isTable(u"table-row-group") || isTable(u"table-header-rows") ||
                       isTable(u"table-rows")) {
                ++depth;
            } else {
                x_.skipCurrentElement();
            }
        }
        if (x_.hasError()) return true;  // reported by the caller
        rowsBefore_ += lastDelivered_;
        if (!rows_.endSheet()) return stop();
        return true;
    }

    bool readRow() {
        const qint64 repeat = repeatCount(
            x_.attributes().value(kTable, QLatin1String("number-rows-repeated")), limits_.maxRows + 1);
        std::fill(cells_.begin(), cells_.end(), Cell{});
        qint64 column = 0;
        while (!x_.atEnd()) {
            const auto token = x_.readNext();
            if (token == QXmlStreamReader::EndElement) break;  // </table:table-row>
            if (token != QXmlStreamReader::StartElement) continue;
            if (!isTable(u"table-cell") && !isTable(u"covered-table-cell")) {
                x_.skipCurrentElement();
                continue;
            }
            const qint64 times = repeatCount(
                x_.attributes().value(kTable, QLatin1String("number-columns-repeated")), columns_ + 1);
            if (column >= columns_) {
                x_.skipCurrentElement();
                continue;
            }
            Cell cell;
            if (!readCell(cell)) return false;
            const qint64 end = std::min<qint64>(column + times, columns_);
            for (qint64 c = column; c < end; ++c) cells_[size_t(c)] = cell;
            column += times;
        }
        if (x_.hasError()) return true;

        qint64 chars = 0;
        for (const Cell& c : cells_) {
            if (c.kind == Cell::Kind::Text || c.kind == Cell::Kind::Error) {
                chars += c.text.size();
            } else if (c.kind != Cell::Kind::Empty) {
                chars += OdsReader::kNonTextChars;
            }
        }
        const bool any = std::any_of(cells_.begin(), cells_.end(),
                                     [](const Cell& c) { return c.kind != Cell::Kind::Empty; });
        if (any) {
            for (qint64 k = 0; k < repeat; ++k) {
                const qint64 number = rowsSeen_ + 1 + k;
                if (number > limits_.maxRowsPerSheet) {
                    return failSheet(QStringLiteral("超过 %1 行").arg(limits_.maxRowsPerSheet));
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
        rowsSeen_ = std::min<qint64>(rowsSeen_ + repeat, qint64(limits_.maxRowsPerSheet) + 1);
        return true;
    }

    // The cell the reader stands on, read to its end.
    bool readCell(Cell& cell) {
        // The value is taken from the attributes before the children are
        // read, in one pass and without copying them, so that the reader can
        // reuse its attribute list.
        enum class Type { None, Number, Date, Boolean, String, Other };
        Type type = Type::None;
        bool error = false;
        double value = 0;
        bool valid = true;  // the value attribute could be read
        QString invalid, stringValue;
        {
            const QXmlStreamAttributes a = x_.attributes();
            QStringView valueType, number, date, time, boolean, string;
            for (const QXmlStreamAttribute& attribute : a) {
                const QStringView name = attribute.name();
                if (attribute.namespaceUri() == kOffice) {
                    if (name == u"value-type") {
                        valueType = attribute.value();
                    } else if (name == u"value") {
                        number = attribute.value();
                    } else if (name == u"date-value") {
                        date = attribute.value();
                    } else if (name == u"time-value") {
                        time = attribute.value();
                    } else if (name == u"boolean-value") {
                        boolean = attribute.value();
                    } else if (name == u"string-value") {
                        string = attribute.value();
                    }
                } else if (name == u"value-type" && attribute.namespaceUri() == kCalcExt) {
                    error = attribute.value() == u"error";
                }
            }
            if (valueType == u"float" || valueType == u"percentage" || valueType == u"currency") {
                type = Type::Number;
                value = number.trimmed().toDouble(&valid);
                if (!valid) invalid = number.trimmed().left(40).toString();
            } else if (valueType == u"date" || valueType == u"time") {
                type = Type::Date;
                const std::optional<double> serial =
                    valueType == u"date" ? dateSerial(date.trimmed()) : durationSerial(time.trimmed());
                valid = serial.has_value();
                value = serial.value_or(0);
            } else if (valueType == u"boolean") {
                type = Type::Boolean;
                const QStringView b = boolean.trimmed();
                value = b.compare(u"true", Qt::CaseInsensitive) == 0 || b == u"1" ? 1 : 0;
            } else if (valueType == u"string") {
                type = Type::String;
                if (string.size() > limits_.maxCellChars) return tooLong();
                stringValue = string.toString();
            } else if (!valueType.isEmpty()) {
                type = Type::Other;
            }
        }
        text_.resize(0);
        bool paragraphs = false;
        while (!x_.atEnd()) {
            const auto token = x_.readNext();
            if (token == QXmlStreamReader::EndElement) break;  // </table:table-cell>
            if (token != QXmlStreamReader::StartElement) continue;
            if (isText(u"p") || isText(u"h")) {
                if (paragraphs && !append(u"\n")) return false;
                paragraphs = true;
                if (!readParagraph()) return false;
            } else {
                x_.skipCurrentElement();  // comments, drawings, ...
            }
        }
        if (x_.hasError()) return true;

        switch (type) {
            case Type::Number:
                if (!valid) return failSheet(QStringLiteral("数字“%1”无效").arg(invalid));
                cell = Cell::ofNumber(value);
                break;
            case Type::Date:
                cell = valid ? Cell::ofDate(value) : Cell::ofText(text_);
                break;
            case Type::Boolean:
                cell = Cell::ofBoolean(value != 0);
                break;
            case Type::String:
                if (error) {
                    cell = Cell::ofError(text_);
                } else {
                    cell = Cell::ofText(paragraphs ? text_ : stringValue);
                }
                break;
            case Type::Other:
                cell = error ? Cell::ofError(text_) : Cell::ofText(text_);
                break;
            case Type::None:
                cell = text_.isEmpty() ? Cell{} : Cell::ofText(text_);
                break;
        }
        return true;
    }

    bool tooLong() {
        return failSheet(
            QStringLiteral("第 %1 行有单元格超过 %2 个字").arg(rowsSeen_ + 1).arg(limits_.maxCellChars));
    }

    bool append(QStringView s) {
        if (text_.size() + s.size() > limits_.maxCellChars) return tooLong();
        text_ += s;
        return true;
    }

    // A paragraph's text: white space in the XML collapsed to one blank and
    // dropped at the start, text:s giving its count of blanks, text:tab a TAB
    // and text:line-break a line feed; spans and links give their text, notes
    // and comments none.
    bool readParagraph() {
        bool blank = true;  // the text so far ends in collapsible white space
        int depth = 1;
        while (depth > 0 && !x_.atEnd()) {
            switch (x_.readNext()) {
                case QXmlStreamReader::Characters: {
                    const QStringView t = x_.text();
                    for (QChar c : t) {
                        const bool space = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
                        if (space && blank) continue;
                        blank = space;
                        if (text_.size() >= limits_.maxCellChars) return tooLong();
                        text_ += space ? QChar(u' ') : c;
                    }
                    break;
                }
                case QXmlStreamReader::StartElement:
                    if (isText(u"s")) {
                        const qint64 n = repeatCount(x_.attributes().value(kText, QLatin1String("c")),
                                                     limits_.maxCellChars + 1);
                        if (text_.size() + n > limits_.maxCellChars) return tooLong();
                        text_.append(QString(qsizetype(n), QLatin1Char(' ')));
                        blank = false;
                        x_.skipCurrentElement();
                    } else if (isText(u"tab")) {
                        if (!append(u"\t")) return false;
                        blank = false;
                        x_.skipCurrentElement();
                    } else if (isText(u"line-break")) {
                        if (!append(u"\n")) return false;
                        blank = false;
                        x_.skipCurrentElement();
                    } else if (isText(u"note") || isText(u"ruby-text") || is(kOffice, u"annotation")) {
                        x_.skipCurrentElement();
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
        return true;
    }

    QXmlStreamReader& x_;
    const OdsReader::Limits& limits_;
    int columns_;
    SheetRows& rows_;
    std::vector<Cell> cells_;
    QString text_;
    QString sheet_;
    Result result_;
    int sheets_ = 0;
    qint64 rowsSeen_ = 0;       // rows of the current sheet, empty ones included
    qint64 lastDelivered_ = 0;  // the current sheet's last row handed on
    qint64 rowsBefore_ = 0;     // rows of the earlier sheets, up to their last row handed on
    qint64 tableChars_ = 0;
};

// Reads one part of the package; `body` walks its XML.
template <typename Body>
Result readPart(QuaZip& zip, const QString& part, const OdsReader::Limits& limits, qint64& unpacked,
                Body&& body) {
    if (!zip.setCurrentFile(part, QuaZip::csSensitive)) return damaged(QStringLiteral("缺少 ") + part);
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly)) return damaged(QStringLiteral("无法解压 ") + part);
    XmlGuard guard(file, limits.xml, unpacked);
    QXmlStreamReader x(&guard);
    x.setNamespaceProcessing(true);
    const Result result = body(x);
    return finishXmlPart(part, result, x, guard, file);
}

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
    QuaZip zip(&device);
    if (!zip.open(QuaZip::mdUnzip)) {
        return Result::failed(QStringLiteral("文件不是有效的 .ods 表格（无法打开压缩包）"));
    }
    if (zip.getEntriesCount() > limits_.maxEntries) {
        return Result::failed(QStringLiteral("压缩包里的文件太多，不像是表格"));
    }
    const QStringList names = zip.getFileNameList();
    if (zip.getZipError() != UNZ_OK) return damaged(QStringLiteral("压缩包目录无法读取"));
    qint64 unpacked = 0;

    // A document saved with a password has its parts encrypted; the
    // manifest says so.
    if (names.contains(QStringLiteral("META-INF/manifest.xml"))) {
        bool encrypted = false;
        const Result r = readPart(
            zip, QStringLiteral("META-INF/manifest.xml"), limits_, unpacked, [&](QXmlStreamReader& x) {
                while (!x.atEnd()) {
                    if (x.readNext() == QXmlStreamReader::StartElement && x.name() == u"encryption-data") {
                        encrypted = true;
                    }
                }
                return Result::done();
            });
        if (encrypted) {
            return Result::failed(QStringLiteral("文件设有密码，请在表格软件里去掉密码另存后再导入"));
        }
        if (!r.isDone()) return r;
    }
    if (!names.contains(QStringLiteral("content.xml"))) {
        return Result::failed(QStringLiteral("文件不是 .ods 表格（压缩包里没有 content.xml）"));
    }
    return readPart(zip, QStringLiteral("content.xml"), limits_, unpacked,
                    [&](QXmlStreamReader& x) { return Content(x, limits_, columns, rows).read(); });
}

}  // namespace tovrin
