#include <gtest/gtest.h>

#include "tests/checkout/fixture.h"

namespace tovrin {
namespace {

using test::CheckoutFixture;

const QString kValidation = QStringLiteral("实收金额  或 商品价格，数量，折扣比率 表达错误！请重试。");
const QString kRateOrAmount = QStringLiteral("实收金额  不足，折扣比率 表达错误！请重试。");
const QString kNotEnough = QStringLiteral("实收金额  不足。");

QString oneItemConfirmation(const QString& due) {
    return QStringLiteral(
               "  如果商品序号不止一个，在输入商品价格后，在该文本框中，再按回车键Enter ,可以将商  "
               "品一起结账后，再找零！\r\n"
               " 目前，应收金额累计： ") +
           due + QStringLiteral("\r\n 是否找零，结束此次交易？");
}

QString accumulatedConfirmation(const QString& due) {
    return QStringLiteral(
               "  如果商品序号不止一个，在输入商品价格后，在该文本框中，按回车键Enter ,可以将商品  "
               "一起结账后，再找零！\r\n"
               " 目前，应收金额累计： ") +
           due + QStringLiteral("\r\n 是否找零，结束此次交易？");
}

TEST(OneItemSale, SettlesShowsAnnouncesAndJournals) {
    CheckoutFixture f;
    f.form.set(QStringLiteral("100"), QStringLiteral("35.5"), QStringLiteral("100"), QStringLiteral("1"));
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();

    ASSERT_EQ(f.prompts.shown.size(), 1u);
    EXPECT_EQ(f.prompts.shown[0].text, oneItemConfirmation(QStringLiteral("35.5")));
    EXPECT_EQ(f.prompts.shown[0].title, QStringLiteral("Tovrin 找零"));
    EXPECT_EQ(f.display.text(), QStringLiteral("64.5"));
    EXPECT_EQ(f.display.runs().front().size, 200);
    EXPECT_EQ(f.display.selFontSize(), 135);
    EXPECT_EQ(f.display.selColor(), kGreen);
    EXPECT_EQ(f.voice.equaltime2(), QStringLiteral("100j35.5=64.5"));
    EXPECT_TRUE(f.timer3.enabled);
    EXPECT_EQ(f.form.text(Box::Text1), QStringLiteral("0"));
    EXPECT_EQ(f.form.text(Box::Text2), QString());
    EXPECT_TRUE(f.checkout.sale().shp);
    // The next customer's price goes into the price box.
    EXPECT_EQ(f.form.focused, Box::Text2);

    EXPECT_EQ(f.files.bytes(QStringLiteral("tovrincalculate.txt")),
              test::gbk(QStringLiteral(
                  "2018-5-12 9:05:07\t折扣：   \t0\t实收金额：  \t100\t商品价格累计：  \t35.5\t"
                  "  商品 数量累计：  \t1\t找零：  \t64.5\t\r\n")));
    EXPECT_EQ(f.files.bytes(QStringLiteral("tovrinback.txt")),
              test::gbk(QStringLiteral(
                  "2018-5-12 9:05:07\t   应收金额累计：   \t35.5\r\n"
                  "商品序号:  1\t   折扣累计：   \t0\t商品价格累计：  \t35.5\t  商品 数量累计：  \t1\r\n"
                  "\r\n"
                  "商品:  1\t   折扣：   \t0\t商品总价格：  \t35.5\t  商品 数量：  \t1\t\r\n"
                  "\r\n"
                  "\r\n")));
    EXPECT_FALSE(f.files.read(f.files.path(QStringLiteral("tovrincomm.txt"))).hasContent());
}

TEST(OneItemSale, DiscountedItem) {
    CheckoutFixture f;
    f.form.set(QStringLiteral("20"), QStringLiteral("10"), QStringLiteral("85"), QStringLiteral("2"));
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();
    EXPECT_EQ(f.display.text(), QStringLiteral("3"));
    EXPECT_EQ(f.voice.equaltime2(), QStringLiteral("20j17=3"));
    EXPECT_TRUE(f.journal(QStringLiteral("tovrincalculate.txt"))
                    .endsWith(QStringLiteral("\t折扣：   \t3\t实收金额：  \t20\t商品价格累计：  \t20\t"
                                             "  商品 数量累计：  \t2\t找零：  \t3\t\r\n")));
}

struct Refusal {
    const char *received, *price, *rate, *quantity;
    QString message;
};

TEST(OneItemSale, RefusalsChangeNothingButTheDisplay) {
    const Refusal cases[] = {
        {"100", "10", "101", "1", kRateOrAmount},
        {"20", "50", "100", "1", kRateOrAmount},
        {"", "10", "100", "1", kValidation},
        {"20", "10", "", "1", kValidation},
        {"20", "abc", "100", "1", kValidation},
        {"1e309", "10", "100", "1", Checkout::kTooLarge},
        {"1e308", "1e308", "100", "10", Checkout::kTooLarge},
    };
    for (const Refusal& c : cases) {
        CheckoutFixture f;
        f.display.setText(QStringLiteral("notes"));
        f.form.set(QString::fromLatin1(c.received), QString::fromLatin1(c.price), QString::fromLatin1(c.rate),
                   QString::fromLatin1(c.quantity));
        f.checkout.Command1_0_Click();
        EXPECT_EQ(f.prompts.texts(), QStringList{c.message}) << c.price;
        EXPECT_EQ(f.prompts.shown[0].title, QStringLiteral("Tovrin找零"));
        EXPECT_EQ(f.display.text(), QString());
        EXPECT_EQ(f.form.text(Box::Text1), QString::fromLatin1(c.received));
        EXPECT_EQ(f.form.text(Box::Text2), QString::fromLatin1(c.price));
        EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrincalculate.txt")).isEmpty());
        EXPECT_FALSE(f.timer3.enabled);
        EXPECT_FALSE(f.form.focused);
    }
}

TEST(OneItemSale, TooLittleMoneyAfterConfirming) {
    CheckoutFixture f;
    f.form.set(QStringLiteral("20"), QStringLiteral("10"), QStringLiteral("100"), QStringLiteral("3"));
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();
    EXPECT_EQ(f.prompts.texts(), (QStringList{oneItemConfirmation(QStringLiteral("30")), kNotEnough}));
    EXPECT_EQ(f.form.text(Box::Text1), QStringLiteral("20"));
    EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrinback.txt")).isEmpty());
}

TEST(OneItemSale, NegativePriceGivesMoneyBack) {
    const QString question = QStringLiteral(
        "注意，商品价格为负数！当错误录入某种商品价格时，只需将该商品的负数价格录入，即可更正金额累计！\r\n\t"
        "    如果选“是”，那么实收金额将变为 0，以便抵消增加的金额，是否继续？  ");
    {
        CheckoutFixture f;
        f.form.set(QStringLiteral("0"), QStringLiteral("-5"), QStringLiteral("100"), QStringLiteral("1"));
        f.prompts.answer({true, true});
        f.checkout.Command1_0_Click();
        EXPECT_EQ(f.prompts.texts(), (QStringList{question, oneItemConfirmation(QStringLiteral("-5"))}));
        EXPECT_EQ(f.display.text(), QStringLiteral("5"));
        EXPECT_EQ(f.voice.equaltime2(), QStringLiteral("0j-5=5"));
    }
    {
        CheckoutFixture f;
        f.form.set(QStringLiteral("3"), QStringLiteral("-5"), QStringLiteral("100"), QStringLiteral("1"));
        f.prompts.answer({false});
        f.checkout.Command1_0_Click();
        EXPECT_EQ(f.prompts.texts(), QStringList{question});
        EXPECT_EQ(f.form.text(Box::Text1), QStringLiteral("3"));
        EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrincalculate.txt")).isEmpty());
    }
}

TEST(OneItemSale, ConfirmationNoChangesNothing) {
    CheckoutFixture f;
    f.form.set(QStringLiteral("100"), QStringLiteral("35.5"), QStringLiteral("100"), QStringLiteral("1"));
    f.prompts.answer({false});
    f.checkout.Command1_0_Click();
    EXPECT_EQ(f.form.text(Box::Text1), QStringLiteral("100"));
    EXPECT_EQ(f.form.text(Box::Text2), QStringLiteral("35.5"));
    EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrincalculate.txt")).isEmpty());
    EXPECT_FALSE(f.timer3.enabled);
    EXPECT_FALSE(f.form.focused);
}

// A sale is in both journals or in neither: one that cannot be written to
// the first is not written to the second, and its change is not shown.
TEST(OneItemSale, UnwritableJournalIsNamedAndTheSaleIsInNeither) {
    CheckoutFixture f;
    f.files.failing.insert(QStringLiteral("tovrincalculate.txt"));
    f.form.set(QStringLiteral("100"), QStringLiteral("35.5"), QStringLiteral("100"), QStringLiteral("1"));
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();
    ASSERT_EQ(f.prompts.shown.size(), 2u);
    EXPECT_EQ(f.prompts.shown[1].text,
              QStringLiteral("无法写入 ") + f.files.path(QStringLiteral("tovrincalculate.txt")) +
                  QStringLiteral("：No space left on device\r\n此次交易没有记录，请重试。"));
    EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrincalculate.txt")).isEmpty());
    EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrinback.txt")).isEmpty());
    EXPECT_EQ(f.display.text(), QString());
    EXPECT_EQ(f.form.text(Box::Text1), QStringLiteral("100"));
    EXPECT_EQ(f.form.text(Box::Text2), QStringLiteral("35.5"));
    EXPECT_FALSE(f.timer3.enabled);
    EXPECT_FALSE(f.form.focused);
}

TEST(AccumulatedSale, SettlesTheItemsEnteredWithEnter) {
    CheckoutFixture f;
    f.form.setText(Box::Text1, QStringLiteral("50"));
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    ASSERT_TRUE(f.enter(QStringLiteral("4.5"), QStringLiteral("80"), QStringLiteral("2")));
    const QByteArray items = f.files.bytes(QStringLiteral("tovrincomm.txt"));
    f.prompts.shown.clear();
    f.form.setText(Box::Text1, QStringLiteral("50"));
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();

    EXPECT_EQ(f.prompts.texts(), QStringList{accumulatedConfirmation(QStringLiteral("17.2"))});
    EXPECT_EQ(f.display.text(), QStringLiteral("32.8"));
    EXPECT_EQ(f.voice.equaltime2(), QStringLiteral("50j17.2=32.8"));
    EXPECT_TRUE(f.checkout.sale().shp);
    EXPECT_EQ(f.form.focused, Box::Text2);
    EXPECT_EQ(
        f.files.bytes(QStringLiteral("tovrincalculate.txt")),
        test::gbk(QStringLiteral("2018-5-12 9:05:07\t折扣：   \t1.8\t实收金额：  \t50\t商品价格累计：  \t19\t"
                                 "  商品 数量累计：  \t3\t找零：  \t32.8\r\n")));
    EXPECT_EQ(f.files.bytes(QStringLiteral("tovrinback.txt")),
              test::gbk(QStringLiteral(
                  "2018-5-12 9:05:07\t   应收金额累计：   \t17.2\r\n"
                  "商品序号:  2\t   折扣累计：   \t1.8\t商品价格累计：  \t19\t  商品 数量累计：  \t3\r\n"
                  "\r\n")) +
                  items + test::gbk(QStringLiteral("\r\n\r\n")));
    // The totals stay until the next sale begins.
    EXPECT_EQ(f.checkout.sale().shpjg, 19);
}

TEST(AccumulatedSale, PriceStillTypedNamesTheOpenItem) {
    CheckoutFixture f;
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    ASSERT_TRUE(f.enter(QStringLiteral("5")));
    f.prompts.shown.clear();
    f.form.setText(Box::Text2, QStringLiteral("12"));
    f.checkout.Command1_0_Click();
    EXPECT_EQ(f.prompts.texts(),
              QStringList{QStringLiteral("注意！商品累计尚未结束，第 3种商品的价格还没有录入，请重试。")});
    EXPECT_FALSE(f.checkout.sale().shp);
}

TEST(AccumulatedSale, NoOrTooLittleShowsTheListAgainAndKeepsTheSale) {
    CheckoutFixture f;
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    const QString listed = f.display.text();
    f.prompts.shown.clear();
    f.form.setText(Box::Text1, QStringLiteral("5"));
    f.prompts.answer({false, true});
    f.checkout.Command1_0_Click();
    EXPECT_EQ(f.display.text(), listed);
    f.checkout.Command1_0_Click();
    EXPECT_EQ(f.prompts.texts(), (QStringList{accumulatedConfirmation(QStringLiteral("10")),
                                              accumulatedConfirmation(QStringLiteral("10")), kNotEnough}));
    EXPECT_EQ(f.display.text(), listed);
    EXPECT_FALSE(f.checkout.sale().shp);
    EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrincalculate.txt")).isEmpty());
    EXPECT_FALSE(f.form.focused);

    f.form.setText(Box::Text1, QStringLiteral("10"));
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();
    EXPECT_EQ(f.display.text(), QStringLiteral("0"));
    EXPECT_TRUE(f.checkout.sale().shp);
}

TEST(AccumulatedSale, EmptyItemFileStillWritesTheBlock) {
    CheckoutFixture f;
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    f.files.put(QStringLiteral("tovrincomm.txt"), {});
    f.prompts.shown.clear();
    f.form.setText(Box::Text1, QStringLiteral("10"));
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();
    EXPECT_EQ(f.prompts.texts().last(), QStringLiteral("今天还没有营收记录！"));
    EXPECT_TRUE(f.journal(QStringLiteral("tovrinback.txt")).endsWith(QStringLiteral("\t1\r\n\r\n\r\n\r\n")));
}

// Huge but finite values: the refusals come in their own order, and only a
// value the sale is computed with is too large.
struct HugeOneItem {
    const char *received, *price, *rate, *quantity;
    QStringList messages;
};

TEST(OneItemSale, HugeValuesMeetTheRefusalsInTheirOrder) {
    const HugeOneItem cases[] = {
        {"100", "10", "1e306", "1", {kRateOrAmount}},
        {"100", "1e306", "100", "1", {kRateOrAmount}},
        {"100", "10", "1e306", "1e306", {kRateOrAmount}},
        {"1e306", "1e306", "1e306", "1", {kRateOrAmount}},
        {"", "10", "1e306", "1", {kValidation}},
        {"100", "10", "1e306", "x", {kValidation}},
        {"1e307", "1e306", "100", "1", {Checkout::kTooLarge}},
        {"100", "10", "100", "1e306", {Checkout::kTooLarge}},
        {"1e306", "10", "100", "1", {Checkout::kTooLarge}},
        // Nothing can be computed, so the negative price is not asked about.
        {"0", "-5", "100", "1e306", {Checkout::kTooLarge}},
    };
    for (const HugeOneItem& c : cases) {
        CheckoutFixture f;
        f.form.set(QString::fromLatin1(c.received), QString::fromLatin1(c.price), QString::fromLatin1(c.rate),
                   QString::fromLatin1(c.quantity));
        f.checkout.Command1_0_Click();
        EXPECT_EQ(f.prompts.texts(), c.messages) << c.received << " " << c.price << " " << c.rate;
        EXPECT_EQ(f.display.text(), QString());
        EXPECT_EQ(f.form.text(Box::Text1), QString::fromLatin1(c.received));
        EXPECT_EQ(f.form.text(Box::Text2), QString::fromLatin1(c.price));
        EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrincalculate.txt")).isEmpty());
        EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrinback.txt")).isEmpty());
        EXPECT_FALSE(f.timer3.enabled);
        EXPECT_FALSE(f.prompts.ranOutOfAnswers);
    }
}

struct HugeAccumulated {
    const char *received, *price, *rate, *quantity;
    std::initializer_list<bool> answers;
    QStringList messages;
    const char* change;  // nullptr: the sale stays open
};

TEST(AccumulatedSale, OnlyTheAmountReceivedIsComputedWith) {
    const QString openItem = QStringLiteral("注意！商品累计尚未结束，第 2种商品的价格还没有录入，请重试。");
    const HugeAccumulated cases[] = {
        {"20", "", "1e306", "1e306", {true}, {accumulatedConfirmation(QStringLiteral("10"))}, "10"},
        {"20", "", "-1e306", "1e309", {true}, {accumulatedConfirmation(QStringLiteral("10"))}, "10"},
        {"20", "", "abc", "1e306", {}, {kValidation}, nullptr},
        {"20", "5", "1e306", "1", {}, {openItem}, nullptr},
        {"1e306", "5", "100", "1e306", {}, {openItem}, nullptr},
        {"1e306",
         "",
         "100",
         "1",
         {true},
         {accumulatedConfirmation(QStringLiteral("10")), Checkout::kTooLarge},
         nullptr},
    };
    for (const HugeAccumulated& c : cases) {
        CheckoutFixture f;
        ASSERT_TRUE(f.enter(QStringLiteral("10")));
        f.prompts.shown.clear();
        f.form.set(QString::fromLatin1(c.received), QString::fromLatin1(c.price), QString::fromLatin1(c.rate),
                   QString::fromLatin1(c.quantity));
        f.prompts.answer(c.answers);
        f.checkout.Command1_0_Click();
        EXPECT_EQ(f.prompts.texts(), c.messages) << c.received << " " << c.rate << " " << c.quantity;
        EXPECT_FALSE(f.prompts.ranOutOfAnswers);
        EXPECT_EQ(f.checkout.sale().shpjg, 10);
        if (c.change) {
            EXPECT_EQ(f.display.text(), QString::fromLatin1(c.change));
            EXPECT_TRUE(f.checkout.sale().shp);
            EXPECT_EQ(
                f.files.bytes(QStringLiteral("tovrincalculate.txt")),
                test::gbk(QStringLiteral("2018-5-12 9:05:07\t折扣：   \t0\t实收金额：  \t20\t商品价格累计：  "
                                         "\t10\t  商品 数量累计：  \t1\t找零：  \t10\r\n")));
        } else {
            EXPECT_FALSE(f.checkout.sale().shp);
            EXPECT_EQ(f.form.text(Box::Text1), QString::fromLatin1(c.received));
            EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrincalculate.txt")).isEmpty());
            EXPECT_TRUE(f.files.bytes(QStringLiteral("tovrinback.txt")).isEmpty());
        }
    }
}

TEST(Boxes, AClickEmptiesTheBox) {
    CheckoutFixture f;
    f.checkout.clickBox(Box::Text3);
    EXPECT_EQ(f.form.text(Box::Text3), QString());
    EXPECT_EQ(f.form.text(Box::Text4), QStringLiteral("1"));
}

}  // namespace
}  // namespace tovrin
