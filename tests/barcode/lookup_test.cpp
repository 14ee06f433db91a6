#include "barcode/lookup.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringMatcher>
#include <random>

#include "platform/folder.h"
#include "records/lines.h"
#include "support/fakes.h"
#include "support/line_ends.h"
#include "support/memory_files.h"

namespace tovrin {
namespace {

using test::FakePrompts;
using test::gbk;
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

TEST(Kuaisu, TheLineLimitCountsCharactersNotBytes) {
    // From the first character of the barcode to the CR: 719 characters count, 720 do not.
    struct Limit {
        int reach;
        QChar filler;
        QString message;
    };
    const Limit limits[] = {{719, u'x', kNoPrice},
                            {720, u'x', kNotFound},
                            {719, u'茶', kNoPrice},
                            {720, u'茶', kNotFound},
                            {721, u'茶', kNotFound}};
    for (const Limit& l : limits) {
        const QString line = QStringLiteral("\t111") + QString(l.reach - 3, l.filler);
        Lookup lookup(row("000", "a", "1") + line + QStringLiteral("\r\n"));
        lookup(QStringLiteral("111"));
        EXPECT_EQ(lookup.prompts.texts(), QStringList{l.message})
            << l.reach << " " << int(l.filler.unicode());
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

// The line rule as it is stated, over a text whose last line counts as ended
// by CR LF: back to the nearest line end (CR or LF) at or before p, forward to
// the first line end among the 720 characters from p; an occurrence whose
// line has no line end within those does not count, unless it lies on the
// first line.
std::optional<QString> lineAround(const QString& text, qsizetype p) {
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    const qsizetype back = text.lastIndexOf(lineEnd, p);
    qsizetype forward = text.indexOf(lineEnd, p);
    if (forward < 0) forward = text.size();
    if (forward >= 0 && forward >= p + kLineWindow) forward = -1;
    if (back >= 0) {
        if (forward < 0) return std::nullopt;
        const qsizetype start = back + 1;
        return text.mid(start, std::max<qsizetype>(0, forward - start));
    }
    // The first line of the text always counts.
    if (forward >= 0) return text.left(forward);
    return text.left(p + kLineWindow);
}

// The lookup as the rule states it, over the whole decoded table in upper
// case: the line of the single counted occurrence, or how many there were.
struct Expected {
    int count = 0;
    QString line;
};
Expected byTheRule(const QByteArray& table, const QString& barcode) {
    const QString text = upperSameLength(decodeGbk(table));
    const QString key = kong2(upperSameLength(barcode));
    Expected out;
    if (key.isEmpty()) return {2, {}};
    const QStringMatcher matcher(key);
    for (qsizetype p = matcher.indexIn(text, 0); p >= 0 && out.count < 2; p = matcher.indexIn(text, p + 1)) {
        const std::optional<QString> line = lineAround(text, p);
        if (line && ++out.count == 1) out.line = *line;
    }
    return out;
}

// Tables made of pieces that trip a byte search: GBK characters whose second
// byte is an ASCII letter, lead bytes standing alone, lone CRs and LFs, lines
// around the 720-character limit, letters in both cases.
TEST(Kuaisu, SearchingTheBytesFindsWhatTheDecodedTableHolds) {
    const std::vector<QByteArray> pieces = {"\t",
                                            "\r\n",
                                            "\r\n",
                                            "\r",
                                            "\n",
                                            "1",
                                            "12",
                                            "2",
                                            "A",
                                            "a",
                                            "B",
                                            "b",
                                            "|",
                                            "3.5",
                                            "\x81"
                                            "A",
                                            "\x81"
                                            "a",
                                            "\xb0"
                                            "A",
                                            "\xc4"
                                            "B1",
                                            "\x81",
                                            "\xff",
                                            "\x80",
                                            "\xa1\xa1",
                                            "\xb2\xe8",
                                            "\x81"
                                            "1",
                                            "\x81\r",
                                            "A1",
                                            "\tA1\t\t\t2\t"};
    const QStringList keys = {"1",  "12",  "a1", "A1", "A",  "b",  "AB", "1A",
                              "BA", "\t1", "B1", "2",  "ab", "Ab", "|",  " a 1"};
    std::mt19937 random(20181228);
    for (int round = 0; round < 400; ++round) {
        QByteArray table;
        const int n = 1 + int(random() % 40);
        for (int i = 0; i < n; ++i) {
            const unsigned pick = random() % 60;
            if (pick == 0) {
                table += QByteArray(int(700 + random() % 40), 'x');  // near the line limit
            } else if (pick == 1) {
                for (int k = int(350 + random() % 20); k > 0; --k) table += "\xb2\xe8";
            } else {
                table += pieces[random() % pieces.size()];
            }
        }
        const QString key = keys[int(random() % keys.size())];
        Lookup lookup{QString()};
        lookup.files.put(QStringLiteral("collector.txt"), table);
        const QString price = lookup(key);

        const Expected expected = byTheRule(table, key);
        const std::string context =
            QStringLiteral("key \"%1\" table %2").arg(key, QString::fromLatin1(table.toHex())).toStdString();
        QStringList message;
        QString expectedPrice;
        if (expected.count >= 2) {
            message = {kDuplicate};
        } else if (expected.count == 0) {
            message = {kNotFound};
        } else {
            const QStringList fields = splitFields(upperSameLength(expected.line));
            for (qsizetype k = 1; k < 99; ++k) {
                ASSERT_EQ(lookup.lookup.lookupFields[k], fields.value(k)) << k << " " << context;
            }
            if (fields.value(2) == kong2(upperSameLength(key)) && !fields.value(6).isEmpty()) {
                expectedPrice = fields.value(6);
            } else {
                message = {kNoPrice};
            }
        }
        ASSERT_EQ(price, expectedPrice) << context;
        ASSERT_EQ(lookup.prompts.texts(), message) << context;
    }
}

TEST(Kuaisu, LettersMatchInEitherCaseButNotInsideAChineseCharacter) {
    const QByteArray title =
        gbk(row(QStringLiteral("条码"), QStringLiteral("商品名称"), QStringLiteral("销售价")));
    // 0x81 0x41 is one character whose second byte reads "A".
    const QByteArray hidden = gbk(QStringLiteral("\t")) +
                              "\x81"
                              "A1\t\t\t\t9\r\n";
    struct ByteCase {
        const char* name;
        QByteArray table;
        QString key;
        QString price;
        QString message;
    };
    const ByteCase cases[] = {
        {"inside a character", title + hidden + gbk(row("A1", "茶", "3")), "a1", "3", {}},
        {"after a character",
         title + gbk(row("茶A1", "水", "2")) + gbk(row("A1", "茶", "3")),
         "A1",
         {},
         kDuplicate},
        {"mixed case", title + gbk(row("aB1c", "茶", "5")), "AbC", {}, kNotFound},
        {"mixed case found", title + gbk(row("aB1c", "茶", "5")), "Ab1C", "5", {}},
        {"letters only", title + gbk(row("xyz", "茶", "6")), "XYZ", "6", {}},
    };
    for (const ByteCase& c : cases) {
        Lookup lookup{QString()};
        lookup.files.put(QStringLiteral("collector.txt"), c.table);
        EXPECT_EQ(lookup(c.key), c.price) << c.name;
        const QStringList expected = c.message.isEmpty() ? QStringList{} : QStringList{c.message};
        EXPECT_EQ(lookup.prompts.texts(), expected) << c.name;
    }
}

// The item entry's value, from the table on disk and from files held in
// memory (whose bytes the lookup searches just the same).
TEST(BarcodeItem, TheEntryGetsTheGoodsOfTheLineFound) {
    const QString title = row(QStringLiteral("条码"), QStringLiteral("商品名称"), QStringLiteral("销售价"));
    struct ItemCase {
        const char* name;
        QString table;
        QString key;
        std::optional<BarcodeItem> item;
        QString message;  // the one box shown, if any
    };
    const ItemCase cases[] = {
        {"found", title + row("111", "cola 可乐", "3.5"), "111", BarcodeItem{"111", "COLA 可乐", "3.5"}, {}},
        {"letters", title + row("ab12", "茶", "4"), " Ab12 ", BarcodeItem{"AB12", "茶", "4"}, {}},
        {"chinese key", title + row("茶1", "红茶", "6"), "茶1", BarcodeItem{"茶1", "红茶", "6"}, {}},
        {"not found", title + row("111", "茶", "3"), "999", std::nullopt, kNotFound},
        {"not found, chinese key", title + row("111", "茶", "3"), "茶9", std::nullopt, kNotFound},
        {"duplicate", title + row("111", "茶", "3") + row("111", "水", "2"), "111", std::nullopt, kDuplicate},
        {"duplicate, chinese key", title + row("茶1", "a", "3") + row("茶1", "b", "2"), "茶1", std::nullopt,
         kDuplicate},
        {"no price", title + row("111", "茶", ""), "111", std::nullopt, kNoPrice},
        {"only a prefix", title + row("1234", "茶", "3"), "123", std::nullopt, kNoPrice},
    };
    for (const ItemCase& c : cases) {
        for (const bool onDisk : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (onDisk ? " on disk" : " in memory"));
            TempFiles disk;
            test::MemoryFiles memory;
            TextFiles& files = onDisk ? static_cast<TextFiles&>(disk) : memory;
            if (onDisk) {
                disk.putText(QStringLiteral("collector.txt"), c.table);
            } else {
                memory.texts[folderFile(QStringLiteral("/till"), QStringLiteral("collector.txt"))] = c.table;
            }
            FakePrompts prompts;
            BarcodeLookup lookup(files, prompts, onDisk ? disk.folder() : QStringLiteral("/till"));

            const std::optional<BarcodeItem> item = lookup.item(c.key);
            const QStringList expected = c.message.isEmpty() ? QStringList{} : QStringList{c.message};
            EXPECT_EQ(prompts.texts(), expected);
            ASSERT_EQ(item.has_value(), c.item.has_value());
            if (item) {
                EXPECT_EQ(item->barcode, c.item->barcode);
                EXPECT_EQ(item->name, c.item->name);
                EXPECT_EQ(item->price, c.item->price);
                // The fields stay filled for whoever reads them.
                EXPECT_EQ(lookup.lookupFields[2], item->barcode);
                EXPECT_EQ(lookup.lookupFields[3], item->name);
                EXPECT_EQ(lookup.lookupFields[6], item->price);
            }
            // kuaisu gives the price of the same lookup, with the same box.
            prompts.shown.clear();
            EXPECT_EQ(lookup.kuaisu(c.key), c.item ? c.item->price : QString());
            EXPECT_EQ(prompts.texts(), expected);
        }
    }
}

TEST(BarcodeItem, ATableThatCannotBeSearchedIsTold) {
    test::MemoryFiles memory;
    FakePrompts prompts;
    BarcodeLookup lookup(memory, prompts, QStringLiteral("/till"));
    EXPECT_FALSE(lookup.item(QStringLiteral("111")));
    memory.texts[QStringLiteral("/till/collector.txt")] = QString();
    EXPECT_FALSE(lookup.item(QStringLiteral("111")));
    EXPECT_FALSE(lookup.item(QStringLiteral("茶")));
    EXPECT_EQ(prompts.texts(),
              (QStringList{QStringLiteral("没有找到条码价格表 collector.txt，请先单击“更新条码价格”导入。"),
                           QStringLiteral("条码文件 open error"), QStringLiteral("条码文件 open error")}));
}

// The lookup keeps why it refused a scan, each reason with its one box, for
// whoever judges scans without showing the boxes; a later lookup forgets it.
TEST(BarcodeItem, TheRefusalNamedIsTheOneTheBoxTells) {
    using Refusal = BarcodeLookup::Refusal;
    const QString title = row(QStringLiteral("条码"), QStringLiteral("商品名称"), QStringLiteral("销售价"));
    struct RefusalCase {
        const char* name;
        std::optional<QString> table;  // nullopt: no table
        QString key;
        Refusal refusal;
        QString message;
    };
    const RefusalCase cases[] = {
        {"found", title + row("111", "茶", "3"), "111", Refusal::None, {}},
        {"not found", title + row("111", "茶", "3"), "999", Refusal::NotFound, kNotFound},
        {"not found, chinese key", title + row("111", "茶", "3"), "茶9", Refusal::NotFound, kNotFound},
        {"duplicate", title + row("111", "茶", "3") + row("111", "水", "2"), "111", Refusal::Duplicate,
         kDuplicate},
        {"empty key", title + row("111", "茶", "3"), " ", Refusal::Duplicate, kDuplicate},
        {"no price", title + row("111", "茶", ""), "111", Refusal::NoPrice, kNoPrice},
        {"only a prefix", title + row("1234", "茶", "3"), "123", Refusal::NoPrice, kNoPrice},
        {"no table", std::nullopt, "111", Refusal::Unusable,
         QStringLiteral("没有找到条码价格表 collector.txt，请先单击“更新条码价格”导入。")},
        {"empty table", QString(), "茶", Refusal::Unusable, QStringLiteral("条码文件 open error")},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::MemoryFiles memory;
        const QString table = QStringLiteral("/till/collector.txt");
        memory.texts[table] = title + row("555", "水", "2");
        FakePrompts prompts;
        BarcodeLookup lookup(memory, prompts, QStringLiteral("/till"));
        ASSERT_TRUE(lookup.item(QStringLiteral("555")));
        EXPECT_EQ(lookup.lastRefusal(), Refusal::None);
        if (c.table) {
            memory.texts[table] = *c.table;
        } else {
            memory.texts.erase(table);
        }
        EXPECT_EQ(lookup.item(c.key).has_value(), c.refusal == Refusal::None);
        EXPECT_EQ(lookup.lastRefusal(), c.refusal);
        EXPECT_EQ(prompts.texts(), c.message.isEmpty() ? QStringList{} : QStringList{c.message});
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

// What a scan gives: the price, every box shown and the fields kept.
struct Scan {
    QString price;
    QStringList boxes;
    QStringList fields;
    friend bool operator==(const Scan&, const Scan&) = default;
};
void PrintTo(const Scan& s, std::ostream* os) {
    *os << s.price.toStdString() << " | " << s.boxes.join(QLatin1Char('/')).toStdString() << " | "
        << s.fields.join(QLatin1Char('/')).toStdString();
}

Scan scan(const QByteArray& table, const QString& key) {
    TempFiles files;
    files.put(QStringLiteral("collector.txt"), table);
    FakePrompts prompts;
    BarcodeLookup lookup(files, prompts, files.folder());
    Scan out;
    out.price = lookup.kuaisu(key);
    out.boxes = prompts.texts();
    for (int k = 1; k <= 12; ++k) out.fields << lookup.lookupFields[size_t(k)];
    return out;
}

// The same table with other line ends or in UTF-8 resolves every key as the
// till's own CR LF table does: the first line, the middle, the last, a
// duplicate, a missing price, a name of Chinese and Latin letters.
TEST(LookupLineEnds, EveryLineEndAndUtf8ResolveAsCrLf) {
    const QString table = row(QStringLiteral("6901"), QStringLiteral("可乐 cola"), QStringLiteral("3.5")) +
                          row(QStringLiteral("6902"), QStringLiteral("茶"), QStringLiteral("2")) +
                          row(QStringLiteral("6903"), QStringLiteral("水"), QString()) +
                          row(QStringLiteral("6904"), QStringLiteral("面包"), QStringLiteral("6")) +
                          row(QStringLiteral("6904"), QStringLiteral("面包"), QStringLiteral("6")) +
                          row(QStringLiteral("ab7"), QStringLiteral("薯片"), QStringLiteral("4.5")) +
                          row(QStringLiteral("6906"), QStringLiteral("牛奶"), QStringLiteral("5"));
    const QStringList keys = {QStringLiteral("6901"), QStringLiteral("6902"), QStringLiteral("6903"),
                              QStringLiteral("6904"), QStringLiteral("AB7"),  QStringLiteral("6906"),
                              QStringLiteral("6999"), QStringLiteral("牛奶")};
    const QByteArray crLf = encodeGbk(table);
    for (const QString& key : keys) {
        const Scan expected = scan(crLf, key);
        for (const test::FileVariant& variant : test::fileVariants()) {
            EXPECT_EQ(scan(variant.bytes(table), key), expected) << variant.name << " " << key.toStdString();
        }
    }
    // The CR LF table itself, as the cashier knows it.
    EXPECT_EQ(scan(crLf, QStringLiteral("6901")).price, QStringLiteral("3.5"));
    EXPECT_EQ(scan(crLf, QStringLiteral("6906")).price, QStringLiteral("5"));
    EXPECT_EQ(scan(crLf, QStringLiteral("6903")).boxes,
              QStringList{QStringLiteral("没有该商品条码对应的价格！")});
}

// Lines a script appended with LF to a CR LF table: each is a line of its
// own, so a row without a price has no price rather than the next row's
// barcode.
TEST(LookupLineEnds, LinesAppendedWithLfAreLinesOfTheirOwn) {
    const QString head = row(QStringLiteral("6901"), QStringLiteral("可乐"), QStringLiteral("3.5"));
    const QByteArray table = encodeGbk(head) + "\t6905\tX\t\t\t\n\t6906\tY\t\t\t7\t\t\t\t\t\t\n";
    EXPECT_EQ(scan(table, QStringLiteral("6905")),
              (Scan{QString(),
                    {QStringLiteral("没有该商品条码对应的价格！")},
                    {QString(), QStringLiteral("6905"), QStringLiteral("X"), QString(), QString(), QString(),
                     QString(), QString(), QString(), QString(), QString(), QString()}}));
    EXPECT_EQ(scan(table, QStringLiteral("6906")).price, QStringLiteral("7"));
    EXPECT_EQ(scan(table, QStringLiteral("6901")).price, QStringLiteral("3.5"));
}

// A barcode in the middle of a long LF table is found by its own line.
TEST(LookupLineEnds, AMiddleRowOfALongLfTable) {
    QByteArray table;
    for (int i = 0; i < 5000; ++i) {
        table += "\t690" + QByteArray::number(100000 + i) + "\tgoods\t\t\t" + QByteArray::number(i % 97 + 1) +
                 "\t\t\t\t\t\t\n";
    }
    const Scan found = scan(table, QStringLiteral("690102500"));
    EXPECT_EQ(found.price, QString::number(2500 % 97 + 1));
    EXPECT_TRUE(found.boxes.isEmpty());
}

}  // namespace
}  // namespace tovrin
