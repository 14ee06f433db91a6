#include "platform/qt/gbk_text_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>

#include "platform/datafile.h"

namespace tovrin {

namespace {

QByteArray fileName(const QString& path) { return QFile::encodeName(path); }

// A file that is there but is no regular file, with the reason.
std::optional<QString> refusedForWriting(const QByteArray& name) {
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || S_ISREG(st.st_mode)) return std::nullopt;
    if (S_ISDIR(st.st_mode)) return QStringLiteral("这是一个文件夹");
    return QStringLiteral("这不是普通文件（是管道、设备或其他特殊文件）");
}

// Opens a regular file for writing without waiting on a pipe.
int openForWriting(const QByteArray& name, int flags, QString& reason) {
    if (const auto refused = refusedForWriting(name)) {
        reason = *refused;
        return -1;
    }
    const int fd = ::open(name.constData(), flags | O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason = systemReason(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = QStringLiteral("这不是普通文件（是管道、设备或其他特殊文件）");
        ::close(fd);
        return -1;
    }
    return fd;
}

// The new content in a file of its own beside the old one, renamed over it at
// commit.
class SavedReplacement : public Replacement {
public:
    explicit SavedReplacement(const QString& path) : out_(path) {
        if (QFileInfo(path).isDir()) {
            failure_ = QStringLiteral("这是一个文件夹");
        } else if (!out_.open(QIODevice::WriteOnly)) {
            failure_ = out_.errorString();
        }
    }
    QString failure() const override { return failure_; }
    qint64 size() const override { return out_.pos(); }
    bool write(QStringView text) override {
        if (!failure_.isEmpty()) return false;
        const QByteArray bytes = encoder_.encode(text);
        return out_.write(bytes) == bytes.size() || fail();
    }
    bool cutBack(qint64 length) override {
        if (!failure_.isEmpty()) return false;
        return length >= out_.pos() || (out_.resize(length) && out_.seek(length)) || fail();
    }
    std::optional<QString> commit() override {
        if (failure_.isEmpty() && !out_.commit()) fail();
        if (failure_.isEmpty()) return std::nullopt;
        return failure_;
    }

private:
    bool fail() {
        failure_ = out_.errorString();
        if (failure_.isEmpty()) failure_ = QStringLiteral("写入失败");
        out_.cancelWriting();
        return false;
    }

    QSaveFile out_;
    QStringEncoder encoder_{"GBK"};
    QString failure_;
};

}  // namespace

GbkTextFiles::GbkTextFiles() : GbkTextFiles(DiskCalls{::write, ::fsync}) {}

GbkTextFiles::GbkTextFiles(DiskCalls calls) : calls_(std::move(calls)) {}

// Writes all the bytes, as many write calls as the system needs, then puts
// them on the disk; the error number of the first failure, 0 when done.
int GbkTextFiles::writeAll(int fd, const QByteArray& bytes) const {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = calls_.write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += n;
    }
    if (calls_.fsync(fd) != 0) return errno;
    return 0;
}

TextFiles::Read GbkTextFiles::read(const QString& path) const {
    DataFile file(path);
    if (file.state() == DataFile::State::Missing) return {State::Missing, {}, {}};
    if (file.state() == DataFile::State::Refused) return {State::Unreadable, {}, file.reason()};
    std::optional<TextEncoding> encoding;
    // The bytes are decoded up to where a character surely ends: GBK after
    // any byte below 0x80, UTF-8 (which may hold lines of GBK) after a line
    // end; the rest waits for the next piece.
    QByteArray unfinished;
    QString text;
    QByteArray piece(std::min(kPiece, std::max<qint64>(file.size(), 1)), Qt::Uninitialized);
    bool any = false;
    for (;;) {
        const qint64 got = file.readSome(piece.data(), piece.size());
        if (got < 0) return {State::Unreadable, {}, file.reason()};
        if (got == 0) break;
        any = true;
        unfinished += QByteArrayView(piece).first(got);
        if (!encoding) encoding = sniffEncoding(unfinished);
        qsizetype end = unfinished.size();
        if (*encoding == TextEncoding::Gbk) {
            while (end > 0 && uchar(unfinished[end - 1]) >= 0x80) --end;
        } else {
            end = std::max(unfinished.lastIndexOf('\n'), unfinished.lastIndexOf('\r')) + 1;
        }
        text += decodeText(QByteArrayView(unfinished).first(end), *encoding);
        unfinished.remove(0, end);
        // A file that grows while it is read ends at the limit.
        if (text.size() > kMaxDataFileBytes) break;
    }
    if (!any) return {State::Empty, {}, {}};
    text += decodeText(unfinished, encoding.value_or(TextEncoding::Gbk));
    return {State::HasContent, text, {}};
}

