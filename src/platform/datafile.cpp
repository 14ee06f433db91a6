#include "platform/datafile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "platform/textfiles.h"

namespace tovrin {

QString systemReason(int error) {
    switch (error) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return QStringLiteral("磁盘已满");
        case EACCES:
        case EPERM:
        case EROFS:
            return QStringLiteral("没有写入权限");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

namespace {

QString notRegular(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("这是一个文件夹");
    return QStringLiteral("这不是普通文件（是管道、设备或其他特殊文件）");
}

QString tooLarge() { return QStringLiteral("文件太大（超过 %1 MB），无法读取").arg(kMaxDataFileBytes >> 20); }

}  // namespace

DataFile::DataFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return;
        state_ = State::Refused;
        reason_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        state_ = State::Refused;
        reason_ = notRegular(st.st_mode);
        return;
    }
    // The check above and the open below are apart in time: the descriptor
    // is checked again, and O_NONBLOCK keeps a pipe put in between from
    // holding the window.
    fd_ = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        state_ = errno == ENOENT ? State::Missing : State::Refused;
        if (state_ == State::Refused) reason_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason_ = notRegular(st.st_mode);
        state_ = State::Refused;
        ::close(fd_);
        fd_ = -1;
        return;
    }
    if (st.st_size > kMaxDataFileBytes) {
        reason_ = tooLarge();
        state_ = State::Refused;
        ::close(fd_);
        fd_ = -1;
        return;
    }
    size_ = st.st_size;
    state_ = State::Open;
}

DataFile::~DataFile() {
    if (fd_ >= 0) ::close(fd_);
}

int DataFile::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

qint64 DataFile::readSome(char* into, qint64 length) {
    for (;;) {
        const ssize_t got = ::read(fd_, into, size_t(length));
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        reason_ = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
}

}  // namespace tovrin
