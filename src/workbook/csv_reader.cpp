#include "workbook/csv_reader.h"

#include <QStringDecoder>
#include <array>
#include <optional>
#include <vector>

#include "workbook/workbook_reasons.h"

namespace tovrin {

namespace {

using Result = SpreadsheetReader::Result;

using workbook_limits::kCsvChunkBytes;
using workbook_limits::kCsvSampleBytes;
using workbook_limits::kCsvSampleLines;
const QByteArray kBom = "\xEF\xBB\xBF";

// Incremental UTF-8 check: bytes are fed in pieces, a sequence may be split
// between two pieces. Past a fault it goes on, counting the sequences that
// are whole and the bytes that are not, and notes the line of the first fault.
class Utf8Check {
public:
    void feed(QByteArrayView bytes) {
        for (char ch : bytes) {
            const quint8 b = quint8(ch);
            if (b == '\n') ++line_;
            if (need_ > 0) {
                if (b >= low_ && b <= high_) {
                    low_ = 0x80;
                    high_ = 0xBF;
                    if (--need_ == 0) ++sequences_;
                    continue;
                }
                fault();  // the sequence is cut short; this byte starts anew
            }
            if (b < 0x80) continue;
            low_ = 0x80;
            high_ = 0xBF;
            if (b >= 0xC2 && b <= 0xDF) {
                need_ = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                need_ = 2;
                if (b == 0xE0) low_ = 0xA0;   // overlong
                if (b == 0xED) high_ = 0x9F;  // surrogates
            } else if (b >= 0xF0 && b <= 0xF4) {
                need_ = 3;
                if (b == 0xF0) low_ = 0x90;
                if (b == 0xF4) high_ = 0x8F;  // beyond U+10FFFF
            } else {
                fault();
            }
        }
    }
    bool valid() const { return faults_ == 0 && need_ == 0; }
    // Whole sequences far outnumber the faults: a UTF-8 text with a few
    // damaged bytes rather than a GBK one, in which only some characters
    // happen to look like UTF-8.
    bool damaged() const {
        const qint64 faults = faults_ + (need_ > 0 ? 1 : 0);
        return faults > 0 && sequences_ >= 20 * faults;
    }
    qint64 firstFaultLine() const { return faults_ > 0 ? firstFaultLine_ : line_; }

private:
    void fault() {
        if (faults_++ == 0) firstFaultLine_ = line_;
        need_ = 0;
    }

    int need_ = 0;
    quint8 low_ = 0x80, high_ = 0xBF;
    qint64 sequences_ = 0, faults_ = 0;
    qint64 line_ = 1, firstFaultLine_ = 0;
};

// Splits the decoded text into records and fields.
class Parser {
public:
    Parser(const CsvReader::Limits& limits, QChar separator, int columns, SheetRows& rows)
        : limits_(limits), separator_(separator), rows_(rows), fields_(size_t(std::max(columns, 0))) {}

    // False once the reading must stop; result() says why.
    bool feed(QStringView text) {
        for (QChar c : text) {
            if (!take(c)) return false;
        }
        return true;
    }
    bool finish() {
        if (cr_ && !put(u'\n')) return false;
        cr_ = false;
        if (inQuotes_) {
            return fail(QStringLiteral("第 %1 行开始的引号没有结束（缺少配对的 \"）").arg(quoteLine_));
        }
        if (recordChars_ > 0 && !endRecord()) return false;
        return true;
    }
    const Result& result() const { return result_; }

private:
    bool fail(const QString& why) {
        result_ = Result::failed(why);
        return false;
    }

