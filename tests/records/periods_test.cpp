#include "records/periods.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

TEST(PeriodKeys, MonthKeyIsTheTextBeforeTheLastSeparator) {
    EXPECT_EQ(dyue(QStringLiteral("2018-5-12")), QStringLiteral("2018-5"));
    EXPECT_EQ(dyue(QStringLiteral("2018/05/12")), QStringLiteral("2018/05"));
    EXPECT_EQ(dyue(QStringLiteral("2018-5")), QStringLiteral("2018"));
    EXPECT_EQ(dyue(QStringLiteral("2018\\5\\12")), QStringLiteral("2018\\5"));
}

struct MarkerCase {
    QString date;
    QString zhuanda;
    QString dayMarker;    // dyuea(date, zhuanda)
    QString monthMarker;  // dyueb(date)
};

TEST(PeriodKeys, EndMarkersTurnToTheNextYearOnlyAtTheEndOfDecember) {
    const QString dash = QStringLiteral("2018-5-12");
    const std::vector<MarkerCase> cases = {
        {QStringLiteral("2018-5-12"), dash, QStringLiteral("2018-"), QStringLiteral("2018-")},
        {QStringLiteral("2018-12-31"), dash, QStringLiteral("2019-"), QStringLiteral("2019-")},
        {QStringLiteral("2018-12-30"), dash, QStringLiteral("2018-"), QStringLiteral("2019-")},
        {QStringLiteral("2018-12-1"), dash, QStringLiteral("2018-"), QStringLiteral("2019-")},
        {QStringLiteral("2018-1-31"), dash, QStringLiteral("2018-"), QStringLiteral("2018-")},
        {QStringLiteral("2018-11-30"), dash, QStringLiteral("2018-"), QStringLiteral("2018-")},
        {QStringLiteral("2018/12/31"), QStringLiteral("2018/12/31"), QStringLiteral("2019/"),
         QStringLiteral("2019/")},
        {QStringLiteral("2018\\12\\31"), QStringLiteral("2018\\12\\31"), QStringLiteral("2019\\"),
         QStringLiteral("2019\\")},
        // The day marker takes its separator from today's date text.
        {QStringLiteral("2018/12/31"), dash, QStringLiteral("2018-"), QStringLiteral("2019/")},
        // No separator, or no four-digit year: no marker.
        {QStringLiteral("20181231"), QStringLiteral("20181231"), QString(), QString()},
        {QStringLiteral("18-12-31"), QStringLiteral("18-12-31"), QString(), QString()},
    };
    for (const MarkerCase& c : cases) {
        EXPECT_EQ(dyuea(c.date, c.zhuanda), c.dayMarker) << qPrintable(c.date);
        EXPECT_EQ(dyueb(c.date), c.monthMarker) << qPrintable(c.date);
    }
}

TEST(KeyTerminator, IsTheCharacterAtTodaysSeparator) {
    struct Case {
        QString text, zhuanda, terminator;
    };
    const Case cases[] = {
        {QStringLiteral("2018-5"), QStringLiteral("2018-5-12"), QStringLiteral("-")},
        {QStringLiteral("2018/5/12"), QStringLiteral("2018/5/12"), QStringLiteral("/")},
        {QStringLiteral("2018\\5"), QStringLiteral("2018\\5\\12"), QStringLiteral("\\")},
        // "-" is looked for first: the month key is too short to hold it.
        {QStringLiteral("2018/5"), QStringLiteral("2018/5-12"), QString()},
        {QStringLiteral("2018/5-12"), QStringLiteral("2018/5-12"), QStringLiteral("-")},
        {QStringLiteral("20180512"), QStringLiteral("20180512"), QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyTerminator(c.text, c.zhuanda), c.terminator) << qPrintable(c.zhuanda);
}

}  // namespace
}  // namespace tovrin
