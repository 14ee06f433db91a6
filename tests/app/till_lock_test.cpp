#include "app/till_lock.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

namespace tovrin {
namespace {

TEST(TillLock, LetsOneRunPerFolder) {
    QTemporaryDir folder, other;
    TillLock first(folder.path());
    TillLock second(folder.path());
    TillLock elsewhere(other.path());
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("tovrin.lock"))));
    EXPECT_FALSE(second.acquire());
    EXPECT_TRUE(elsewhere.acquire());
    first.release();
    EXPECT_TRUE(second.acquire());
}

TEST(TillLock, KeepsTheLockOfARunThatHasBeenOpenForDays) {
    QTemporaryDir folder;
    TillLock running(folder.path());
    ASSERT_TRUE(running.acquire());
    QFile file(folder.filePath(QStringLiteral("tovrin.lock")));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        file.setFileTime(QDateTime::currentDateTime().addDays(-3), QFileDevice::FileModificationTime));
    file.close();
    TillLock second(folder.path());
    EXPECT_FALSE(second.acquire());
}

TEST(TillLock, TakesOverTheLockOfARunThatEnded) {
    QTemporaryDir folder;
    // What a crashed run leaves: its process number, name and host.
    QFile file(folder.filePath(QStringLiteral("tovrin.lock")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("2147483000\ntovrin\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    file.close();
    TillLock next(folder.path());
    EXPECT_TRUE(next.acquire());
}

}  // namespace
}  // namespace tovrin
