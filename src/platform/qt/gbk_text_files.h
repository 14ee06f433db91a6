#pragma once

#include <sys/types.h>

#include <functional>

#include "platform/textfiles.h"

namespace tovrin {

// Text files on disk in GBK (code page 936), without a byte-order mark.
// Only regular files are read or written; opening never waits on a pipe and
// never follows a symbolic link. A file that a write creates, or that a
// replacement renames into place, is on the disk with its name (the folder
// synced) before the write reports success.
class GbkTextFiles : public TextFiles {
public:
    // The system calls that put bytes on the disk or take them back; a test
    // can give its own to make them fail. The folder is synced with `fsync`
    // on a descriptor of the folder. Calls left empty are the system's.
    struct DiskCalls {
        std::function<ssize_t(int fd, const void* bytes, size_t count)> write;
        std::function<int(int fd)> fsync;
        std::function<int(int fd, off_t length)> ftruncate;
    };

    GbkTextFiles();
    explicit GbkTextFiles(DiskCalls calls);

    Read read(const QString& path) const override;
    std::optional<QString> append(const QString& path, const QString& record) override;
    std::optional<QString> rewrite(const QString& path, const QString& content) override;
    QByteArray appended(const QString& record) const override;
    QByteArray bytes(const QString& path, qint64 from, qint64 to) const override;
    Length length(const QString& path) const override;
    std::optional<QString> truncate(const QString& path, qint64 length) override;
    std::optional<QString> remove(const QString& path) override;
    std::unique_ptr<ByteFile> openBytes(const QString& path) const override;
    // Writes a file beside the old one that takes its place at commit.
    std::unique_ptr<Replacement> replace(const QString& path) override;

    // The size of the pieces a file is read and decoded in.
    static constexpr qint64 kPiece = qint64(16) << 20;

private:
    DiskCalls calls_;
};

}  // namespace tovrin
