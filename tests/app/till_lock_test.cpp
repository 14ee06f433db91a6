#include "app/till_lock.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <csignal>
#include <functional>

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

// Takes the lock in a child (in a fresh PID namespace of its own when asked,
// where it is process 1) and waits there to be killed; the pid to kill, or
// -1 when the child could not start that way.
pid_t holdInChild(const QString& folder, bool ownPidNamespace, pid_t& reaped) {
    int ready[2], pids[2];
    if (pipe(ready) != 0 || pipe(pids) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        close(pids[0]);
        auto hold = [&](pid_t self) {
            TillLock lock(folder);
            const char answer = lock.acquire() ? '1' : '0';
            if (write(ready[1], &self, sizeof self) != sizeof self || write(ready[1], &answer, 1) != 1)
                _exit(2);
            for (;;) pause();
        };
        if (!ownPidNamespace) hold(getpid());
        if (unshare(CLONE_NEWUSER | CLONE_NEWPID) != 0) _exit(3);
        const pid_t first = fork();
        if (first == 0) {
            if (getpid() != 1) _exit(4);
            hold(1);
        }
        // The process 1 of the namespace, as this side numbers it.
        if (write(pids[1], &first, sizeof first) != sizeof first) _exit(2);
        waitpid(first, nullptr, 0);
        _exit(0);
    }
    close(ready[1]);
    close(pids[1]);
    reaped = child;
    pid_t holder = -1, seenAs = -1;
    char answer = 0;
    if (ownPidNamespace && read(pids[0], &holder, sizeof holder) != sizeof holder) holder = -1;
    if (read(ready[0], &seenAs, sizeof seenAs) != sizeof seenAs || read(ready[0], &answer, 1) != 1 ||
        answer != '1') {
        holder = -1;
    } else if (!ownPidNamespace) {
        holder = child;
    }
    close(ready[0]);
    close(pids[0]);
    if (holder < 0) waitpid(child, nullptr, 0);
    return holder;
}

// A run killed outright leaves no lock behind: the next start goes on, and
// again after that run is killed too.
TEST(TillLock, AKilledRunLeavesNoLock) {
    for (bool ownPidNamespace : {false, true}) {
        SCOPED_TRACE(ownPidNamespace ? "as process 1 of a fresh PID namespace" : "plain child");
        QTemporaryDir folder;
        // The lock file of an earlier run (a process without a user mapping
        // may open but not create files).
        QFile earlier(folder.filePath(QStringLiteral("tovrin.lock")));
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.close();
        for (int run = 0; run < 3; ++run) {
            pid_t reaped = -1;
            const pid_t holder = holdInChild(folder.path(), ownPidNamespace, reaped);
            if (holder < 0 && ownPidNamespace) GTEST_SKIP() << "no user and PID namespaces here";
            ASSERT_GT(holder, 0);
            TillLock second(folder.path());
            EXPECT_FALSE(second.acquire());
            ASSERT_EQ(kill(holder, SIGKILL), 0);
            waitpid(reaped, nullptr, 0);
            TillLock next(folder.path());
            EXPECT_TRUE(next.acquire());
        }
    }
}

// Whatever stands in the lock file's place and can be read still locks: a
// folder, a read-only file, another user's file. Nothing is written to it.
TEST(TillLock, AnyReadableLockFileStillLocks) {
    struct Case {
        const char* name;
        std::function<bool(const QString& lock)> make;  // false: cannot be made here
    };
    const Case cases[] = {
        {"a folder", [](const QString& lock) { return QDir().mkdir(lock); }},
        {"a read-only file",
         [](const QString& lock) {
             QFile f(lock);
             return f.open(QIODevice::WriteOnly) &&
                    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadOther);
         }},
        {"an empty file of an earlier run",
         [](const QString& lock) {
             QFile f(lock);
             return f.open(QIODevice::WriteOnly);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString lock = folder.filePath(QStringLiteral("tovrin.lock"));
        ASSERT_TRUE(c.make(lock));
        const QFileInfo before(lock);
        TillLock first(folder.path());
        TillLock second(folder.path());
        ASSERT_TRUE(first.acquire());
        EXPECT_EQ(first.trouble(), QString());
        EXPECT_FALSE(second.acquire());
        EXPECT_EQ(second.trouble(), QString());
        first.release();
        EXPECT_TRUE(second.acquire());
        EXPECT_EQ(QFileInfo(lock).size(), before.size());
        EXPECT_EQ(QFileInfo(lock).isDir(), before.isDir());
    }
}

// Takes the lock in a child that runs as another user (nobody); '1' taken,
// '0' held elsewhere, 't' could not be had, 'x' the child could not start so.
char acquireAsNobody(const QString& folder) {
    int answer[2];
    if (pipe(answer) != 0) return 'x';
    const pid_t child = fork();
    if (child == 0) {
        close(answer[0]);
        char result = 'x';
        if (setgid(65534) == 0 && setuid(65534) == 0) {
            TillLock lock(folder);
            const bool mayRun = lock.acquire();
            result = !mayRun ? '0' : lock.trouble().isEmpty() ? '1' : 't';
        }
        if (write(answer[1], &result, 1) != 1) _exit(2);
        _exit(0);
    }
    close(answer[1]);
    char result = 'x';
    if (read(answer[0], &result, 1) != 1) result = 'x';
    close(answer[0]);
    waitpid(child, nullptr, 0);
    return result;
}

TEST(TillLock, AnotherUsersLockFileStillLocks) {
    if (geteuid() != 0) GTEST_SKIP() << "making another user's file needs root";
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                         QFileDevice::ExeOther));
    const QString lock = folder.filePath(QStringLiteral("tovrin.lock"));
    {
        QFile f(lock);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    }
    // The file is root's; the till runs as nobody, who may only read it.
    EXPECT_EQ(acquireAsNobody(folder.path()), '1');
    TillLock running(folder.path());
    ASSERT_TRUE(running.acquire());
    EXPECT_EQ(acquireAsNobody(folder.path()), '0');
    running.release();
    // A lock file nobody may not even read: the lock cannot be had, and the
    // run says so.
    ASSERT_TRUE(QFile::setPermissions(lock, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(acquireAsNobody(folder.path()), 't');
}

// A lock that truly cannot be had lets the till run, and says why: a link in
// the lock file's place (never followed, nor made a file elsewhere), a
// folder that is not there.
TEST(TillLock, ALockThatCannotBeHadSaysSo) {
    QTemporaryDir folder, elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("nothing"));
    const QString lock = folder.filePath(QStringLiteral("tovrin.lock"));
    ASSERT_TRUE(QFile::link(target, lock));
    TillLock linked(folder.path());
    EXPECT_TRUE(linked.acquire());
    EXPECT_EQ(linked.trouble(),
              QStringLiteral("无法锁定 ") + lock + QStringLiteral("：") +
                  QStringLiteral("这是一个符号链接，不会打开它指向的别处的文件") +
                  QStringLiteral("\r\n不能保证只有一个 Tovrin 找零 在使用这个文件夹里的账本。"));
    EXPECT_FALSE(QFile::exists(target));
    TillLock nowhere(folder.filePath(QStringLiteral("no/such/folder")));
    EXPECT_TRUE(nowhere.acquire());
    EXPECT_TRUE(nowhere.trouble().startsWith(QStringLiteral("无法锁定 "))) << nowhere.trouble().toStdString();
}

}  // namespace
}  // namespace tovrin
