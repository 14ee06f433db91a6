#include <gtest/gtest.h>

#include "tests/checkout/fixture.h"

namespace tovrin {
namespace {

using test::CheckoutFixture;

const QString kItemFile = QStringLiteral("tovrincomm.txt");
const QString kValidation = QStringLiteral("实收金额  或 商品价格，数量，折扣比率 表达错误！请重试。");

QString priceLine(const char* number, const char* discount, const char* total, const char* quantity) {
    return QStringLiteral("商品:  %1\t   折扣：   \t%2\t商品总价格：  \t%3\t  商品 数量：  \t%4\t\r\n\r\n")
        .arg(QString::fromLatin1(number), QString::fromLatin1(discount), QString::fromLatin1(total),
             QString::fromLatin1(quantity));
}

QString totalsBlock(const char* count, const char* discount, const char* total, const char* quantity,
                    const char* due) {
    return QStringLiteral(
               "2018-5-12 9:05:07\r\n\r\n商品序号:  %1\t   折扣累计：   \t%2\t商品价格累计：  \t%3\t  商品 "
               "数量累计：  \t%4\r\n\t   应收金额累计：   \t%5\r\n\r\n")
        .arg(QString::fromLatin1(count), QString::fromLatin1(discount), QString::fromLatin1(total),
             QString::fromLatin1(quantity), QString::fromLatin1(due));
}

TEST(ItemEntry, ThreeItemsWithACorrection) {
    CheckoutFixture f;
    f.files.putText(kItemFile, QStringLiteral("old sale\r\n"));
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    EXPECT_EQ(f.display.text(), priceLine("1", "0", "10", "1") + QStringLiteral("\r\n") +
                                    totalsBlock("1", "0", "10", "1", "10"));
    ASSERT_TRUE(f.enter(QStringLiteral("4.5"), QStringLiteral("80"), QStringLiteral("2")));
    EXPECT_TRUE(f.display.text().endsWith(totalsBlock("2", "1.8", "19", "3", "17.2")));

    f.prompts.answer({true});
    ASSERT_TRUE(f.enter(QStringLiteral("-4.5"), QStringLiteral("80"), QStringLiteral("2")));
    EXPECT_EQ(f.prompts.texts(),
              QStringList{QStringLiteral(
                  "注意，商品价格为负数！当错误录入某种商品价格时，只需将该商品的负数价格录入，"
                  "即可更正金额累计！\r\n\t    是否继续？  ")});
    EXPECT_EQ(f.files.bytes(kItemFile),
              test::gbk(priceLine("1", "0", "10", "1") + priceLine("2", "1.8", "9", "2") +
                        priceLine("3", "-1.8", "-9", "2")));
    EXPECT_EQ(f.display.text(), decodeGbk(f.files.bytes(kItemFile)) + QStringLiteral("\r\n") +
                                    totalsBlock("3", "0", "10", "5", "10"));
    EXPECT_EQ(f.checkout.sale().shpleiji, 3);
    EXPECT_EQ(f.form.text(Box::Text2), QString());
    EXPECT_FALSE(f.checkout.sale().shp);
}

TEST(ItemEntry, PlusClipThenTheUnroundedAmountIsAnnounced) {
    CheckoutFixture f;
    ASSERT_TRUE(f.enter(QStringLiteral("3.333"), QStringLiteral("50"), QStringLiteral("1")));
    EXPECT_EQ(f.sound.played, QStringList{QStringLiteral("jia.wav")});
    EXPECT_EQ(f.voice.equaltime(), QStringLiteral("1.6665"));
    EXPECT_TRUE(f.timer2.enabled);
}

struct RefusedEnter {
    const char *received, *price, *rate;
    QString message;
};

TEST(ItemEntry, RefusedEnterKeepsTheBoxAndTheTotals) {
    const RefusedEnter cases[] = {
        {"0", "10", "120", QStringLiteral("折扣比率 表达错误！请重试。")},
        {"0", "10", "-5", QStringLiteral("折扣比率 表达错误！请重试。")},
        {"", "10", "100", QStringLiteral("实收金额  或 商品价格，数量，折扣比率 表达错误！请重试。")},
        {"0", "1x", "100", QStringLiteral("实收金额  或 商品价格，数量，折扣比率 表达错误！请重试。")},
    };
    for (const RefusedEnter& c : cases) {
        CheckoutFixture f;
        ASSERT_TRUE(f.enter(QStringLiteral("10")));
        f.prompts.shown.clear();
        f.form.setText(Box::Text1, QString::fromLatin1(c.received));
        f.form.setText(Box::Text3, QString::fromLatin1(c.rate));
        f.form.setText(Box::Text2, QString::fromLatin1(c.price));
        EXPECT_FALSE(f.checkout.Text2_KeyPress(13));
        EXPECT_EQ(f.prompts.texts(), QStringList{c.message});
        EXPECT_EQ(f.form.text(Box::Text2), QString::fromLatin1(c.price));
        // Selected, so that the next scan replaces it.
        EXPECT_EQ(f.form.selected, std::set<Box>{Box::Text2});
        EXPECT_EQ(f.checkout.sale().shpleiji, 1);
        EXPECT_EQ(f.checkout.sale().shpjg, 10);
    }
}

struct HugeEnter {
    const char *received, *price, *rate, *quantity;
    std::initializer_list<bool> answers;
    QStringList messages;
    bool accepted;
};

// Huge but finite values meet the refusals in their order; only the values
// the item is computed with can be too large, the amount received never.
TEST(ItemEntry, HugeValuesMeetTheRefusalsInTheirOrder) {
    const QString rateMessage = QStringLiteral("折扣比率 表达错误！请重试。");
    const QString question = QStringLiteral(
        "注意，商品价格为负数！当错误录入某种商品价格时，只需将该商品的负数价格录入，即可更正金额累计！\r\n\t"
        "    是否继续？  ");
    const HugeEnter cases[] = {
        {"0", "10", "1e306", "1", {}, {rateMessage}, false},
        {"0", "10", "-1e306", "1", {}, {rateMessage}, false},
        {"0", "10", "1e306", "1e306", {}, {rateMessage}, false},
        {"0", "-1e306", "1e306", "1", {true}, {question, rateMessage}, false},
        {"0", "-1e306", "100", "1", {false}, {question}, false},
        {"0", "-1e306", "100", "1", {true}, {question, Checkout::kTooLarge}, false},
        {"", "10", "1e306", "1", {}, {kValidation}, false},
        {"0", "1e306", "100", "1", {}, {Checkout::kTooLarge}, false},
        {"0", "10", "100", "1e306", {}, {Checkout::kTooLarge}, false},
        {"0", "1e304", "100", "1", {}, {}, true},
        {"1e306", "10", "100", "1", {}, {}, true},
    };
    for (const HugeEnter& c : cases) {
        CheckoutFixture f;
        f.form.set(QString::fromLatin1(c.received), QString::fromLatin1(c.price), QString::fromLatin1(c.rate),
                   QString::fromLatin1(c.quantity));
        f.prompts.answer(c.answers);
        EXPECT_EQ(f.checkout.Text2_KeyPress(13), c.accepted) << c.price << " " << c.rate << " " << c.quantity;
        EXPECT_EQ(f.prompts.texts(), c.messages) << c.price << " " << c.rate << " " << c.quantity;
        EXPECT_FALSE(f.prompts.ranOutOfAnswers);
        EXPECT_EQ(f.checkout.sale().shpleiji, c.accepted ? 1 : 0);
        EXPECT_EQ(f.checkout.sale().shp, !c.accepted);
        EXPECT_EQ(f.form.text(Box::Text2), c.accepted ? QString() : QString::fromLatin1(c.price));
        EXPECT_EQ(f.form.selected.count(Box::Text2), c.accepted ? 0u : 1u);
        EXPECT_EQ(f.files.bytes(kItemFile).isEmpty(), !c.accepted);
    }
}

TEST(ItemEntry, NegativePriceRefusedAddsNothing) {
    CheckoutFixture f;
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    f.prompts.answer({false});
    EXPECT_FALSE(f.enter(QStringLiteral("-4")));
    EXPECT_EQ(f.checkout.sale().shpjg, 10);
    EXPECT_EQ(f.form.text(Box::Text2), QStringLiteral("-4"));
    EXPECT_EQ(f.form.selected, std::set<Box>{Box::Text2});
}

TEST(ItemEntry, FirstKeyAfterASaleStartsANewOne) {
    CheckoutFixture f;
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    f.form.setText(Box::Text1, QStringLiteral("10"));
    f.prompts.answer({true});
    f.checkout.Command1_0_Click();
    ASSERT_TRUE(f.checkout.sale().shp);
    EXPECT_FALSE(f.files.bytes(kItemFile).isEmpty());  // kept until the next sale begins

    EXPECT_FALSE(f.checkout.Text2_KeyPress('1'));
    EXPECT_EQ(f.display.text(), QString());
    EXPECT_TRUE(f.files.bytes(kItemFile).isEmpty());
    EXPECT_EQ(f.checkout.sale().shpjg, 0);
    EXPECT_EQ(f.checkout.sale().shpleiji, 0);
}

// A checkout whose file writes are counted (and can be made to fail).
struct CountedTill {
    void type(const QString& keys) {
        for (QChar c : keys) {
            checkout.Text2_KeyPress(c.unicode());
            form.setText(Box::Text2, form.text(Box::Text2) + c);
        }
    }
    qsizetype itemFileRewrites() const {
        return watched.calls.count(QStringLiteral("rewrite tovrincomm.txt"));
    }

