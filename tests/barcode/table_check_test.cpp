#include "barcode/table_check.h"

#include <gtest/gtest.h>

#include <random>

#include "barcode/lookup.h"
#include "support/fakes.h"

namespace tovrin {
namespace {

using Kind = TableCheck::Kind;
using test::FakePrompts;
using test::gbk;
using test::TempFiles;

const QString kTable = QStringLiteral("collector.txt");
// What the lookup tells a refused scan.
const QString kDuplicate = QStringLiteral("此商品条形码重复或表达错误！");
const QString kNotFound = QStringLiteral("没有此商品条形码！");
const QString kNoPrice = QStringLiteral("没有该商品条码对应的价格！");

QString line(const QString& barcode, const QString& name, const QString& price, const QString& tail = {}) {
    return QStringLiteral("\t") + barcode + QStringLiteral("\t") + name + QStringLiteral("\t\t\t") + price +
           QStringLiteral("\t\t\t\t\t\t") + tail + QStringLiteral("\r\n");
}

struct Checked {
    bool ran = false;
    std::optional<Kind> kind;  // of the one row, when it is one of them
};

// The check of rows with the given barcodes (sheet "S", rows 2 on) over the
// table in the folder.
bool runCheck(TableCheck& check, const TempFiles& files) {
    bool ran = false;
    InPlaceRunner().run({}, [&](Progress& progress) { ran = check.run(files, files.folder(), progress); });
    return ran;
}

Checked checkOne(const TempFiles& files, const QString& barcode) {
    NumberFormat numbers;
    TableCheck check(numbers);
    check.beginSheet(QStringLiteral("S"));
    check.row(2, barcode, QStringLiteral("1"));
    Checked out;
    out.ran = runCheck(check, files);
    for (int k = 0; k < TableCheck::kKinds; ++k) {
        if (check.count(Kind(k)) > 0) out.kind = Kind(k);
    }
    return out;
}

// What a scan of the barcode meets over the whole table at the counter: the
// lookup's refusal, or its price and then the item entry's tests.
std::optional<Kind> atTheCounter(const TempFiles& files, const QString& barcode) {
    FakePrompts prompts;
    NumberFormat numbers;
    BarcodeLookup lookup(files, prompts, files.folder());
    const std::optional<BarcodeItem> item = lookup.item(barcode);
    const QString said = prompts.shown.empty() ? QString() : prompts.shown.back().text;
    if (said == kDuplicate) return Kind::Duplicate;
    if (said == kNotFound || !numbers.isNumeric(barcode)) return Kind::NotScannable;
    if (said == kNoPrice) return Kind::NoPrice;
    EXPECT_TRUE(item.has_value()) << said.toStdString();
    const std::optional<double> price = numbers.parse(item->price);
    if (!price) return Kind::NoPrice;
    if (*price < 0) return Kind::NegativePrice;
    return std::nullopt;
}

std::string kindName(std::optional<Kind> kind) {
    if (!kind) return "sold";
    static const char* names[] = {"duplicate", "no price", "price without barcode", "negative price",
                                  "not scannable"};
    return names[int(*kind)];
}

// The GBK bytes of "丂" are 0x81 0x40: "@" stands inside it as its second byte.
const QByteArray kTrailAt = QByteArray("\x81\x40", 2);

QByteArray trickyTable() {
    QByteArray t = gbk(line("111", "第一行很长", "1.5", QString(800, QLatin1Char('y'))));
    t += gbk(line("6901234567890", "可乐", "3.5"));
    t += gbk(line("6901234567890", "可乐二", "3.6"));
    t += gbk(line("690123", "前缀", "2"));
    t += gbk(line("35", "价格里有", "12.35"));
    t += gbk(line("abc1", "小写", "4")) + gbk(line("ABC1X", "大写", "4"));
    t += gbk(line("777", "名称|有竖线", "5"));
    t += gbk(line("888", "很长", "6", QString(800, QLatin1Char('z'))));
    t += gbk(line("@1", "符号", "7")) + gbk(QStringLiteral("\t")) + kTrailAt + gbk(line("1", "丂后", "7"));
    t += gbk(line("999", "负数", "-2"));
    t += gbk(line("555", "非数字", "abc"));
    t += gbk(line("444", "空价格", ""));
    t += gbk(QStringLiteral("\t321\t孤立\rX回车\t\t\t8\r\n"));
    t += gbk(QStringLiteral("\t654\tLF行\t\t\t9\n\t655\tLF行二\t\t\t10\r\n"));
    t += gbk(line("条码甲", "中文条码", "11"));
    t += gbk(line("86 42", "中间有空格", "12"));
    t += gbk(line("2468", "正常", "1,234.5"));
    t += gbk(QStringLiteral("\t1357\t最后一行\t\t\t12"));  // no line end
    return t;
}

TEST(TableCheck, EachRowIsJudgedAsItsScanOverTheWholeTable) {
    TempFiles files;
    files.put(kTable, trickyTable());
    struct Case {
        const char* barcode;
        std::optional<Kind> kind;
    };
    const Case cases[] = {
        {"111", std::nullopt},                // the first line counts however long it is
        {"6901234567890", Kind::Duplicate},   // on two rows
        {"69012 34567890", Kind::Duplicate},  // the same scan with a blank
        {"690123", Kind::Duplicate},          // the beginning of another barcode
        {"35", Kind::Duplicate},              // inside a price
        {"abc1", Kind::Duplicate},            // letters match without case
        {"777", Kind::NoPrice},               // "|" in the name moves the price
        {"888", Kind::NotScannable},          // the line is too long to be found
        {"@1", Kind::NotScannable},           // found once, but not a number
        {"999", Kind::NegativePrice},         //
        {"555", Kind::NoPrice},               // the price is not a number
        {"444", Kind::NoPrice},               // no price
        {"条码甲", Kind::NotScannable},       // found by the text search, not a number
        {"可乐", Kind::Duplicate},            // in two names
        {"86 42", Kind::NotScannable},        // the scan loses the blank
        {"2468", std::nullopt},               // grouped digits are a number
        {"1357", std::nullopt},               // the last line needs no line end
        {"5", Kind::Duplicate},               // in many lines: looked up in the whole table
        {"\r\n", Kind::Duplicate},            // the empty key stands everywhere
        {"000", Kind::NotScannable},          // absent
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.barcode);
        const Checked checked = checkOne(files, QString::fromUtf8(c.barcode));
        ASSERT_TRUE(checked.ran);
        EXPECT_EQ(kindName(checked.kind), kindName(c.kind));
        EXPECT_EQ(kindName(checked.kind), kindName(atTheCounter(files, QString::fromUtf8(c.barcode))));
    }
    // Lines whose ends the line rule may read either way: the check agrees
    // with the whole table, whatever the rule.
    for (const char* barcode : {"321", "654", "655", "X回车"}) {
        SCOPED_TRACE(barcode);
        const Checked checked = checkOne(files, QString::fromUtf8(barcode));
        ASSERT_TRUE(checked.ran);
        EXPECT_EQ(kindName(checked.kind), kindName(atTheCounter(files, QString::fromUtf8(barcode))));
    }
}

// Short barcodes that stand inside each other, in names and in prices, some
// rows long and some repeated: every row is judged as its scan over the whole
// table, alone and together with all the others.
TEST(TableCheck, RandomTablesAgreeWithTheLookupRowByRow) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        QStringList barcodes;
        QString text;
        const auto digits = [&](int most) {
            QString s;
            const int n = 1 + int(random() % unsigned(most));
            for (int i = 0; i < n; ++i) s += QChar(u'0' + char16_t(random() % 10));
            return s;
        };
        for (int r = 0; r < 150; ++r) {
            const QString barcode = digits(5);
            barcodes << barcode;
            QString price;
            switch (random() % 6) {
                case 0:
                    price = QStringLiteral("-") + digits(2);
                    break;
                case 1:
                    price = QString();
                    break;
                case 2:
                    price = QStringLiteral("x") + digits(2);
                    break;
                default:
                    price = digits(3) + QStringLiteral(".") + digits(2);
            }
            const QString name = QStringLiteral("货") + (random() % 4 == 0 ? digits(4) : QString());
            const QString tail = random() % 15 == 0 ? QString(730, QLatin1Char('w')) : QString();
            text += line(barcode, name, price, tail);
        }
        TempFiles files;
        files.putText(kTable, text);

