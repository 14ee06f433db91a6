#include "platform/datafile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "platform/textfiles.h"

namespace tovrin {

namespace {

struct ErrorWords {
    int error;
    const char16_t* words;
};

// The words of every error the file calls can give: first those only
// writing meets, then those of reading and writing alike.
static_assert(EWOULDBLOCK == EAGAIN && ENOTSUP == EOPNOTSUPP);
constexpr ErrorWords kErrorWords[] = {
    {ENOSPC, u"磁盘已满"},
    {EDQUOT, u"磁盘已满"},
    {EROFS, u"没有写入权限"},
    {EFBIG, u"文件太大，超过了系统允许的大小"},
    {ETXTBSY, u"文件正被一个程序运行，不能改动"},
    {EPIPE, u"管道的另一端已经关闭"},
    {EDESTADDRREQ, u"没有写入的目标"},
    {EXDEV, u"不能把文件移到另一个磁盘上"},
    {EMLINK, u"文件夹里的链接太多"},
    {ENOTEMPTY, u"文件夹不是空的"},
    {EEXIST, u"文件已经存在"},

    {EACCES, u"没有访问权限"},
    {EPERM, u"没有访问权限"},
    {EIO, u"磁盘读写出错"},
    {EISDIR, u"这是一个文件夹"},
    {ENOENT, u"文件或文件夹不存在"},
    {ENOTDIR, u"路径中有一项不是文件夹"},
    {ENAMETOOLONG, u"文件名太长"},
    {ELOOP, u"路径中的符号链接太多"},
    {EOVERFLOW, u"文件太大，无法处理"},
    {EBUSY, u"文件正被占用"},
    {EAGAIN, u"文件暂时不能使用，请稍后再试"},  // EWOULDBLOCK too
    {EINTR, u"操作被中断"},
    {EMFILE, u"本程序打开的文件太多"},
    {ENFILE, u"系统打开的文件太多"},
    {ENOMEM, u"内存不足"},
    {ENOLCK, u"没有可用的文件锁"},
    {ENODEV, u"没有这个设备"},
    {ENXIO, u"没有这个设备"},
    {ESPIPE, u"这是管道，不能定位"},
    {EOPNOTSUPP, u"文件系统不支持此操作"},  // ENOTSUP too
    {EINVAL, u"文件系统不接受此操作"},
    {EBADF, u"文件句柄无效"},
    {EFAULT, u"内存地址无效"},
    {ESTALE, u"网络上的文件已经失效"},
};

}  // namespace

QString systemReason(int error) {
    for (const ErrorWords& known : kErrorWords) {
        if (known.error == error) return QString::fromUtf16(known.words);
    }
    return QStringLiteral("系统错误（错误号 %1）").arg(error);
}

QString notRegularReason(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("这是一个文件夹");
    if (S_ISLNK(mode)) return QStringLiteral("这是一个符号链接，不会打开它指向的别处的文件");
    return QStringLiteral("这不是普通文件（是管道、设备或其他特殊文件）");
}

QString openReason(int error) { return error == ELOOP ? notRegularReason(S_IFLNK) : systemReason(error); }

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
        return follow ? systemReason(errno) : openReason(errno);
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
