#include "records/columns.h"

#include <gtest/gtest.h>

#include "platform/text_encoding.h"

namespace tovrin {
namespace {

struct PadCase {
    QString text;
    double width;
    QString padded;
    QString trimmed;  // what the caller's variable holds afterwards
};

TEST(Tiaozhen, PadsToOneColumnPastTheWidth) {
    const std::vector<PadCase> cases = {
        {QStringLiteral("折扣合计："), 18, QStringLiteral("折扣合计：") + QString(9, u' '),
         QStringLiteral("折扣合计：")},
        {QStringLiteral("12.5"), 8, QStringLiteral("12.5     "), QStringLiteral("12.5")},
        {QStringLiteral("12345.67"), 8, QStringLiteral("12345.67"), QStringLiteral("12345.67")},
        {QStringLiteral("123456.78"), 8, QStringLiteral("123456.78"), QStringLiteral("123456.78")},
        {QStringLiteral("  abc  "), 3, QStringLiteral("abc"), QStringLiteral("abc")},
        {QString(), 8, QString(9, u' '), QString()},
        // Only blanks are trimmed; TAB, CR and LF stay and count one column.
        {QStringLiteral("\r\nab \t "), 7, QStringLiteral("\r\nab \t  "), QStringLiteral("\r\nab \t")},
        // A fractional width: one blank per whole number from the width up.
        {QStringLiteral("ab"), 4.5, QStringLiteral("ab   "), QStringLiteral("ab")},
    };
    for (const PadCase& c : cases) {
        QString variable = c.text;
        EXPECT_EQ(tiaozhen(variable, c.width), c.padded) << qPrintable(c.text);
        EXPECT_EQ(variable, c.trimmed) << qPrintable(c.text);
    }
}

TEST(DisplayWidth, CountsGbkBytes) {
    EXPECT_EQ(displayWidth(QStringLiteral("商品:  ab")), 9);
    EXPECT_EQ(displayWidth(QStringLiteral("\t\r\n")), 3);
    EXPECT_EQ(displayWidth(QString(QChar(0))), 2);
    // Hangul has no GBK code: written as "?", one column.
    EXPECT_EQ(displayWidth(QStringLiteral("한")), 1);
    // Only codes 1 to 127 count one column: the euro sign is the one-byte
    // 0x80 in GBK, and counts two.
    ASSERT_EQ(encodeGbk(QStringLiteral("€")), QByteArray("\x80"));
    EXPECT_EQ(displayWidth(QStringLiteral("€")), 2);
    EXPECT_EQ(displayWidth(QStringLiteral("a€商")), 5);
}

}  // namespace
}  // namespace tovrin