// The file holds the whole record or nothing of it: on any failure it is cut
// back to its length before the record.
std::optional<QString> GbkTextFiles::append(const QString& path, const QString& record) {
    QString reason;
    const int fd = openForWriting(fileName(path), O_APPEND, reason);
    if (fd < 0) return reason;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = systemReason(errno);
        ::close(fd);
        return reason;
    }
    const off_t before = st.st_size;
    const int error = writeAll(fd, encodeGbk(record + QStringLiteral("\r\n")));
    if (error != 0) {
        while (::ftruncate(fd, before) != 0 && errno == EINTR) {
        }
        ::fsync(fd);
    }
    ::close(fd);
    if (error != 0) return systemReason(error);
    return std::nullopt;
}

std::optional<QString> GbkTextFiles::rewrite(const QString& path, const QString& content) {
    QString reason;
    const int fd = openForWriting(fileName(path), O_TRUNC, reason);
    if (fd < 0) return reason;
    const int error = writeAll(fd, encodeGbk(content));
    ::close(fd);
    if (error != 0) return systemReason(error);
    return std::nullopt;
}

QByteArray GbkTextFiles::appended(const QString& record) const {
    return encodeGbk(record + QStringLiteral("\r\n"));
}

QByteArray GbkTextFiles::bytes(const QString& path, qint64 from, qint64 to) const {
    DataFile file(path);
    if (file.state() != DataFile::State::Open) return {};
    from = std::clamp<qint64>(from, 0, file.size());
    to = std::clamp<qint64>(to, from, file.size());
    QByteArray out(to - from, Qt::Uninitialized);
    qint64 got = 0;
    while (got < out.size()) {
        const ssize_t n =
            ::pread(file.handle(), out.data() + got, size_t(out.size() - got), off_t(from + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
    }
    out.truncate(got);
    return out;
}

TextFiles::Length GbkTextFiles::length(const QString& path) const {
    struct stat st {};
    if (::stat(fileName(path).constData(), &st) != 0) {
        if (errno == ENOENT) return {0, std::nullopt};
        return {0, systemReason(errno)};
    }
    if (!S_ISREG(st.st_mode)) return {0, *refusedForWriting(fileName(path))};
    return {st.st_size, std::nullopt};
}

std::optional<QString> GbkTextFiles::truncate(const QString& path, qint64 length) {
    QString reason;
    const int fd = openForWriting(fileName(path), 0, reason);
    if (fd < 0) return reason;
    int error = 0;
    while (::ftruncate(fd, off_t(length)) != 0) {
        if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    ::close(fd);
    if (error != 0) return systemReason(error);
    return std::nullopt;
}

std::unique_ptr<ByteFile> GbkTextFiles::openBytes(const QString& path) const {
    return std::make_unique<ByteFile>(path);
}

std::unique_ptr<Replacement> GbkTextFiles::replace(const QString& path) {
    return std::make_unique<SavedReplacement>(path);
}

std::optional<QString> GbkTextFiles::remove(const QString& path) {
    if (::unlink(fileName(path).constData()) != 0 && errno != ENOENT) return systemReason(errno);
    return std::nullopt;
}

}  // namespace tovrin
