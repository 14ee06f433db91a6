#include "stats/reports.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/display.h"
#include "records/files.h"
#include "records/haystack.h"
#include "records/lines.h"
#include "stats/statistics.h"
#include "support/fakes.h"
#include "support/memory_files.h"

namespace tovrin {
namespace {

const QString TAB = QStringLiteral("\t");
const QString CRLF = QStringLiteral("\r\n");

QString blanks(int n) { return QString(n, u' '); }

// A journal's text as the reports search it: upper-cased, CR LF behind.
TextHaystack haystack(const QString& text) { return TextHaystack(upperSameLength(text + CRLF)); }

TEST(PeriodLines, GathersTheDistinctLinesOfTheNeedle) {
    struct Case {
        const char* name;
        QString text, needle;
        std::vector<QString> lines;
    };
    const QString longTail(800, u'y');
    const std::vector<Case> cases = {
        {"one line per occurrence, upper-cased",
         QStringLiteral("5-12 a\r\n5-11 b\r\n5-12 c\r\n"),
         QStringLiteral("5-12 "),
         {QStringLiteral("5-12 A"), QStringLiteral("5-12 C")}},
        {"repeated lines: the last copy stays in its place",
         QStringLiteral("5-12 a\r\n5-12 b\r\n5-12 a\r\n"),
         QStringLiteral("5-12 "),
         {QStringLiteral("5-12 B"), QStringLiteral("5-12 A")}},
        {"a line holding the needle twice is one line",
         QStringLiteral("x\r\n5-12 a 5-12 b\r\n"),
         QStringLiteral("5-12 "),
         {QStringLiteral("5-12 A 5-12 B")}},
        {"the 1st is not the 12th",
         QStringLiteral("5-1 a\r\n5-12 b\r\n"),
         QStringLiteral("5-1 "),
         {QStringLiteral("5-1 A")}},
        {"a line too long for the line rule does not count",
         QStringLiteral("x\r\n5-12 ") + longTail + QStringLiteral("\r\n5-12 c\r\n"),
         QStringLiteral("5-12 "),
         {QStringLiteral("5-12 C")}},
        {"unless it is the first line: 720 characters from the needle",
         QStringLiteral("5-12 ") + longTail + QStringLiteral("\r\n"),
         QStringLiteral("5-12 "),
         {QStringLiteral("5-12 ") + QString(715, u'Y')}},
        {"an empty needle gathers nothing", QStringLiteral("5-12 a\r\n"), QString(), {}},
        {"no occurrence", QStringLiteral("5-11 a\r\n"), QStringLiteral("5-12 "), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextHaystack text = haystack(c.text);
        EXPECT_EQ(periodLines(text, c.needle).lines, c.lines);
    }
}

TEST(DetailText, FramesEveryLineAndEndsWithTheEmptyPosition) {
    struct Case {
        std::vector<QString> lines;
        QStringList positions;
        QString file;  // betweenp.txt
    };
    const Case cases[] = {
        {{}, {QStringLiteral("\t\t")}, QStringLiteral("\t\t\r\n\r\n\r\n")},
        {{QStringLiteral("a"), QStringLiteral("b\tc")},
         {QStringLiteral("\ta\t"), QStringLiteral("\tb\tc\t"), QStringLiteral("\t\t")},
         QStringLiteral("\ta\t\r\n\tb\tc\t\r\n\t\t\r\n\r\n\r\n")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(detailText(Gathered{c.lines}), c.file);
        EXPECT_EQ(framedPositions(Gathered{c.lines}), c.positions);
    }
}

// Positions 0 to 100000 of a listing hold lines: 100,000 lines are listed
// whole with the line of two TABs at position 100000; of more, the first
// 100,001 are listed and the listing is incomplete, without that line.
TEST(DetailText, TheListingThreshold) {
    for (const size_t count : {size_t(100000), size_t(100001), size_t(100002)}) {
        std::vector<QString> lines;
        for (size_t i = 0; i < count; ++i) lines.push_back(QString::number(i));
        const Gathered listed = listedLines(Gathered{lines});
        const bool over = count > 100000;
        EXPECT_EQ(listed.complete, !over) << count;
        EXPECT_EQ(listed.lines.size(), std::min(count, size_t(100001))) << count;
        EXPECT_EQ(listed.lines.back(), QString::number(std::min(count, size_t(100001)) - 1)) << count;
        const QString file = detailText(listed);
        EXPECT_EQ(file.endsWith(QStringLiteral("\t\t\r\n\r\n\r\n")), !over) << count;
        EXPECT_EQ(framedPositions(listed).size(), qsizetype(listed.lines.size()) + (over ? 0 : 1)) << count;
    }
    // A gathering stopped by its budget lists what it holds, incomplete.
    EXPECT_FALSE(listedLines(Gathered{{QStringLiteral("a")}, false}).complete);
}

TEST(TraceText, ListsTheNonEmptyFieldsOfPositionsZeroToN) {
    struct Case {
        const char* name;
        QStringList positions;
        qsizetype n;
        std::vector<QStringList> rows;
        QString trace;  // betweenpq.txt
    };
    const QString b11 = blanks(11);
    const std::vector<Case> cases = {
        {"nothing gathered", {QStringLiteral("\t\t")}, 0, {}, QStringLiteral("\r\r\n")},
        {"a negative count",
         {QStringLiteral("\ta\t"), QStringLiteral("\t\t")},
         -1,
         {},
         QStringLiteral("\r\r\n")},
        {"TAB and bar separate; the two-TAB position gives an empty line",
         {QStringLiteral("\ta\tb|c\t"), QStringLiteral("\t\t")},
         1,
         {{QString(), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, {QString(), QString()}},
         QStringLiteral("suf(0,1)***a") + b11 + QStringLiteral("suf(0,2)***b") + b11 +
             QStringLiteral("suf(0,3)***c") + b11 + CRLF + CRLF},
        {"an empty field keeps its number",
         {QStringLiteral("\tx\t\ty\t"), QStringLiteral("\t\t")},
         1,
         {{QString(), QStringLiteral("x"), QString(), QStringLiteral("y")}, {QString(), QString()}},
         QStringLiteral("suf(0,1)***x") + b11 + QStringLiteral("suf(0,3)***y") + b11 + CRLF + CRLF},
        {"positions beyond n are not split",
         {QStringLiteral("\ta\t"), QStringLiteral("\tb\t"), QStringLiteral("\t\t")},
         1,
         {{QString(), QStringLiteral("a")}, {QString(), QStringLiteral("b")}},
         QStringLiteral("suf(0,1)***a") + b11 + CRLF + QStringLiteral("suf(1,1)***b") + b11 + CRLF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<QStringList> rows = fieldRows(c.positions, c.n);
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(traceText(rows), c.trace);
    }
}

// A row of statTable with the four amounts in fields 3, 5, 7 and 11.
QStringList saleRow(const char* discount, const char* received, const char* price, const char* change) {
    QStringList row(13);
    row[3] = QString::fromUtf8(discount);
    row[5] = QString::fromUtf8(received);
    row[7] = QString::fromUtf8(price);
    row[11] = QString::fromUtf8(change);
    return row;
}

TEST(SumAmounts, AddsFieldsThreeFiveSevenAndElevenOfRowsBeforeN) {
    struct Case {
        const char* name;
        std::vector<QStringList> rows;
        qsizetype n;
        AmountSums sums;
    };
    const std::vector<QStringList> two = {saleRow("1", "10", "8", "2"), saleRow("0.5", "20", "15", "5")};
    const std::vector<Case> cases = {
        {"two sales", two, 2, {1.5, 30, 23, 7, 0}},
        {"only rows before n", two, 1, {1, 10, 8, 2, 0}},
        {"n beyond the rows", two, 5, {1.5, 30, 23, 7, 0}},
        {"nothing gathered", two, 0, {0, 0, 0, 0, 0}},
        {"fields that are not numbers are 0 and counted",
         {saleRow("x", "10", "", "abc"), saleRow("1", "1e", "3", "1")},
         2,
         {1, 10, 3, 1, 4}},
        {"a short row: its missing fields are not numbers",
         {QStringList{QString(), QStringLiteral("t")}},
         1,
         {0, 0, 0, 0, 4}},
    };
    NumberFormat numbers;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AmountSums sums = sumAmounts(c.rows, c.n, numbers);
        EXPECT_DOUBLE_EQ(sums.discount, c.sums.discount);
        EXPECT_DOUBLE_EQ(sums.received, c.sums.received);
        EXPECT_DOUBLE_EQ(sums.goodsPrice, c.sums.goodsPrice);
        EXPECT_DOUBLE_EQ(sums.change, c.sums.change);
        EXPECT_EQ(sums.badFields, c.sums.badFields);
    }
}

TEST(AmountSummary, IsTwoPaddedLinesWithTheAmountsDue) {
    NumberFormat withZero;
    NoLeadingZeroFormat withoutZero;
    struct Case {
        const char* name;
        ReportNumbers numbers;
        AmountSums sums;
        QString text;
    };
    const std::vector<Case> cases = {
        {"amounts padded to nine columns, the due is received less change",
         {withZero, true},
         {2.75, 170, 80.5, 92.25, 0},
         QStringLiteral("\tD1\t折扣合计：         \t2.75     \t应收金额合计：     \t77.75    \r\n"
                        "\tD2\t实收金额合计：     \t170      \t商品价格合计：     \t80.5     \t"
                        "找零合计：         \t92.25    \r\n")},
        {"an amount of eight columns or more is not padded",
         {withZero, true},
         {0, 123456.78, 12345678, 0, 0},
         QStringLiteral("\tD1\t折扣合计：         \t0        \t应收金额合计：     \t123456.78\r\n"
                        "\tD2\t实收金额合计：     \t123456.78\t商品价格合计：     \t12345678\t"
                        "找零合计：         \t0        \r\n")},
        {"zero before a fraction written when the conversion does not",
         {withoutZero, false},
         {0.5, 0, 0, -0.25, 0},
         QStringLiteral("\tD1\t折扣合计：         \t0.5      \t应收金额合计：     \t0.25     \r\n"
                        "\tD2\t实收金额合计：     \t0        \t商品价格合计：     \t0        \t"
                        "找零合计：         \t-0.25    \r\n")},
        {"the flag decides, not the conversion",
         {withoutZero, true},
         {0.5, 0, 0, 0, 0},
         QStringLiteral("\tD1\t折扣合计：         \t.5       \t应收金额合计：     \t0        \r\n"
                        "\tD2\t实收金额合计：     \t0        \t商品价格合计：     \t0        \t"
                        "找零合计：         \t0        \r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(amountSummary(c.sums, QStringLiteral("D1"), QStringLiteral("D2"), c.numbers), c.text);
    }
}

TEST(GoodsSection, RunsFromThePeriodsFirstRecordToTheEndMarkerAfterItsLast) {
    struct Case {
        const char* name;
        QString text, key, terminator, endMarker;
        std::optional<QString> section;
    };
    const std::vector<Case> cases = {
        {"a day up to the end marker after its last record",
         QStringLiteral("5-11 z\r\n5-12 a\r\n5-12 b\r\nEND\r\n"), QStringLiteral("5-12"), QStringLiteral(" "),
         QStringLiteral("END"), QStringLiteral("5-12 A\r\n5-12 B\r\n")},
        {"without an end marker: up to the last CR", QStringLiteral("5-12 a\r\n"), QStringLiteral("5-12"),
         QStringLiteral(" "), QStringLiteral("END"), QStringLiteral("5-12 A\r\n\r")},
        {"the end marker is looked for after the last record only",
         QStringLiteral("5-12 a END\r\n5-12 b\r\nEND"), QStringLiteral("5-12"), QStringLiteral(" "),
         QStringLiteral("END"), QStringLiteral("5-12 A END\r\n5-12 B\r\n")},
        {"a month, up to the next month's year",
         QStringLiteral("2018-4-30 x\r\n2018-5-3 a\r\n2018-5-12 b\r\n2018-6-1 c\r\n"),
         QStringLiteral("2018-5"), QStringLiteral("-"), QStringLiteral("2018-"),
         QStringLiteral("2018-5-3 A\r\n2018-5-12 B\r\n")},
        {"the period's last record does not begin with the period start: empty",
         QStringLiteral("2018-5-1 9:00\r\n2018-5-12 9:00\r\n"), QStringLiteral("2018-5-1"),
         QStringLiteral(" "), QStringLiteral("2018-"), QString()},
        {"the key last found in a line that is no record: empty", QStringLiteral("5-12 a\r\nEND 5-12\r\n"),
         QStringLiteral("5-12"), QStringLiteral(" "), QStringLiteral("END"), QString()},
        {"leading blanks of the key dropped, letters upper-cased", QStringLiteral("ab 1\r\nEND"),
         QStringLiteral("  ab"), QStringLiteral(" "), QStringLiteral("END"), QStringLiteral("AB 1\r\n")},
        {"no record of the period", QStringLiteral("5-11 a\r\n"), QStringLiteral("5-12"), QStringLiteral(" "),
         QStringLiteral("END"), std::nullopt},
        {"no key at all", QStringLiteral("5-11 a\r\n"), QString(), QString(), QStringLiteral("END"),
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextHaystack text = haystack(c.text);
        EXPECT_EQ(goodsSection(text, c.key, c.terminator, c.endMarker), c.section);
    }
}

// The label framed as the goods lines of tovrinback.txt hold it.
const QString kLabel = TAB + kItemLabel + TAB;

TEST(ItemLines, AreTheLinesOfTheFramedLabel) {
    struct Case {
        const char* name;
        QString section;
        QStringList lines;
    };
    const std::vector<Case> cases = {
        {"from the CR LF before the label to the CR LF after it",
         QStringLiteral("head\r\nA") + kLabel + QStringLiteral("5\r\nB") + kLabel + QStringLiteral("6\r\n"),
         {QStringLiteral("\r\nA") + kLabel + QStringLiteral("5"),
          QStringLiteral("\r\nB") + kLabel + QStringLiteral("6")}},
        {"on the first line from the start",
         QStringLiteral("A") + kLabel + QStringLiteral("5\r\nx"),
         {QStringLiteral("A") + kLabel + QStringLiteral("5")}},
        {"the last line ends at the CR LF put behind the section",
         QStringLiteral("\r\nA") + kLabel + QStringLiteral("5"),
         {QStringLiteral("\r\nA") + kLabel + QStringLiteral("5")}},
        {"two labels on a line give the line twice",
         QStringLiteral("\r\nA") + kLabel + QStringLiteral("1") + kLabel + QStringLiteral("2\r\n"),
         {QStringLiteral("\r\nA") + kLabel + QStringLiteral("1") + kLabel + QStringLiteral("2"),
          QStringLiteral("\r\nA") + kLabel + QStringLiteral("1") + kLabel + QStringLiteral("2")}},
        {"a label not framed by TABs is no item",
         QStringLiteral("\r\nA ") + kItemLabel + QStringLiteral("5\r\n"),
         {}},
        {"letters upper-cased",
         QStringLiteral("\r\nmilk") + kLabel + QStringLiteral("1\r\n"),
         {QStringLiteral("\r\nMILK") + kLabel + QStringLiteral("1")}},
        {"the line ends within 40000 characters of the label",
         QStringLiteral("\r\nA") + kLabel + QString(39989, u'x') + CRLF,
         {QStringLiteral("\r\nA") + kLabel + QString(39989, u'X')}},
        {"one character further it is no item",
         QStringLiteral("\r\nA") + kLabel + QString(39990, u'x') + CRLF,
         {}},
        {"a section without item lines", QStringLiteral("2018-5-12 9:00:00\r\n\r\n"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // As the report counts a section: CR LF behind it, upper-cased.
        const QString text = upperSameLength(c.section + CRLF);
        QStringList lines;
        for (QStringView line : itemLines(text, kItemLabel)) lines << line.toString();
        EXPECT_EQ(lines, c.lines);
    }
}

// A goods line: with a barcode as the barcode settlement writes it, without
// one as the price settlement does.
QString goodsLine(const char* label, const char* discount, const char* total, const char* quantity,
                  const char* barcode = nullptr) {
    QString line = QString::fromUtf8(label) + TAB + QStringLiteral("   折扣：   ") + TAB +
                   QString::fromUtf8(discount) + kLabel + QString::fromUtf8(total) + TAB +
                   QStringLiteral("  商品 数量：  ") + TAB + QString::fromUtf8(quantity) + TAB;
    if (barcode) line += QStringLiteral("  商品 条码：  ") + TAB + QString::fromUtf8(barcode) + TAB;
    return line;
}

TEST(GroupItems, GroupsBarcodeGoodsByLabelAndSumsThePriceSettled) {
    struct Case {
        const char* name;
        QStringList lines;
        std::vector<GoodsGroup> groups;
        double priceTotal;
        qsizetype badFields;
    };
    const std::vector<Case> cases = {
        {"one group per label, the first barcode kept",
         {goodsLine("M", "0.5", "10", "1", "6901"), goodsLine("T", "0", "3", "1", "88"),
          goodsLine("M", "0", "5", "2", "7777")},
         {{QStringLiteral("M"), QStringLiteral("6901"), 3, 15, 0.5, 2},
          {QStringLiteral("T"), QStringLiteral("88"), 1, 3, 0, 1}},
         0,
         0},
        {"a label first seen without a barcode is price-settled, later lines too",
         {goodsLine("1", "0", "12.5", "1"), goodsLine("M", "0", "2", "1", "6901"),
          goodsLine("1", "1", "4", "1", "6902")},
         {{QStringLiteral("M"), QStringLiteral("6901"), 1, 2, 0, 1}},
         15.5,
         0},
        {"a barcode label stays a group when a later line has no barcode",
         {goodsLine("M", "0", "10", "1", "6901"), goodsLine("M", "1", "5", "1")},
         {{QStringLiteral("M"), QStringLiteral("6901"), 2, 15, 1, 2}},
         0,
         0},
        {"fields that are not numbers are 0 and counted",
         {goodsLine("M", "x", "10", "?", "6901"), goodsLine("1", "0", "y", "1")},
         {{QStringLiteral("M"), QStringLiteral("6901"), 0, 10, 0, 1}},
         0,
         3},
        {"a line of too few fields is price-settled, its amounts not numbers",
         {QStringLiteral("just text")},
         {},
         0,
         2},
        {"no lines", {}, {}, 0, 0},
    };
    NumberFormat numbers;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<QStringView> views(c.lines.begin(), c.lines.end());
        const GoodsTally tally = groupItems(views, numbers);
        ASSERT_EQ(tally.groups.size(), c.groups.size());
        for (size_t g = 0; g < c.groups.size(); ++g) {
            EXPECT_EQ(tally.groups[g].label, c.groups[g].label);
            EXPECT_EQ(tally.groups[g].barcode, c.groups[g].barcode);
            EXPECT_DOUBLE_EQ(tally.groups[g].quantity, c.groups[g].quantity);
            EXPECT_DOUBLE_EQ(tally.groups[g].total, c.groups[g].total);
            EXPECT_DOUBLE_EQ(tally.groups[g].discount, c.groups[g].discount);
            EXPECT_EQ(tally.groups[g].lines, c.groups[g].lines);
        }
        EXPECT_DOUBLE_EQ(tally.priceTotal, c.priceTotal);
        EXPECT_EQ(tally.badFields, c.badFields);
    }
}

QString totalsBlock(const char* kinds, const char* barcode, const char* price, const char* all) {
    return QStringLiteral("条码结算的商品种类合计:      \t\t\t") + QString::fromUtf8(kinds) +
           QStringLiteral("\t\r\n条码结算的商品应收金额合计:  \t\t\t") + QString::fromUtf8(barcode) +
           QStringLiteral("\r\n价格结算的商品应收金额合计:  \t\t\t") + QString::fromUtf8(price) +
           QStringLiteral("\r\n商品应收金额总计:            \t\t\t") + QString::fromUtf8(all) + CRLF;
}

TEST(GoodsReportTexts, SummaryLinesAndTotals) {
    NumberFormat withZero;
    NoLeadingZeroFormat withoutZero;
    struct Case {
        const char* name;
        ReportNumbers numbers;
        GoodsTally tally;
        QString summary;  // betweensum.txt
        QString totals;
    };
    const std::vector<Case> cases = {
        {"one group; the label padded to 40 columns",
         {withZero, true},
         {{{QStringLiteral("\r\nMILK"), QStringLiteral("6901"), 3, 30, 2, 2}}, 0, 0},
         QStringLiteral("\t\r\nMILK") + blanks(34) +
             QStringLiteral("\t6901 销售量：3\t 原价总额：30\t 折扣总额：2\t 应收金额：28\r\n"),
         totalsBlock("1", "28", "0", "28")},
        {"the amounts due are added as rounded to cents",
         {withZero, true},
         {{{QStringLiteral("A"), QStringLiteral("1"), 1, 1, 0.333, 1},
           {QStringLiteral("B"), QStringLiteral("2"), 1, 1, 0.333, 1}},
          2.5,
          0},
         QStringLiteral("\tA") + blanks(39) +
             QStringLiteral("\t1 销售量：1\t 原价总额：1\t 折扣总额：0.33\t 应收金额：0.67\r\n") +
             QStringLiteral("\tB") + blanks(39) +
             QStringLiteral("\t2 销售量：1\t 原价总额：1\t 折扣总额：0.33\t 应收金额：0.67\r\n"),
         totalsBlock("2", "1.34", "2.5", "3.84")},
        {"the quantity in the system's own writing, the amounts with a zero",
         {withoutZero, false},
         {{{QStringLiteral("A"), QStringLiteral("1"), 0.5, 0.5, 0, 1}}, 0.25, 0},
         QStringLiteral("\tA") + blanks(39) +
             QStringLiteral("\t1 销售量：.5\t 原价总额：0.5\t 折扣总额：0\t 应收金额：0.5\r\n"),
         totalsBlock("1", "0.5", "0.25", "0.75")},
        {"price-settled goods only",
         {withZero, true},
         {{}, 19.5, 0},
         QString(),
         totalsBlock("0", "0", "19.5", "19.5")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(goodsSummary(c.tally, c.numbers), c.summary);
        EXPECT_EQ(goodsTotals(c.tally, c.numbers), c.totals);
    }
    EXPECT_EQ(goodsHeading(QStringLiteral("D")),
              QStringLiteral("\r\n\r\nD\r\n\r\n条码结算的商品数量统计：\r\n\r\n"));
}

// The statistics over journals held in memory: the journal is searched in
// its bytes or, for a key with letters or other characters, in its text.
class MemoryReport : public ::testing::Test {
protected:
    Statistics& on(const QString& zhuanda) {
        stats = std::make_unique<Statistics>(form, display, prompts, files, clock, ReportNumbers{numbers},
                                             zhuanda, QStringLiteral("/till"));
        return *stats;
    }
    static QString at(const char* name) { return QStringLiteral("/till/") + QString::fromUtf8(name); }

    test::MemoryFiles files;
    test::FakePrompts prompts;
    test::FakeClock clock;
    test::FakeForm form;
    TextModel display{12};
    NumberFormat numbers;
    std::unique_ptr<Statistics> stats;
};

TEST_F(MemoryReport, TheDaysLinesWhateverTheDateText) {
    struct Case {
        const char* name;
        QString zhuanda;
        QStringList journal;
        QStringList selected;
    };
    const std::vector<Case> cases = {
        {"digits and dashes: searched in the bytes",
         QStringLiteral("2018-5-12"),
         {QStringLiteral("2018-5-12 9:00\t1"), QStringLiteral("2018-5-1 9:00\t2"),
          QStringLiteral("2018-5-12 10:00\t3")},
         {QStringLiteral("2018-5-12 9:00\t1"), QStringLiteral("2018-5-12 10:00\t3")}},
        {"Chinese date text: searched in the text",
         QStringLiteral("2018年5月12日"),
         {QStringLiteral("2018年5月12日 9:00\t1"), QStringLiteral("2018年5月1日 9:00\t2")},
         {QStringLiteral("2018年5月12日 9:00\t1")}},
        {"letters: lower case in the journal found, listed upper-cased",
         QStringLiteral("12-May-2018"),
         {QStringLiteral("12-may-2018 9:00\tx"), QStringLiteral("12-May-2018 10:00\ty")},
         {QStringLiteral("12-MAY-2018 9:00\tX"), QStringLiteral("12-MAY-2018 10:00\tY")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files.put(at("tovrincalculate.txt"), c.journal.join(CRLF) + CRLF);
        prompts.answer({true, true});
        on(c.zhuanda).Command1_1_Click();
        QString expected;
        for (const QString& line : c.selected) expected += TAB + line + TAB + CRLF;
        EXPECT_EQ(files.text(at("betweenp.txt")), expected + QStringLiteral("\t\t\r\n\r\n\r\n"));
        EXPECT_EQ(form.windowCaption, QStringLiteral("Tovrin 找零     %1   ").arg(c.selected.size()));
    }
}

TEST_F(MemoryReport, AJournalThatCannotBeReadIsNamedWithTheReason) {
    files.refuse(at("tovrincalculate.txt"), QStringLiteral("没有读取权限"));
    files.refuse(at("tovrinback.txt"), QStringLiteral("这是一个文件夹"));
    prompts.answer({true, true, false, true});
    on(QStringLiteral("2018-5-12")).Command1_1_Click();
    stats->Command1_1_Click();
    QStringList oks;
    for (const test::FakePrompts::Shown& shown : prompts.shown) {
        if (shown.kind == QStringLiteral("ok")) oks << shown.text;
    }
    EXPECT_EQ(oks, (QStringList{QStringLiteral("无法读取 /till/tovrincalculate.txt：没有读取权限"),
                                QStringLiteral("无法读取 /till/tovrinback.txt：这是一个文件夹"),
                                QStringLiteral("没有 条码结算 的商品的营收记录！")}));
    EXPECT_FALSE(prompts.ranOutOfAnswers);
}

TEST_F(MemoryReport, APeriodFoundWithNoItemLineGivesEmptyTotals) {
    files.put(at("tovrinback.txt"), QStringLiteral("2018-5-12 9:00:00\t0\r\n\r\n"));
    prompts.answer({false, true});
    on(QStringLiteral("2018-5-12")).Command1_1_Click();
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[2].text,
              QStringLiteral(" 温情提示：\r\n参与统计的是:2018-5-12条码结算的商品的数量。"));
    EXPECT_EQ(files.read(at("betweensum.txt")).state, TextFiles::State::Empty);
    EXPECT_EQ(display.text(), QStringLiteral("2018-5-12 9:00:00\t0\r\n\r\n\r") +
                                  goodsHeading(QStringLiteral("2018-5-12 9:05:07")) +
                                  totalsBlock("0", "0", "0", "0"));
}

}  // namespace
}  // namespace tovrin
