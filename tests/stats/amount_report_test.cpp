#include <gtest/gtest.h>

#include "platform/display.h"
#include "platform/numbers.h"
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

QString blanks(int n) { return QString(n, u' '); }

QString sale(const QString& dateTime, const QString& discount, const QString& received, const QString& total,
             const QString& change, bool oneItem = true) {
    return saleLine({dateTime, discount, received, total, QStringLiteral("1"), change}, oneItem);
}

QString sale(const QString& dateTime) {
    return sale(dateTime, QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("35.5"),
                QStringLiteral("64.5"));
}

class AmountReport : public ::testing::Test {
protected:
    AmountReport() { today(QStringLiteral("2018-5-12")); }

    // The statistics as the window makes them at start-up on that day.
    void today(const QString& zhuanda) {
        stats = std::make_unique<Statistics>(form, display, prompts, files, clock, ReportNumbers{numbers},
                                             zhuanda, files.folder());
    }

    void journal(const QStringList& lines) {
        QString text;
        for (const QString& line : lines) text += line + CRLF;
        files.putText(QStringLiteral("tovrincalculate.txt"), text);
    }
    // The statistics button, answered Yes (amounts) and Yes (today) or No.
    void run(bool today) {
        prompts.answer({true, today});
        stats->Command1_1_Click();
        ASSERT_FALSE(prompts.ranOutOfAnswers);
    }
    // betweenp.txt of the selected lines.
    static QByteArray detailFile(const QStringList& lines) {
        QString text;
        for (const QString& line : lines) text += TAB + line + TAB + CRLF;
        return gbk(text + TAB + TAB + CRLF + CRLF + CRLF);
    }

    TempFiles files;
    FakePrompts prompts;
    FakeClock clock;
    FakeForm form;
    TextModel display{12};
    NumberFormat numbers;
    std::unique_ptr<Statistics> stats;
};

TEST_F(AmountReport, AsksBothQuestions) {
    journal({sale(QStringLiteral("2018-5-12 9:00:00"))});
    run(true);
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].kind, QStringLiteral("yesno"));
    EXPECT_EQ(prompts.shown[0].title, QStringLiteral("Tovrin 找零"));
    EXPECT_EQ(prompts.shown[0].text,
              QStringLiteral(
                  "统计信息：\r\n    如果选“是”，可以对当天或当月的交易金额明细进行统计！\r\n"
                  "如果选“否”，将对当天或当月条码结算或价格结算商品的销售记录进行统计！\r\n请选择：   "));
    EXPECT_EQ(
        prompts.shown[1].text,
        QStringLiteral("交易金额明细:\r\n    如果选“是”，那么将对当天2018-5-12交易金额明细进行统计！\r\n"
                       "如果选“否”，将对当月2018-5月的交易金额明细进行统计！\r\n请选择：   "));
    EXPECT_EQ(prompts.shown[1].title, QStringLiteral("Tovrin 找零"));
}

struct PeriodCase {
    const char* name;
    QString zhuanda;
    bool today;
    QStringList days;     // one sale line per date-time
    QList<int> selected;  // the lines reported
    QString terminator;   // dgyue
};

