#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace tovrin {

inline constexpr quint32 kEndOfChain = 0xFFFFFFFE;

struct DirectoryEntry {
    QString name;
    int type = 0;  // 1 storage, 2 stream, 5 root
    quint32 start = kEndOfChain;
    quint64 size = 0;
};

// A stream of the compound file, read a window of sectors at a time: its
// memory does not grow with the stream. A small stream (in the mini stream)
// is held whole; it is shorter than the cut-off of 4096 bytes.
class StreamReader {
public:
    StreamReader() = default;
    StreamReader(QIODevice& file, qint64 sectorSize, std::vector<quint32> sectors, qint64 size)
        : file_(&file), sectorSize_(sectorSize), sectors_(std::move(sectors)), size_(size) {}
    explicit StreamReader(QByteArray bytes) : size_(bytes.size()), window_(std::move(bytes)) {}

    qint64 size() const { return size_; }
    // The `n` bytes at `pos` into `out`; false when they run past the end of
    // the stream or the file could not be read.
    bool read(qint64 pos, char* out, qint64 n) {
        if (pos < 0 || n < 0 || pos + n > size_) return false;
        while (n > 0) {
            if (pos < windowStart_ || pos >= windowStart_ + window_.size()) {
                if (!load(pos)) return false;
            }
            const qint64 take = std::min<qint64>(n, windowStart_ + window_.size() - pos);
            std::memcpy(out, window_.constData() + (pos - windowStart_), size_t(take));
            out += take;
            pos += take;
            n -= take;
        }
        return true;
    }

private:
    // Reads the window that begins with the sector holding `pos`; runs of
    // consecutive sectors are read at once.
    bool load(qint64 pos);

    QIODevice* file_ = nullptr;
    qint64 sectorSize_ = 512;
    std::vector<quint32> sectors_;
    qint64 size_ = 0;
    QByteArray window_;
    qint64 windowStart_ = 0;
};

// The compound file (OLE2 structured storage) that holds the workbook
// stream, read from the file as needed: the header, the allocation tables
// and the directory are held, the streams are not.
class CompoundFile {
public:
    explicit CompoundFile(QIODevice& file) : file_(file), fileSize_(file.size()) {}

    std::optional<QString> open();
    const DirectoryEntry* find(QStringView name) const;
    std::optional<QString> openStream(const DirectoryEntry& entry, StreamReader& out);

private:
    std::optional<QString> chain(quint32 start, const std::vector<quint32>& table, qint64 maxLength,
                                 std::vector<quint32>& out) const;
    // The sectors of a regular stream, each of them checked to lie in the file.
    std::optional<QString> regularSectors(quint32 start, quint64 size, std::vector<quint32>& out) const;
    // A fault when one of the sectors lies beyond the file's end.
    std::optional<QString> inFile(const std::vector<quint32>& sectors) const;
    bool readSector(quint32 id, char* out);

    QIODevice& file_;
    qint64 fileSize_;
    qint64 sectorSize_ = 512;
    qint64 sectorCount_ = 0;
    bool version4_ = false;
    quint32 miniCutoff_ = 4096;
    quint32 firstMiniFat_ = kEndOfChain;
    std::vector<quint32> fat_;
    // The root and the streams the reader looks for; other entries are
    // passed over.
    std::vector<DirectoryEntry> entries_;
};

}  // namespace tovrin
