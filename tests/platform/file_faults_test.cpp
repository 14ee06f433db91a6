#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <functional>

#include "platform/bytefile.h"
#include "platform/datafile.h"
#include "support/fakes.h"

namespace tovrin {
namespace {

using test::TempFiles;

const QByteArray kBefore = "2026-12-8 0:35:01\t\xd5\xd2\xc1\xe3\r\n";  // 找零
const QString kRecord = QStringLiteral("2026-12-8 0:36:00\t折扣：   \t0\t应收金额累计\t12.5");

QByteArray recordBytes() { return test::gbk(kRecord + QStringLiteral("\r\n")); }

// Appends the record in a child whose file size limit is `limit` bytes
// (SIGXFSZ ignored, so the write comes short or fails); true when the child's
// append reported success.
bool appendUnderLimit(const QString& path, rlim_t limit) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit r{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0) _exit(3);
        GbkTextFiles files;
        const auto failure = files.append(path, kRecord);
        _exit(failure ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 3);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A short write at every size from none of the record to all but its last
// byte (inside a GBK character too): the journal holds nothing of it, and
// the next record is not glued to a fragment.
TEST(JournalAppend, AShortWriteLeavesNothingOfTheRecord) {
    const QByteArray record = recordBytes();
    for (qsizetype room = 0; room <= record.size(); ++room) {
        SCOPED_TRACE(room);
        TempFiles files;
        files.put(QStringLiteral("j.txt"), kBefore);
        const QString path = files.path(QStringLiteral("j.txt"));
        const bool written = appendUnderLimit(path, rlim_t(kBefore.size() + room));
        EXPECT_EQ(written, room == record.size());
        EXPECT_EQ(files.bytes(QStringLiteral("j.txt")), written ? kBefore + record : kBefore);
        ASSERT_FALSE(files.append(path, QStringLiteral("next")));
        EXPECT_EQ(files.bytes(QStringLiteral("j.txt")), (written ? kBefore + record : kBefore) + "next\r\n");
    }
}

// The system calls failing in the ways a disk fails.
TEST(JournalAppend, EveryFailureCutsBackAndNamesTheReason) {
    struct Case {
        const char* name;
        qsizetype writtenFirst;  // bytes the first write puts before the failure
        int writeError;          // 0: writes succeed
        int fsyncError;          // 0: fsync succeeds
        QString reason;
    };
    const Case cases[] = {
        {"full disk at once", 0, ENOSPC, 0, QStringLiteral("磁盘已满")},
        {"full disk after a part", 5, ENOSPC, 0, QStringLiteral("磁盘已满")},
        {"quota", 3, EDQUOT, 0, QStringLiteral("磁盘已满")},
        {"read-only", 0, EROFS, 0, QStringLiteral("没有写入权限")},
        {"refused", 0, EACCES, 0, QStringLiteral("没有访问权限")},
        {"input/output error", 7, EIO, 0, QStringLiteral("磁盘读写出错")},
        {"failing fsync", -1, 0, EIO, QStringLiteral("磁盘读写出错")},
        {"fsync on a full disk", -1, 0, ENOSPC, QStringLiteral("磁盘已满")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int writes = 0;
        GbkTextFiles::DiskCalls calls;
        calls.write = [&](int fd, const void* bytes, size_t count) -> ssize_t {
            ++writes;
            if (c.writeError == 0) return ::write(fd, bytes, count);
            if (writes == 1 && c.writtenFirst > 0) return ::write(fd, bytes, size_t(c.writtenFirst));
            errno = c.writeError;
            return -1;
        };
        calls.fsync = [&](int fd) {
            if (c.fsyncError == 0) return ::fsync(fd);
            errno = c.fsyncError;
            return -1;
        };
        GbkTextFiles files(calls);
        TempFiles folder;
        folder.put(QStringLiteral("j.txt"), kBefore);
        EXPECT_EQ(files.append(folder.path(QStringLiteral("j.txt")), kRecord), c.reason);
        EXPECT_EQ(folder.bytes(QStringLiteral("j.txt")), kBefore);
        // Nothing of the failed record comes back with the next write.
        GbkTextFiles healthy;
        ASSERT_FALSE(healthy.append(folder.path(QStringLiteral("j.txt")), QStringLiteral("x")));
        EXPECT_EQ(folder.bytes(QStringLiteral("j.txt")), kBefore + "x\r\n");
    }
}

TEST(JournalAppend, InterruptedAndPartialWritesAreCarriedOn) {
    GbkTextFiles::DiskCalls calls;
    int writes = 0;
    calls.write = [&](int fd, const void* bytes, size_t count) -> ssize_t {
        ++writes;
        if (writes % 2 == 1) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, bytes, std::min<size_t>(count, 3));
    };
    calls.fsync = [](int fd) { return ::fsync(fd); };
    GbkTextFiles files(calls);
    TempFiles folder;
    ASSERT_FALSE(files.append(folder.path(QStringLiteral("j.txt")), kRecord));
    EXPECT_EQ(folder.bytes(QStringLiteral("j.txt")), recordBytes());
}

TEST(JournalAppend, AReadOnlyFileIsNamedInWords) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes anything";
    TempFiles folder;
    folder.put(QStringLiteral("j.txt"), kBefore);
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path(QStringLiteral("j.txt"))).constData(), 0444), 0);
    GbkTextFiles files;
    EXPECT_EQ(files.append(folder.path(QStringLiteral("j.txt")), kRecord), QStringLiteral("没有访问权限"));
    EXPECT_EQ(files.rewrite(folder.path(QStringLiteral("j.txt")), QString()), QStringLiteral("没有访问权限"));
    EXPECT_EQ(folder.bytes(QStringLiteral("j.txt")), kBefore);
}

