#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/clock.h"
#include "support/fakes.h"
#include "support/memory_files.h"

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

TEST(TextFiles, OpenBytesByDefaultHoldsTheTextInGbk) {
    test::MemoryFiles files;
    files.texts[QStringLiteral("a")] = QStringLiteral("商品\t1\r\n");
    files.texts[QStringLiteral("empty")] = QString();
    const auto bytes = files.openBytes(QStringLiteral("a"));
    EXPECT_EQ(bytes->state(), ByteFile::State::HasContent);
    EXPECT_EQ(bytes->size(), 8);
    EXPECT_EQ(bytes->indexOf("\t1", 0), 4);
    EXPECT_EQ(bytes->lastIndexOf("\r\n", 7), 6);
    EXPECT_EQ(bytes->bytes(0, 4), QByteArray("\xc9\xcc\xc6\xb7"));
    EXPECT_EQ(files.openBytes(QStringLiteral("empty"))->state(), ByteFile::State::Empty);
    EXPECT_EQ(files.openBytes(QStringLiteral("none"))->state(), ByteFile::State::Missing);
}

TEST(TextFiles, AReplacementReachesTheFileOnlyAtCommit) {
    test::MemoryFiles held;
    TempFiles disk;
    for (TextFiles* files : {static_cast<TextFiles*>(&held), static_cast<TextFiles*>(&disk)}) {
        const QString path = files == &held ? QStringLiteral("t.txt") : disk.path(QStringLiteral("t.txt"));
        ASSERT_FALSE(files->rewrite(path, QStringLiteral("old\r\n")));
        {
            const auto dropped = files->replace(path);
            EXPECT_TRUE(dropped->write(QStringLiteral("never")));
        }
        EXPECT_EQ(files->read(path).text, QStringLiteral("old\r\n"));

        const auto next = files->replace(path);
        ASSERT_TRUE(next->failure().isEmpty());
        EXPECT_TRUE(next->write(QStringLiteral("\t条码\r\n")));
        const qint64 kept = next->size();
        EXPECT_EQ(kept, 7);
        EXPECT_TRUE(next->write(QStringLiteral("\t\t\r\n")));
        EXPECT_TRUE(next->cutBack(kept));
        EXPECT_EQ(files->read(path).text, QStringLiteral("old\r\n"));
        EXPECT_FALSE(next->commit());
        EXPECT_EQ(files->read(path).text, QStringLiteral("\t条码\r\n"));
    }
    EXPECT_EQ(disk.bytes(QStringLiteral("t.txt")), QByteArray("\t\xcc\xf5\xc2\xeb\r\n"));
}

TEST(TextFiles, AFolderCannotBeReplaced) {
    TempFiles files;
    QDir(files.folder()).mkdir(QStringLiteral("dir.txt"));
    const auto replacement = files.replace(files.path(QStringLiteral("dir.txt")));
    EXPECT_EQ(replacement->failure(), QStringLiteral("这是一个文件夹"));
    EXPECT_FALSE(replacement->write(QStringLiteral("x")));
    EXPECT_EQ(replacement->commit(), QStringLiteral("这是一个文件夹"));
    EXPECT_TRUE(QFileInfo(files.path(QStringLiteral("dir.txt"))).isDir());
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
