#pragma once

#include <QString>

namespace tovrin {

// The words a cashier is shown for a system error number: "磁盘已满" for a
// full disk, "没有写入权限" for a refused or read-only file, the system's own
// text otherwise.
QString systemReason(int error);

// A data file opened for reading. Only a regular file of at most
// kMaxDataFileBytes is opened, and opening never waits: a pipe, a device or
// a folder in a data file's place is refused with a reason.
class DataFile {
public:
    enum class State { Missing, Refused, Open };

    explicit DataFile(const QString& path);
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
    State state_ = State::Missing;
    QString reason_;
    qint64 size_ = 0;
    int fd_ = -1;
};

}  // namespace tovrin