    test::TempFiles files;
    test::FaultyFiles watched{files};
    test::CheckoutOn till{watched, files.folder()};
    test::FakeForm& form = till.form;
    TextModel& display = till.display;
    test::FakePrompts& prompts = till.prompts;
    Checkout& checkout = till.checkout;
};

// Every key of a new sale clears the display and the totals, but the item
// file is emptied once, and again only after something may have gone into it.
TEST(ItemEntry, TheItemFileIsEmptiedOncePerSale) {
    CountedTill t;
    t.files.putText(kItemFile, QStringLiteral("old sale\r\n"));
    t.type(QStringLiteral("6901234567890"));
    EXPECT_EQ(t.itemFileRewrites(), 1);
    EXPECT_TRUE(t.files.bytes(kItemFile).isEmpty());

    t.form.setText(Box::Text2, QStringLiteral("12"));
    ASSERT_TRUE(t.checkout.Text2_KeyPress(13));
    EXPECT_EQ(t.itemFileRewrites(), 1);
    t.form.setText(Box::Text1, QStringLiteral("20"));
    t.prompts.answer({true});
    t.checkout.Command1_0_Click();
    ASSERT_TRUE(t.checkout.sale().shp);
    EXPECT_FALSE(t.files.bytes(kItemFile).isEmpty());

    t.prompts.shown.clear();
    t.display.setText(QStringLiteral("change"));
    t.type(QStringLiteral("345"));
    EXPECT_EQ(t.itemFileRewrites(), 2);
    EXPECT_TRUE(t.files.bytes(kItemFile).isEmpty());
    EXPECT_EQ(t.display.text(), QString());
    EXPECT_EQ(t.checkout.sale().shpjg, 0);
    EXPECT_EQ(t.checkout.sale().shpleiji, 0);

    // The settlement switch starts afresh too.
    t.checkout.Command3_Click();
    t.type(QStringLiteral("67"));
    EXPECT_EQ(t.itemFileRewrites(), 3);
    EXPECT_TRUE(t.prompts.shown.empty());
}

// An item file that could not be emptied is tried again at every key, and
// the cashier is told once.
TEST(ItemEntry, AnItemFileNotEmptiedIsTriedAgainAtTheNextKey) {
    CountedTill t;
    t.files.putText(kItemFile, QStringLiteral("old sale\r\n"));
    t.watched.failing = {1, 2};
    t.type(QStringLiteral("1234"));
    EXPECT_EQ(t.itemFileRewrites(), 3);
    EXPECT_TRUE(t.files.bytes(kItemFile).isEmpty());
    ASSERT_EQ(t.prompts.shown.size(), 1u);
    EXPECT_TRUE(t.prompts.shown[0].text.startsWith(QStringLiteral("无法写入 ")));
}

TEST(ItemEntry, KeysWhileAccumulatingChangeNothing) {
    CheckoutFixture f;
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    const QString shown = f.display.text();
    EXPECT_FALSE(f.checkout.Text2_KeyPress('7'));
    EXPECT_EQ(f.display.text(), shown);
    EXPECT_EQ(f.checkout.sale().shpjg, 10);
    EXPECT_TRUE(f.form.selected.empty());
}

TEST(ItemEntry, UnwritableItemFileAddsNothing) {
    CheckoutFixture f;
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    f.files.failing.insert(kItemFile);
    f.prompts.shown.clear();
    f.form.setText(Box::Text2, QStringLiteral("5"));
    EXPECT_FALSE(f.checkout.Text2_KeyPress(13));
    ASSERT_EQ(f.prompts.shown.size(), 1u);
    EXPECT_TRUE(f.prompts.shown[0].text.startsWith(QStringLiteral("无法写入 ")));
    EXPECT_EQ(f.checkout.sale().shpleiji, 1);
    EXPECT_EQ(f.checkout.sale().shpjg, 10);
    EXPECT_EQ(f.form.selected, std::set<Box>{Box::Text2});
}

const QString kTable = QStringLiteral(
    "\t条码\t商品名称\t规格\t单位\t销售价\t\t\t\t\t\t\r\n"
    "\t6901234567890\tcola 可乐 \t\t\t3.5\t\t\t\t\t\t\r\n"
    "\t6920000000001\t矿泉水\t\t\t2\t\t\t\t\t\t\r\n");

TEST(BarcodeSettlement, AScannedBarcodeIsPricedFromTheTable) {
    CheckoutFixture f;
    f.files.putText(QStringLiteral("collector.txt"), kTable);
    f.checkout.Command3_Click();
    ASSERT_TRUE(f.checkout.sale().tiaomajiesuan);
    ASSERT_TRUE(f.enter(QStringLiteral("6901234567890"), QStringLiteral("100"), QStringLiteral("2")));
    EXPECT_EQ(f.prompts.shown.size(), 0u);
    EXPECT_EQ(
        f.files.bytes(kItemFile),
        test::gbk(QStringLiteral("商品:  COLA 可乐") + QString(31, QLatin1Char(' ')) +
                  QStringLiteral("\t   折扣：   \t0\t商品总价格：  \t7\t  商品 数量：  \t2\t  商品 条码：  \t"
                                 "6901234567890\t\r\n\r\n")));
    EXPECT_EQ(f.checkout.sale().shpjg, 7);
}

TEST(BarcodeSettlement, UnknownBarcodeAddsNothing) {
    CheckoutFixture f;
    f.files.putText(QStringLiteral("collector.txt"), kTable);
    f.checkout.Command3_Click();
    EXPECT_FALSE(f.enter(QStringLiteral("777")));
    EXPECT_EQ(f.prompts.texts(), (QStringList{QStringLiteral("没有此商品条形码！"),
                                              QStringLiteral("没有该商品条码对应价格！")}));
    EXPECT_EQ(f.checkout.sale().shpleiji, 0);
}

TEST(SettlementSwitch, TogglesOnTheCaption) {
    CheckoutFixture f;
    f.checkout.Command3_Click();
    EXPECT_EQ(f.form.command3, QStringLiteral("条码结算"));
    EXPECT_EQ(f.form.text2FontSize, 22);
    EXPECT_TRUE(f.checkout.sale().tiaomajiesuan);
    f.checkout.Command3_Click();
    EXPECT_EQ(f.form.command3, QStringLiteral("价格结算"));
    EXPECT_EQ(f.form.text2FontSize, 40);
    EXPECT_FALSE(f.checkout.sale().tiaomajiesuan);
}

TEST(SettlementSwitch, KeepsTheRunningSale) {
    CheckoutFixture f;
    ASSERT_TRUE(f.enter(QStringLiteral("10")));
    f.checkout.Command3_Click();
    EXPECT_EQ(f.checkout.sale().shpjg, 10);
    EXPECT_FALSE(f.checkout.sale().shp);
}

// An item file whose lines an editor saved with LF (or lone CR) is shown and
// written into the sale block with CR LF, as the till's own file is.
TEST(ItemEntry, AnItemFileWithOtherLineEndsReadsAsCrLf) {
    const auto sale = [](const QString& lineEnd) {
        CheckoutFixture f;
        EXPECT_TRUE(f.enter(QStringLiteral("10")));
        EXPECT_TRUE(f.enter(QStringLiteral("4.5"), QStringLiteral("80"), QStringLiteral("2")));
        f.files.put(kItemFile, f.files.bytes(kItemFile).replace("\r\n", lineEnd.toLatin1()));
        EXPECT_TRUE(f.enter(QStringLiteral("3")));
        const QString shown = f.display.text();
        f.form.setText(Box::Text1, QStringLiteral("50"));
        f.prompts.answer({true});
        f.checkout.Command1_0_Click();
        return std::make_pair(shown, f.journal(QStringLiteral("tovrinback.txt")));
    };
    const auto expected = sale(QStringLiteral("\r\n"));
    EXPECT_EQ(expected.second.count(QStringLiteral("商品:  ")), 3);
    EXPECT_EQ(sale(QStringLiteral("\n")), expected);
    EXPECT_EQ(sale(QStringLiteral("\r")), expected);
}

}  // namespace
}  // namespace tovrin
