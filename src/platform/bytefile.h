#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <memory>
#include <optional>

#include "platform/text_encoding.h"

namespace tovrin {

// Read-only access to the bytes of a file that may be too large to be held
// in memory: one window of it is read at a time and moved as the searches
// go, so a scan of the whole file needs only the window's memory. Only a
// regular file within the data file limit is opened (see DataFile); anything
// else is Unreadable with the reason.
class ByteFile {
public:
    enum class State { Missing, Unreadable, Empty, HasContent };

    explicit ByteFile(const QString& path, qint64 window = qint64(4) << 20);
    // Bytes held in memory as if they were the file's (a test's, or a file
    // already read).
    static std::unique_ptr<ByteFile> held(State state, QByteArray bytes = {}, QString reason = {});

    State state() const { return state_; }
    // For Unreadable: the system's reason.
    const QString& reason() const { return reason_; }
    qint64 size() const { return size_; }

    // The first occurrence of the needle that starts at or after `from` and
    // before `limit`; -1 when there is none. An empty needle is found at
    // `from`.
    qint64 indexOf(QByteArrayView needle, qint64 from, qint64 limit = -1);
    // The last occurrence that starts at or before `from` and at or after
    // `floor`; -1 when there is none.
    qint64 lastIndexOf(QByteArrayView needle, qint64 from, qint64 floor = 0);
    // The bytes from `from` up to `to` (excluded), clipped to the file.
    QByteArray bytes(qint64 from, qint64 to);

    // Where a line ends: at a CR or an LF (a CR LF ends a line at its CR).
    // The first line end at or after `from` and before `limit`, -1 when none.
    qint64 indexOfLineEnd(qint64 from, qint64 limit = -1);
    // The last CR or LF at or before `from` and at or after `floor`.
    qint64 lastIndexOfLineEnd(qint64 from, qint64 floor = 0);

    // The encoding of the file's text, told from its first bytes.
    TextEncoding encoding();

private:
    ByteFile() = default;
    // The bytes held from `pos` on, at least `atLeast` of them when the file
    // has that many; a new window is read at `pos` when needed.
    QByteArrayView ahead(qint64 pos, qint64 atLeast);
    // The bytes held that end at `end`, at least `atLeast` of them when the
    // file has that many.
    QByteArrayView behind(qint64 end, qint64 atLeast);
    void load(qint64 from, qint64 length);

    QFile file_;
    State state_ = State::Missing;
    QString reason_;
    qint64 size_ = 0;
    qint64 window_ = 0;
    QByteArray buffer_;
    qint64 bufferStart_ = 0;
    std::optional<TextEncoding> encoding_;
};

}  // namespace tovrin
