#include <gtest/gtest.h>

#include "tests/checkout/fixture.h"

namespace tovrin {
namespace {

using test::CheckoutFixture;

const QString kTooLarge = QStringLiteral("金额或数量太大，超出了可以计算的范围！请重试。");

// Huge quantities at price 0 grow only the quantity total: it is checked too,
// and nothing that is not a number reaches a journal.
TEST(SaleLimits, RunningTotalsStayFinite) {
    CheckoutFixture f;
    int accepted = 0;
    for (int i = 0; i < 1010; ++i) {
        if (f.enter(QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("1.79e305"))) ++accepted;
    }
    EXPECT_GE(accepted, 1);
    EXPECT_LT(accepted, 1010);
    EXPECT_TRUE(f.prompts.texts().contains(kTooLarge));
    EXPECT_TRUE(std::isfinite(f.checkout.sale().shpsl * 1000));
    f.form.setText(Box::Text1, QStringLiteral("10"));
    f.form.setText(Box::Text2, QString());
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();
    for (const QString& name : {QStringLiteral("tovrincalculate.txt"), QStringLiteral("tovrinback.txt"),
                                QStringLiteral("tovrincomm.txt")}) {
        const QString text = f.journal(name).toLower();
        EXPECT_FALSE(text.contains(QStringLiteral("inf"))) << name.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("nan"))) << name.toStdString();
    }
    EXPECT_FALSE(f.journal(QStringLiteral("tovrincalculate.txt")).isEmpty());
}

// A due amount past the range of the money text refuses the item.
TEST(SaleLimits, HugeAmountsAreRefusedWithTheTooLargeMessage) {
    const struct {
        const char* price;
        const char* quantity;
    } cases[] = {{"1e305", "1000"}, {"1.7e308", "1"}, {"-1.7e308", "1"}, {"1e200", "1e200"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.price);
        CheckoutFixture f;
        // A negative price is confirmed first; the amount is refused after.
        if (c.price[0] == '-') f.prompts.answer({true});
        EXPECT_FALSE(
            f.enter(QString::fromLatin1(c.price), QStringLiteral("100"), QString::fromLatin1(c.quantity)));
        EXPECT_TRUE(f.prompts.texts().contains(kTooLarge));
        EXPECT_TRUE(f.journal(QStringLiteral("tovrincomm.txt")).isEmpty());
    }
}

// In a folder where the item file cannot be emptied, the box comes once per
// sale, and the keys are left to the price box.
TEST(SaleLimits, AnUnwritableItemFileIsReportedOncePerSale) {
    CheckoutFixture f;
    f.files.failing.insert(QStringLiteral("tovrincomm.txt"));
    for (QChar c : QStringLiteral("35.5")) EXPECT_FALSE(f.checkout.Text2_KeyPress(c.unicode()));
    EXPECT_EQ(f.prompts.shown.size(), 1u);
    EXPECT_TRUE(f.form.selected.empty());
    // Enter takes no item then, and leaves the price selected.
    EXPECT_FALSE(f.checkout.Text2_KeyPress(13));
    EXPECT_EQ(f.prompts.shown.size(), 1u);
    EXPECT_EQ(f.form.selected, std::set<Box>{Box::Text2});
    // A finished one-item sale starts the next one: one more box.
    f.form.set(QStringLiteral("100"), QStringLiteral("35.5"), QStringLiteral("100"), QStringLiteral("1"));
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();
    ASSERT_EQ(f.journal(QStringLiteral("tovrincalculate.txt")).count(QStringLiteral("\r\n")), 1);
    f.prompts.shown.clear();
    for (QChar c : QStringLiteral("12")) EXPECT_FALSE(f.checkout.Text2_KeyPress(c.unicode()));
    EXPECT_EQ(f.prompts.shown.size(), 1u);
}

}  // namespace
}  // namespace tovrin