        NumberFormat numbers;
        TableCheck all(numbers);
        all.beginSheet(QStringLiteral("S"));
        std::array<qint64, TableCheck::kKinds> expected{};
        for (qsizetype r = 0; r < barcodes.size(); ++r) {
            const std::optional<Kind> kind = atTheCounter(files, barcodes[r]);
            const Checked alone = checkOne(files, barcodes[r]);
            ASSERT_TRUE(alone.ran);
            EXPECT_EQ(kindName(alone.kind), kindName(kind)) << barcodes[r].toStdString();
            if (kind) ++expected[size_t(*kind)];
            all.row(int(r) + 2, barcodes[r], QStringLiteral("1"));
        }
        ASSERT_TRUE(runCheck(all, files));
        for (int k = 0; k < TableCheck::kKinds; ++k) EXPECT_EQ(all.count(Kind(k)), expected[size_t(k)]) << k;
    }
}

TEST(TableCheck, TitlesArePassedOverAndAPriceWithoutBarcodeIsNamed) {
    TempFiles files;
    files.putText(kTable, line("条码", "商品名称", "销售价") + line("6901", "茶", "3") + line("", "", "4.5"));
    NumberFormat numbers;
    TableCheck check(numbers);
    check.beginSheet(QStringLiteral("饮料"));
    check.row(1, QStringLiteral("条码"), QStringLiteral("销售价"));
    check.row(2, QStringLiteral("6901"), QStringLiteral("3"));
    check.row(3, QString(), QStringLiteral("4.5"));
    check.row(4, QString(), QString());  // a name only
    ASSERT_TRUE(runCheck(check, files));
    EXPECT_EQ(check.count(Kind::PriceWithoutBarcode), 1);
    EXPECT_EQ(
        check.named(Kind::PriceWithoutBarcode),
        (std::vector<TableCheck::Finding>{{QStringLiteral("饮料"), 3, QString(), QStringLiteral("4.5")}}));
    for (Kind k : {Kind::Duplicate, Kind::NoPrice, Kind::NegativePrice, Kind::NotScannable}) {
        EXPECT_EQ(check.count(k), 0);
    }
}

