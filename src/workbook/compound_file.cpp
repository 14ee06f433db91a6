#include "workbook/compound_file.h"

#include "workbook/little_endian.h"
#include "workbook/workbook_limits.h"

namespace tovrin {

namespace {

using little_endian::u16;
using little_endian::u32;

constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kFirstSpecialSector = 0xFFFFFFFA;
constexpr int kHeaderDifatEntries = 109;

// The faults found in more than one place.
QString chainLoops() { return QStringLiteral("扇区链成环"); }
QString streamCut() { return QStringLiteral("数据流不完整"); }
QString sectorPastEnd() { return QStringLiteral("扇区超出文件末尾"); }
QString fileTooShort() { return QStringLiteral("文件太短"); }

}  // namespace

bool StreamReader::load(qint64 pos) {
    if (!file_) return false;
    const qint64 first = pos / sectorSize_;
    windowStart_ = first * sectorSize_;
    const qint64 length = std::min<qint64>(workbook_limits::kXlsWindowBytes, size_ - windowStart_);
    window_.resize(length);
    qint64 done = 0;
    for (qint64 k = first; done < length;) {
        qint64 run = 1;
        while (done + run * sectorSize_ < length && sectors_[size_t(k + run)] == sectors_[size_t(k)] + run)
            ++run;
        const qint64 bytes = std::min<qint64>(run * sectorSize_, length - done);
        if (!file_->seek((qint64(sectors_[size_t(k)]) + 1) * sectorSize_) ||
            file_->read(window_.data() + done, bytes) != bytes) {
            window_.clear();
            return false;
        }
        done += bytes;
        k += run;
    }
    return true;
}

bool CompoundFile::readSector(quint32 id, char* out) {
    const qint64 offset = (qint64(id) + 1) * sectorSize_;
    return offset + sectorSize_ <= fileSize_ && file_.seek(offset) &&
           file_.read(out, sectorSize_) == sectorSize_;
}

std::optional<QString> CompoundFile::chain(quint32 start, const std::vector<quint32>& table, qint64 maxLength,
                                           std::vector<quint32>& out) const {
    out.clear();
    for (quint32 id = start; id != kEndOfChain; id = table[id]) {
        if (id >= table.size()) return QStringLiteral("扇区编号超出范围");
        if (qint64(out.size()) >= maxLength) return chainLoops();
        out.push_back(id);
    }
    return std::nullopt;
}

std::optional<QString> CompoundFile::regularSectors(quint32 start, quint64 size,
                                                    std::vector<quint32>& out) const {
    if (auto e = chain(start, fat_, sectorCount_, out)) return e;
    if (size > quint64(out.size()) * quint64(sectorSize_)) return streamCut();
    out.resize(size_t((size + quint64(sectorSize_) - 1) / quint64(sectorSize_)));
    return inFile(out);
}

std::optional<QString> CompoundFile::inFile(const std::vector<quint32>& sectors) const {
    for (quint32 id : sectors) {
        if ((qint64(id) + 1) * sectorSize_ >= fileSize_) return sectorPastEnd();
    }
    return std::nullopt;
}

std::optional<QString> CompoundFile::open() {
    QByteArray header(512, '\0');
    if (!file_.seek(0) || file_.read(header.data(), 512) != 512) return fileTooShort();
    const char* h = header.constData();
    const int shift = u16(h + 0x1E);
    if (shift != 9 && shift != 12) return QStringLiteral("扇区大小无效");
    if (u16(h + 0x20) != 6) return QStringLiteral("小扇区大小无效");
    sectorSize_ = qint64(1) << shift;
    version4_ = shift == 12;
    if (fileSize_ <= sectorSize_) return fileTooShort();
    sectorCount_ = (fileSize_ - sectorSize_ + sectorSize_ - 1) / sectorSize_;
    const qint64 perSector = sectorSize_ / 4;

    // The sectors of the allocation table: 109 in the header, the rest in a
    // chain of sectors whose last entry points to the next one.
    const qint64 fatSectors = std::min<qint64>(u32(h + 0x2C), sectorCount_);
    std::vector<quint32> fatList;
    for (int i = 0; i < kHeaderDifatEntries && qint64(fatList.size()) < fatSectors; ++i) {
        const quint32 id = u32(h + 0x4C + 4 * i);
        if (id == kFreeSector) break;
        fatList.push_back(id);
    }
    QByteArray sector(sectorSize_, '\0');
    quint32 difat = u32(h + 0x44);
    for (qint64 hops = 0; qint64(fatList.size()) < fatSectors && difat < kFirstSpecialSector; ++hops) {
        if (hops >= sectorCount_ || difat >= sectorCount_) return QStringLiteral("分配表目录无效");
        if (!readSector(difat, sector.data())) return QStringLiteral("分配表目录超出文件末尾");
        const char* s = sector.constData();
        for (qint64 i = 0; i < perSector - 1 && qint64(fatList.size()) < fatSectors; ++i) {
            const quint32 id = u32(s + 4 * i);
            if (id != kFreeSector) fatList.push_back(id);
        }
        difat = u32(s + 4 * (perSector - 1));
    }
    if (fatList.empty()) return QStringLiteral("没有分配表");
    fat_.reserve(fatList.size() * size_t(perSector));
    for (quint32 id : fatList) {
        if (id >= sectorCount_ || !readSector(id, sector.data())) return QStringLiteral("分配表超出文件末尾");
        for (qint64 i = 0; i < perSector; ++i) fat_.push_back(u32(sector.constData() + 4 * i));
    }

    std::vector<quint32> dirSectors;
    if (auto e = chain(u32(h + 0x30), fat_, sectorCount_, dirSectors)) return e;
    bool first = true;
    for (quint32 id : dirSectors) {
        if (!readSector(id, sector.data())) return sectorPastEnd();
        for (qsizetype at = 0; at + 128 <= sector.size(); at += 128) {
            const char* d = sector.constData() + at;
            DirectoryEntry entry;
            const int nameBytes = std::min<int>(u16(d + 0x40), 64);
            for (int i = 0; i + 1 < nameBytes; i += 2) {
                const char16_t c = u16(d + i);
                if (c == 0) break;
                entry.name += QChar(c);
            }
            entry.type = quint8(d[0x42]);
            entry.start = u32(d + 0x74);
            entry.size = version4_ ? qFromLittleEndian<quint64>(d + 0x78) : u32(d + 0x78);
            const bool wanted =
                entry.type == 2 && (entry.name.compare(u"Workbook", Qt::CaseInsensitive) == 0 ||
                                    entry.name.compare(u"Book", Qt::CaseInsensitive) == 0 ||
                                    entry.name.compare(u"EncryptedPackage", Qt::CaseInsensitive) == 0);
            if (first || wanted) entries_.push_back(entry);
            first = false;
        }
    }
    if (entries_.empty() || entries_[0].type != 5) return QStringLiteral("没有根目录");

    miniCutoff_ = u32(h + 0x38);
    firstMiniFat_ = u32(h + 0x3C);
    return std::nullopt;
}

const DirectoryEntry* CompoundFile::find(QStringView name) const {
    for (size_t i = 1; i < entries_.size(); ++i) {
        const DirectoryEntry& e = entries_[i];
        if (e.type == 2 && e.name.compare(name, Qt::CaseInsensitive) == 0) return &e;
    }
    return nullptr;
}

std::optional<QString> CompoundFile::openStream(const DirectoryEntry& entry, StreamReader& out) {
    if (entry.size > quint64(fileSize_)) return QStringLiteral("数据流长度超出文件");
    if (entry.size == 0) {
        out = StreamReader(QByteArray());
        return std::nullopt;
    }
    if (entry.size >= miniCutoff_) {
        std::vector<quint32> sectors;
        if (auto e = regularSectors(entry.start, entry.size, sectors)) return e;
        out = StreamReader(file_, sectorSize_, std::move(sectors), qint64(entry.size));
        return std::nullopt;
    }

    // A small stream lies in 64-byte sectors of the root's mini stream; only
    // the mini sectors it uses are read.
    if (entry.size > workbook_limits::kMaxMiniStreamBytes) return QStringLiteral("小扇区流长度无效");
    const DirectoryEntry& root = entries_[0];
    if (root.size > quint64(fileSize_)) return QStringLiteral("小扇区流长度超出文件");
    std::vector<quint32> rootSectors;
    if (auto e = regularSectors(root.start, root.size, rootSectors)) return e;
    StreamReader mini(file_, sectorSize_, std::move(rootSectors), qint64(root.size));
    std::vector<quint32> tableSectors;
    if (auto e = chain(firstMiniFat_, fat_, sectorCount_, tableSectors)) return e;
    StreamReader table(file_, sectorSize_, tableSectors, qint64(tableSectors.size()) * sectorSize_);
    if (auto e = inFile(tableSectors)) return e;
    QByteArray bytes;
    qint64 hops = 0;
    for (quint32 id = entry.start; quint64(bytes.size()) < entry.size; ++hops) {
        const qint64 offset = qint64(id) * 64;
        if (id >= kFirstSpecialSector || offset + 64 > mini.size()) return QStringLiteral("小扇区超出范围");
        if (hops > workbook_limits::kMaxMiniSectors) return chainLoops();
        char piece[64];
        if (!mini.read(offset, piece, 64)) return streamCut();
        bytes.append(piece, std::min<qint64>(64, qint64(entry.size) - bytes.size()));
        char next[4];
        if (quint64(bytes.size()) < entry.size) {
            if (!table.read(qint64(id) * 4, next, 4)) return QStringLiteral("小扇区编号超出范围");
            id = u32(next);
            if (id == kEndOfChain) return streamCut();
        }
    }
    out = StreamReader(std::move(bytes));
    return std::nullopt;
}

}  // namespace tovrin
