#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/clock.h"
#include "support/fakes.h"

namespace tovrin {
namespace {

using test::TempFiles;

TEST(TextFiles, TellsMissingEmptyAndFilledApart) {
    TempFiles files;
    EXPECT_EQ(files.read(files.path(QStringLiteral("none.txt"))).state, TextFiles::State::Missing);
    files.put(QStringLiteral("empty.txt"), {});
    EXPECT_EQ(files.read(files.path(QStringLiteral("empty.txt"))).state, TextFiles::State::Empty);
    files.put(QStringLiteral("full.txt"), "\xc9\xcc\xc6\xb7\r\n");  // 商品 in GBK
    const auto read = files.read(files.path(QStringLiteral("full.txt")));
    EXPECT_EQ(read.state, TextFiles::State::HasContent);
    EXPECT_EQ(read.text, QStringLiteral("商品\r\n"));
    QDir(files.folder()).mkdir(QStringLiteral("dir.txt"));
    EXPECT_EQ(files.read(files.path(QStringLiteral("dir.txt"))).state, TextFiles::State::Unreadable);
}

TEST(TextFiles, AppendWritesGbkRecordAndCrLf) {
    TempFiles files;
    const QString path = files.path(QStringLiteral("j.txt"));
    ASSERT_FALSE(files.append(path, QStringLiteral("找零：\t1")));
    ASSERT_FALSE(files.append(path, QStringLiteral("a\r\n")));
    EXPECT_EQ(files.bytes(QStringLiteral("j.txt")), QByteArray("\xd5\xd2\xc1\xe3\xa3\xba\t1\r\na\r\n\r\n"));
}

TEST(TextFiles, FailuresNameTheReason) {
    TempFiles files;
    QDir(files.folder()).mkdir(QStringLiteral("blocked.txt"));
    const auto failure = files.append(files.path(QStringLiteral("blocked.txt")), QStringLiteral("x"));
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->isEmpty());
    EXPECT_TRUE(files.rewrite(files.path(QStringLiteral("no/such/dir.txt")), QString()).has_value());
}

TEST(DateTimeText, MonthDayAndHourWithoutLeadingZero) {
    test::FakeClock clock;
    clock.set(QStringLiteral("2018-05-12T09:05:07"));
    EXPECT_EQ(clock.dateTimeText(), QStringLiteral("2018-5-12 9:05:07"));
    EXPECT_EQ(clock.dateText(), QStringLiteral("2018-5-12"));
    clock.set(QStringLiteral("2018-12-01T00:00:00"));
    EXPECT_EQ(clock.dateTimeText(), QStringLiteral("2018-12-1 0:00:00"));  // midnight keeps its time
    clock.separator = QLatin1Char('/');
    EXPECT_EQ(clock.dateText(), QStringLiteral("2018/12/1"));
}

}  // namespace
}  // namespace tovrin
