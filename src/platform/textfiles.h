#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <memory>
#include <optional>

#include "platform/bytefile.h"
#include "platform/text_encoding.h"

namespace tovrin {

// The largest data file the till reads: a journal or a barcode table beyond
// it is refused with a message rather than read half or not at all.
inline constexpr qint64 kMaxDataFileBytes = qint64(1) << 30;

// What an append writes before a record so that the record starts a line of
// its own, given the last byte of the file (none for an empty file): nothing
// after LF, LF after a lone CR, CR LF after anything else. The last line of
// the file stays whole either way.
QByteArray lineBreakAfter(QByteArrayView lastByte);

// What the cashier is told when something cannot be done to a file: the
// verb, the file's full path and the reason, "无法<verb> <path>：<reason>".
QString fileFailure(const QString& verb, const QString& path, const QString& reason);

// The same for a data file that cannot be read or written,
// "无法读取 <path>：<reason>" and "无法写入 <path>：<reason>".
QString readFailure(const QString& path, const QString& reason);
QString writeFailure(const QString& path, const QString& reason);

// The new content of a file, written in GBK beside it; the file takes it only
// at commit(), and keeps its old content when the replacement is dropped
// uncommitted.
class Replacement {
public:
    virtual ~Replacement() = default;
    // Why the replacement could not be begun or could not go on; empty while
    // all is well.
    virtual QString failure() const = 0;
    // The bytes written so far.
    virtual qint64 size() const = 0;
    virtual bool write(QStringView text) = 0;
    // Drops what was written after the first `length` bytes.
    virtual bool cutBack(qint64 length) = 0;
    // Puts the new content in the file's place; the reason on failure.
    virtual std::optional<QString> commit() = 0;
};

// Every data file is GBK text without a byte-order mark.
class TextFiles {
public:
    // The same states as a file opened for its bytes.
    using State = ByteFile::State;
    struct Read {
        State state = State::Missing;
        QString text;    // the whole content, line ends as stored
        QString reason;  // for Unreadable: the system's reason
        bool hasContent() const { return state == State::HasContent; }
    };
    // The length of a file in bytes; a missing file has length 0.
    struct Length {
        qint64 bytes = 0;
        std::optional<QString> failure;  // the reason when it cannot be told
    };

    virtual ~TextFiles() = default;

    // Reads the whole file and tells missing, empty and filled apart.
    virtual Read read(const QString& path) const = 0;
    // Appends one record followed by CR LF and puts it on the disk; a file
    // whose last line has no line end gets one first (lineBreakAfter). The
    // file then holds the whole record or, on failure, nothing of it.
    // Returns the reason on failure.
    virtual std::optional<QString> append(const QString& path, const QString& record) = 0;
    // Creates or empties the file and writes the content (which may be empty).
    virtual std::optional<QString> rewrite(const QString& path, const QString& content) = 0;

    // The bytes append() adds for the record (CR LF included), leaving out
    // the line break that a file without a last line end gets first.
    virtual QByteArray appended(const QString& record) const;
    // The bytes append() adds for the record to the file when it is `at`
    // bytes long: the line break the file needs there, then the record.
    QByteArray appendedAt(const QString& path, qint64 at, const QString& record) const;
    // The same, given the file's last byte (none for an empty file).
    QByteArray appendedAfter(QByteArrayView lastByte, const QString& record) const;
    // The bytes of the file from `from` up to `to` (excluded), clipped to
    // the file; empty when it cannot be read.
    virtual QByteArray bytes(const QString& path, qint64 from, qint64 to) const;
    virtual Length length(const QString& path) const;
    // Cuts the file back to the length and puts that on the disk.
    virtual std::optional<QString> truncate(const QString& path, qint64 length);
    // Removes the file; a missing file is no failure.
    virtual std::optional<QString> remove(const QString& path);

    // The file's bytes, a window at a time, for searching files too large to
    // be held; by default the file's text as read() gives it, held whole.
    virtual std::unique_ptr<ByteFile> openBytes(const QString& path) const;
    // Begins replacing the file's content; by default the new content is held
    // and written with rewrite() at commit.
    virtual std::unique_ptr<Replacement> replace(const QString& path);
};

}  // namespace tovrin
