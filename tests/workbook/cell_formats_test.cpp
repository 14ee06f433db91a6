#include "workbook/cell_formats.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

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