    bool take(QChar c) {
        if (++recordChars_ > limits_.maxRecordChars) {
            return fail(
                QStringLiteral("第 %1 行太长（超过 %2 个字）").arg(line_).arg(limits_.maxRecordChars));
        }
        if (inQuotes_) {
            // A line break inside quotes is kept as one line feed, whether
            // the file writes CR LF, LF or CR.
            if (cr_) {
                cr_ = false;
                if (!put(u'\n')) return false;
                if (c == u'\n') return true;
            }
            if (c == u'"') {
                inQuotes_ = false;
                afterQuote_ = true;
            } else if (c == u'\r') {
                cr_ = true;
                ++line_;
            } else {
                if (c == u'\n') ++line_;
                return put(c);
            }
            return true;
        }
        if (afterQuote_) {
            afterQuote_ = false;
            if (c == u'"') {  // a doubled quote stands for one
                inQuotes_ = true;
                return put(c);
            }
        }
        const bool lf = c == u'\n';
        if (lf && skipLf_) {
            skipLf_ = false;
            --recordChars_;
            return true;
        }
        skipLf_ = false;
        if (c == separator_) return endField();
        if (c == u'\r' || lf) {
            skipLf_ = !lf;
            --recordChars_;
            const bool ok = endRecord();
            ++line_;
            return ok;
        }
        if (c == u'"' && !started_) {
            inQuotes_ = true;
            started_ = true;
            quoteLine_ = line_;
            return true;
        }
        return put(c);
    }

    bool put(QChar c) {
        started_ = true;
        if (++fieldChars_ > limits_.maxCellChars) {
            return fail(QStringLiteral("第 %1 行第 %2 列超过 %3 个字%4")
                            .arg(inQuotes_ ? quoteLine_ : line_)
                            .arg(field_ + 1)
                            .arg(limits_.maxCellChars)
                            .arg(inQuotes_ ? QStringLiteral("（引号可能没有结束）") : QString()));
        }
        if (size_t(field_) < fields_.size()) fields_[size_t(field_)] += c;
        return true;
    }

    bool endField() {
        if (++field_ >= limits_.maxFields) {
            return fail(QStringLiteral("第 %1 行超过 %2 列").arg(line_).arg(limits_.maxFields));
        }
        started_ = false;
        fieldChars_ = 0;
        return true;
    }

    bool endRecord() {
        if (++row_ > limits_.maxRows) return fail(workbook_reasons::tooManyRows(limits_.maxRows));
        bool any = false;
        cells_.resize(fields_.size());
        for (size_t i = 0; i < fields_.size(); ++i) {
            cells_[i] = fields_[i].isEmpty() ? Cell{} : Cell::ofText(fields_[i]);
            any = any || !fields_[i].isEmpty();
            fields_[i].resize(0);
        }
        if (any && !rows_.row(row_, cells_)) {
            result_ = Result::stopped();
            return false;
        }
        field_ = 0;
        fieldChars_ = 0;
        recordChars_ = 0;
        started_ = false;
        return true;
    }

