#include "barcode/import.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "barcode/lookup.h"
#include "platform/folder.h"
#include "support/fakes.h"
#include "support/memory_files.h"
#include "workbook/workbook_reader.h"

namespace tovrin {
namespace {

using test::FakeChooser;

// What the lookup tells a refused scan.
const QString kDuplicate = QStringLiteral("此商品条形码重复或表达错误！");
const QString kNoPrice = QStringLiteral("没有该商品条码对应的价格！");

QString data(const QString& name) { return QStringLiteral(TOVRIN_TEST_DATA "/import/") + name; }

// Delivers scripted sheets, then fails when told to.
class ScriptedReader : public SpreadsheetReader {
public:
    struct Sheet {
        QString name;
        std::vector<std::pair<int, std::vector<Cell>>> rows;
    };
    Result read(const QString&, int columns, SheetRows& sink) override {
        for (const Sheet& sheet : sheets) {
            if (!sink.beginSheet(sheet.name)) return Result::stopped();
            for (const auto& [number, cells] : sheet.rows) {
                std::vector<Cell> padded = cells;
                padded.resize(size_t(columns));
                if (!sink.row(number, padded)) return Result::stopped();
            }
            if (!sink.endSheet()) return Result::stopped();
        }
        if (!failure.isEmpty()) return Result::failed(failure);
        return Result::done();
    }
    std::vector<Sheet> sheets;
    QString failure;
};

const QString kTab = QStringLiteral("\t");
const QString kSuccess =
    QStringLiteral("  条码价格表已经更新成功，结算商品时，在商品价格框扫描输入条码，即可找零！");
const QString kBlankLine = QString(11, QLatin1Char('\t')) + QStringLiteral("\r\n");

QString line(const QStringList& cells) {
    QStringList all = cells;
    while (all.size() < 11) all << QString();
    return kTab + all.join(kTab) + QStringLiteral("\r\n");
}

// What goods.xls and goods.xlsx import into.
QString goodsTable() {
    QString t;
    // 饮料: row 11 has no barcode and is the last row, so it is left out.
    t += line({QStringLiteral("条码"), QStringLiteral("商品名称"), QStringLiteral("规格"),
               QStringLiteral("单位"), QStringLiteral("销售价"), QStringLiteral("进价"),
               QStringLiteral("库存"), QStringLiteral("在售"), QStringLiteral("上架日期"),
               QStringLiteral("盘点时间"), QStringLiteral("备注")});
    t += line({QStringLiteral("6901234567890"), QStringLiteral("可口可乐"), QStringLiteral("330ml"),
               QStringLiteral("罐"), QStringLiteral("3.5"), QStringLiteral("2.8"), QStringLiteral("120"),
               QStringLiteral("True"), QStringLiteral("2018-5-12"), QStringLiteral("2018-5-12 9:05:07"),
               QStringLiteral("两边有空格")});
    t += line({QStringLiteral("6920152400012"),
               QStringLiteral("农夫山泉 550ml"),
               QStringLiteral("500ml"),
               {},
               QStringLiteral("2"),
               QStringLiteral("1.25"),
               QStringLiteral("0.333333333333333"),
               QStringLiteral("False"),
               {},
               {},
               QStringLiteral("#N/A")});
    t += line({QStringLiteral("1.23456789012346E+18"),
               QStringLiteral("长条码"),
               {},
               {},
               QStringLiteral("12.5"),
               QStringLiteral("-0.5"),
               QStringLiteral("1E+20")});
    t += kBlankLine + kBlankLine + kBlankLine;
    t += line({QStringLiteral("a-100"),
               QStringLiteral("康师傅 红烧牛肉面"),
               {},
               {},
               QStringLiteral("3"),
               QStringLiteral("特价"),
               QStringLiteral("True"),
               QStringLiteral("#DIV/0!"),
               QStringLiteral("12:00:00")});
    t += line({{}, QStringLiteral("只有名称的行")});
    // Blanks in column A differ from the empty text: the row counts.
    t += line({{}, QStringLiteral("A列只有空格")});
    // 空表: row 1 only.
    t += kBlankLine;
    // 日用品: rows 1 and 17 to 29 have barcodes; row 30 has none.
    t += line({QStringLiteral("条码"), QStringLiteral("商品名称"), {}, {}, QStringLiteral("销售价")});
    for (int r = 2; r < 17; ++r) t += kBlankLine;
    for (int r = 17; r < 30; ++r) {
        t += line({QStringLiteral("69000000000%1").arg(r),
                   QStringLiteral("商品%1").arg(r),
                   {},
                   {},
                   QStringLiteral("%1.5").arg(r)});
    }
    return t;
}

class BarcodeImportTest : public ::testing::Test {
protected:
    BarcodeImport import() {
        return BarcodeImport(files, prompts, chooser, reader, clock, numbers, files.folder());
    }
    BarcodeImport importWith(SpreadsheetReader& r) {
        return BarcodeImport(files, prompts, chooser, r, clock, numbers, files.folder());
    }
    QByteArray table() const { return files.bytes(QStringLiteral("collector.txt")); }
    QStringList folderEntries() const {
        return QDir(files.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    void oldTable() { files.putText(QStringLiteral("collector.txt"), kOld); }

    const QString kOld = QStringLiteral("\t6901234567890\t可乐\t\t\t3\t\t\t\t\t\t\r\n");
    test::TempFiles files;
    test::FakePrompts prompts;
    test::FakeClock clock;
    NumberFormat numbers;
    FakeChooser chooser;
    WorkbookReader reader;
};

TEST_F(BarcodeImportTest, BothFormatsImportIntoTheSameTable) {
    for (const QString& name : {QStringLiteral("goods.xls"), QStringLiteral("goods.xlsx")}) {
        SCOPED_TRACE(name.toStdString());
        oldTable();
        prompts.shown.clear();
        prompts.answer({true});
        chooser.answer = data(name);
        QFile workbook(*chooser.answer);
        ASSERT_TRUE(workbook.open(QIODevice::ReadOnly));
        const QByteArray before = workbook.readAll();
        workbook.close();
        import().Command2_Click();

        EXPECT_EQ(table(), test::gbk(goodsTable()));
        ASSERT_TRUE(workbook.open(QIODevice::ReadOnly));
        EXPECT_EQ(workbook.readAll(), before) << "the workbook is only read";
        ASSERT_EQ(prompts.shown.size(), 3u);
        EXPECT_EQ(prompts.shown[1].kind, QStringLiteral("ok"));
        EXPECT_EQ(prompts.shown[1].text, kSuccess);
        EXPECT_EQ(prompts.shown[1].title, QStringLiteral("Tovrin 找零"));
        // The barcode with letters cannot be typed into the price box.
        EXPECT_EQ(prompts.shown[2].text,
                  QStringLiteral("  条码价格表中有 1 行，扫码结算时会出错。请在表格中改正后重新导入：\r\n"
                                 "\r\n"
                                 "  条码不是数字或扫码找不到（例如条码中有字母或空格）：1 行\r\n"
                                 "      饮料 第 8 行，条码 a-100\r\n"));
        // The new table took the old one's place; nothing else is left behind.
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("collector.txt")});
    }
}

TEST_F(BarcodeImportTest, AfterTheSuccessABoxNamesTheRowsNoScanCanSell) {
    prompts.answer({true});
    chooser.answer = data(QStringLiteral("troubles.xls"));
    import().Command2_Click();

    ASSERT_EQ(prompts.shown.size(), 3u) << prompts.texts().join(u'\n').toStdString();
    EXPECT_EQ(prompts.shown[1].text, kSuccess);
    EXPECT_EQ(prompts.shown[2].kind, QStringLiteral("ok"));
    EXPECT_EQ(prompts.shown[2].title, QStringLiteral("Tovrin 找零"));
    EXPECT_EQ(prompts.shown[2].text,
              QStringLiteral("  条码价格表中有 9 行，扫码结算时会出错。请在表格中改正后重新导入：\r\n"
                             "\r\n"
                             "  重复的条码（同一条码有两行，或是别的条码、名称、价格中的一段）：3 行\r\n"
                             "      饮料 第 2 行，条码 6901234567890\r\n"
                             "      饮料 第 3 行，条码 6901234567890\r\n"
                             "      饮料 第 8 行，条码 690123\r\n"
                             "\r\n"
                             "  没有价格或价格不是数字：2 行\r\n"
                             "      饮料 第 4 行，条码 6920152400012\r\n"
                             "      饮料 第 5 行，条码 6920152400029，价格 两元\r\n"
                             "\r\n"
                             "  有价格没有条码：1 行\r\n"
                             "      饮料 第 6 行，价格 12\r\n"
                             "\r\n"
                             "  负数价格（扫码时会当作退货）：2 行\r\n"
                             "      饮料 第 7 行，条码 6920152400036，价格 -2.5\r\n"
                             "      日用品 第 5 行，条码 6900000000031，价格 -1\r\n"
                             "\r\n"
                             "  条码不是数字或扫码找不到（例如条码中有字母或空格）：1 行\r\n"
                             "      日用品 第 4 行，条码 AB-12\r\n"));

    // Each named scan is refused at the counter as the box says.
    test::FakePrompts counter;
    BarcodeLookup lookup(files, counter, files.folder());
    EXPECT_FALSE(lookup.item(QStringLiteral("6901234567890")));
    EXPECT_FALSE(lookup.item(QStringLiteral("690123")));
    EXPECT_FALSE(lookup.item(QStringLiteral("6920152400012")));
    EXPECT_EQ(counter.texts(), (QStringList{kDuplicate, kDuplicate, kNoPrice}));
    EXPECT_EQ(lookup.kuaisu(QStringLiteral("6900000000017")), QStringLiteral("15"));
}

TEST_F(BarcodeImportTest, ACheckCancelledLeavesTheNewTableAndTellsNoMore) {
    // Cancels the check only.
    struct CancelChecking : ProgressRunner {
        void run(const QString& what, const std::function<void(Progress&)>& work) override {
            struct Told : Progress {
                bool go = true;
                bool advance(qint64) override { return go; }
            } told;
            told.go = what != BarcodeImport::kChecking;
            work(told);
        }
    } runner;
    prompts.answer({true});
    chooser.answer = data(QStringLiteral("troubles.xls"));
    BarcodeImport(files, prompts, chooser, reader, clock, numbers, files.folder(), &runner).Command2_Click();
    ASSERT_EQ(prompts.shown.size(), 2u) << prompts.texts().join(u'\n').toStdString();
    EXPECT_EQ(prompts.shown[1].text, kSuccess);
    EXPECT_TRUE(decodeGbk(table()).contains(QStringLiteral("\t6920152400036\t退货测试\t")));
}

TEST_F(BarcodeImportTest, ACleanWorkbookGetsTheSuccessAlone) {
    prompts.answer({true});
    chooser.answer = data(QStringLiteral("clean.xls"));
    import().Command2_Click();
    ASSERT_EQ(prompts.shown.size(), 2u) << prompts.texts().join(u'\n').toStdString();
    EXPECT_EQ(prompts.shown[1].text, kSuccess);
}

TEST_F(BarcodeImportTest, AsksFirstNamingTheTemplateAndOffersBothFileTypes) {
    prompts.answer({true});
    import().Command2_Click();

    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown[0].kind, QStringLiteral("yesno"));
    EXPECT_EQ(prompts.shown[0].title, QStringLiteral("Tovrin 找零"));
    EXPECT_EQ(prompts.shown[0].text,
              QStringLiteral("  在更新条码之前，请确保导入的商品条码价格表的格式，与模板文件") +
                  files.folder() +
                  QStringLiteral(
                      "/商品条码价格表.xls相同！\r\n 如果格式不同， 用户可以直接将自己的商品表格中的（条码，"
                      "商品名称，销售价）这3个条目下的信息依次覆盖复制到模板文件中相对应的条目，再导入！"
                      "\r\n 导入过程将会持续3到5分钟，请耐心等待。是否导入？"));
    ASSERT_GE(chooser.filters.size(), 2u);
    EXPECT_EQ(chooser.filters[0],
              (FileFilter{QStringLiteral("excel2003文件*.xls"), QStringLiteral("*.xls")}));
    EXPECT_EQ(chooser.filters[1],
              (FileFilter{QStringLiteral("excel2010文件*.xlsx"), QStringLiteral("*.xlsx")}));
}

TEST_F(BarcodeImportTest, NoOrCancelLeavesTheTableAndShowsNothingMore) {
    oldTable();
    prompts.answer({false});
    import().Command2_Click();
    EXPECT_EQ(chooser.opened, 0);

    prompts.answer({true});
    chooser.answer.reset();  // cancelled
    import().Command2_Click();
    EXPECT_EQ(chooser.opened, 1);
    EXPECT_EQ(prompts.shown.size(), 2u);  // the two questions only
    EXPECT_EQ(table(), test::gbk(kOld));
    EXPECT_FALSE(import().qqrs());
}

TEST_F(BarcodeImportTest, AWorkbookThatCannotBeReadLeavesTheOldTableAndSaysWhy) {
    struct Case {
        const char* file;
        const char* reason;
    };
    for (const Case& c :
         {Case{"bad/text.xls", "不是 Excel 工作簿"}, Case{"bad/truncated.xlsx", "无法打开压缩包"},
          Case{"bad/cyclic.xls", "成环"}, Case{"bad/sst_index.xls", "工作表“饮料”无法读取"},
          Case{"bad/malformed.xlsx", "不是有效的 XML"}, Case{"bad/missing.xlsx", "文件不存在"}}) {
        SCOPED_TRACE(c.file);
        oldTable();
        prompts.shown.clear();
        prompts.answer({true});
        chooser.answer = data(QString::fromUtf8(c.file));
        import().Command2_Click();

        EXPECT_EQ(table(), test::gbk(kOld));
        ASSERT_EQ(prompts.shown.size(), 2u);  // the question and the refusal, no success
        const test::FakePrompts::Shown& refusal = prompts.shown[1];
        EXPECT_EQ(refusal.kind, QStringLiteral("ok"));
        EXPECT_EQ(refusal.title, QStringLiteral("Tovrin 找零"));
        EXPECT_TRUE(
            refusal.text.startsWith(QStringLiteral("  条码价格表没有更新！\r\n 无法导入 ") + *chooser.answer))
            << refusal.text.toStdString();
        EXPECT_TRUE(refusal.text.contains(QString::fromUtf8(c.reason))) << refusal.text.toStdString();
        EXPECT_TRUE(refusal.text.endsWith(QStringLiteral("原来的条码价格表保持不变。")));
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("collector.txt")});
    }
}

