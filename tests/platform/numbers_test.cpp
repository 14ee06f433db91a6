#include "platform/numbers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tovrin {
namespace {

TEST(PlainNumberText, WritesUpToFifteenSignificantDigits) {
    const NumberFormat nf;
    const std::pair<double, const char*> cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {3, "3"},
        {100, "100"},
        {0.5, "0.5"},
        {-0.25, "-0.25"},
        {2.38, "2.38"},
        {1.0 / 3, "0.333333333333333"},
        {6901234567890, "6901234567890"},
        {123456789012345, "123456789012345"},
        {1234567890123456, "1.23456789012346E+15"},
        {1e20, "1E+20"},
        {0.0001, "0.0001"},
        {1.5e-20, "1.5E-20"},
        {0.1 + 0.2, "0.3"},
        {-12.5, "-12.5"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(nf.plain(value), QString::fromLatin1(text)) << value;
}

TEST(PlainNumberText, WithoutLeadingZeroWhereTheSystemWritesNone) {
    const NoLeadingZeroFormat nf;
    EXPECT_EQ(nf.plain(0.5), QStringLiteral(".5"));
    EXPECT_EQ(nf.plain(-0.25), QStringLiteral("-.25"));
    EXPECT_EQ(nf.plain(10.5), QStringLiteral("10.5"));
}

TEST(NumericTest, AcceptsWhatACashierTypes) {
    const NumberFormat nf;
    const std::pair<const char*, double> accepted[] = {
        {"12", 12},   {" 12 ", 12},    {"+3", 3},           {"-4.5", -4.5}, {".5", 0.5},
        {"5.", 5},    {"1,000", 1000}, {"1,234.5", 1234.5}, {"1e3", 1000},  {"2.5E-1", 0.25},
        {"\t7\t", 7}, {"0", 0},        {"00012", 12},
    };
    for (const auto& [text, value] : accepted) {
        const auto parsed = nf.parse(QString::fromLatin1(text));
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_DOUBLE_EQ(*parsed, value) << text;
    }
}

TEST(NumericTest, RefusesEverythingElse) {
    const NumberFormat nf;
    for (const char* text :
         {"",    " ",   "abc", "12a", "inf", "nan", "Infinity", "0x10", "&H10", "1..2", "1.2.3",
          "--1", "+-1", "1e",  "1e+", ",1",  "1,",  "1 2",      "e5",   ".",    "-",    "１２"}) {
        EXPECT_FALSE(nf.parse(QString::fromUtf8(text)).has_value()) << text;
    }
}

TEST(NumericTest, TooLargeIsInfiniteSoTheCallerCanStop) {
    const NumberFormat nf;
    const auto huge = nf.parse(QStringLiteral("1e309"));
    ASSERT_TRUE(huge.has_value());
    EXPECT_TRUE(std::isinf(*huge));
    EXPECT_TRUE(std::isinf(*nf.parse(QStringLiteral("-1e400"))));
    EXPECT_EQ(*nf.parse(QStringLiteral("1e-400")), 0);
}

}  // namespace
}  // namespace tovrin
