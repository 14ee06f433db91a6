#include <gtest/gtest.h>

#include "platform/display.h"
#include "platform/numbers.h"
#include "platform/qt/gbk_text_files.h"
#include "records/columns.h"
#include "records/journal.h"
#include "stats/statistics.h"
#include "support/fakes.h"
#include "support/line_ends.h"

namespace tovrin {
namespace {

using test::FakeClock;
using test::FakeForm;
using test::FakePrompts;
using test::gbk;
using test::TempFiles;

const QString TAB = QStringLiteral("\t");
const QString CRLF = QStringLiteral("\r\n");

QString padded(QString text, double width) { return tiaozhen(text, width); }

struct Item {
    QString name;  // goods name, or the item number in price form
    QString discount, total, quantity;
    QString barcode;  // empty: price form
};

// A finished sale as the checkout appends it to tovrinback.txt.
QString block(const QString& dateTime, const std::vector<Item>& items) {
    QString itemPart;
    for (const Item& item : items) {
        const bool barcodeForm = !item.barcode.isEmpty();
        const QString number = barcodeForm ? padded(item.name, 39) : item.name;
        itemPart +=
            itemLine({number, item.discount, item.total, item.quantity, item.barcode}, barcodeForm) + CRLF;
    }
    return blockHead(dateTime, QStringLiteral("0"), QString::number(items.size()), QStringLiteral("0"),
                     QStringLiteral("0"), QStringLiteral("1")) +
           itemPart + CRLF + CRLF;
}

QString summaryLine(const QString& name, const QString& barcode, const QString& quantity,
                    const QString& total, const QString& discount, const QString& due) {
    return TAB + padded(QStringLiteral("\r\n商品:  ") + name, 39) + TAB + barcode +
           QStringLiteral(" 销售量：") + quantity + TAB + QStringLiteral(" 原价总额：") + total + TAB +
           QStringLiteral(" 折扣总额：") + discount + TAB + QStringLiteral(" 应收金额：") + due + CRLF;
}

QString totals(const QString& count, const QString& barcode, const QString& price, const QString& all) {
    const QString t3 = TAB + TAB + TAB;
    return QStringLiteral("条码结算的商品种类合计:") + QString(6, u' ') + t3 + count + TAB + CRLF +
           QStringLiteral("条码结算的商品应收金额合计:") + QString(2, u' ') + t3 + barcode + CRLF +
           QStringLiteral("价格结算的商品应收金额合计:") + QString(2, u' ') + t3 + price + CRLF +
           QStringLiteral("商品应收金额总计:") + QString(12, u' ') + t3 + all + CRLF;
}

class GoodsReport : public ::testing::Test {
protected:
    GoodsReport() { today(QStringLiteral("2018-5-12")); }

    // The statistics as the window makes them at start-up on that day.
    void today(const QString& zhuanda) {
        stats = std::make_unique<Statistics>(form, display, prompts, files, clock, ReportNumbers{numbers},
                                             zhuanda, files.folder());
    }

    void journal(const QStringList& blocks) {
        files.putText(QStringLiteral("tovrinback.txt"), blocks.join(QString()));
    }
    void run(bool today) {
        prompts.answer({false, today});
        stats->Command1_1_Click();
        ASSERT_FALSE(prompts.ranOutOfAnswers);
    }
    QString summaryFile() const { return decodeGbk(files.bytes(QStringLiteral("betweensum.txt"))); }