TEST_F(BarcodeImportTest, AFailureAfterSomeSheetsKeepsTheOldTable) {
    ScriptedReader scripted;
    scripted.sheets = {{QStringLiteral("一"), {{1, {Cell::ofText(QStringLiteral("6901234567890"))}}}}};
    scripted.failure = QStringLiteral("工作表“二”无法读取：记录不完整");
    oldTable();
    chooser.answer = QStringLiteral("/somewhere/goods.xls");
    EXPECT_FALSE(importWith(scripted).qqrs());
    EXPECT_EQ(table(), test::gbk(kOld));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(prompts.shown[0].text.contains(scripted.failure));
}

TEST_F(BarcodeImportTest, ATableThatCannotBeWrittenIsReportedWithoutSuccess) {
    ASSERT_TRUE(QDir(files.folder()).mkdir(QStringLiteral("collector.txt")));
    prompts.answer({true});
    chooser.answer = data(QStringLiteral("goods.xlsx"));
    import().Command2_Click();
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_TRUE(prompts.shown[1].text.contains(QStringLiteral("无法写入 ") +
                                               files.path(QStringLiteral("collector.txt"))))
        << prompts.shown[1].text.toStdString();
}

TEST_F(BarcodeImportTest, TheLastRowIsTheLastWithContentInColumnAFoundExactly) {
    // Rows 1 to 40 have barcodes, 41 to 45 names only: exactly 40 lines. A
    // barcode in row 70000 is far beyond any old row limit and is kept.
    ScriptedReader scripted;
    ScriptedReader::Sheet first{QStringLiteral("一"), {}};
    for (int r = 1; r <= 45; ++r) {
        first.rows.push_back({r, {r <= 40 ? Cell::ofNumber(r) : Cell{}, Cell::ofText(QStringLiteral("名"))}});
    }
    ScriptedReader::Sheet second{QStringLiteral("二"),
                                 {{70000, {Cell::ofNumber(7)}}, {70001, {Cell{}, Cell::ofNumber(1)}}}};
    scripted.sheets = {first, second};
    chooser.answer = QStringLiteral("/somewhere/goods.xlsx");
    ASSERT_TRUE(importWith(scripted).qqrs());

    const QStringList lines = decodeGbk(table()).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 40 + 70000 + 1);  // the text ends with CR LF
    EXPECT_EQ(lines[39], QStringLiteral("\t40\t名") + QString(9, QLatin1Char('\t')));
    EXPECT_EQ(lines[40], QString(11, QLatin1Char('\t')));
    EXPECT_EQ(lines[40 + 69999], QStringLiteral("\t7") + QString(10, QLatin1Char('\t')));
}

