#include "platform/qt/gbk_text_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>

#include "platform/datafile.h"

namespace tovrin {

namespace {

using DiskCalls = GbkTextFiles::DiskCalls;

QByteArray fileName(const QString& path) { return QFile::encodeName(path); }

// A file that is there but is no regular file (a link included), with the
// reason.
std::optional<QString> refusedForWriting(const QByteArray& name) {
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || S_ISREG(st.st_mode)) return std::nullopt;
    return notRegularReason(st.st_mode);
}

// The reason an open for writing failed with the error number.
QString openFailure(const QByteArray& name, int error) {
    if (const auto refused = refusedForWriting(name)) return *refused;
    if (error == EISDIR) return notRegularReason(S_IFDIR);
    if (error == ENXIO) return notRegularReason(S_IFIFO);  // a pipe without a reader
    return openReason(error);
}

struct Opened {
    int fd = -1;
    bool created = false;  // the open made the file
    QString reason;        // why it could not be opened
};

// Opens a regular file for writing (`flags` holds the access mode) without
// waiting on a pipe and without following a link; a missing file is created
// when `create` is set.
Opened openForWriting(const QByteArray& name, int flags, bool create) {
    constexpr int kWrite = O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW;
    Opened out;
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (const auto refused = refusedForWriting(name)) {
            out.reason = *refused;
            return out;
        }
        out.fd = ::open(name.constData(), kWrite | flags);
        if (out.fd < 0 && errno == ENOENT && create) {
            out.fd = ::open(name.constData(), kWrite | flags | O_CREAT | O_EXCL, 0666);
            // Made by another hand in between: opened as it is next time.
            if (out.fd < 0 && errno == EEXIST) continue;
            out.created = out.fd >= 0;
        }
        if (out.fd < 0) {
            out.reason = openFailure(name, errno);
            return out;
        }
        struct stat st {};
        if (::fstat(out.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            out.reason = notRegularReason(st.st_mode);
            ::close(out.fd);
            out.fd = -1;
        }
        return out;
    }
    out.reason = systemReason(EEXIST);
    return out;
}

// Writes all the bytes, as many write calls as the system needs; the error
// number of the first failure, 0 when done.
int writeAll(const DiskCalls& calls, int fd, QByteArrayView bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = calls.write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += n;
    }
    return 0;
}

int syncFile(const DiskCalls& calls, int fd) { return calls.fsync(fd) == 0 ? 0 : errno; }

int cutTo(const DiskCalls& calls, int fd, off_t length) {
    for (;;) {
        if (calls.ftruncate(fd, length) == 0) return 0;
        if (errno != EINTR) return errno;
    }
}

// Puts the names in the folder of the file on the disk, so that a file just
// created or renamed there is found after a power cut. A file system that
// cannot sync a folder (EINVAL) has nothing to put there.
int syncFolder(const DiskCalls& calls, const QByteArray& name) {
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArrayLiteral(".")
                              : slash == 0 ? QByteArrayLiteral("/")
                                           : name.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = syncFile(calls, fd);
    if (error == EINVAL) error = 0;
    ::close(fd);
    return error;
}

// Writes the bytes to a file just opened and puts them on the disk, and the
// file's name too when the open made it; a file made for them is removed
// again on failure. The error number of the first failure, 0 when done.
int putOnDisk(const DiskCalls& calls, const QByteArray& name, const Opened& file, QByteArrayView bytes) {
    int error = writeAll(calls, file.fd, bytes);
    if (error == 0) error = syncFile(calls, file.fd);
    if (error == 0 && file.created) error = syncFolder(calls, name);
    if (error != 0 && file.created) ::unlink(name.constData());
    return error;
}

// The new content in a file of its own beside the old one, renamed over it at
// commit. The old file's place must hold a regular file or nothing: a link
// there is refused before anything is written.
class SavedReplacement : public Replacement {
public:
    SavedReplacement(const DiskCalls& calls, const QString& path) : calls_(calls), target_(fileName(path)) {
        struct stat st {};
        const bool exists = ::lstat(target_.constData(), &st) == 0;
        if (exists && !S_ISREG(st.st_mode)) {
            failure_ = notRegularReason(st.st_mode);
            return;
        }
        for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
            temp_ = target_ + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16);
            fd_ = ::open(temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) {
            failure_ = systemReason(errno);
            temp_.clear();
            return;
        }
        // The new table keeps the old one's permissions.
        if (exists) ::fchmod(fd_, st.st_mode & 07777);
    }
    ~SavedReplacement() override { drop(); }

    QString failure() const override { return failure_; }
    qint64 size() const override { return written_ + pending_.size(); }
    bool write(QStringView text) override {
        if (!failure_.isEmpty()) return false;
        pending_ += encoder_.encode(text);
        return pending_.size() < kFlushAt || flush();
    }
    bool cutBack(qint64 length) override {
        if (!failure_.isEmpty()) return false;
        if (length >= size()) return true;
        if (length >= written_) {
            pending_.truncate(length - written_);
            return true;
        }
        pending_.clear();
        if (const int error = cutTo(calls_, fd_, off_t(length))) return fail(error);
        if (::lseek(fd_, off_t(length), SEEK_SET) < 0) return fail(errno);
        written_ = length;
        return true;
    }
    std::optional<QString> commit() override {
        if (failure_.isEmpty() && flush()) {
            if (const int error = syncFile(calls_, fd_)) {
                fail(error);
            } else if (::close(std::exchange(fd_, -1)) != 0) {
                fail(errno);
            } else if (::rename(temp_.constData(), target_.constData()) != 0) {
                fail(errno);
            } else {
                temp_.clear();
                if (const int error = syncFolder(calls_, target_)) fail(error);
            }
        }
        if (failure_.isEmpty()) return std::nullopt;
        return failure_;
    }

