#include "barcode/lookup.h"

#include <gtest/gtest.h>

#include "barcode/lines.h"
#include "support/fakes.h"

namespace tovrin {
namespace {

using test::FakePrompts;
using test::TempFiles;

QString row(const QString& barcode, const QString& name, const QString& price) {
    return QStringLiteral("\t") + barcode + QStringLiteral("\t") + name + QStringLiteral("\t\t\t") + price +
           QStringLiteral("\t\t\t\t\t\t\r\n");
}

struct Lookup {
    explicit Lookup(const QString& table) { files.putText(QStringLiteral("collector.txt"), table); }
    QString operator()(const QString& key) { return lookup.kuaisu(key); }
    TempFiles files;
    FakePrompts prompts;
    BarcodeLookup lookup{files, prompts, files.folder()};
};

const QString kDuplicate = QStringLiteral("此商品条形码重复或表达错误！");
const QString kNotFound = QStringLiteral("没有此商品条形码！");
const QString kNoPrice = QStringLiteral("没有该商品条码对应的价格！");

struct Case {
    const char* name;
    QString table;
    QString key;
    QString price;    // empty: refused
    QString message;  // the one box shown, if any
};

TEST(Kuaisu, ResolvesOrRefusesAsTheCashierExpects) {
    const QString title = row(QStringLiteral("条码"), QStringLiteral("商品名称"), QStringLiteral("销售价"));
    const Case cases[] = {
        {"plain", title + row("111", "茶", "3.5"), "111", "3.5", {}},
        {"first line", row("111", "茶", "3.5") + row("222", "水", "2"), "111", "3.5", {}},
        {"stored twice", title + row("111", "茶", "3.5") + row("111", "茶", "3.5"), "111", {}, kDuplicate},
        {"inside a longer barcode",
         title + row("111", "茶", "3") + row("1112", "水", "2"),
         "111",
         {},
         kDuplicate},
        {"inside a name", title + row("555", "茶", "3") + row("666", "型号555", "2"), "555", {}, kDuplicate},
        {"only as a prefix", title + row("12345", "茶", "3"), "123", {}, kNoPrice},
        {"absent", title + row("111", "茶", "3"), "999", {}, kNotFound},
        {"empty price", title + row("111", "茶", ""), "111", {}, kNoPrice},
        {"bar in the name", title + row("111", "茶|红", "3"), "111", {}, kNoPrice},
        {"blanks in the key", title + row("111", "茶", "3"), " 1 1\r\n1 ", "3", {}},
        {"case of the key", title + row("AB12", "茶", "4"), "ab12", "4", {}},
        {"case of the table", title + row("ab12", "茶", "4"), "AB12", "4", {}},
        {"tab stays in the key", title + row("111", "茶", "3"), "\t111", {}, kNoPrice},
    };
    for (const Case& c : cases) {
        Lookup lookup(c.table);
        EXPECT_EQ(lookup(c.key), c.price) << c.name;
        const QStringList expected = c.message.isEmpty() ? QStringList{} : QStringList{c.message};
        EXPECT_EQ(lookup.prompts.texts(), expected) << c.name;
    }
}

TEST(Kuaisu, ATooLongLineCannotBeFoundUnlessItIsTheFirst) {
    const QString longName(720, QLatin1Char('x'));
    {
        Lookup lookup(row("000", "a", "1") + row("111", longName, "3"));
        EXPECT_EQ(lookup(QStringLiteral("111")), QString());
        EXPECT_EQ(lookup.prompts.texts(), QStringList{kNotFound});
    }
    {
        Lookup lookup(row("111", longName, "3"));
        EXPECT_EQ(lookup(QStringLiteral("111")), QString());  // found, but the line is cut before the price
        EXPECT_EQ(lookup.prompts.texts(), QStringList{kNoPrice});
    }
    {
        // 719 characters from the barcode to the line end still count.
        const QString name(719 - 4 - 3 - 1, QLatin1Char('x'));
        Lookup lookup(row("000", "a", "1") + QStringLiteral("\t111\t") + name + QStringLiteral("\t3\r\n"));
        lookup(QStringLiteral("111"));
        EXPECT_EQ(lookup.prompts.texts(), QStringList{kNoPrice});  // found; the price is not in field 6
    }
}

TEST(Kuaisu, FieldsOfTheFoundLineUpperCased) {
    Lookup lookup(row("111", "cola 可乐", "3.5"));
    ASSERT_EQ(lookup(QStringLiteral("111")), QStringLiteral("3.5"));
    EXPECT_EQ(lookup.lookup.lookupFields[1], QString());
    EXPECT_EQ(lookup.lookup.lookupFields[2], QStringLiteral("111"));
    EXPECT_EQ(lookup.lookup.lookupFields[3], QStringLiteral("COLA 可乐"));
    EXPECT_EQ(lookup.lookup.lookupFields[6], QStringLiteral("3.5"));
    // A failed lookup leaves nothing of the earlier one behind.
    lookup(QStringLiteral("999"));
    for (const QString& slot : lookup.lookup.lookupFields) EXPECT_TRUE(slot.isEmpty());
}

TEST(Kuaisu, EmptyOrMissingTable) {
    {
        Lookup lookup{QString()};
        EXPECT_EQ(lookup(QStringLiteral("111")), QString());
        ASSERT_EQ(lookup.prompts.shown.size(), 1u);
        EXPECT_EQ(lookup.prompts.shown[0].text, QStringLiteral("条码文件 open error"));
        EXPECT_EQ(lookup.prompts.shown[0].title, QStringLiteral("Tovrin找零"));
    }
    {
        TempFiles files;
        FakePrompts prompts;
        BarcodeLookup lookup(files, prompts, files.folder());
        EXPECT_EQ(lookup.kuaisu(QStringLiteral("111")), QString());
        EXPECT_EQ(
            prompts.texts(),
            QStringList{QStringLiteral("没有找到条码价格表 collector.txt，请先单击“更新条码价格”导入。")});
    }
}

TEST(Lines, UpperCaseKeepsPositions) {
    EXPECT_EQ(upperSameLength(QStringLiteral("aß商z")), QStringLiteral("Aß商Z"));
}

TEST(Lines, FieldsSplitAtTabAndBar) {
    const QStringList fields = splitFields(QStringLiteral("\ta|b\t\tc"));
    EXPECT_EQ(fields, (QStringList{QString(), QString(), QStringLiteral("a"), QStringLiteral("b"), QString(),
                                   QStringLiteral("c")}));
}

}  // namespace
}  // namespace tovrin
