#include "records/money.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

struct MoneyCase {
    double amount;
    const char* text;
};

// The same texts whatever the system writes before the point of a fraction.
class MoneyText : public ::testing::TestWithParam<bool> {};

TEST_P(MoneyText, RoundsToCentsFromTheThirdDecimal) {
    const bool zerob = GetParam();
    NumberFormat withZero;
    NoLeadingZeroFormat withoutZero;
    const NumberFormat& nf = zerob ? withZero : static_cast<const NumberFormat&>(withoutZero);
    const MoneyCase cases[] = {
        {2.375, "2.38"},  {-2.375, "-2.37"}, {12.3449, "12.34"}, {0.456, "0.46"}, {0.5, "0.5"},
        {-0.25, "-0.25"}, {3, "3"},          {100, "100"},       {0.004, "0"},    {0.75, "0.75"},
        {64.5, "64.5"},   {-0.004, "0"},     {-0.006, "-0.01"},  {19.999, "20"},  {0.995, "1"},
        {-5, "-5"},       {1.8, "1.8"},      {7.2, "7.2"},       {17.2, "17.2"},  {0.1 + 0.2, "0.3"},
    };
    for (const MoneyCase& c : cases)
        EXPECT_EQ(wct(c.amount, nf, zerob), QString::fromLatin1(c.text)) << c.amount;
}

INSTANTIATE_TEST_SUITE_P(BothNumberFormats, MoneyText, ::testing::Values(true, false));

}  // namespace
}  // namespace tovrin
