#include "workbook/workbook_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <future>

#include "support/sheet_dump.h"

namespace tovrin {
namespace {

QString data(const QString& name) { return QStringLiteral(TOVRIN_TEST_DATA "/import/") + name; }

SpreadsheetReader::Result readFile(const QString& path, SheetDump& dump, int columns = 11) {
    WorkbookReader reader;
    return reader.read(path, columns, dump);
}

// goods.xls and goods.xlsx hold the same cells in the same order of sheets.
const QStringList kGoods = {
    QStringLiteral("[饮料]"),
    QStringLiteral("1: s'条码' s'商品名称' s'规格' s'单位' s'销售价' s'进价' s'库存' s'在售' s'上架日期' "
                   "s'盘点时间' s'备注'"),
    QStringLiteral(
        "2: n6901234567890 s'  可口可乐 ' s'330ml' s'罐' n3.5 n2.8 n120 b1 d43232 d43232.3785532407 "
        "s'  两边有空格  '"),
    QStringLiteral(
        "3: s'6920152400012' s'农夫山泉 550ml' s'500ml' - n2 n1.25 n0.333333333333333 b0 - - e#N/A"),
    QStringLiteral("4: n1.23456789012346e+18 s'长条码' - - n12.5 n-0.5 n1e+20 - - - -"),
    QStringLiteral("8: s'a-100' s'康师傅 红烧牛肉面' - - n3 s'特价' b1 e#DIV/0! d0.5 - -"),
    QStringLiteral("9: - s'只有名称的行' - - - - - - - - -"),
    QStringLiteral("10: s'   ' s'A列只有空格' - - - - - - - - -"),
    QStringLiteral("11: - s'最后一行只有名称' - - - - - - - - -"),
    QStringLiteral("[end]"),
    QStringLiteral("[空表]"),
    QStringLiteral("[end]"),
    QStringLiteral("[日用品]"),
    QStringLiteral("1: s'条码' s'商品名称' - - s'销售价' - - - - - -"),
};

QStringList goodsDump() {
    QStringList out = kGoods;
    for (int r = 17; r < 30; ++r) {
        out << QStringLiteral("%1: s'69000000000%1' s'商品%1' - - n%2 - - - - - -").arg(r).arg(r + 0.5);
    }
    out << QStringLiteral("30: - s'没有条码' - - - - - - - - -") << QStringLiteral("[end]");
    return out;
}

TEST(WorkbookReader, BothFormatsGiveTheCellsOfAllWorksheetsInWorkbookOrder) {
    for (const QString& name : {QStringLiteral("goods.xls"), QStringLiteral("goods.xlsx")}) {
        SCOPED_TRACE(name.toStdString());
        SheetDump dump;
        const auto result = readFile(data(name), dump);
        ASSERT_TRUE(result.isDone()) << result.reason.toStdString();
        EXPECT_EQ(dump.lines.join(QLatin1Char('\n')).toStdString(),
                  goodsDump().join(QLatin1Char('\n')).toStdString());
    }
}

TEST(WorkbookReader, ExcelFiveWorkbookInTheMiniStreamDecodesItsCodePage) {
    SheetDump dump;
    const auto result = readFile(data(QStringLiteral("biff5.xls")), dump, 6);
    ASSERT_TRUE(result.isDone()) << result.reason.toStdString();
    EXPECT_EQ(
        dump.lines,
        QStringList({QStringLiteral("[商品]"), QStringLiteral("1: s'条码' s'商品名称' - - s'销售价' -"),
                     QStringLiteral("2: n6901234567890 s'  可乐 ' - - n3.5 -"),
                     QStringLiteral("3: s'6920152400012' s'雪碧' - - n12.25 b1"), QStringLiteral("[end]")}));
}

TEST(WorkbookReader, XlsxEscapesIsoDatesAndTheNineteenOFourDateSystem) {
    SheetDump dump;
    const auto result = readFile(data(QStringLiteral("escapes.xlsx")), dump, 4);
    ASSERT_TRUE(result.isDone()) << result.reason.toStdString();
    ASSERT_EQ(dump.lines.size(), 3);
    // "_x005F_" is an escaped "_", so "_x005F_x0041_" stays "_x0041_".
    EXPECT_EQ(dump.lines[1], QStringLiteral("1: s'a\rb\tc_x0041_' s'_xZZZZ_' d43232.3785532407 d1463"));
}

TEST(WorkbookReader, RowsBeyondTheAskedColumnsAndLimitsOfTheSinkAreRespected) {
    SheetDump dump;
    dump.rowsLeft = 2;
    const auto result = readFile(data(QStringLiteral("goods.xlsx")), dump, 1);
    EXPECT_EQ(result.status, SpreadsheetReader::Result::Status::Stopped);
    EXPECT_EQ(dump.lines, QStringList({QStringLiteral("[饮料]"), QStringLiteral("1: s'条码'"),
                                       QStringLiteral("2: n6901234567890")}));
}

TEST(WorkbookReader, ClaimsInHeadersAreNotBelieved) {
    // Sheet dimensions of four billion rows, zip entries of nearly 4 GB: the
    // content is read as it is, with no memory taken for the claims.
    for (const QString& name :
         {QStringLiteral("bad/dimension_claim.xls"), QStringLiteral("bad/size_claim.xlsx")}) {
        SCOPED_TRACE(name.toStdString());
        SheetDump dump;
        const auto result = readFile(data(name), dump);
        EXPECT_TRUE(result.isDone()) << result.reason.toStdString();
        EXPECT_GE(dump.lines.size(), 3);
    }
}

struct BadFile {
    const char* name;
    const char* reason;  // a part of the message
};

class WorkbookReaderBadFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(WorkbookReaderBadFile, FailsWithAReason) {
    const BadFile bad = GetParam();
    // Small limits, so that the hostile files stay small.
    XlsxReader::Limits xlsx;
    xlsx.xml.maxUnpackedBytes = 8 << 20;
    // These files pack far too well as well; the unpack ratio has tests of
    // its own.
    xlsx.unpackRatioFloor = qint64(1) << 40;
    WorkbookReader reader({}, xlsx);
    SheetDump dump;
    const auto result = reader.read(data(QString::fromUtf8(bad.name)), 11, dump);
    ASSERT_EQ(result.status, SpreadsheetReader::Result::Status::Failed);
    EXPECT_TRUE(result.reason.contains(QString::fromUtf8(bad.reason))) << result.reason.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Files, WorkbookReaderBadFile,
    ::testing::Values(BadFile{"bad/missing.xls", "文件不存在"}, BadFile{"bad", "文件夹"},
                      BadFile{"bad/empty.xlsx", "文件是空的"}, BadFile{"bad/text.xls", "不是 Excel 工作簿"},
                      BadFile{"bad/truncated.xls", "文件已损坏"},
                      BadFile{"bad/truncated.xlsx", "无法打开压缩包"}, BadFile{"bad/cyclic.xls", "成环"},
                      BadFile{"bad/encrypted.xlsx", "密码"}, BadFile{"bad/password.xls", "密码"},
                      BadFile{"bad/sst_index.xls", "工作表“饮料”无法读取"},
                      BadFile{"bad/malformed.xlsx", "不是有效的 XML"}, BadFile{"bad/entities.xlsx", "DTD"},
                      BadFile{"bad/deep.xlsx", "嵌套"}, BadFile{"bad/long_text.xlsx", "超过 1024 KB"},
                      BadFile{"bad/bomb.xlsx", "超过 8 MB"}, BadFile{"bad/shared_index.xlsx", "共享文字编号"},
                      BadFile{"bad/row_order.xlsx", "次序"}, BadFile{"bad/not_workbook.xlsx", "没有"}));

TEST(WorkbookReader, ACellTextBeyondTheLimitFailsNamingIt) {
    XlsReader::Limits xls;
    xls.maxCellChars = 5;
    XlsxReader::Limits xlsx;
    xlsx.maxCellChars = 5;
    WorkbookReader reader(xls, xlsx);
    for (const QString& name : {QStringLiteral("goods.xls"), QStringLiteral("goods.xlsx")}) {
        SCOPED_TRACE(name.toStdString());
        SheetDump dump;
        const auto result = reader.read(data(name), 11, dump);
        ASSERT_EQ(result.status, SpreadsheetReader::Result::Status::Failed);
        EXPECT_TRUE(result.reason.contains(QStringLiteral("单元格的文字超过 5 个字")))
            << result.reason.toStdString();
    }
}

TEST(WorkbookReader, APartPackedFarTooWellIsRefused) {
    // goods.xlsx packs its parts well, but not two hundredfold: with the
    // ratio at 1 it is refused, by default it imports.
    XlsxReader::Limits xlsx;
    xlsx.maxUnpackRatio = 1;
    xlsx.unpackRatioFloor = 0;
    SheetDump dump;
    const auto refused = WorkbookReader({}, xlsx).read(data(QStringLiteral("goods.xlsx")), 11, dump);
    ASSERT_EQ(refused.status, SpreadsheetReader::Result::Status::Failed);
    EXPECT_TRUE(refused.reason.contains(QStringLiteral("压缩比超过 1 倍"))) << refused.reason.toStdString();
    EXPECT_TRUE(WorkbookReader().read(data(QStringLiteral("goods.xlsx")), 11, dump).isDone());
}

TEST(WorkbookReader, SharedStringsBeyondTheLimitFail) {
    XlsReader::Limits xls;
    xls.maxSharedStrings = 5;
    XlsxReader::Limits xlsx;
    xlsx.maxSharedStrings = 5;
    WorkbookReader reader(xls, xlsx);
    for (const QString& name : {QStringLiteral("goods.xls"), QStringLiteral("goods.xlsx")}) {
        SheetDump dump;
        const auto result = reader.read(data(name), 11, dump);
        EXPECT_TRUE(result.reason.contains(QStringLiteral("共享文字太多"))) << result.reason.toStdString();
    }
}

// A workbook is opened only when it is a regular file, and opening never
// waits: a pipe (whose open would wait for a writer) or a device chosen as
// the workbook is refused at once. A link the cashier chose is followed to
// the workbook it names.
TEST(WorkbookReader, APipeOrADeviceIsRefusedAtOnceAndALinkIsFollowed) {
    QTemporaryDir folder;
    const QString pipe = folder.filePath(QStringLiteral("goods.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    const QString device = folder.filePath(QStringLiteral("zero.xlsx"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
    for (const QString& path : {pipe, device}) {
        SCOPED_TRACE(path.toStdString());
        // On another thread, so that a wait fails the test rather than
        // hanging it; a writer opened afterwards lets a waiting reader go.
        auto read = std::async(std::launch::async, [path] {
            SheetDump dump;
            return WorkbookReader().read(path, 11, dump);
        });
        if (read.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) ::close(writer);
            ADD_FAILURE() << "the reader waited";
        }
        const auto result = read.get();
        EXPECT_EQ(result.status, SpreadsheetReader::Result::Status::Failed);
        EXPECT_EQ(result.reason, QStringLiteral("这不是普通文件（是管道、设备或其他特殊文件）"));
    }
    const QString link = folder.filePath(QStringLiteral("linked.xlsx"));
    ASSERT_TRUE(QFile::link(data(QStringLiteral("goods.xlsx")), link));
    SheetDump dump;
    const auto result = readFile(link, dump);
    ASSERT_TRUE(result.isDone()) << result.reason.toStdString();
    EXPECT_EQ(dump.lines, goodsDump());
}

}  // namespace
}  // namespace tovrin
