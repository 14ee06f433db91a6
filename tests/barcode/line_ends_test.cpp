#include "support/line_ends.h"

#include <gtest/gtest.h>

#include "barcode/lookup.h"
#include "support/fakes.h"

namespace tovrin {
namespace {

using test::FakePrompts;
using test::TempFiles;

QString row(const QString& barcode, const QString& name, const QString& price) {
    return QStringLiteral("\t") + barcode + QStringLiteral("\t") + name + QStringLiteral("\t\t\t") + price +
           QStringLiteral("\t\t\t\t\t\t\r\n");
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