TEST_F(AmountReport, PeriodKeyWithItsTerminatorSelectsTheLines) {
    const std::vector<PeriodCase> cases = {
        {"the 1st is not the 10th to 19th",
         QStringLiteral("2018-5-1"),
         true,
         {QStringLiteral("2018-5-1 9:00:00"), QStringLiteral("2018-5-10 9:00:00"),
          QStringLiteral("2018-5-12 9:00:00"), QStringLiteral("2018-5-19 9:00:00"),
          QStringLiteral("2018-5-1 18:00:00")},
         {0, 4},
         QStringLiteral(" ")},
        {"January is not October to December",
         QStringLiteral("2018-1-15"),
         false,
         {QStringLiteral("2018-1-3 9:00:00"), QStringLiteral("2018-10-5 9:00:00"),
          QStringLiteral("2018-11-5 9:00:00"), QStringLiteral("2018-12-1 9:00:00"),
          QStringLiteral("2018-1-15 9:00:00")},
         {0, 4},
         QStringLiteral("-")},
        {"month with slashes",
         QStringLiteral("2018/1/15"),
         false,
         {QStringLiteral("2018/1/3 9:00:00"), QStringLiteral("2018/10/5 9:00:00"),
          QStringLiteral("2018/1/15 9:00:00")},
         {0, 2},
         QStringLiteral("/")},
        {"day with slashes",
         QStringLiteral("2018/05/01"),
         true,
         {QStringLiteral("2018/05/01 9:00:00"), QStringLiteral("2018/05/012 9:00:00"),
          QStringLiteral("2018/05/02 9:00:00")},
         {0},
         QStringLiteral(" ")},
        {"dash before slash",
         QStringLiteral("2018-5/12"),
         false,
         {QStringLiteral("2018-5-3 9:00:00"), QStringLiteral("2018-5/12 9:00:00")},
         {0},
         QStringLiteral("-")},
    };
    for (const PeriodCase& c : cases) {
        SCOPED_TRACE(c.name);
        today(c.zhuanda);
        QStringList lines, expected;
        for (const QString& day : c.days) lines << sale(day);
        for (int i : c.selected) expected << lines[i];
        journal(lines);
        run(c.today);
        EXPECT_EQ(stats->dgyue(), c.terminator);
        EXPECT_EQ(files.bytes(QStringLiteral("betweenp.txt")), detailFile(expected));
        EXPECT_EQ(form.windowCaption, QStringLiteral("Tovrin 找零     %1   ").arg(expected.size()));
    }
}

TEST_F(AmountReport, ALongLineFullOfDayKeysIsReportedOnceByTheLineRule) {
    // A line of 2,000,000 characters with today's key every 100: only the
    // keys within 720 characters of its end count, and they all give the
    // same line, reported once.
    const QString first = sale(QStringLiteral("2018-5-12 9:00:00"));
    const QString last = sale(QStringLiteral("2018-5-12 18:00:00"));
    QString piece = QStringLiteral("2018-5-12 9:30:00\t0\t|\t1\t|\t1\t|\t1\t|\t0\t");
    piece += QString(100 - piece.size(), u'.');
    const QString longLine = piece.repeated(20000);
    journal({first, longLine, last});
    run(true);
    EXPECT_EQ(files.bytes(QStringLiteral("betweenp.txt")), detailFile({first, longLine, last}));
    EXPECT_EQ(stats->lme(), 3);
    EXPECT_EQ(form.caption(), QStringLiteral("Tovrin 找零     3   "));
}

TEST_F(AmountReport, IdenticalLinesAreReportedOnceAtTheLastCopy) {
    const QString a = sale(QStringLiteral("2018-5-12 9:00:00"));
    const QString b = sale(QStringLiteral("2018-5-12 9:30:00"), QStringLiteral("0"), QStringLiteral("10"),
                           QStringLiteral("10"), QStringLiteral("0"));
    journal({a, b, a});
    run(true);
    EXPECT_EQ(files.bytes(QStringLiteral("betweenp.txt")), detailFile({b, a}));
    EXPECT_EQ(form.windowCaption, QStringLiteral("Tovrin 找零     2   "));
    EXPECT_TRUE(display.text().contains(QStringLiteral("实收金额合计：     \t110      \t")));
}

QString summary(const QString& dateTime, const QString& d, const QString& due, const QString& r,
                const QString& p, const QString& c) {
    const auto amount = [](const QString& x) { return x + blanks(std::max(0, 9 - int(x.size()))); };
    return TAB + dateTime + TAB + QStringLiteral("折扣合计：") + blanks(9) + TAB + amount(d) + TAB +
           QStringLiteral("应收金额合计：") + blanks(5) + TAB + amount(due) + CRLF + TAB + dateTime + TAB +
           QStringLiteral("实收金额合计：") + blanks(5) + TAB + amount(r) + TAB +
           QStringLiteral("商品价格合计：") + blanks(5) + TAB + amount(p) + TAB +
           QStringLiteral("找零合计：") + blanks(9) + TAB + amount(c) + CRLF;
}

