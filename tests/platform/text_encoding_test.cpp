#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace tovrin {
namespace {

// A file is UTF-8 when it says so or plainly is; anything in doubt is GBK,
// the till's own encoding.
TEST(TextEncoding, ToldFromTheFirstBytes) {
    const QString goods = QStringLiteral("\t6901\t可乐\t\t\t3.5\r\n\t6902\t茶\t\t\t2\r\n");
    const struct {
        const char* name;
        QByteArray head;
        TextEncoding encoding;
    } cases[] = {
        {"GBK of Chinese", encodeGbk(goods), TextEncoding::Gbk},
        {"UTF-8 of Chinese", goods.toUtf8(), TextEncoding::Utf8},
        {"UTF-8 with its mark", QByteArray("\xEF\xBB\xBF") + "6901", TextEncoding::Utf8},
        {"ASCII only", "\t6901\tcola\t\t\t3.5\r\n", TextEncoding::Gbk},
        {"empty", {}, TextEncoding::Gbk},
        {"two Chinese characters are not enough", QStringLiteral("可乐").toUtf8(), TextEncoding::Gbk},
        {"three are", QStringLiteral("可乐茶").toUtf8(), TextEncoding::Utf8},
        {"valid UTF-8 by chance in GBK: 脛", encodeGbk(QStringLiteral("脛")), TextEncoding::Gbk},
        {"UTF-8, then a byte it forbids",
         QStringLiteral("可乐").toUtf8() + "\xFF" + QStringLiteral("茶茶").toUtf8(), TextEncoding::Gbk},
        {"the sample ends inside a character", QStringLiteral("可乐").toUtf8() + "\xE8\x8C",
         TextEncoding::Gbk},
    };
    for (const auto& c : cases) EXPECT_EQ(sniffEncoding(c.head), c.encoding) << c.name;
}

// A UTF-8 file keeps the lines the till appended in GBK readable: each line
// is read in the encoding it is valid in.
TEST(TextEncoding, Utf8WithGbkLinesAppended) {
    const QString first = QStringLiteral("2018-5-12 9:00:00\t折扣：\t0\r\n");
    const QString second = QStringLiteral("2018-5-12 9:10:00\t折扣：\t1\r\n");
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + first.toUtf8() + encodeGbk(second);
    EXPECT_EQ(decodeText(bytes, sniffEncoding(bytes)), first + second);
    EXPECT_EQ(decodeText(encodeGbk(second), TextEncoding::Gbk), second);
}

// The files read a UTF-8 file as UTF-8, whole or a window at a time.
TEST(TextEncoding, FilesReadUtf8) {
    test::TempFiles files;
    const QString text = QStringLiteral("\t6901\t可乐\t\t\t3.5\n\t6902\t茶\t\t\t2\n");
    files.put(QStringLiteral("collector.txt"), text.toUtf8());
    EXPECT_EQ(files.read(files.path(QStringLiteral("collector.txt"))).text, text);
    ByteFile bytes(files.path(QStringLiteral("collector.txt")));
    EXPECT_EQ(bytes.encoding(), TextEncoding::Utf8);
    files.put(QStringLiteral("gbk.txt"), encodeGbk(text));
    EXPECT_EQ(files.read(files.path(QStringLiteral("gbk.txt"))).text, text);
    EXPECT_EQ(ByteFile(files.path(QStringLiteral("gbk.txt"))).encoding(), TextEncoding::Gbk);
}

}  // namespace
}  // namespace tovrin
