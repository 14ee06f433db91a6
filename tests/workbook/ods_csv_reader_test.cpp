#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "support/sheet_dump.h"
#include "workbook/csv_reader.h"
#include "workbook/ods_reader.h"
#include "workbook/workbook_reader.h"

namespace tovrin {
namespace {

QString data(const QString& name) { return QStringLiteral(TOVRIN_TEST_DATA "/import/") + name; }

// Counts the rows, for files that give many.
class Count : public SheetRows {
public:
    bool beginSheet(const QString&) override { return true; }
    bool row(int, std::span<const Cell>) override { return ++rows > 0; }
    bool endSheet() override { return true; }
    qint64 rows = 0;
};

QStringList readWorkbook(const QString& name, SpreadsheetReader::Result* result = nullptr, int columns = 11) {
    WorkbookReader reader;
    SheetDump out;
    const SpreadsheetReader::Result r = reader.read(data(name), columns, out);
    if (result) *result = r;
    EXPECT_TRUE(result || r.isDone()) << r.reason.toStdString();
    return out.lines;
}

// --- .ods -----------------------------------------------------------------

TEST(OdsReader, TheGoodsListGivesTheSameCellsAsTheXlsFile) {
    const QStringList xls = readWorkbook(QStringLiteral("goods.xls"));
    ASSERT_GT(xls.size(), 20);
    EXPECT_EQ(readWorkbook(QStringLiteral("goods.ods")), xls);
    EXPECT_EQ(readWorkbook(QStringLiteral("goods_mimetype_last.ods")), xls);
}

TEST(OdsReader, RepeatsSpansParagraphsAndValueTypes) {
    const QStringList expected = {
        QStringLiteral("[特别]"),
        QStringLiteral("1: n7 n7 n7 s'x' - -"),
        QStringLiteral("2: n7 n7 n7 s'x' - -"),
        QStringLiteral("3: s'第一段加粗\n链接\t制表\n换行' s'a b    c' s'合并' - s'D' -"),
        QStringLiteral("4: n0.05 n12.3 d1.52083333333333 d43232.3785590278 s'只有值' -"),
        QStringLiteral("5: s'表头' - - - - -"),
        QStringLiteral("6: s'组内' - - - - -"),
        QStringLiteral("8: s'last' - - - - -"),
        QStringLiteral("[end]"),
    };
    EXPECT_EQ(readWorkbook(QStringLiteral("features.ods"), nullptr, 6), expected);
}

TEST(OdsReader, HostileOrDamagedFilesAreRefusedWithAReason) {
    struct Case {
        const char* file;
        const char* reason;
    };
    for (const Case& c :
         {Case{"bad/repeat_bomb.ods", "表格太大"}, Case{"bad/long_cell.ods", "超过 32767 个字"},
          Case{"bad/too_many_rows.ods", "超过 1048576 行"}, Case{"bad/password.ods", "密码"},
          Case{"bad/bad_number.ods", "数字“abc”无效"}, Case{"bad/malformed.ods", "不是有效的 XML"}}) {
        SCOPED_TRACE(c.file);
        Count count;
        const SpreadsheetReader::Result result =
            WorkbookReader().read(data(QString::fromUtf8(c.file)), 11, count);
        EXPECT_EQ(result.status, SpreadsheetReader::Result::Status::Failed);
        EXPECT_TRUE(result.reason.contains(QString::fromUtf8(c.reason))) << result.reason.toStdString();
    }
}

TEST(OdsReader, TheBombIsRefusedByTheUnpackedBytesLimit) {
    OdsReader::Limits limits;
    limits.xml.maxUnpackedBytes = 1 << 20;
    QFile file(data(QStringLiteral("bad/bomb.ods")));
    SheetDump out;
    const auto result = OdsReader(limits).read(file, 11, out);
    EXPECT_EQ(result.status, SpreadsheetReader::Result::Status::Failed);
    EXPECT_TRUE(result.reason.startsWith(QStringLiteral("content.xml："))) << result.reason.toStdString();
}

TEST(OdsReader, APartPackedFarTooWellIsRefused) {
    // goods.ods packs its parts well, but not two hundredfold: with the
    // ratio at 1 it is refused, by default it is read.
    OdsReader::Limits limits;
    limits.maxUnpackRatio = 1;
    limits.unpackRatioFloor = 0;
    QFile file(data(QStringLiteral("goods.ods")));
    SheetDump out;
    const auto refused = OdsReader(limits).read(file, 11, out);
    ASSERT_EQ(refused.status, SpreadsheetReader::Result::Status::Failed);
    EXPECT_TRUE(refused.reason.contains(QStringLiteral(".xml：压缩比超过 1 倍")))
        << refused.reason.toStdString();
    QFile again(data(QStringLiteral("goods.ods")));
    EXPECT_TRUE(OdsReader().read(again, 11, out).isDone());
}

TEST(OdsReader, ToldByItsMimetypeEntry) {
    for (const auto& [name, ods] : {std::pair{"goods.ods", true}, std::pair{"goods.xlsx", false},
                                    std::pair{"goods.xls", false}, std::pair{"goods_utf8.csv", false}}) {
        QFile file(data(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(OdsReader::looksLikeOds(file.read(workbook_limits::kHeadBytes)), ods) << name;
    }
}

TEST(OdsReader, StopsWhenTheReceiverSaysSo) {
    QFile file(data(QStringLiteral("goods.ods")));
    SheetDump out;
    out.rowsLeft = 2;
    EXPECT_EQ(OdsReader().read(file, 11, out).status, SpreadsheetReader::Result::Status::Stopped);
    EXPECT_EQ(out.lines.size(), 3);
}

// --- .csv -----------------------------------------------------------------

SpreadsheetReader::Result readCsv(const QByteArray& bytes, QStringList& lines, int columns = 3,
                                  const CsvReader::Limits& limits = {}) {
    QBuffer buffer;
    buffer.setData(bytes);
    SheetDump out;
    const auto result = CsvReader(limits).read(buffer, QStringLiteral("t"), columns, out);
    lines = out.lines.mid(1, out.lines.size() - 2);  // without the sheet's start and end
    return result;
}

TEST(CsvReader, RecordsAndFields) {
    struct Case {
        const char* name;
        QByteArray bytes;
        std::vector<const char*> rows;
    };
    const QString gbkText = QStringLiteral("条码;名称\r\n6901234567890;可乐\r\n");
    const std::vector<Case> cases = {
        {"commas, CR LF, no newline at the end",
         "a,b,c\r\n1,2,3",
         {"1: s'a' s'b' s'c'", "2: s'1' s'2' s'3'"}},
        {"semicolons", "a;b,c;d\n1;2,5;3\n", {"1: s'a' s'b,c' s'd'", "2: s'1' s'2,5' s'3'"}},
        {"tabs", "a\tb\n1\t2\n", {"1: s'a' s'b' -", "2: s'1' s'2' -"}},
        {"a single column", "a\nb\n", {"1: s'a' - -", "2: s'b' - -"}},
        {"empty lines are empty rows", "a,b\n\n\nc,d\n", {"1: s'a' s'b' -", "4: s'c' s'd' -"}},
        {"CR alone ends a record too", "a,b\rc,d\r", {"1: s'a' s'b' -", "2: s'c' s'd' -"}},
        {"quotes: separators, doubled quotes, line breaks",
         "\"a,b\",\"say \"\"hi\"\"\",\"x\r\ny\"\n\"\",\"\"\"\",z\n",
         {"1: s'a,b' s'say \"hi\"' s'x\ny'", "2: - s'\"' s'z'"}},
        {"a quote inside a field is a character", "ab\"c,d\n", {"1: s'ab\"c' s'd' -"}},
        {"text after a closing quote is kept", "\"ab\"c,d\n", {"1: s'abc' s'd' -"}},
        {"blanks stay; the import trims them", "  a  , \"b\" \n", {"1: s'  a  ' s' \"b\" ' -"}},
        {"fields beyond the columns are left out", "1,2,3,4,5\n", {"1: s'1' s'2' s'3'"}},
        {"UTF-8 with a byte order mark",
         QByteArray("\xEF\xBB\xBF") + QStringLiteral("条码,名称\n").toUtf8(),
         {"1: s'条码' s'名称' -"}},
        {"GBK",
         QStringEncoder("GBK").encode(gbkText),
         {"1: s'条码' s'名称' -", "2: s'6901234567890' s'可乐' -"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList lines;
        const auto result = readCsv(c.bytes, lines);
        EXPECT_TRUE(result.isDone()) << result.reason.toStdString();
        QStringList expected;
        for (const char* row : c.rows) expected << QString::fromUtf8(row);
        EXPECT_EQ(lines, expected);
    }
}

TEST(CsvReader, AGbkTextSplitAcrossTheReadChunksDecodesWhole) {
    // 300,000 bytes of two-byte characters, offset by one byte so that one of
    // them falls across the boundary of the 256 KB pieces the reader reads.
    const QString name = QString(150000, QChar(u'商'));
    const QByteArray bytes = "1," + QStringEncoder("GBK").encode(name) + "\n";
    QStringList lines;
    CsvReader::Limits limits;
    limits.maxCellChars = 200000;
    ASSERT_TRUE(readCsv(bytes, lines, 2, limits).isDone());
    EXPECT_EQ(lines, QStringList{QStringLiteral("1: s'1' s'") + name + QLatin1Char('\'')});
}

TEST(CsvReader, TheSeparatorIsTheOneThatSplitsTheLinesEvenly) {
    struct Case {
        const char* sample;
        char16_t separator;
    };
    for (const Case& c :
         {Case{"a,b,c\n1,2,3\n", u','}, Case{"a;b;c\n1;2,5;3\n", u';'}, Case{"a\tb\n1,5\t2\n", u'\t'},
          Case{"\"a;b\",c\n\"x;y\",z\n", u','}, Case{"a;b;c,d\n", u';'}, Case{"a;b,c\n", u','},
          Case{"abc\n", u','}, Case{"a,b;c;d\n1,2;3;4\n", u';'}}) {
        EXPECT_EQ(CsvReader::separatorOf(QString::fromUtf8(c.sample)), QChar(c.separator)) << c.sample;
    }
}

TEST(CsvReader, Utf8IsToldFromGbk) {
    EXPECT_TRUE(CsvReader::isUtf8("plain ascii"));
    EXPECT_TRUE(CsvReader::isUtf8(QStringLiteral("条码").toUtf8()));
    EXPECT_FALSE(CsvReader::isUtf8(QByteArray(QStringEncoder("GBK").encode(QStringLiteral("条码商品名称")))));
    EXPECT_FALSE(CsvReader::isUtf8("\xE6\x9D"));          // cut off
    EXPECT_FALSE(CsvReader::isUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(CsvReader::isUtf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(CsvReader::isUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

TEST(CsvReader, HostileFilesAreRefusedEarly) {
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* reason;
    };
    QByteArray shortFields(2 << 20, 'a');
    for (qsizetype i = 0; i < shortFields.size(); i += 1000) shortFields[i] = ',';
    // Ten goods in UTF-8, one byte in the second of them damaged.
    QByteArray damagedUtf8 = QStringLiteral("条码,名称\n").toUtf8();
    for (int i = 0; i < 10; ++i) {
        damagedUtf8 += QStringLiteral("690123456789%1,可口可乐罐装%2\n")
                           .arg(i)
                           .arg(QChar(i == 1 ? u'\uFFFD' : u'的'))
                           .toUtf8();
    }
    damagedUtf8.replace("\xEF\xBF\xBD", "\xFF");
    const std::vector<Case> cases = {
        {"an unclosed quote", "a,b\n1,\"2\n3,4\n", "第 2 行开始的引号没有结束"},
        {"a cell of 40,000 characters", "a," + QByteArray(40000, 'x') + "\n",
         "第 1 行第 2 列超过 32767 个字"},
        {"an unclosed quote swallowing the rest", "a,\"" + QByteArray(40000, 'x'), "引号可能没有结束"},
        {"a 2 MB line", QByteArray(2 << 20, ','), "第 1 行超过 16384 列"},
        {"a 2 MB line of short fields", shortFields, "第 1 行太长（超过 1048576 个字）"},
        {"binary bytes", QByteArray("a,b\n\0\0\0", 7), "不是文本表格"},
        {"UTF-8 with a damaged byte", damagedUtf8, "文件是 UTF-8 编码，但第 3 行有损坏的字节"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList lines;
        const auto result = readCsv(c.bytes, lines);
        EXPECT_EQ(result.status, SpreadsheetReader::Result::Status::Failed);
        EXPECT_TRUE(result.reason.contains(QString::fromUtf8(c.reason))) << result.reason.toStdString();
    }
    // The record bound holds whatever the fields look like.
    CsvReader::Limits limits;
    limits.maxCellChars = 1 << 22;
    QStringList lines;
    const auto result = readCsv(QByteArray(2 << 20, 'a'), lines, 3, limits);
    EXPECT_TRUE(result.reason.contains(QStringLiteral("第 1 行太长"))) << result.reason.toStdString();
}

TEST(CsvReader, AGigabyteFileIsRefusedBeforeItIsRead) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("big.csv")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a,b,c\n");
    ASSERT_TRUE(file.resize(qint64(1) << 30));  // sparse: no gigabyte is written
    file.close();
    WorkbookReader reader;
    SheetDump out;
    const auto result = reader.read(file.fileName(), 11, out);
    EXPECT_EQ(result.status, SpreadsheetReader::Result::Status::Failed);
    EXPECT_TRUE(result.reason.contains(QStringLiteral("太大了"))) << result.reason.toStdString();
    EXPECT_TRUE(out.lines.isEmpty());
}

TEST(CsvReader, OnlyAFileNamedCsvIsReadAsText) {
    SpreadsheetReader::Result result;
    readWorkbook(QStringLiteral("bad/text.xls"), &result);
    EXPECT_TRUE(result.reason.contains(QStringLiteral("不是 Excel 工作簿"))) << result.reason.toStdString();
    const QStringList lines = readWorkbook(QStringLiteral("goods_utf8.csv"));
    ASSERT_GT(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("[goods_utf8]"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1: s'条码' s'商品名称'")));
}

}  // namespace
}  // namespace tovrin
