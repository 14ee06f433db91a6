#pragma once

#include <sys/types.h>

#include <QString>
#include <limits>
#include <optional>

namespace tovrin {

// The words a cashier is shown for a system error number, in Chinese for
// every error the file calls (open, read, write, fsync, ftruncate, rename,
// unlink, flock, stat) can give on Linux: "磁盘已满" for a full disk,
// "没有访问权限" for a refused file, read or written, "没有写入权限" for a
// read-only disk. Any other number is named as a system error with its number.
QString systemReason(int error);

// Why something that stands in a file's place is not a file to open: a
// folder, a symbolic link, or a pipe, a device or the like.
QString notRegularReason(mode_t mode);

// Why an open that does not follow a link failed with the error number: a
// link in the file's place is named as such, any other error by its words.
QString openReason(int error);

// A data file opened for reading. Only a regular file of at most
// kMaxDataFileBytes is opened, and opening never waits: a pipe, a device or
// a folder in a data file's place is refused with a reason, and so is a
// symbolic link (a data file is the folder's own, never a file elsewhere).
class DataFile {
public:
    enum class State { Missing, Refused, Open };
    enum class Links { Refuse, Follow };
    static constexpr qint64 kAnySize = std::numeric_limits<qint64>::max();

    explicit DataFile(const QString& path);
    // A file the cashier chose (a workbook): a link is followed, and the
    // size is checked by the caller's own bounds.
    DataFile(const QString& path, qint64 maxBytes, Links links);
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    State state() const { return state_; }
    const QString& reason() const { return reason_; }
    qint64 size() const { return size_; }
    int handle() const { return fd_; }
    // Gives the descriptor away: the caller closes it.
    int release();

    // Reads up to `length` bytes at the current position, retrying after an
    // interruption; -1 on failure (see reason()).
    qint64 readSome(char* into, qint64 length);

private:
    // Opens the file; the reason when it is refused.
    std::optional<QString> open(const QByteArray& name, qint64 maxBytes, bool follow);

    State state_ = State::Missing;
    QString reason_;
    qint64 size_ = 0;
    int fd_ = -1;
};

}  // namespace tovrin
