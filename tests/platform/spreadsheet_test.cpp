#include "platform/spreadsheet.h"

#include <gtest/gtest.h>

#include "platform/numbers.h"
#include "support/fakes.h"

namespace tovrin {
namespace {

struct TextCase {
    Cell cell;
    const char* text;
};

class CellTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CellTextTest, IsThePlatformsTextOfTheValue) {
    const NumberFormat numbers;
    const test::FakeClock clock;
    EXPECT_EQ(cellText(GetParam().cell, numbers, clock).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CellTextTest,
    ::testing::Values(TextCase{Cell{}, ""}, TextCase{Cell::ofNumber(6901234567890), "6901234567890"},
                      TextCase{Cell::ofNumber(12.50), "12.5"}, TextCase{Cell::ofNumber(-0.5), "-0.5"},
                      TextCase{Cell::ofNumber(123456789012345), "123456789012345"},
                      TextCase{Cell::ofNumber(1234567890123456789.0), "1.23456789012346E+18"},
                      TextCase{Cell::ofNumber(1.0 / 3), "0.333333333333333"},
                      TextCase{Cell::ofText(QStringLiteral("  可乐 ")), "  可乐 "},
                      TextCase{Cell::ofBoolean(true), "True"}, TextCase{Cell::ofBoolean(false), "False"},
                      TextCase{Cell::ofError(QStringLiteral("#N/A")), "#N/A"},
                      // Dates: the date alone at midnight, the time alone on day 0.
                      TextCase{Cell::ofDate(43232), "2018-5-12"},
                      TextCase{Cell::ofDate(43232 + (9 * 3600 + 5 * 60 + 7) / 86400.0), "2018-5-12 9:05:07"},
                      TextCase{Cell::ofDate(0.5), "12:00:00"}, TextCase{Cell::ofDate(0), "0:00:00"},
                      TextCase{Cell::ofDate(43232.9999999), "2018-5-13"},  // rounds to the next midnight
                      TextCase{Cell::ofDate(2958465), "9999-12-31"},
                      // No day a spreadsheet can show: the number itself.
                      TextCase{Cell::ofDate(-1), "-1"}, TextCase{Cell::ofDate(3e6), "3000000"}));

TEST(CellText, DatesFollowTheClocksDateSeparator) {
    const NumberFormat numbers;
    test::FakeClock clock;
    clock.separator = QLatin1Char('/');
    EXPECT_EQ(cellText(Cell::ofDate(43232.5), numbers, clock), QStringLiteral("2018/5/12 12:00:00"));
}

TEST(Cell, ContentIsWhatDiffersFromTheEmptyText) {
    EXPECT_FALSE(Cell{}.hasContent());
    EXPECT_FALSE(Cell::ofText({}).hasContent());
    EXPECT_TRUE(Cell::ofText(QStringLiteral(" ")).hasContent());
    EXPECT_TRUE(Cell::ofNumber(0).hasContent());
    EXPECT_TRUE(Cell::ofBoolean(false).hasContent());
    EXPECT_TRUE(Cell::ofError(QStringLiteral("#N/A")).hasContent());
}

struct FormatCase {
    const char* code;
    bool date;
};

class DateFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DateFormatTest, IsToldByItsDateAndTimeTokens) {
    EXPECT_EQ(isDateFormat(QString::fromUtf8(GetParam().code)), GetParam().date) << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, DateFormatTest,
    ::testing::Values(FormatCase{"yyyy-mm-dd", true}, FormatCase{"yyyy\\-mm\\-dd\\ hh:mm:ss", true},
                      FormatCase{"[$-F400]h:mm:ss\\ AM/PM", true}, FormatCase{"[h]:mm", true},
                      FormatCase{"[mm]:ss", true}, FormatCase{"yyyy\"年\"m\"月\"d\"日\"", true},
                      FormatCase{"[DBNum1][$-804]e\"年\"m\"月\"", true}, FormatCase{"General", false},
                      FormatCase{"0.00", false}, FormatCase{"#,##0.00_);[Red](#,##0.00)", false},
                      FormatCase{"0.00E+00", false}, FormatCase{"\"数量\"0", false},
                      FormatCase{"\"days\" 0", false}, FormatCase{"\\d0", false}, FormatCase{"@", false},
                      FormatCase{"[Red]0", false}, FormatCase{"_(* #,##0_)", false}));

TEST(DateFormat, BuiltInNumbers) {
    for (int id : {14, 15, 16, 17, 18, 19, 20, 21, 22, 27, 31, 36, 45, 46, 47, 50, 57, 58}) {
        EXPECT_TRUE(isBuiltInDateFormat(id)) << id;
    }
    for (int id : {0, 1, 2, 9, 10, 11, 12, 13, 23, 26, 37, 44, 48, 49, 59, 164}) {
        EXPECT_FALSE(isBuiltInDateFormat(id)) << id;
    }
}

}  // namespace
}  // namespace tovrin