// A file at the system's size limit: the write fails with EFBIG, which the
// system calls "File too large".
TEST(JournalAppend, AFileAtTheSizeLimitIsNamedInWords) {
    TempFiles folder;
    folder.put(QStringLiteral("j.txt"), kBefore);
    const QString path = folder.path(QStringLiteral("j.txt"));
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit r{rlim_t(kBefore.size()), rlim_t(kBefore.size())};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0) _exit(3);
        const auto failure = GbkTextFiles().append(path, kRecord);
        _exit(failure == QStringLiteral("文件太大，超过了系统允许的大小") ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(folder.bytes(QStringLiteral("j.txt")), kBefore);
}

// Every error the file calls can give has words of its own, none of them
// the system's English; any other is named by its number.
TEST(SystemReason, EveryErrorOfTheFileCallsIsInWords) {
    const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    const QString other = QStringLiteral("系统错误（错误号 %1）");
    for (int error :
         {EACCES,    EAGAIN, EBADF,  EBUSY,  EDESTADDRREQ, EDQUOT,  EEXIST,    EFAULT,       EFBIG,
          EINTR,     EINVAL, EIO,    EISDIR, ELOOP,        EMFILE,  EMLINK,    ENAMETOOLONG, ENFILE,
          ENODEV,    ENOENT, ENOLCK, ENOMEM, ENOSPC,       ENOTDIR, ENOTEMPTY, ENXIO,        EOPNOTSUPP,
          EOVERFLOW, EPERM,  EPIPE,  EROFS,  ESPIPE,       ESTALE,  ETXTBSY,   EWOULDBLOCK,  EXDEV}) {
        const QString reason = systemReason(error);
        EXPECT_FALSE(reason.contains(latin)) << error << ' ' << reason.toStdString();
        EXPECT_NE(reason, other.arg(error)) << error;
    }
    EXPECT_EQ(systemReason(EHOSTDOWN), other.arg(EHOSTDOWN));
    EXPECT_EQ(systemReason(0), other.arg(0));
}

TEST(SystemReason, SaysFullDiskAndNoPermissionInWords) {
    EXPECT_EQ(systemReason(ENOSPC), QStringLiteral("磁盘已满"));
    EXPECT_EQ(systemReason(EACCES), QStringLiteral("没有访问权限"));
    EXPECT_EQ(systemReason(EPERM), QStringLiteral("没有访问权限"));
    EXPECT_EQ(systemReason(EROFS), QStringLiteral("没有写入权限"));
    EXPECT_EQ(systemReason(EIO), QStringLiteral("磁盘读写出错"));
}