TEST_F(BarcodeImportTest, TheShippedTemplateImports) {
    chooser.answer = QStringLiteral(TOVRIN_ASSETS "/商品条码价格表.xls");
    ASSERT_TRUE(import().qqrs()) << prompts.texts().join(QLatin1Char('\n')).toStdString();
    const QString text = decodeGbk(table());
    EXPECT_TRUE(text.startsWith(QStringLiteral("\t条码\t商品名称\t")));
    EXPECT_EQ(text.section(QStringLiteral("\r\n"), 0, 0).split(kTab)[5], QStringLiteral("销售价"));
}

// The import through files held in memory: the table written, what is kept
// of each sheet, and every way it can end without replacing the table.
TEST(BarcodeImportInMemory, WritesTheTableOrLeavesTheOldOne) {
    const QString folder = QStringLiteral("/till");
    const QString path = folderFile(folder, QStringLiteral("collector.txt"));
    const QString old = QStringLiteral("\t111\t茶\t\t\t3\t\t\t\t\t\t\r\n");
    const auto refusal = [](const QString& why) {
        return QStringLiteral("  条码价格表没有更新！\r\n ") + why +
               QStringLiteral("\r\n 原来的条码价格表保持不变。");
    };
    using Sheet = ScriptedReader::Sheet;
    const Sheet goods{QStringLiteral("一"),
                      {{1, {Cell::ofText(QStringLiteral("条码")), Cell::ofText(QStringLiteral("名称"))}},
                       {3, {Cell::ofText(QStringLiteral(" 690 ")), Cell::ofText(QStringLiteral("可乐"))}},
                       {4, {Cell{}, Cell::ofText(QStringLiteral("只有名称"))}}}};
    const QString goodsTable = line({QStringLiteral("条码"), QStringLiteral("名称")}) + kBlankLine +
                               line({QStringLiteral("690"), QStringLiteral("可乐")});
    std::vector<std::pair<int, std::vector<Cell>>> many;
    for (int r = 1; r <= 2000; ++r) many.push_back({r, {Cell::ofNumber(r)}});
    struct Case {
        const char* name;
        std::vector<Sheet> sheets;
        QString readerFailure;
        qint64 cancelAt = -1;
        std::optional<QString> rewriteFails;
        QString table;    // empty: the old table stays
        QString message;  // the refusal, if any
    };
    const Case cases[] = {
        {"kept rows", {goods}, {}, -1, {}, goodsTable, {}},
        {"an empty sheet keeps row 1",
         {goods, Sheet{QStringLiteral("二"), {}}},
         {},
         -1,
         {},
         goodsTable + kBlankLine,
         {}},
        {"a sheet of names only keeps row 1",
         {Sheet{QStringLiteral("一"), {{2, {Cell{}, Cell::ofText(QStringLiteral("名"))}}}}},
         {},
         -1,
         {},
         kBlankLine,
         {}},
        {"rows out of order",
         {Sheet{QStringLiteral("一"), {{2, {Cell::ofNumber(1)}}, {2, {Cell::ofNumber(2)}}}}},
         {},
         -1,
         {},
         {},
         refusal(QStringLiteral("无法写入 ") + path + QStringLiteral("：工作表的行次序不对"))},
        {"the reader fails",
         {goods},
         QStringLiteral("工作表“二”无法读取：记录不完整"),
         -1,
         {},
         {},
         refusal(QStringLiteral("无法导入 /goods.xls：工作表“二”无法读取：记录不完整"))},
        {"cancelled",
         {Sheet{QStringLiteral("一"), many}},
         {},
         1024,
         {},
         {},
         refusal(BarcodeImport::kCancelled)},
        {"the table cannot be replaced",
         {goods},
         {},
         -1,
         QStringLiteral("磁盘已满"),
         {},
         refusal(QStringLiteral("无法写入 ") + path + QStringLiteral("：磁盘已满"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MemoryFiles files;
        files.texts[path] = old;
        files.rewriteFails = c.rewriteFails;
        test::FakePrompts prompts;
        FakeChooser chooser;
        chooser.answer = QStringLiteral("/goods.xls");
        ScriptedReader reader;
        reader.sheets = c.sheets;
        reader.failure = c.readerFailure;
        test::FakeClock clock;
        NumberFormat numbers;
        test::FakeProgressRunner runner;
        runner.cancelAt = c.cancelAt;
        BarcodeImport import(files, prompts, chooser, reader, clock, numbers, folder, &runner);

        EXPECT_EQ(import.qqrs(), !c.table.isEmpty());
        EXPECT_EQ(files.texts[path], c.table.isEmpty() ? old : c.table);
        EXPECT_EQ(files.texts.size(), 1u);
        EXPECT_EQ(prompts.texts(), c.message.isEmpty() ? QStringList{} : QStringList{c.message});
        for (const test::FakePrompts::Shown& shown : prompts.shown) EXPECT_EQ(shown.title, kBoxTitle);
        // The table is only ever replaced whole, once.
        EXPECT_EQ(files.rewrites, c.table.isEmpty() && !c.rewriteFails ? 0 : 1);
    }
}

// A workbook imports into the same bytes whether the table is on disk or in
// memory.
TEST(BarcodeImportInMemory, TheSameTableAsOnDisk) {
    for (const char* workbook : {"goods.xls", "goods.xlsx"}) {
        SCOPED_TRACE(workbook);
        test::FakePrompts prompts;
        FakeChooser chooser;
        chooser.answer = data(QString::fromUtf8(workbook));
        WorkbookReader reader;
        test::FakeClock clock;
        NumberFormat numbers;
        test::TempFiles disk;
        test::MemoryFiles memory;
        ASSERT_TRUE(BarcodeImport(disk, prompts, chooser, reader, clock, numbers, disk.folder()).qqrs());
        ASSERT_TRUE(
            BarcodeImport(memory, prompts, chooser, reader, clock, numbers, QStringLiteral("/till")).qqrs());
        EXPECT_EQ(encodeGbk(memory.texts[QStringLiteral("/till/collector.txt")]),
                  disk.bytes(QStringLiteral("collector.txt")));
        EXPECT_EQ(disk.bytes(QStringLiteral("collector.txt")), test::gbk(goodsTable()));
    }
}

}  // namespace
}  // namespace tovrin