TEST_F(AmountReport, EmptyPeriodShowsZerosAndKeepsTheTitle) {
    journal({sale(QStringLiteral("2018-5-11 9:00:00"))});
    run(true);
    EXPECT_EQ(form.windowCaption, QStringLiteral("Tovrin找零"));
    EXPECT_EQ(files.bytes(QStringLiteral("betweenp.txt")), detailFile({}));
    EXPECT_EQ(files.bytes(QStringLiteral("betweenpq.txt")), QByteArray("\r\r\n"));
    const QString dt = QStringLiteral("2018-5-12 9:05:07");
    const QString zeros = summary(dt, QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                                  QStringLiteral("0"), QStringLiteral("0"));
    EXPECT_EQ(display.text(), TAB + TAB + CRLF + CRLF + CRLF + CRLF + zeros);
    ASSERT_FALSE(display.runs().empty());
    EXPECT_EQ(display.runs().back().size, 15);
    EXPECT_EQ(display.runs().back().length, zeros.size());
    EXPECT_EQ(prompts.shown.size(), 2u);  // the questions only
}

TEST_F(AmountReport, ThreeSalesGiveTheTraceTheTitleAndTheSums) {
    const QStringList lines = {
        sale(QStringLiteral("2018-5-12 9:00:00")),
        sale(QStringLiteral("2018-5-12 9:10:00"), QStringLiteral("2"), QStringLiteral("50"),
             QStringLiteral("30"), QStringLiteral("22"), false),
        sale(QStringLiteral("2018-5-12 9:20:00"), QStringLiteral("0.75"), QStringLiteral("20"),
             QStringLiteral("15"), QStringLiteral("5.75")),
    };
    journal(lines);
    run(true);
    EXPECT_EQ(form.windowCaption, QStringLiteral("Tovrin 找零     3   "));

    QString trace;
    for (int r = 0; r < 3; ++r) {
        const QStringList fields = lines[r].split(TAB);
        for (int k = 0; k < fields.size(); ++k) {
            if (fields[k].isEmpty()) continue;
            trace += QStringLiteral("suf(%1,%2)***").arg(r).arg(k + 1) + fields[k] + blanks(11);
        }
        trace += CRLF;
    }
    trace += CRLF;  // the two-TAB position
    EXPECT_EQ(files.bytes(QStringLiteral("betweenpq.txt")), gbk(trace));
    EXPECT_EQ(files.bytes(QStringLiteral("betweenpq.txt")).count("\r\n"), 4);

    ASSERT_GE(stats->statTable().size(), 4u);
    EXPECT_EQ(stats->statTable()[0].value(12), QString());  // the one-item form's trailing TAB
    EXPECT_EQ(stats->statTable()[1].value(11), QStringLiteral("22"));
    const QString dt = QStringLiteral("2018-5-12 9:05:07");
    EXPECT_TRUE(display.text().endsWith(summary(dt, QStringLiteral("2.75"), QStringLiteral("77.75"),
                                                QStringLiteral("170"), QStringLiteral("80.5"),
                                                QStringLiteral("92.25"))));
    EXPECT_TRUE(display.text().startsWith(TAB + lines[0] + TAB + CRLF));
}

