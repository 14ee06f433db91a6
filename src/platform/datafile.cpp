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

QString notRegularReason(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("这是一个文件夹");
    if (S_ISLNK(mode)) return QStringLiteral("这是一个符号链接，不会打开它指向的别处的文件");
    return QStringLiteral("这不是普通文件（是管道、设备或其他特殊文件）");
}

namespace {

QString tooLarge(qint64 maxBytes) {
    return QStringLiteral("文件太大（超过 %1 MB），无法读取").arg(maxBytes >> 20);
}

}  // namespace

DataFile::DataFile(const QString& path) : DataFile(path, kMaxDataFileBytes, Links::Refuse) {}

DataFile::DataFile(const QString& path, qint64 maxBytes, Links links) {
    if (const auto refused = open(QFile::encodeName(path), maxBytes, links == Links::Follow)) {
        state_ = State::Refused;
        reason_ = *refused;
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
}

std::optional<QString> DataFile::open(const QByteArray& name, qint64 maxBytes, bool follow) {
    struct stat st {};
    if ((follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!S_ISREG(st.st_mode)) return notRegularReason(st.st_mode);
    // The check above and the open below are apart in time: the descriptor
    // is checked again, O_NONBLOCK keeps a pipe put in between from holding
    // the window, and O_NOFOLLOW a link put in between from being followed.
    fd_ = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    if (fd_ < 0) {
        if (errno == ENOENT) return std::nullopt;
        if (errno == ELOOP && !follow) return notRegularReason(S_IFLNK);
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    if (::fstat(fd_, &st) != 0) return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return notRegularReason(st.st_mode);
    if (st.st_size > maxBytes) return tooLarge(maxBytes);
    size_ = st.st_size;
    state_ = State::Open;
    return std::nullopt;
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