    TempFiles files;
    FakePrompts prompts;
    FakeClock clock;
    FakeForm form;
    TextModel display{12};
    NumberFormat numbers;
    std::unique_ptr<Statistics> stats;
};

const QString kDay = QStringLiteral("2018-5-12 9:00:00");
const QString kLater = QStringLiteral("2018-5-12 10:00:00");

TEST_F(GoodsReport, TwoSalesOfTheSameGoods) {
    const QStringList blocks = {
        block(kDay, {{QStringLiteral("牛奶"), QStringLiteral("2"), QStringLiteral("20"), QStringLiteral("2"),
                      QStringLiteral("6901")}}),
        block(kLater, {{QStringLiteral("牛奶"), QStringLiteral("0"), QStringLiteral("10"),
                        QStringLiteral("1"), QStringLiteral("6901")}}),
    };
    journal(blocks);
    run(true);

    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(
        prompts.shown[1].text,
        QStringLiteral("条码结算商品统计：\r\n    如果选“是”，那么将对2018-5-12当天的销售商品进行统计！\r\n"
                       "如果选“否”，将对当月2018-5的销售商品进行统计！\r\n请选择：   "));
    EXPECT_EQ(prompts.shown[2].kind, QStringLiteral("ok"));
    EXPECT_EQ(prompts.shown[2].text,
              QStringLiteral(" 温情提示：\r\n参与统计的是:2018-5-12条码结算的商品的数量。"));
    EXPECT_EQ(prompts.shown[2].title, QStringLiteral("Tovrin 找零"));

    const QString line = summaryLine(QStringLiteral("牛奶"), QStringLiteral("6901"), QStringLiteral("3"),
                                     QStringLiteral("30"), QStringLiteral("2"), QStringLiteral("28"));
    EXPECT_EQ(files.bytes(QStringLiteral("betweensum.txt")), gbk(line));
    // The whole journal is the day's section, up to its last CR.
    const QString section = blocks.join(QString()) + QStringLiteral("\r");
    EXPECT_EQ(display.text(), section + CRLF + CRLF + QStringLiteral("2018-5-12 9:05:07") + CRLF + CRLF +
                                  QStringLiteral("条码结算的商品数量统计：") + CRLF + CRLF + line + CRLF +
                                  totals(QStringLiteral("1"), QStringLiteral("28"), QStringLiteral("0"),
                                         QStringLiteral("28")));
    EXPECT_EQ(display.selStart(), display.length());
}

struct GoodsCase {
    const char* name;
    QStringList blocks;
    QString summary;  // betweensum.txt
    QString totals;
};

TEST_F(GoodsReport, GroupsByLabel) {
    const QString milk = QStringLiteral("牛奶");
    const auto price = [](const char* number, const char* total) {
        return Item{QString::fromLatin1(number), QStringLiteral("0"), QString::fromLatin1(total),
                    QStringLiteral("1"), QString()};
    };
    const std::vector<GoodsCase> cases = {
        {"price-settled items only",
         {block(kDay, {price("1", "12.5"), price("2", "7")})},
         QString(),
         totals(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("19.5"), QStringLiteral("19.5"))},
        {"price labels shared by sales, beside barcode goods",
         {block(kDay, {price("1", "12.5"), price("2", "7")}),
          block(kLater, {price("1", "3"),
                         {milk, QStringLiteral("0.5"), QStringLiteral("8"), QStringLiteral("2"),
                          QStringLiteral("6901")}})},
         summaryLine(milk, QStringLiteral("6901"), QStringLiteral("2"), QStringLiteral("8"),
                     QStringLiteral("0.5"), QStringLiteral("7.5")),
         totals(QStringLiteral("1"), QStringLiteral("7.5"), QStringLiteral("22.5"), QStringLiteral("30"))},
        {"one name under two barcodes",
         {block(kDay, {{milk, QStringLiteral("0"), QStringLiteral("5"), QStringLiteral("1"),
                        QStringLiteral("111")}}),
          block(kLater, {{milk, QStringLiteral("0"), QStringLiteral("6"), QStringLiteral("1"),
                          QStringLiteral("222")}})},
         summaryLine(milk, QStringLiteral("111"), QStringLiteral("2"), QStringLiteral("11"),
                     QStringLiteral("0"), QStringLiteral("11")),
         totals(QStringLiteral("1"), QStringLiteral("11"), QStringLiteral("0"), QStringLiteral("11"))},
        {"lower-case names and barcodes upper-cased",
         {block(kDay, {{QStringLiteral("cola zero"), QStringLiteral("0"), QStringLiteral("3"),
                        QStringLiteral("1"), QStringLiteral("ab12")}})},
         summaryLine(QStringLiteral("COLA ZERO"), QStringLiteral("AB12"), QStringLiteral("1"),
                     QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("3")),
         totals(QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("3"))},
        {"the period ends at the next day's first block",
         {block(QStringLiteral("2018-5-11 23:00:00"), {price("1", "100")}),
          block(QStringLiteral("2018-5-12 23:59:00"), {{milk, QStringLiteral("0"), QStringLiteral("4"),
                                                        QStringLiteral("1"), QStringLiteral("6901")}}),
          block(QStringLiteral("2018-5-13 0:01:00"), {{milk, QStringLiteral("0"), QStringLiteral("4"),
                                                       QStringLiteral("1"), QStringLiteral("6901")},
                                                      price("1", "9")})},
         summaryLine(milk, QStringLiteral("6901"), QStringLiteral("1"), QStringLiteral("4"),
                     QStringLiteral("0"), QStringLiteral("4")),
         totals(QStringLiteral("1"), QStringLiteral("4"), QStringLiteral("0"), QStringLiteral("4"))},
        {"amounts due are summed as rounded to cents",
         {block(kDay, {{QStringLiteral("A"), QStringLiteral("0.333"), QStringLiteral("1"),
                        QStringLiteral("1"), QStringLiteral("1")},
                       {QStringLiteral("B"), QStringLiteral("0.333"), QStringLiteral("1"),
                        QStringLiteral("1"), QStringLiteral("2")}})},
         summaryLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                     QStringLiteral("0.33"), QStringLiteral("0.67")) +
             summaryLine(QStringLiteral("B"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1"),
                         QStringLiteral("0.33"), QStringLiteral("0.67")),
         totals(QStringLiteral("2"), QStringLiteral("1.34"), QStringLiteral("0"), QStringLiteral("1.34"))},
    };
    for (const GoodsCase& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        journal(c.blocks);
        run(true);
        EXPECT_EQ(summaryFile(), c.summary);
        EXPECT_TRUE(display.text().endsWith(c.totals)) << qPrintable(display.text().right(400));
        EXPECT_EQ(prompts.shown.size(), 3u);
    }
}

TEST_F(GoodsReport, MonthWithSlashes) {
    today(QStringLiteral("2018/5/12"));
    const Item tea{QStringLiteral("茶"), QStringLiteral("0"), QStringLiteral("2"), QStringLiteral("1"),
                   QStringLiteral("77")};
    journal({block(QStringLiteral("2018/4/30 9:00:00"), {tea}),
             block(QStringLiteral("2018/5/3 9:00:00"), {tea}),
             block(QStringLiteral("2018/5/12 9:00:00"), {tea}),
             block(QStringLiteral("2018/6/1 9:00:00"), {tea})});
    run(false);
    EXPECT_EQ(stats->dfyue(), QStringLiteral("/"));
    EXPECT_EQ(stats->eyues(), QStringLiteral("2018/5月"));
    EXPECT_EQ(summaryFile(), summaryLine(QStringLiteral("茶"), QStringLiteral("77"), QStringLiteral("2"),
                                         QStringLiteral("4"), QStringLiteral("0"), QStringLiteral("4")));
    EXPECT_TRUE(display.text().startsWith(QStringLiteral("2018/5/3 9:00:00")));
}

TEST_F(GoodsReport, EmptyJournalGivesBothMessagesAndLeavesTheSummaryFile) {
    files.putText(QStringLiteral("tovrinback.txt"), QString());
    files.putText(QStringLiteral("betweensum.txt"), QStringLiteral("old"));
    run(true);
    ASSERT_EQ(prompts.shown.size(), 4u);
    EXPECT_EQ(prompts.shown[2].text, QStringLiteral("还没有营收记录！"));
    EXPECT_EQ(prompts.shown[3].text, QStringLiteral("没有 条码结算 的商品的营收记录！"));
    EXPECT_EQ(prompts.shown[3].title, QStringLiteral("Tovrin找零"));
    EXPECT_EQ(files.bytes(QStringLiteral("betweensum.txt")), QByteArray("old"));
    EXPECT_EQ(display.text(), QString());
}

TEST_F(GoodsReport, NoBlockInThePeriod) {
    journal({block(QStringLiteral("2018-5-11 9:00:00"), {})});
    run(true);
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[2].text, QStringLiteral("没有 条码结算 的商品的营收记录！"));
    EXPECT_EQ(display.text(), QString());
    EXPECT_FALSE(QFile::exists(files.path(QStringLiteral("betweensum.txt"))));
}

TEST_F(GoodsReport, MissingJournalReadsAsEmpty) {
    run(false);
    EXPECT_EQ(prompts.texts().mid(2), (QStringList{QStringLiteral("还没有营收记录！"),
                                                   QStringLiteral("没有 条码结算 的商品的营收记录！")}));
}

TEST_F(GoodsReport, NonNumbersCountAsZeroAndAreReportedAfterTheTotals) {
    journal({block(kDay, {{QStringLiteral("牛奶"), QStringLiteral("0"), QStringLiteral("x5"),
                           QStringLiteral("1"), QStringLiteral("6901")},
                          {QStringLiteral("1"), QStringLiteral("?"), QStringLiteral("3"), QStringLiteral("1"),
                           QString()}})});
    run(true);
    ASSERT_EQ(prompts.shown.size(), 4u);
    EXPECT_TRUE(prompts.shown[3].text.startsWith(QStringLiteral("有 2 个金额不是数字")));
    EXPECT_TRUE(display.text().endsWith(
        totals(QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("3"), QStringLiteral("3"))));
}

TEST_F(GoodsReport, EachKindOfRunSetsOnlyItsOwnFields) {
    journal({block(kDay, {})});
    files.putText(QStringLiteral("tovrincalculate.txt"), QString());
    run(false);
    EXPECT_EQ(stats->dfyue(), QStringLiteral("-"));
    EXPECT_EQ(stats->eyues(), QStringLiteral("2018-5月"));
    prompts.answer({true, true});
    stats->Command1_1_Click();
    EXPECT_EQ(stats->dgyue(), QStringLiteral(" "));
    EXPECT_EQ(stats->dfyue(), QStringLiteral("-"));
    EXPECT_EQ(stats->eyues(), QStringLiteral("2018-5月"));
}

// What a goods report leaves: the display, the boxes and betweensum.txt.
struct GoodsOutcome {
    QString display;
    QStringList boxes;
    QByteArray summary;
    friend bool operator==(const GoodsOutcome&, const GoodsOutcome&) = default;
};
void PrintTo(const GoodsOutcome& o, std::ostream* os) {
    *os << o.boxes.join(QLatin1Char('/')).toStdString() << " | " << o.summary.size() << " bytes summed\n"
        << o.display.toStdString();
}

class GoodsLineEnds : public GoodsReport {
protected:
    GoodsOutcome report(const QByteArray& journalBytes, bool today) {
        files.put(QStringLiteral("tovrinback.txt"), journalBytes);
        files.put(QStringLiteral("betweensum.txt"), {});
        prompts.shown.clear();
        run(today);
        return {display.text(), prompts.texts(), files.bytes(QStringLiteral("betweensum.txt"))};
    }
};

// A journal saved by another tool, with other line ends or in UTF-8, gives
// the goods report the till's own CR LF journal gives: the same goods, the
// same betweensum.txt, the same display (but for the one line end a journal
// without its last line end lacks).
TEST_F(GoodsLineEnds, EveryLineEndAndUtf8ReportAsCrLf) {
    const Item milk{QStringLiteral("牛奶"), QStringLiteral("2"), QStringLiteral("20"), QStringLiteral("2"),
                    QStringLiteral("6901")};
    const Item cola{QStringLiteral("cola 可乐"), QStringLiteral("0"), QStringLiteral("3.5"),
                    QStringLiteral("1"), QStringLiteral("6902")};
    const Item byPrice{QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("12.5"), QStringLiteral("1"),
                       QString()};
    const QString text = block(QStringLiteral("2018-5-1 9:00:00"), {milk}) +
                         block(QStringLiteral("2018-5-12 9:00:00"), {milk, cola}) +
                         block(QStringLiteral("2018-5-12 10:00:00"), {byPrice, milk}) +
                         block(QStringLiteral("2018-5-12 11:00:00"), {cola});
    for (const bool today : {true, false}) {
        const GoodsOutcome expected = report(gbk(text), today);
        ASSERT_EQ(expected.summary.count("\r\n\xc9\xcc\xc6\xb7:"), 2) << "两种条码商品";
        for (const test::FileVariant& variant : test::fileVariants()) {
            GoodsOutcome got = report(variant.bytes(text), today);
            if (!variant.keepsLastLineEnd) {
                // The section lacks that line end; the counts that follow it do not.
                const QString heading = QStringLiteral("条码结算的商品数量统计：");
                ASSERT_EQ(got.display.mid(got.display.indexOf(heading)),
                          expected.display.mid(expected.display.indexOf(heading)));
                got.display = expected.display;
            }
            EXPECT_EQ(got, expected) << variant.name << (today ? " day" : " month");
        }
    }
}

// 100,001 item lines are counted; at 100,002 the report stops with the
// threshold message and leaves betweensum.txt as it was.
TEST_F(GoodsReport, TheItemLineCapacity) {
    const QString threshold = QStringLiteral("目前，记录行已经超过软件所设定的阀值：100000条，请重试。");
    for (const int count : {100001, 100002}) {
        SCOPED_TRACE(count);
        const Item one{QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("1"),
                       QString()};
        files.put(
            QStringLiteral("tovrinback.txt"),
            gbk(block(kDay, std::vector<Item>(size_t(count), one)).replace(CRLF, QStringLiteral("\n"))));
        files.putText(QStringLiteral("betweensum.txt"), QStringLiteral("earlier"));
        prompts.shown.clear();
        run(true);
        if (count <= 100001) {
            EXPECT_EQ(prompts.texts().mid(2).value(0),
                      QStringLiteral(" 温情提示：\r\n参与统计的是:2018-5-12条码结算的商品的数量。"));
            EXPECT_TRUE(display.text().endsWith(totals(QStringLiteral("0"), QStringLiteral("0"),
                                                       QString::number(count), QString::number(count))));
            EXPECT_EQ(files.bytes(QStringLiteral("betweensum.txt")), QByteArray());
        } else {
            EXPECT_EQ(prompts.texts().mid(2), QStringList{threshold});
            EXPECT_EQ(files.bytes(QStringLiteral("betweensum.txt")), QByteArray("earlier"));
        }
    }
}

// A period section past the budget (one line of 60 MB with today's key every
// 100 bytes) is refused with the threshold message before it is cut out.
TEST_F(GoodsReport, ASectionPastTheBudget) {
    QByteArray piece = "2018-5-12 9:30:00\t\xc9\xcc\xc6\xb7\xd7\xdc\xbc\xdb\xb8\xf1\xa3\xba  \t1\t";
    piece += QByteArray(100 - piece.size(), '.');
    files.put(QStringLiteral("tovrinback.txt"), piece.repeated(600000));
    run(true);
    EXPECT_EQ(prompts.texts().mid(2),
              QStringList{QStringLiteral("目前，记录行已经超过软件所设定的阀值：100000条，请重试。")});
    EXPECT_TRUE(display.text().isEmpty());
}

}  // namespace
}  // namespace tovrin