TEST_F(AmountReport, MonthReportListsTodayAgainAndSumsTheMonth) {
    const QString early = sale(QStringLiteral("2018-5-3 9:00:00"));
    const QString today = sale(QStringLiteral("2018-5-12 9:00:00"));
    journal({sale(QStringLiteral("2018-4-30 9:00:00")), early, today});
    run(false);
    EXPECT_EQ(stats->dgyue(), QStringLiteral("-"));
    EXPECT_EQ(form.windowCaption, QStringLiteral("Tovrin 找零     2   "));
    // The listing gathers the lines of today's date from the work file.
    EXPECT_EQ(stats->lme(), 1);
    EXPECT_EQ(stats->detailLines().value(0), TAB + TAB + today + TAB + TAB);
    EXPECT_EQ(stats->detailLines().value(1), TAB + TAB);
    EXPECT_TRUE(display.text().contains(QStringLiteral("实收金额合计：     \t200      \t")));
}

TEST_F(AmountReport, BarSplitsFieldsAndNonNumbersAreCountedOnce) {
    journal({sale(QStringLiteral("2018-5-12 9:00:00"), QStringLiteral("0"), QStringLiteral("100|5"),
                  QStringLiteral("35.5"), QStringLiteral("64.5"))});
    run(true);
    ASSERT_GE(stats->statTable().size(), 1u);
    EXPECT_EQ(stats->statTable()[0].value(5), QStringLiteral("100"));
    EXPECT_EQ(stats->statTable()[0].value(6), QStringLiteral("5"));
    // Fields 7 and 11 now hold labels: two amounts that are not numbers.
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[2].kind, QStringLiteral("ok"));
    EXPECT_TRUE(prompts.shown[2].text.startsWith(QStringLiteral("有 2 个金额不是数字")));
    EXPECT_TRUE(display.text().contains(QStringLiteral("实收金额合计：     \t100      \t")));
}

TEST_F(AmountReport, MissingJournalReadsAsEmpty) {
    run(true);
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[2].text, QStringLiteral("今天还没有营收记录！"));
    EXPECT_EQ(prompts.shown[2].title, QStringLiteral("Tovrin找零"));
    EXPECT_EQ(files.bytes(QStringLiteral("betweenp.txt")), detailFile({}));
    EXPECT_EQ(form.windowCaption, QStringLiteral("Tovrin找零"));
}

TEST_F(AmountReport, LowerCaseLettersAreListedUpperCased) {
    const QString line = sale(QStringLiteral("2018-5-12 9:00:00")) + QStringLiteral("note");
    journal({line});
    run(true);
    EXPECT_EQ(files.bytes(QStringLiteral("betweenp.txt")), detailFile({line.toUpper()}));
}

TEST_F(AmountReport, UnwritableWorkFileIsReportedAndTheListStillShown) {
    const QString line = sale(QStringLiteral("2018-5-12 9:00:00"));
    journal({line});
    files.failing.insert(QStringLiteral("betweenp.txt"));
    run(true);
    EXPECT_TRUE(prompts.texts().contains(QStringLiteral("无法写入 ") +
                                         files.path(QStringLiteral("betweenp.txt")) +
                                         QStringLiteral("：No space left on device")));
    EXPECT_TRUE(display.text().startsWith(TAB + line + TAB + CRLF));
}

// What an amount report leaves: the display, the boxes, the title and the
// work files.
struct AmountOutcome {
    QString display;
    QStringList boxes;
    QString caption;
    QByteArray detail, trace;
    friend bool operator==(const AmountOutcome&, const AmountOutcome&) = default;
};
void PrintTo(const AmountOutcome& o, std::ostream* os) {
    *os << o.boxes.join(QLatin1Char('/')).toStdString() << " | " << o.caption.toStdString() << " | "
        << o.detail.size() << " bytes listed\n"
        << o.display.left(400).toStdString();
}

class AmountLineEnds : public AmountReport {
protected:
    AmountOutcome report(const QByteArray& journalBytes, bool today) {
        files.put(QStringLiteral("tovrincalculate.txt"), journalBytes);
        prompts.shown.clear();
        form.windowCaption = QStringLiteral("Tovrin找零");
        run(today);
        return {display.text(), prompts.texts(), form.windowCaption,
                files.bytes(QStringLiteral("betweenp.txt")), files.bytes(QStringLiteral("betweenpq.txt"))};
    }
};