    const CsvReader::Limits& limits_;
    const QChar separator_;
    SheetRows& rows_;
    std::vector<QString> fields_;  // the fields of the record within the columns asked for
    std::vector<Cell> cells_;
    Result result_;
    int row_ = 0;
    int field_ = 0;
    qsizetype fieldChars_ = 0;
    qsizetype recordChars_ = 0;
    qint64 line_ = 1;
    qint64 quoteLine_ = 0;
    bool started_ = false;  // the field has a character or an opening quote
    bool inQuotes_ = false;
    bool afterQuote_ = false;  // a quote ended the quoted part, or starts a doubled one
    bool cr_ = false;          // a CR inside quotes waits for a possible LF
    bool skipLf_ = false;      // a record ended with CR; an LF right after it belongs to it
};

}  // namespace

bool CsvReader::isUtf8(QByteArrayView bytes) {
    Utf8Check check;
    check.feed(bytes);
    return check.valid();
}

QChar CsvReader::separatorOf(QStringView sample) {
    static constexpr std::array<char16_t, 3> kCandidates = {u',', u';', u'\t'};
    // Per candidate, how often it occurs outside quotes on each of the first
    // lines (a line break inside quotes does not end a line).
    std::array<std::vector<int>, 3> counts;
    for (auto& c : counts) c.push_back(0);
    std::vector<bool> empty{true};
    bool quoted = false;
    for (qsizetype i = 0; i < sample.size(); ++i) {
        const QChar c = sample[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && (c == u'\n' || c == u'\r')) {
            if (c == u'\r' && i + 1 < sample.size() && sample[i + 1] == u'\n') ++i;
            if (i + 1 >= sample.size() || int(counts[0].size()) >= kCsvSampleLines) break;
            for (auto& n : counts) n.push_back(0);
            empty.push_back(true);
            continue;
        }
        empty.back() = false;
        if (!quoted) {
            for (size_t k = 0; k < kCandidates.size(); ++k) {
                if (c == kCandidates[k]) ++counts[k].back();
            }
        }
    }
    // A candidate found the same number of times on every line that is not
    // empty is preferred, the most frequent first; then the most frequent on the
    // first line.
    std::optional<size_t> best;
    int bestCount = 0;
    for (size_t k = 0; k < kCandidates.size(); ++k) {
        int even = -1;
        for (size_t line = 0; line < counts[k].size(); ++line) {
            const int n = counts[k][line];
            if (empty[line]) continue;
            even = even < 0 || even == n ? n : -2;
            if (even == -2) break;
        }
        if (even > bestCount) {
            best = k;
            bestCount = even;
        }
    }
    if (!best) {
        for (size_t k = 0; k < kCandidates.size(); ++k) {
            if (counts[k].front() > bestCount) {
                best = k;
                bestCount = counts[k].front();
            }
        }
    }
    return QChar(kCandidates[best.value_or(0)]);
}

SpreadsheetReader::Result CsvReader::read(QIODevice& device, const QString& sheet, int columns,
                                          SheetRows& rows) const {
    if (!device.isOpen() && !device.open(QIODevice::ReadOnly)) {
        return workbook_reasons::cannotOpen(device);
    }
    if (device.size() > limits_.maxFileBytes) {
        return workbook_reasons::fileTooLarge(limits_.maxFileBytes);
    }
    if (!device.seek(0)) return workbook_reasons::cannotRead(device);

    // First pass: the encoding, and whether this is a text at all.
    QByteArray sample;
    Utf8Check utf8;
    qint64 total = 0;
    QByteArray chunk;
    for (;;) {
        chunk = device.read(kCsvChunkBytes);
        if (chunk.isEmpty()) break;
        total += chunk.size();
        if (total > limits_.maxFileBytes) {
            return workbook_reasons::fileTooLarge(limits_.maxFileBytes);
        }
        if (chunk.contains('\0')) {
            return Result::failed(QStringLiteral("文件不是文本表格（含有二进制内容）"));
        }
        if (sample.size() < kCsvSampleBytes) sample += chunk.left(kCsvSampleBytes - sample.size());
        utf8.feed(chunk);
    }
    if (total == 0) return workbook_reasons::emptyFile();
    const bool bom = sample.startsWith(kBom);
    const bool isUtf8 = bom || utf8.valid();
    if (!isUtf8 && utf8.damaged()) {
        return Result::failed(
            QStringLiteral("文件是 UTF-8 编码，但第 %1 行有损坏的字节；请在表格软件里重新另存为 CSV")
                .arg(utf8.firstFaultLine()));
    }

    const auto decoder = [&] {
        return isUtf8 ? QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless)
                      : QStringDecoder("GBK", QStringDecoder::Flag::Stateless);
    };
    QStringDecoder sampleDecoder = decoder();
    if (!sampleDecoder.isValid()) return Result::failed(QStringLiteral("系统缺少 GBK 编码，无法读取此文件"));
    const QString sampleText = sampleDecoder.decode(bom ? QByteArrayView(sample).sliced(3) : sample);
    // A sample cut off in the middle of a line ends at its last whole line.
    const qsizetype lastLine = total > sample.size() ? sampleText.lastIndexOf(u'\n') : -1;
    const QChar separator =
        separatorOf(lastLine > 0 ? QStringView(sampleText).left(lastLine + 1) : sampleText);

    // Second pass: the records.
    if (!device.seek(bom ? 3 : 0)) {
        return workbook_reasons::cannotRead(device);
    }
    QStringDecoder decode = isUtf8 ? QStringDecoder(QStringDecoder::Utf8) : QStringDecoder("GBK");
    if (!rows.beginSheet(sheet)) return Result::stopped();
    Parser parser(limits_, separator, columns, rows);
    for (;;) {
        chunk = device.read(kCsvChunkBytes);
        if (chunk.isEmpty()) break;
        const QString text = decode(chunk);
        if (decode.hasError()) {
            return Result::failed(QStringLiteral("文件的编码无法识别（既不是 UTF-8 也不是 GBK）"));
        }
        if (!parser.feed(text)) return parser.result();
    }
    if (!parser.finish()) return parser.result();
    if (!rows.endSheet()) return Result::stopped();
    return Result::done();
}

}  // namespace tovrin