private:
    static constexpr qsizetype kFlushAt = qsizetype(64) << 10;

    bool flush() {
        if (const int error = writeAll(calls_, fd_, pending_)) return fail(error);
        written_ += pending_.size();
        pending_.clear();
        return true;
    }
    bool fail(int error) {
        if (failure_.isEmpty()) failure_ = systemReason(error);
        drop();
        return false;
    }
    void drop() {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
        if (!temp_.isEmpty()) ::unlink(temp_.constData());
        temp_.clear();
    }

    const DiskCalls& calls_;
    QByteArray target_;
    QByteArray temp_;  // the new content's file until it is renamed
    int fd_ = -1;
    QStringEncoder encoder_{"GBK"};
    QByteArray pending_;  // encoded, not yet written
    qint64 written_ = 0;
    QString failure_;
};

}  // namespace

GbkTextFiles::GbkTextFiles() : GbkTextFiles(DiskCalls{}) {}

GbkTextFiles::GbkTextFiles(DiskCalls calls) : calls_(std::move(calls)) {
    if (!calls_.write) calls_.write = ::write;
    if (!calls_.fsync) calls_.fsync = ::fsync;
    if (!calls_.ftruncate) calls_.ftruncate = ::ftruncate;
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
// back to its length before the record, and a file made for the record is
// removed again (its next write makes it anew and syncs its name).
std::optional<QString> GbkTextFiles::append(const QString& path, const QString& record) {
    const QByteArray name = fileName(path);
    const Opened file = openForWriting(name, O_RDWR | O_APPEND, true);
    if (file.fd < 0) return file.reason;
    struct stat st {};
    int error = ::fstat(file.fd, &st) == 0 ? 0 : errno;
    const off_t before = st.st_size;
    if (error == 0) {
        char last = 0;
        const bool unended = before > 0 && ::pread(file.fd, &last, 1, before - 1) == 1;
        error = putOnDisk(calls_, name, file,
                          appendedAfter(unended ? QByteArrayView(&last, 1) : QByteArrayView(), record));
        if (error != 0 && !file.created && cutTo(calls_, file.fd, before) == 0) ::fsync(file.fd);
    } else if (file.created) {
        ::unlink(name.constData());
    }
    ::close(file.fd);
    if (error != 0) return systemReason(error);
    return std::nullopt;
}

std::optional<QString> GbkTextFiles::rewrite(const QString& path, const QString& content) {
    const QByteArray name = fileName(path);
    const Opened file = openForWriting(name, O_WRONLY | O_TRUNC, true);
    if (file.fd < 0) return file.reason;
    const int error = putOnDisk(calls_, name, file, encodeGbk(content));
    ::close(file.fd);
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
    if (::lstat(fileName(path).constData(), &st) != 0) {
        if (errno == ENOENT) return {0, std::nullopt};
        return {0, systemReason(errno)};
    }
    if (!S_ISREG(st.st_mode)) return {0, notRegularReason(st.st_mode)};
    return {st.st_size, std::nullopt};
}

std::optional<QString> GbkTextFiles::truncate(const QString& path, qint64 length) {
    const Opened file = openForWriting(fileName(path), O_WRONLY, false);
    if (file.fd < 0) return file.reason;
    int error = cutTo(calls_, file.fd, off_t(length));
    if (error == 0) error = syncFile(calls_, file.fd);
    ::close(file.fd);
    if (error != 0) return systemReason(error);
    return std::nullopt;
}

std::unique_ptr<ByteFile> GbkTextFiles::openBytes(const QString& path) const {
    return std::make_unique<ByteFile>(path);
}

std::unique_ptr<Replacement> GbkTextFiles::replace(const QString& path) {
    return std::make_unique<SavedReplacement>(calls_, path);
}

std::optional<QString> GbkTextFiles::remove(const QString& path) {
    if (::unlink(fileName(path).constData()) != 0 && errno != ENOENT) return systemReason(errno);
    return std::nullopt;
}

}  // namespace tovrin
