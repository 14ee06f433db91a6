#include "platform/datafile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "platform/textfiles.h"

namespace tovrin {

QString systemReason(int error) {
    switch (error) {
        // Writing.
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("磁盘已满");
        case EROFS:
            return QStringLiteral("没有写入权限");
        case EFBIG:
            return QStringLiteral("文件太大，超过了系统允许的大小");
        case ETXTBSY:
            return QStringLiteral("文件正被一个程序运行，不能改动");
        case EPIPE:
            return QStringLiteral("管道的另一端已经关闭");
        case EDESTADDRREQ:
            return QStringLiteral("没有写入的目标");
        case EXDEV:
            return QStringLiteral("不能把文件移到另一个磁盘上");
        case EMLINK:
            return QStringLiteral("文件夹里的链接太多");
        case ENOTEMPTY:
            return QStringLiteral("文件夹不是空的");
        case EEXIST:
            return QStringLiteral("文件已经存在");
        // Reading or writing.
        case EACCES:
        case EPERM:
            return QStringLiteral("没有访问权限");
        case EIO:
            return QStringLiteral("磁盘读写出错");
        case EISDIR:
            return QStringLiteral("这是一个文件夹");
        case ENOENT:
            return QStringLiteral("文件或文件夹不存在");
        case ENOTDIR:
            return QStringLiteral("路径中有一项不是文件夹");
        case ENAMETOOLONG:
            return QStringLiteral("文件名太长");
        case ELOOP:
            return QStringLiteral("路径中的符号链接太多");
        case EOVERFLOW:
            return QStringLiteral("文件太大，无法处理");
        case EBUSY:
            return QStringLiteral("文件正被占用");
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return QStringLiteral("文件暂时不能使用，请稍后再试");
        case EINTR:
            return QStringLiteral("操作被中断");
        case EMFILE:
            return QStringLiteral("本程序打开的文件太多");
        case ENFILE:
            return QStringLiteral("系统打开的文件太多");
        case ENOMEM:
            return QStringLiteral("内存不足");
        case ENOLCK:
            return QStringLiteral("没有可用的文件锁");
        case ENODEV:
        case ENXIO:
            return QStringLiteral("没有这个设备");
        case ESPIPE:
            return QStringLiteral("这是管道，不能定位");
        case EOPNOTSUPP:
#if ENOTSUP != EOPNOTSUPP
        case ENOTSUP:
#endif
            return QStringLiteral("文件系统不支持此操作");
        case EINVAL:
            return QStringLiteral("文件系统不接受此操作");
        case EBADF:
            return QStringLiteral("文件句柄无效");
        case EFAULT:
            return QStringLiteral("内存地址无效");
        case ESTALE:
            return QStringLiteral("网络上的文件已经失效");
        default:
            return QStringLiteral("系统错误（错误号 %1）").arg(error);
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
        return systemReason(errno);
    }
    if (!S_ISREG(st.st_mode)) return notRegularReason(st.st_mode);
    // The check above and the open below are apart in time: the descriptor
    // is checked again, O_NONBLOCK keeps a pipe put in between from holding
    // the window, and O_NOFOLLOW a link put in between from being followed.
    fd_ = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    if (fd_ < 0) {
        if (errno == ENOENT) return std::nullopt;
        if (errno == ELOOP && !follow) return notRegularReason(S_IFLNK);
        return systemReason(errno);
    }
    if (::fstat(fd_, &st) != 0) return systemReason(errno);
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
        reason_ = systemReason(errno);
        return -1;
    }
}

}  // namespace tovrin
