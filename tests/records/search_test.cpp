#include <gtest/gtest.h>

#include <QRegularExpression>
#include <random>

#include "platform/bytefile.h"
#include "platform/qt/gbk_text_files.h"
#include "records/haystack.h"
#include "records/lines.h"
#include "support/fakes.h"

namespace tovrin {
namespace {

using test::TempFiles;

// Journal-like text with what can mislead a byte search: Chinese characters
// whose second GBK byte is "\" or "|", lower-case letters, dates that are
// prefixes of other dates, lines too long for the line rule and stretches
// without any line break.
QString randomJournal(std::mt19937& rng, int lines) {
    const QStringList pieces = {QStringLiteral("2018-5-1 9:05:07"),
                                QStringLiteral("2018-5-12 10:00:00"),
                                QStringLiteral("2018-5-"),
                                QStringLiteral("2018-12-31 23:59:59"),
                                QStringLiteral("2019-1-1 0:00:01"),
                                QStringLiteral("2018\\5\\1 "),
                                QStringLiteral("乗\\5\\1 "),
                                QStringLiteral("亅|"),
                                QStringLiteral("\t商品总价格：  \t"),
                                QStringLiteral("abc"),
                                QStringLiteral("商品:  牛奶"),
                                QStringLiteral("|"),
                                QStringLiteral(" "),
                                QStringLiteral("12.5"),
                                QStringLiteral("\r\n"),
                                QStringLiteral("\r\n"),
                                QStringLiteral("\r"),
                                QStringLiteral("\n")};
    std::uniform_int_distribution<int> pick(0, int(pieces.size()) - 1);
    std::uniform_int_distribution<int> count(1, 12);
    std::uniform_int_distribution<int> rare(0, 40);
    QString text;
    for (int l = 0; l < lines; ++l) {
        const int n = count(rng);
        for (int i = 0; i < n; ++i) text += pieces[pick(rng)];
        if (rare(rng) == 0) text += QString(800, u'商');
        if (rare(rng) == 0) text += QString(1500, u'x');
        if (rare(rng) != 1) text += QStringLiteral("\r\n");
    }
    return text;
}

TEST(ByteFile, SearchesAcrossItsWindowsLikeASearchOfTheWholeFile) {
    TempFiles files;
    std::mt19937 rng(7);
    const QByteArray bytes = encodeGbk(randomJournal(rng, 600));
    ASSERT_GT(bytes.size(), 5 * 4096);
    files.put(QStringLiteral("j.txt"), bytes);
    ByteFile file(files.path(QStringLiteral("j.txt")), 4096);
    ASSERT_EQ(file.state(), ByteFile::State::HasContent);

    const QList<QByteArray> needles = {"\r", "2018-5-1 ", "2018-5-", "\\5\\1 ", "2019-", "|"};
    std::uniform_int_distribution<qint64> at(0, bytes.size());
    for (const QByteArray& needle : needles) {
        for (int i = 0; i < 200; ++i) {
            const qint64 from = at(rng);
            const qint64 bound = at(rng);
            qint64 expected = bytes.indexOf(needle, from);
            if (expected >= bound) expected = -1;
            ASSERT_EQ(file.indexOf(needle, from, bound), expected) << needle.constData() << " from " << from;
            expected = bytes.lastIndexOf(needle, from);
            if (expected < bound) expected = -1;
            ASSERT_EQ(file.lastIndexOf(needle, from, bound), expected)
                << needle.constData() << " back " << from;
            ASSERT_EQ(file.bytes(from, bound), bound > from ? bytes.mid(from, bound - from) : QByteArray());
        }
    }
    // A line end is a CR or an LF, searched both ways across the windows.
    static const QRegularExpression lineEnd(QStringLiteral("[\\r\\n]"));
    const QString latin = QString::fromLatin1(bytes);
    for (int i = 0; i < 400; ++i) {
        const qint64 from = at(rng);
        const qint64 bound = at(rng);
        qint64 expected = latin.indexOf(lineEnd, from);
        if (expected >= bound) expected = -1;
        ASSERT_EQ(file.indexOfLineEnd(from, bound), expected) << "from " << from;
        expected = latin.lastIndexOf(lineEnd, std::min<qint64>(from, latin.size() - 1));
        if (expected < bound) expected = -1;
        ASSERT_EQ(file.lastIndexOfLineEnd(from, bound), expected) << "back " << from;
    }
}

TEST(ByteFile, TellsMissingEmptyAndFilledApart) {
    TempFiles files;
    files.put(QStringLiteral("empty.txt"), {});
    EXPECT_EQ(ByteFile(files.path(QStringLiteral("none.txt"))).state(), ByteFile::State::Missing);
    EXPECT_EQ(ByteFile(files.path(QStringLiteral("empty.txt"))).state(), ByteFile::State::Empty);
    EXPECT_EQ(ByteFile(files.folder()).state(), ByteFile::State::Unreadable);
}

// The byte search of the journal finds what the search of the decoded,
// upper-cased text finds: the same lines and the same period sections.
TEST(JournalSearch, BytesAndDecodedTextGiveTheSameResults) {
    TempFiles files;
    const QStringList keys = {QStringLiteral("2018-5-1"), QStringLiteral("2018-5"), QStringLiteral("2018\\5"),
                              QStringLiteral("2018-12-31"), QStringLiteral("2019")};
    const QStringList terminators = {QStringLiteral(" "), QStringLiteral("-"), QStringLiteral("\\"),
                                     QString()};
    const QStringList markers = {QStringLiteral("2018-"), QStringLiteral("2019-"), QStringLiteral("2018\\"),
                                 QString()};
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        const QByteArray bytes = encodeGbk(randomJournal(rng, 300));
        files.put(QStringLiteral("j.txt"), bytes);
        ByteFile file(files.path(QStringLiteral("j.txt")), 4096);
        FileHaystack inBytes(file);
        TextHaystack decoded(upperSameLength(decodeGbk(bytes) + QStringLiteral("\r\n")));
        for (const QString& key : keys) {
            for (const QString& terminator : terminators) {
                const QString needle = key + terminator;
                ASSERT_TRUE(byteSafe(needle));
                ASSERT_EQ(gatherLines(inBytes, needle), gatherLines(decoded, needle))
                    << seed << " " << qPrintable(needle);
                for (const QString& marker : markers) {
                    ASSERT_EQ(periodSection(inBytes, key, needle, marker),
                              periodSection(decoded, key, needle, marker))
                        << seed << " " << qPrintable(needle) << " " << qPrintable(marker);
                }
            }
        }
    }
}

TEST(JournalSearch, ByteSafeTexts) {
    EXPECT_TRUE(byteSafe(QStringLiteral("2018-5-12 ")));
    EXPECT_TRUE(byteSafe(QStringLiteral("2018\\5\\")));
    EXPECT_FALSE(byteSafe(QStringLiteral("\\5")));  // can be a second byte
    EXPECT_FALSE(byteSafe(QStringLiteral("2018a")));
    EXPECT_FALSE(byteSafe(QStringLiteral("2018年")));
}

TEST(JournalSearch, RepeatsKeepTheirLastCopyInPlace) {
    const auto q = [](const char* s) { return QString::fromLatin1(s); };
    EXPECT_EQ(keepLastCopies({q("a"), q("b"), q("a"), q(""), q("c"), q("b")}),
              (std::vector<QString>{q("a"), q("c"), q("b")}));
}

// Every lone CR and lone LF becomes CR LF; a CR LF stays, and so does a CR
// that ends the text (its LF may lie beyond the cut).
TEST(LineEnds, WrittenAsCrLf) {
    const struct {
        const char* text;
        const char* crLf;
    } cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\n"},   {"a\nb\n", "a\r\nb\r\n"},     {"a\rb\rc", "a\r\nb\r\nc"},
        {"a\n\r\nb\r", "a\r\n\r\nb\r"}, {"\na\n\n", "\r\na\r\n\r\n"}, {"", ""},
        {"a\r\rb", "a\r\n\r\nb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(withCrLf(QByteArray(c.text)), QByteArray(c.crLf)) << c.text;
        EXPECT_EQ(withCrLf(QString::fromLatin1(c.text)), QString::fromLatin1(c.crLf)) << c.text;
    }
}

// The line rule with its budget: lines are gathered while they fit, then the
// gathering stops, incomplete, before the line that would pass it.
TEST(JournalSearch, GatheringStopsAtItsBudget) {
    const QString text = QStringLiteral("k1\nk22\nk333\n");
    struct Case {
        qint64 budget;
        std::vector<QString> lines;
        bool complete;
    };
    const qint64 c = kLineCost;
    const Case cases[] = {
        {2 + c + 3 + c + 4 + c, {QStringLiteral("K1"), QStringLiteral("K22"), QStringLiteral("K333")}, true},
        {2 + c + 3 + c + 4 + c - 1, {QStringLiteral("K1"), QStringLiteral("K22")}, false},
        {2 + c, {QStringLiteral("K1")}, false},
        {0, {}, false},
    };
    for (const Case& k : cases) {
        TextHaystack haystack(upperSameLength(text + QStringLiteral("\r\n")));
        const Gathered got =
            gatherLines(haystack, QStringLiteral("K"), std::numeric_limits<size_t>::max(), k.budget);
        EXPECT_EQ(got.lines, k.lines) << k.budget;
        EXPECT_EQ(got.complete, k.complete) << k.budget;
    }
}

// One line of 50 MB with the key every 100 bytes: every key lies on the first
// line, whose text before it is its line. The real budget stops the
// gathering long before the lines reach gigabytes.
TEST(JournalSearch, OneHugeLineStopsAtTheRealBudget) {
    TempFiles files;
    QByteArray piece = "2018-5-12 9:30:00\t";
    piece += QByteArray(100 - piece.size(), '.');
    files.put(QStringLiteral("j.txt"), piece.repeated(500000));
    ByteFile file(files.path(QStringLiteral("j.txt")));
    FileHaystack haystack(file);
    const Gathered got = gatherLines(haystack, QStringLiteral("2018-5-12 "));
    EXPECT_FALSE(got.complete);
    qint64 total = 0;
    for (const QString& line : got.lines) total += line.size() + kLineCost;
    EXPECT_LE(total, kReportText);
    EXPECT_GT(total, kReportText / 2);  // most of it was used
}

}  // namespace
}  // namespace tovrin