// What can stand in a data file's place that is not a file: refused at once
// by every reader and writer, with a reason.
TEST(DataFiles, PipesDevicesAndFoldersAreRefusedAtOnce) {
    TempFiles folder;
    const QString fifo = folder.path(QStringLiteral("fifo.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString zero = folder.path(QStringLiteral("zero.txt"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString dir = folder.path(QStringLiteral("dir.txt"));
    ASSERT_TRUE(QDir(folder.folder()).mkdir(QStringLiteral("dir.txt")));
    for (const QString& path : {fifo, zero, dir}) {
        SCOPED_TRACE(path.toStdString());
        QElapsedTimer clock;
        clock.start();
        GbkTextFiles files;
        const TextFiles::Read read = files.read(path);
        EXPECT_EQ(read.state, TextFiles::State::Unreadable);
        EXPECT_FALSE(read.reason.isEmpty());
        EXPECT_TRUE(files.append(path, QStringLiteral("x")).has_value());
        EXPECT_TRUE(files.rewrite(path, QStringLiteral("x")).has_value());
        ByteFile bytes(path);
        EXPECT_EQ(bytes.state(), ByteFile::State::Unreadable);
        EXPECT_EQ(bytes.reason(), read.reason);
        EXPECT_LT(clock.elapsed(), 1000);
    }
    EXPECT_EQ(GbkTextFiles().read(dir).reason, QStringLiteral("这是一个文件夹"));
}

TEST(DataFiles, BeyondTheLimitIsAMessageNotAnEmptyText) {
    TempFiles folder;
    const QString path = folder.path(QStringLiteral("big.txt"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kMaxDataFileBytes + 1));  // sparse: no disk used
    }
    const TextFiles::Read read = GbkTextFiles().read(path);
    EXPECT_EQ(read.state, TextFiles::State::Unreadable);
    EXPECT_TRUE(read.reason.contains(QStringLiteral("文件太大"))) << read.reason.toStdString();
    ByteFile bytes(path);
    EXPECT_EQ(bytes.state(), ByteFile::State::Unreadable);
    EXPECT_EQ(bytes.reason(), read.reason);
}

// A file read in pieces: characters cut between two pieces come out whole.
TEST(DataFiles, LargeFilesAreDecodedWhole) {
    TempFiles folder;
    for (qsizetype offset : {qsizetype(0), qsizetype(1)}) {
        SCOPED_TRACE(offset);
        QByteArray bytes(GbkTextFiles::kPiece - 1 - offset, 'a');
        bytes += "\xc9\xcc\xc6\xb7\r\n";  // 商品: the piece ends inside a character
        bytes += QByteArray(1000, 'b');
        folder.put(QStringLiteral("big.txt"), bytes);
        const TextFiles::Read read = GbkTextFiles().read(folder.path(QStringLiteral("big.txt")));
        ASSERT_EQ(read.state, TextFiles::State::HasContent);
        EXPECT_EQ(read.text.size(), bytes.size() - 2);
        EXPECT_EQ(read.text.mid(GbkTextFiles::kPiece - 1 - offset, 4), QStringLiteral("商品\r\n"));
        EXPECT_TRUE(read.text.endsWith(QString(1000, QLatin1Char('b'))));
        EXPECT_EQ(decodeGbk(bytes), read.text);
    }
}

// A journal that an editor or a copy left without a line end after its last
// line: the next record starts a line of its own, and the old line stays
// whole. A failed append leaves the file exactly as it was, line break and
// all.
TEST(JournalAppend, ARecordAfterALastLineWithoutLineEndStartsALineOfItsOwn) {
    struct Case {
        const char* name;
        QByteArray before;
        QByteArray lineBreak;  // what comes between the old bytes and the record
    };
    const Case cases[] = {
        {"no line end", "2026-12-8 15:00:00\t\xd5\xd2\xc1\xe3\t12.7", "\r\n"},
        {"a GBK character last", "\xd5\xd2\xc1\xe3", "\r\n"},
        {"a lone CR", "12.7\r", "\n"},
        {"LF", "12.7\n", ""},
        {"CR LF", kBefore, ""},
        {"an empty line", "\r\n", ""},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFiles folder;
        folder.put(QStringLiteral("j.txt"), c.before);
        const QString path = folder.path(QStringLiteral("j.txt"));
        GbkTextFiles files;
        EXPECT_EQ(files.appendedAt(path, c.before.size(), kRecord), c.lineBreak + recordBytes());
        ASSERT_FALSE(files.append(path, kRecord));
        EXPECT_EQ(folder.bytes(QStringLiteral("j.txt")), c.before + c.lineBreak + recordBytes());

        // A full disk: nothing is added, not even the line break.
        folder.put(QStringLiteral("j.txt"), c.before);
        test::DiskFaults faults;
        faults.rules = {{QStringLiteral("write"), QStringLiteral("j.txt"), ENOSPC}};
        EXPECT_EQ(GbkTextFiles(faults.calls()).append(path, kRecord), QStringLiteral("磁盘已满"));
        EXPECT_EQ(folder.bytes(QStringLiteral("j.txt")), c.before);
    }
}

// A file that a write makes, or that a replacement renames into place, has
// its folder synced after its own bytes are on the disk and before the write
// says it is done; a file that was there already needs no folder sync.
TEST(FolderSync, ACreatedOrRenamedFileSyncsItsFolder) {
    TempFiles folder;
    const QString folderSync = QStringLiteral("fsync ") + QFileInfo(folder.folder()).fileName() + u'/';
    const QString j = folder.path(QStringLiteral("j.txt"));
    const QString k = folder.path(QStringLiteral("k.txt"));
    const auto replace = [&](GbkTextFiles& f) {
        auto out = f.replace(j);
        out->write(QStringLiteral("new"));
        return out->commit();
    };
    struct Case {
        const char* name;
        std::function<std::optional<QString>(GbkTextFiles&)> write;
        QString file;
        QStringList synced;       // the fsync calls, in order
        QByteArray atFolderSync;  // the file's bytes when the folder is synced
    };
    const Case cases[] = {
        {"append to a new file",
         [&](GbkTextFiles& f) { return f.append(j, QStringLiteral("a")); },
         QStringLiteral("j.txt"),
         {QStringLiteral("fsync j.txt"), folderSync},
         "a\r\n"},
        {"append to that file",
         [&](GbkTextFiles& f) { return f.append(j, QStringLiteral("b")); },
         QStringLiteral("j.txt"),
         {QStringLiteral("fsync j.txt")},
         {}},
        {"rewrite it",
         [&](GbkTextFiles& f) { return f.rewrite(j, QStringLiteral("c")); },
         QStringLiteral("j.txt"),
         {QStringLiteral("fsync j.txt")},
         {}},
        {"rewrite a new file",
         [&](GbkTextFiles& f) { return f.rewrite(k, QStringLiteral("d")); },
         QStringLiteral("k.txt"),
         {QStringLiteral("fsync k.txt"), folderSync},
         "d"},
        // The new content is synced under a name of its own, renamed into
        // place, and then the folder is synced.
        {"replace it",
         replace,
         QStringLiteral("j.txt"),
         {QStringLiteral("fsync j.txt.*"), folderSync},
         "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::DiskFaults faults;
        GbkTextFiles::DiskCalls calls = faults.calls();
        QByteArray atFolderSync;
        calls.fsync = [&, inner = calls.fsync](int fd) {
            if (test::DiskFaults::nameOf(fd).endsWith(u'/')) atFolderSync = folder.bytes(c.file);
            return inner(fd);
        };
        GbkTextFiles files(calls);
        ASSERT_EQ(c.write(files), std::nullopt);
        QStringList synced;
        for (const QString& call : faults.log) {
            if (call.startsWith(QStringLiteral("fsync"))) synced << call;
        }
        ASSERT_EQ(synced.size(), c.synced.size()) << synced.join(u',').toStdString();
        for (qsizetype n = 0; n < synced.size(); ++n) {
            EXPECT_TRUE(QRegularExpression(QRegularExpression::wildcardToRegularExpression(c.synced[n]))
                            .match(synced[n])
                            .hasMatch())
                << synced[n].toStdString();
        }
        EXPECT_EQ(atFolderSync, c.atFolderSync);
    }
    // Nothing but the files themselves is left in the folder.
    EXPECT_EQ(QDir(folder.folder()).entryList(QDir::Files),
              QStringList({QStringLiteral("j.txt"), QStringLiteral("k.txt")}));
    EXPECT_EQ(folder.bytes(QStringLiteral("j.txt")), QByteArray("new"));
}

// A folder that cannot be synced fails the write that made a file: the file
// is gone again (its next write makes it anew), and the reason is told. A
// file system that cannot sync folders at all (EINVAL) is no failure.
TEST(FolderSync, AFolderThatCannotBeSyncedFailsTheWriteThatMadeAFile) {
    TempFiles folder;
    const QString dirName = QFileInfo(folder.folder()).fileName() + QStringLiteral("/");
    const QString j = folder.path(QStringLiteral("j.txt"));
    test::DiskFaults faults;
    faults.rules = {{QStringLiteral("fsync"), dirName, EIO}};
    GbkTextFiles files(faults.calls());
    const QString eio = QStringLiteral("磁盘读写出错");
    EXPECT_EQ(files.append(j, QStringLiteral("a")), eio);
    EXPECT_FALSE(QFile::exists(j));
    EXPECT_EQ(files.rewrite(j, QStringLiteral("a")), eio);
    EXPECT_FALSE(QFile::exists(j));
    folder.put(QStringLiteral("table.txt"), "old\r\n");
    auto out = files.replace(folder.path(QStringLiteral("table.txt")));
    ASSERT_TRUE(out->write(QStringLiteral("new")));
    EXPECT_EQ(out->commit(), eio);
    out.reset();
    // A file that was there needs no folder sync.
    folder.put(QStringLiteral("j.txt"), kBefore);
    EXPECT_EQ(files.append(j, QStringLiteral("x")), std::nullopt);
    EXPECT_EQ(folder.bytes(QStringLiteral("j.txt")), kBefore + "x\r\n");

    faults.rules = {{QStringLiteral("fsync"), dirName, EINVAL}};
    EXPECT_EQ(files.append(folder.path(QStringLiteral("new.txt")), QStringLiteral("a")), std::nullopt);
    EXPECT_EQ(folder.bytes(QStringLiteral("new.txt")), QByteArray("a\r\n"));
}

// A symbolic link in a data file's place, to a file elsewhere or to nothing:
// every reader and writer refuses it with the same reason, the file it
// points to is neither read nor changed, and nothing is made where a
// dangling link points.
TEST(DataFiles, ALinkInADataFilesPlaceIsRefusedAndWhatItPointsToIsUntouched) {
    QTemporaryDir elsewhere;
    const QString own = elsewhere.filePath(QStringLiteral("own.txt"));
    const QByteArray ownBytes = "the cashier's own file\r\n";
    {
        QFile f(own);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ownBytes);
    }
    const QString nothing = elsewhere.filePath(QStringLiteral("nothing.txt"));
    const QString linkReason = notRegularReason(S_IFLNK);
    EXPECT_TRUE(linkReason.contains(QStringLiteral("符号链接")));
    for (const QString& target : {own, nothing}) {
        SCOPED_TRACE(target.toStdString());
        TempFiles folder;
        const QString path = folder.path(QStringLiteral("tovrincalculate.txt"));
        ASSERT_TRUE(QFile::link(target, path));
        GbkTextFiles files;
        const TextFiles::Read read = files.read(path);
        EXPECT_EQ(read.state, TextFiles::State::Unreadable);
        EXPECT_EQ(read.reason, linkReason);
        EXPECT_EQ(files.append(path, kRecord), linkReason);
        EXPECT_EQ(files.rewrite(path, QString()), linkReason);
        EXPECT_EQ(files.truncate(path, 0), linkReason);
        EXPECT_EQ(files.length(path).failure, linkReason);
        EXPECT_TRUE(files.bytes(path, 0, 100).isEmpty());
        EXPECT_EQ(files.openBytes(path)->state(), ByteFile::State::Unreadable);
        EXPECT_EQ(files.openBytes(path)->reason(), linkReason);
        EXPECT_EQ(files.replace(path)->failure(), linkReason);
        EXPECT_EQ(DataFile(path).reason(), linkReason);
        // The link itself stays, and so does what it points to.
        EXPECT_TRUE(QFileInfo(path).isSymLink());
        EXPECT_EQ(QFileInfo::exists(nothing), false);
        QFile f(own);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), ownBytes);
    }
}

}  // namespace
}  // namespace tovrin