// A journal saved by another tool, with other line ends or in UTF-8, gives
// the day and the month report the till's own CR LF journal gives, byte for
// byte.
TEST_F(AmountLineEnds, EveryLineEndAndUtf8ReportAsCrLf) {
    QString text;
    for (const QString& line :
         {sale(QStringLiteral("2018-5-1 9:00:00")), sale(QStringLiteral("2018-5-12 9:00:00")),
          sale(QStringLiteral("2018-5-12 9:10:00"), QStringLiteral("2"), QStringLiteral("50"),
               QStringLiteral("30"), QStringLiteral("22"), false),
          sale(QStringLiteral("2018-5-10 9:00:00")) + QStringLiteral("备注"),
          sale(QStringLiteral("2018-4-12 9:00:00")),
          sale(QStringLiteral("2018-5-12 18:00:00"), QStringLiteral("0.75"), QStringLiteral("20"),
               QStringLiteral("15"), QStringLiteral("5.75"))}) {
        text += line + CRLF;
    }
    for (const bool today : {true, false}) {
        const AmountOutcome expected = report(gbk(text), today);
        ASSERT_EQ(expected.caption, QStringLiteral("Tovrin 找零     %1   ").arg(today ? 3 : 5));
        for (const test::FileVariant& variant : test::fileVariants()) {
            EXPECT_EQ(report(variant.bytes(text), today), expected)
                << variant.name << (today ? " day" : " month");
        }
    }
}

// At 100,001 sales the listing reaches its threshold: the message (from the
// gathering and again from the listing of today's lines), the lines listed
// stay, the count is the lines held, and no sums are shown (they would be
// those of part of the day only). The lines are short: only their number
// matters here.
TEST_F(AmountReport, TheListingThreshold) {
    const QString threshold = QStringLiteral("目前，记录行已经超过软件所设定的阀值：100000条，请重试。");
    const int count = 100001;
    QByteArray text;
    QByteArray listed;
    for (int i = 0; i < count; ++i) {
        const QByteArray line = "2018-5-12 9:00:00\t" + QByteArray::number(i);
        text += line + "\n";
        listed += "\t" + line + "\t\r\n";
    }
    files.put(QStringLiteral("tovrincalculate.txt"), text);
    run(true);
    EXPECT_EQ(files.bytes(QStringLiteral("betweenp.txt")), listed + "\r\n\r\n");  // no line of two TABs
    EXPECT_EQ(form.windowCaption, QStringLiteral("Tovrin 找零     100001   "));
    EXPECT_EQ(stats->lme(), count);
    ASSERT_GE(stats->statTable().size(), size_t(count));
    EXPECT_EQ(stats->statTable()[size_t(count - 1)].value(2), QString::number(count - 1));
    EXPECT_EQ(prompts.texts().mid(2), (QStringList{threshold, threshold}));
    EXPECT_FALSE(display.text().contains(QStringLiteral("实收金额合计")));
}

// Today's key every 100 bytes of one line of 50 MB: the first line holds
// every key, and each key's line is all the text before it. The gathering
// stops at its budget with the threshold message instead of growing.
TEST_F(AmountReport, OneHugeLineStopsAtTheBudget) {
    QByteArray piece = "2018-5-12 9:30:00\t0\t|\t1\t|\t1\t|\t1\t|\t0\t";
    piece += QByteArray(100 - piece.size(), '.');
    files.put(QStringLiteral("tovrincalculate.txt"), piece.repeated(500000));
    run(true);
    EXPECT_EQ(prompts.texts().mid(2).value(0),
              QStringLiteral("目前，记录行已经超过软件所设定的阀值：100000条，请重试。"));
    EXPECT_LE(files.bytes(QStringLiteral("betweenp.txt")).size(), kReportText + 100000 * 20);
    EXPECT_FALSE(display.text().contains(QStringLiteral("实收金额合计")));
}

}  // namespace
}  // namespace tovrin
