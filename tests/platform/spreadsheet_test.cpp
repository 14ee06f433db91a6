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

}  // namespace
}  // namespace tovrin
