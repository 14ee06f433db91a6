#include "app/till_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "platform/folder.h"

namespace tovrin {

TillLock::TillLock(const QString& folder) : path_(folderFile(folder, kFileName)) {}

TillLock::~TillLock() { release(); }

bool TillLock::acquire() {
    if (fd_ >= 0) return true;
    const int fd =
        ::open(QFile::encodeName(path_).constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return true;
    // A lock on the open file itself: two runs in one process conflict too.
    int result;
    while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result == 0) {
        fd_ = fd;
        return true;
    }
    const bool taken = errno == EWOULDBLOCK;
    ::close(fd);
    return !taken;
}

void TillLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

}  // namespace tovrin
