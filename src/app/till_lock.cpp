#include "app/till_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "platform/datafile.h"
#include "platform/folder.h"
#include "platform/textfiles.h"

namespace tovrin {

namespace {

// Opens the lock file for reading, making it when it is missing; a link in
// its place is not followed (nor made a file elsewhere). -1 with errno set on
// failure.
int openLockFile(const QByteArray& name) {
    constexpr int kRead = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(name.constData(), kRead);
        if (fd >= 0 || errno != ENOENT) return fd;
        const int made = ::open(name.constData(), kRead | O_CREAT | O_EXCL, 0666);
        if (made >= 0 || errno != EEXIST) return made;
    }
    return -1;
}

}  // namespace

TillLock::TillLock(const QString& folder) : path_(folderFile(folder, kFileName)) {}

TillLock::~TillLock() { release(); }

bool TillLock::acquire() {
    if (fd_ >= 0) return true;
    trouble_.clear();
    const int fd = openLockFile(QFile::encodeName(path_));
    int result = -1;
    if (fd >= 0) {
        // A lock on the open file itself: two runs in one process conflict too.
        while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
    }
    if (result == 0) {
        fd_ = fd;
        return true;
    }
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (fd >= 0 && error == EWOULDBLOCK) return false;
    trouble_ = fileFailure(QStringLiteral("锁定"), path_, openReason(error)) +
               QStringLiteral("\r\n不能保证只有一个 Tovrin 找零 在使用这个文件夹里的账本。");
    return true;
}

void TillLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

}  // namespace tovrin
