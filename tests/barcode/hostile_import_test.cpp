// The import of hostile and large workbooks made by
// tools/make_hostile_testdata.py at test time, and the cancelling of an
// import: every refusal names the bound it met, and the old table stays
// byte for byte.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>

#include "barcode/import.h"
#include "platform/qt/gbk_text_files.h"
#include "support/fakes.h"
#include "workbook/workbook_reader.h"

namespace tovrin {
namespace {

// The generated workbooks, made once for all tests of this file.
class HostileWorkbooks : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        QProcess script;
        script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        script.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(TOVRIN_TEST_DATA "/../../tools/make_hostile_testdata.py"), dir_->path(),
                      // Runs of a million characters: each one passes the
                      // token bound, together they break the cell's.
                      QStringLiteral("inline_runs.xlsx=40"), QStringLiteral("comment_split.xlsx=40"),
                      QStringLiteral("shared_runs.xlsx=40"), QStringLiteral("sheet_bomb.xlsx=64"),
                      QStringLiteral("shared_bomb.xlsx=64"), QStringLiteral("many_sheets.xls=3"),
                      QStringLiteral("rows.xls=70000"),
                      // Spreadsheets packed some four hundredfold.
                      QStringLiteral("cells_bomb.ods=64"), QStringLiteral("rows_bomb.ods=64"),
                      QStringLiteral("text_bomb.ods=64")});
        made_ = script.waitForFinished(300000) && script.exitStatus() == QProcess::NormalExit &&
                script.exitCode() == 0;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(made_) << "tools/make_hostile_testdata.py failed"; }

    QString file(const char* name) const { return dir_->filePath(QString::fromUtf8(name)); }
    BarcodeImport import(ProgressRunner* runner = nullptr) {
        return BarcodeImport(files, prompts, chooser, reader, clock, numbers, files.folder(), runner);
    }
    void oldTable() { files.putText(QStringLiteral("collector.txt"), kOld); }
    QByteArray table() const { return files.bytes(QStringLiteral("collector.txt")); }
    QStringList folderEntries() const {
        return QDir(files.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    static inline QTemporaryDir* dir_ = nullptr;
    static inline bool made_ = false;
    const QString kOld = QStringLiteral("\t6901234567890\t可乐\t\t\t3\t\t\t\t\t\t\r\n");
    test::TempFiles files;
    test::FakePrompts prompts;
    test::FakeClock clock;
    NumberFormat numbers;
    test::FakeChooser chooser;
    WorkbookReader reader;
};

TEST_F(HostileWorkbooks, AreRefusedNamingTheBoundAndKeepTheOldTable) {
    struct Case {
        const char* file;
        const char* reason;
    };
    for (const Case& c : {
             Case{"inline_runs.xlsx", "单元格 A1：单元格的文字超过 32767 个字"},
             Case{"comment_split.xlsx", "单元格 A1：单元格的文字超过 32767 个字"},
             Case{"shared_runs.xlsx", "第 1 条共享文字：单元格的文字超过 32767 个字"},
             Case{"sheet_bomb.xlsx", "xl/worksheets/sheet1.xml：压缩比超过 200 倍"},
             Case{"shared_bomb.xlsx", "xl/sharedStrings.xml：压缩比超过 200 倍"},
             Case{"many_sheets.xls", "文件已损坏：几个工作表记录指向同一个工作表"},
         }) {
        SCOPED_TRACE(c.file);
        oldTable();
        prompts.shown.clear();
        chooser.answer = file(c.file);
        EXPECT_FALSE(import().qqrs());
        EXPECT_EQ(table(), test::gbk(kOld));
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("collector.txt")});
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_TRUE(prompts.shown[0].text.contains(QString::fromUtf8(c.reason)))
            << prompts.shown[0].text.toStdString();
        EXPECT_TRUE(prompts.shown[0].text.endsWith(QStringLiteral("原来的条码价格表保持不变。")));
    }
}

TEST_F(HostileWorkbooks, SpreadsheetsPackedFarTooWellAreRefusedAsBombs) {
    // Empty cells, empty rows and empty spans: each would be read to its end
    // for nothing, or for one row.
    for (const char* name : {"cells_bomb.ods", "rows_bomb.ods", "text_bomb.ods"}) {
        SCOPED_TRACE(name);
        oldTable();
        prompts.shown.clear();
        chooser.answer = file(name);
        EXPECT_FALSE(import().qqrs());
        EXPECT_EQ(table(), test::gbk(kOld));
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_TRUE(prompts.shown[0].text.contains(QStringLiteral("content.xml：压缩比超过 200 倍")))
            << prompts.shown[0].text.toStdString();
    }
}

TEST_F(HostileWorkbooks, ALargeXlsOverSeveralSheetsImportsEveryRow) {
    // 62,500 rows in the first sheet, 7,500 in the second.
    chooser.answer = file("rows.xls");
    test::FakeProgressRunner runner;
    ASSERT_TRUE(import(&runner).qqrs()) << prompts.texts().join(u'\n').toStdString();
    const QStringList lines = decodeGbk(table()).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 70000 + 1);
    EXPECT_EQ(lines[0],
              QStringLiteral("\t6900000000001\t商品名称1\t100\t瓶\t1\t0.5\t0\t类别1\t43232\t供应商1\t备注"));
    EXPECT_EQ(lines[62499],
              QStringLiteral(
                  "\t6900000062500\t商品名称62500\t499\t瓶\t5.99\t2.49\t499\t类别1\t43232\t供应商1\t备注"));
    EXPECT_EQ(
        lines[62500],
        QStringLiteral("\t6900000062501\t商品名称62501\t100\t瓶\t1\t0.5\t0\t类别1\t43232\t供应商1\t备注"));
    EXPECT_EQ(lines[69999],
              QStringLiteral(
                  "\t6900000070000\t商品名称70000\t399\t瓶\t5.99\t5.49\t499\t类别1\t43232\t供应商1\t备注"));

    // The rows read were told as the import went; the check of the new
    // table, run after it, begins at 0.
    ASSERT_EQ(runner.runs,
              (QStringList{QStringLiteral("正在导入 rows.xls"), QStringLiteral("正在检查条码价格表")}));
    const auto checking = std::find(runner.told.begin(), runner.told.end(), 0);
    ASSERT_NE(checking, runner.told.begin());
    EXPECT_EQ(runner.told.front(), 512);
    EXPECT_EQ(*(checking - 1), 70000 / 512 * 512);
}

TEST_F(HostileWorkbooks, CancellingEndsTheImportLikeAFailure) {
    oldTable();
    prompts.answer({true});
    chooser.answer = file("rows.xls");
    test::FakeProgressRunner runner;
    runner.cancelAt = 2048;
    import(&runner).Command2_Click();

    EXPECT_EQ(table(), test::gbk(kOld));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("collector.txt")});
    ASSERT_EQ(prompts.shown.size(), 2u);  // the question and the refusal, no success
    EXPECT_EQ(prompts.shown[1].text,
              QStringLiteral("  条码价格表没有更新！\r\n 导入已取消。\r\n 原来的条码价格表保持不变。"));
    // Nothing was read after the cancel.
    EXPECT_EQ(runner.told.back(), 2048);
}

}  // namespace
}  // namespace tovrin
