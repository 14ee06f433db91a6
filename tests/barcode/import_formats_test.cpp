// The goods list saved in every file type the import reads gives the same
// barcode table, byte for byte; hostile files of the newer types leave the
// old table as it was.
#include <gtest/gtest.h>

#include <QDir>

#include "barcode/import.h"
#include "support/fakes.h"
#include "workbook/workbook_reader.h"

namespace tovrin {
namespace {

QString data(const QString& name) { return QStringLiteral(TOVRIN_TEST_DATA "/import/") + name; }

class ImportFormatsTest : public ::testing::Test {
protected:
    // The table an import of `name` leaves, and the messages shown.
    QByteArray importOf(const QString& name) {
        prompts.shown.clear();
        chooser.answer = data(name);
        BarcodeImport(files, prompts, chooser, reader, clock, numbers, files.folder()).qqrs();
        return files.bytes(QStringLiteral("collector.txt"));
    }

    test::TempFiles files;
    test::FakePrompts prompts;
    test::FakeClock clock;
    NumberFormat numbers;
    test::FakeChooser chooser;
    WorkbookReader reader;
};

TEST_F(ImportFormatsTest, EveryFileTypeOfTheGoodsListGivesTheSameTable) {
    const QByteArray expected = importOf(QStringLiteral("goods.xls"));
    ASSERT_GT(expected.size(), 500);
    ASSERT_EQ(importOf(QStringLiteral("goods.xlsx")), expected);
    for (const char* name : {"goods.ods", "goods_utf8.csv", "goods_utf8_tab.csv", "goods_gbk.csv"}) {
        SCOPED_TRACE(name);
        files.put(QStringLiteral("collector.txt"), "old");
        EXPECT_EQ(importOf(QString::fromUtf8(name)), expected);
        EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(QDir(files.folder()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("collector.txt")});
    }
}

TEST_F(ImportFormatsTest, HostileFilesLeaveTheOldTableAndSayWhy) {
    struct Case {
        const char* file;
        const char* reason;
    };
    for (const Case& c :
         {Case{"bad/repeat_bomb.ods", "表格太大"}, Case{"bad/long_cell.ods", "超过 32767 个字"},
          Case{"bad/password.ods", "密码"}, Case{"bad/malformed.ods", "不是有效的 XML"},
          Case{"bad/unclosed_quote.csv", "第 2 行开始的引号没有结束"},
          Case{"bad/binary.csv", "不是文本表格"}}) {
        SCOPED_TRACE(c.file);
        files.put(QStringLiteral("collector.txt"), "old");
        EXPECT_EQ(importOf(QString::fromUtf8(c.file)), "old");
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("  条码价格表没有更新！")));
        EXPECT_TRUE(prompts.shown[0].text.contains(QString::fromUtf8(c.reason)))
            << prompts.shown[0].text.toStdString();
        EXPECT_EQ(QDir(files.folder()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("collector.txt")});
    }
}

TEST_F(ImportFormatsTest, TheDialogOffersTheNewTypesAfterTheExcelOnes) {
    importOf(QStringLiteral("goods.ods"));
    const std::vector<FileFilter> expected = {
        {QStringLiteral("excel2003文件*.xls"), QStringLiteral("*.xls")},
        {QStringLiteral("excel2010文件*.xlsx"), QStringLiteral("*.xlsx")},
        {QStringLiteral("OpenDocument表格*.ods"), QStringLiteral("*.ods")},
        {QStringLiteral("CSV文本表格*.csv"), QStringLiteral("*.csv")},
        {QStringLiteral("全部表格文件*.xls;*.xlsx;*.ods;*.csv"), QStringLiteral("*.xls *.xlsx *.ods *.csv")},
    };
    EXPECT_EQ(chooser.filters, expected);
}

}  // namespace
}  // namespace tovrin
