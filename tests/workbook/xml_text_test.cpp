#include "workbook/xml_text.h"

#include <gtest/gtest.h>

#include <QByteArrayList>
#include <QRandomGenerator>
#include <cmath>
#include <cstring>

namespace tovrin {
namespace {

// The conversions from the bytes agree with QString's on the same text: the
// texts here are read both ways.
QString qt(const QByteArray& utf8) {
    // QString::fromUtf8() drops a byte order mark at the start; the parser
    // gives it as a character.
    return QString::fromUtf8(QByteArray("x") + utf8).mid(1);
}

const QList<QByteArray> kTexts = {
    "",
    "a",
    "6901234567890",
    "exactly8",
    "nine char",
    "\xEF\xBB\xBF"
    "BOM first",
    "可口可乐 330ml",
    "商品名称12345678",
    "\xF0\x9F\x98\x80 emoji \xF0\xA0\x80\x80",
    "_x000D_ and \xC3\xA9\xC3\xA8",
    "mixed \xE4\xB8\xAD 12345678 \xF0\x9F\x8D\xBA tail",
};

TEST(XmlText, Utf8TextsBecomeTheSameQString) {
    for (const QByteArray& text : kTexts) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(xml_text::utf16Size(text), qt(text).size());
        EXPECT_EQ(xml_text::decode(text), qt(text));
        QString appended = QStringLiteral("前");
        xml_text::append(appended, text, xml_text::utf16Size(text));
        EXPECT_EQ(appended, QStringLiteral("前") + qt(text));
    }
}

TEST(XmlText, RandomCharactersBecomeTheSameQString) {
    QRandomGenerator random(27);
    for (int round = 0; round < 2000; ++round) {
        QString expected;
        const int length = int(random.bounded(40));
        for (int i = 0; i < length; ++i) {
            // ASCII, two-, three- and four-byte characters, no surrogates.
            const quint32 ranges[][2] = {
                {0x20, 0x7F}, {0x80, 0x800}, {0x800, 0xD800}, {0xE000, 0x10000}, {0x10000, 0x110000}};
            const auto& range = ranges[random.bounded(5)];
            const char32_t c = char32_t(random.bounded(range[0], range[1]));
            expected += QString::fromUcs4(&c, 1);
        }
        const QByteArray utf8 = expected.toUtf8();
        ASSERT_EQ(xml_text::utf16Size(utf8), expected.size()) << utf8.toHex().toStdString();
        ASSERT_EQ(xml_text::decode(utf8), expected) << utf8.toHex().toStdString();
    }
}

bool sameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(XmlText, NumbersAreReadAsQStringReadsThem) {
    const QList<QByteArray> texts = {
        "0",
        "-0",
        "-0.0",
        "12.5",
        "  12.5\t",
        "00012.50",
        "1e5",
        "1E-5",
        "2.5e+3",
        "3.5",
        "0.1",
        "0.3",
        "1.23456789012345",
        "123456789012345",
        "1234567890123456",
        "9007199254740993",
        "1e22",
        "1e23",
        "1e-22",
        "1e-23",
        "4e-320",
        "1e-400",
        "1e400",
        "1.",
        ".5",
        "+5",
        "5e",
        "0x10",
        "inf",
        "nan",
        "",
        " ",
        "abc",
        "1,5",
        "1 5",
        "--1",
        "1e+",
        "\xC2\xA0"
        "5",
        "\xD9\xA5",
        "12\xE3\x80\x80",
    };
    for (const QByteArray& text : texts) {
        SCOPED_TRACE(text.toStdString());
        bool ok = false;
        const double expected = qt(text).toDouble(&ok);
        const std::optional<double> value = xml_text::toDouble(text);
        ASSERT_EQ(value.has_value(), ok);
        if (ok) {
            EXPECT_TRUE(sameDouble(*value, expected)) << *value << " " << expected;
        }
        // Plain numbers are read without Qt, and agree with it.
        if (const std::optional<double> plain = xml_text::plainNumber(text)) {
            ASSERT_TRUE(ok);
            EXPECT_TRUE(sameDouble(*plain, expected));
        }
    }
    for (const char* plain : {"0", "-0", "12.5", " 3 ", "1e5", "2.5E-3", "123456789012345"}) {
        EXPECT_TRUE(xml_text::plainNumber(plain).has_value()) << plain;
    }
}

TEST(XmlText, RandomPlainNumbersAreReadAsQStringReadsThem) {
    QRandomGenerator random(1004);
    for (int round = 0; round < 20000; ++round) {
        QByteArray text;
        if (random.bounded(2)) text += '-';
        text += QByteArray::number(random.bounded(quint64(1) << random.bounded(1, 53)));
        if (random.bounded(2))
            text += '.' + QByteArray::number(random.bounded(100000)).rightJustified(5, '0');
        if (random.bounded(3) == 0) text += 'e' + QByteArray::number(int(random.bounded(60)) - 30);
        bool ok = false;
        const double expected = qt(text).toDouble(&ok);
        ASSERT_TRUE(ok) << text.toStdString();
        const std::optional<double> value = xml_text::toDouble(text);
        ASSERT_TRUE(value.has_value()) << text.toStdString();
        ASSERT_TRUE(sameDouble(*value, expected)) << text.toStdString();
    }
}

TEST(XmlText, IntegersAreReadAsQStringReadsThem) {
    const QList<QByteArray> texts = {"0",
                                     "5",
                                     " 5",
                                     "5 ",
                                     "+5",
                                     "-5",
                                     "05",
                                     "2147483647",
                                     "2147483648",
                                     "-2147483648",
                                     "",
                                     "x",
                                     "1.0",
                                     "1e3",
                                     "999999999999999999",
                                     "9223372036854775807",
                                     "9223372036854775808",
                                     "\xD9\xA5",
                                     "\xC2\xA0"
                                     "7"};
    for (const QByteArray& text : texts) {
        SCOPED_TRACE(text.toStdString());
        bool ok = false;
        const qint64 longLong = qt(text).toLongLong(&ok);
        EXPECT_EQ(xml_text::toLongLong(text), ok ? std::optional<qint64>(longLong) : std::nullopt);
        const int integer = qt(text).toInt(&ok);
        EXPECT_EQ(xml_text::toInt(text), ok ? std::optional<int>(integer) : std::nullopt);
    }
}

TEST(XmlText, CaseBlindComparisonIsQStrings) {
    for (const QByteArray& text : QList<QByteArray>{"true", "TRUE", "tRuE", "true ", "tru", "",
                                                    "\xC5\xBF"
                                                    "alse",
                                                    "fal\xC5\xBF"
                                                    "e",
                                                    "External", "EXTERNAL"}) {
        for (const char* word : {"true", "false", "External"}) {
            EXPECT_EQ(xml_text::equalsCaseBlind(text, word),
                      qt(text).compare(QLatin1StringView(word), Qt::CaseInsensitive) == 0)
                << text.toStdString() << " " << word;
        }
    }
}

}  // namespace
}  // namespace tovrin