TEST(TableCheck, TheSummaryCountsEachKindAndNamesTheFirstRows) {
    TempFiles files;
    QString text = line("条码", "商品名称", "销售价");
    for (int i = 0; i < 7; ++i)
        text += line(QStringLiteral("800"), QStringLiteral("重复"), QStringLiteral("1"));
    text += line("901", "退货价", "-3") + line("902", "无价", "") + line("", "", "9");
    files.putText(kTable, text);
    NumberFormat numbers;
    TableCheck check(numbers);
    check.beginSheet(QStringLiteral("表一"));
    check.row(1, QStringLiteral("条码"), QStringLiteral("销售价"));
    for (int i = 0; i < 7; ++i)
        check.row(i + 2, QString::fromUtf8(i == 2 ? "8 00" : "800"), QStringLiteral("1"));
    check.beginSheet(QStringLiteral("表二"));
    check.row(1, QStringLiteral("901"), QStringLiteral("-3"));  // a number: goods, not titles
    check.row(2, QStringLiteral("902"), QString());
    check.row(3, QString(), QStringLiteral("9"));
    ASSERT_TRUE(runCheck(check, files));
    const std::optional<QString> summary = check.summary();
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(*summary,
              QStringLiteral("  条码价格表中有 10 行，扫码结算时会出错。请在表格中改正后重新导入：\r\n"
                             "\r\n"
                             "  重复的条码（同一条码有两行，或是别的条码、名称、价格中的一段）：7 行\r\n"
                             "      表一 第 2 行，条码 800\r\n"
                             "      表一 第 3 行，条码 800\r\n"
                             "      表一 第 4 行，条码 8 00\r\n"
                             "      表一 第 5 行，条码 800\r\n"
                             "      表一 第 6 行，条码 800\r\n"
                             "      ……另有 2 行\r\n"
                             "\r\n"
                             "  没有价格或价格不是数字：1 行\r\n"
                             "      表二 第 2 行，条码 902\r\n"
                             "\r\n"
                             "  有价格没有条码：1 行\r\n"
                             "      表二 第 3 行，价格 9\r\n"
                             "\r\n"
                             "  负数价格（扫码时会当作退货）：1 行\r\n"
                             "      表二 第 1 行，条码 901，价格 -3\r\n"));
}

TEST(TableCheck, ACleanTableSaysNothingAndAnUnreadableOneIsNotJudged) {
    TempFiles files;
    files.putText(kTable,
                  line("条码", "商品名称", "销售价") + line("6901", "茶", "3") + line("6902", "水", "2"));
    NumberFormat numbers;
    TableCheck check(numbers);
    check.beginSheet(QStringLiteral("S"));
    check.row(1, QStringLiteral("条码"), QStringLiteral("销售价"));
    check.row(2, QStringLiteral("6901"), QStringLiteral("3"));
    check.row(3, QStringLiteral("6902"), QStringLiteral("2"));
    ASSERT_TRUE(runCheck(check, files));
    EXPECT_EQ(check.summary(), std::nullopt);

    TempFiles empty;  // no table at all
    TableCheck unread(numbers);
    unread.beginSheet(QStringLiteral("S"));
    unread.row(2, QStringLiteral("6901"), QStringLiteral("3"));
    EXPECT_FALSE(runCheck(unread, empty));
}

}  // namespace
}  // namespace tovrin
