#include "app/till_lock.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <csignal>

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

TEST(TillLock, AFolderWithoutRoomForTheLockStillRuns) {
    QTemporaryDir folder;
    // The lock file's place is taken by a folder: no lock, but the till runs.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("tovrin.lock")));
    TillLock lock(folder.path());
    EXPECT_TRUE(lock.acquire());
    TillLock nowhere(folder.filePath(QStringLiteral("no/such/folder")));
    EXPECT_TRUE(nowhere.acquire());
}

}  // namespace
}  // namespace tovrin
