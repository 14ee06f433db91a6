#include "barcode/table_check.h"

#include <QHash>
#include <algorithm>
#include <map>

#include "barcode/lookup.h"
#include "platform/folder.h"
#include "records/files.h"
#include "records/lines.h"

namespace tovrin {

namespace {

constexpr char kCR = '\r';

// The lookup's messages, not shown: the check reads why a scan was refused
// from the lookup itself.
class Unheard : public Prompts {
public:
    void ok(const QString&, const QString&) override {}
    bool yesNo(const QString&, const QString&) override { return false; }
};

// A table held in memory as the lookup's only file.
class HeldTable : public TextFiles {
public:
    void hold(QByteArray bytes) { bytes_ = std::move(bytes); }
    Read read(const QString&) const override {
        if (bytes_.isEmpty()) return {State::Empty, {}, {}};
        return {State::HasContent, decodeText(bytes_, sniffEncoding(bytes_)), {}};
    }
    std::unique_ptr<ByteFile> openBytes(const QString&) const override {
        return ByteFile::held(bytes_.isEmpty() ? State::Empty : State::HasContent, bytes_);
    }
    std::optional<QString> append(const QString&, const QString&) override { return kReadOnly; }
    std::optional<QString> rewrite(const QString&, const QString&) override { return kReadOnly; }

private:
    static inline const QString kReadOnly = QStringLiteral("只读");
    QByteArray bytes_;
};

// The pieces of the table in which each key occurs. A piece is what lies
// after a CR up to the next CR, that one included (the first piece begins the
// table, the last ends it). A key holds no CR, so each of its occurrences lies
// within one piece.
//
// The lookup judges an occurrence by the line around it and by whether it
// lies on the table's first line. A line never reaches past a CR, so both are
// decided within the occurrence's piece and the CR that ends the piece before
// it. The lookup over the first piece followed by the pieces that hold a key,
// in table order, therefore finds for that key what it finds over the whole
// table, and reads a few lines instead of all of them.
//
// The pieces holding a key are found in the table's text upper-cased, where
// the lookup finds its key (or more: a key that is found here and not by the
// lookup only brings a piece the lookup then passes over).
class KeyPieces {
public:
    // At most this many pieces are kept per key; a key found in more is
    // looked up in the whole table.
    static constexpr int kMostPieces = 4;
    // The table is read in stretches of about this many bytes, each ending
    // at a CR.
    static constexpr qint64 kChunkBytes = qint64(1) << 20;

    explicit KeyPieces(const std::vector<QString>& keys) : keys_(keys), found_(keys.size()) {
        // About sixteen bits of the filter for each key.
        while (filterBits_ < kMostFilterBits && (size_t(1) << filterBits_) < 16 * keys.size()) ++filterBits_;
        filter_.resize(size_t(1) << filterBits_);
        for (size_t id = 0; id < keys.size(); ++id) {
            const qsizetype length = keys[id].size();
            if (length == 0) continue;
            byLength_[length].push_back({hashOf(keys[id]), int(id)});
        }
        for (auto& [length, hashes] : byLength_) {
            std::sort(hashes.begin(), hashes.end());
            for (const auto& [hash, id] : hashes) filter_[slot(hash, length)] = true;
        }
    }

    // Reads the whole table; false when the work was told to stop.
    bool scan(ByteFile& file, Progress& progress) {
        const qint64 size = file.size();
        starts_ = {0};
        for (qint64 pos = 0; pos < size;) {
            if (!progress.advance(0)) return false;
            qint64 end = std::min(size, pos + kChunkBytes);
            if (end < size) {
                qint64 cr = file.lastIndexOf(QByteArrayView(&kCR, 1), end - 1, pos);
                if (cr < 0) cr = file.indexOf(QByteArrayView(&kCR, 1), end);
                end = cr < 0 ? size : cr + 1;
            }
            const QByteArray bytes = file.bytes(pos, end);
            const qsizetype firstPiece = qsizetype(starts_.size()) - 1;
            qsizetype crBytes = 0;
            for (qsizetype i = bytes.indexOf(kCR); i >= 0; i = bytes.indexOf(kCR, i + 1)) {
                ++crBytes;
                if (pos + i + 1 < size) starts_.push_back(pos + i + 1);
            }
            const QString text = upperSameLength(decodeGbk(bytes));
            crs_.clear();
            for (qsizetype i = text.indexOf(QLatin1Char(kCR)); i >= 0;
                 i = text.indexOf(QLatin1Char(kCR), i + 1)) {
                crs_.push_back(i);
            }
            // Every CR byte is a CR of the text; should the decoder ever
            // disagree, no piece is trusted and every key is looked up in
            // the whole table.
            if (qsizetype(crs_.size()) != crBytes) trusted_ = false;
            if (trusted_) search(text, firstPiece);
            pos = end;
        }
        starts_.push_back(size);
        return true;
    }

    // The first piece and the pieces that hold the key, or nullopt when the
    // key is found in more pieces than are kept.
    std::optional<std::vector<int>> pieces(int id) const {
        const Found& f = found_[size_t(id)];
        if (f.crowded || !trusted_) return std::nullopt;
        std::vector<int> out{0};
        for (int i = 0; i < f.count; ++i) {
            if (f.pieces[i] != 0) out.push_back(f.pieces[i]);
        }
        return out;
    }

    QByteArray bytes(ByteFile& file, int piece) const {
        return file.bytes(starts_[size_t(piece)], starts_[size_t(piece) + 1]);
    }

private:
    struct Found {
        std::array<int, kMostPieces> pieces{};
        int count = 0;
        bool crowded = false;
    };

    static constexpr quint64 kBase = 0x100000001B3ULL;
    static constexpr int kMostFilterBits = 24;

    static quint64 hashOf(QStringView text) {
        quint64 h = 0;
        for (QChar c : text) h = h * kBase + c.unicode();
        return h;
    }
    // The bit of the filter that a key's hash and length set.
    size_t slot(quint64 hash, qsizetype length) const {
        return size_t(((hash ^ quint64(length) * 0xC2B2AE3D27D4EB4FULL) * 0x9E3779B97F4A7C15ULL) >>
                      (64 - filterBits_));
    }

    // Notes the piece of every occurrence of a key in the text, whose CRs
    // (crs_) end the pieces from `firstPiece` on.
    void search(const QString& text, qsizetype firstPiece) {
        const QChar* chars = text.constData();
        const qsizetype n = text.size();
        for (const auto& [length, hashes] : byLength_) {
            if (length > n) continue;
            quint64 power = 1;
            for (qsizetype i = 0; i < length; ++i) power *= kBase;
            quint64 h = 0;
            for (qsizetype i = 0; i < n; ++i) {
                h = h * kBase + chars[i].unicode();
                if (i >= length) h -= power * chars[i - length].unicode();
                if (i + 1 < length || !filter_[slot(h, length)]) continue;
                const qsizetype at = i + 1 - length;
                auto hit = std::lower_bound(hashes.begin(), hashes.end(), std::pair<quint64, int>{h, 0});
                for (; hit != hashes.end() && hit->first == h; ++hit) {
                    if (QStringView(chars + at, length) != keys_[size_t(hit->second)]) continue;
                    const qsizetype before = std::upper_bound(crs_.begin(), crs_.end(), at) - crs_.begin();
                    add(hit->second, int(firstPiece + before));
                }
            }
        }
    }

    void add(int id, int piece) {
        Found& f = found_[size_t(id)];
        if (f.crowded || (f.count > 0 && f.pieces[size_t(f.count) - 1] == piece)) return;
        if (f.count == kMostPieces) {
            f.crowded = true;
            return;
        }
        f.pieces[size_t(f.count++)] = piece;
    }

    const std::vector<QString>& keys_;
    std::vector<Found> found_;
    std::map<qsizetype, std::vector<std::pair<quint64, int>>> byLength_;
    int filterBits_ = 10;
    std::vector<bool> filter_;    // set where some key's hash falls
    std::vector<qint64> starts_;  // of every piece, and the table's size behind the last
    std::vector<qsizetype> crs_;  // of the text being searched
    bool trusted_ = true;
};

QString rowText(const TableCheck::Finding& f) {
    QString text = QStringLiteral("      ") + f.sheet + QStringLiteral(" 第 ") + QString::number(f.row) +
                   QStringLiteral(" 行");
    if (!f.barcode.isEmpty()) text += QStringLiteral("，条码 ") + f.barcode;
    if (!f.price.isEmpty()) text += QStringLiteral("，价格 ") + f.price;
    return text;
}

}  // namespace

TableCheck::TableCheck(const NumberFormat& numbers) : numbers_(numbers) {}

void TableCheck::beginSheet(const QString& name) { sheets_.push_back(name); }

void TableCheck::row(int number, const QString& barcode, const QString& price) {
    if (sheets_.empty()) sheets_.emplace_back();
    const int sheet = int(sheets_.size()) - 1;
    if (number == 1 && !numbers_.isNumeric(barcode)) return;  // the column titles
    if (barcode.isEmpty()) {
        if (!price.isEmpty()) noteSheetRow(Kind::PriceWithoutBarcode, sheet, number, {}, price);
        return;
    }
    QString key = BarcodeLookup::key(barcode);
    if (key == barcode) key = barcode;  // one copy of the text
    const auto known = keyIds_.constFind(key);
    if (known == keyIds_.cend()) {
        rows_.push_back({sheet, number, int(keys_.size())});
        if (key != barcode) otherBarcodes_.insert(qsizetype(rows_.size()) - 1, barcode);
        keyIds_.insert(key, int(keys_.size()));
        keys_.push_back(std::move(key));
        firstRows_.push_back(int(rows_.size()) - 1);
        return;
    }
    rows_.push_back({sheet, number, *known});
    if (barcode != barcodeOf(size_t(firstRows_[size_t(*known)]))) {
        otherBarcodes_.insert(qsizetype(rows_.size()) - 1, barcode);
    }
}

const QString& TableCheck::barcodeOf(size_t row) const {
    const auto other = otherBarcodes_.constFind(qsizetype(row));
    if (other != otherBarcodes_.cend()) return *other;
    // A row's barcode is kept only where it differs from the first of its
    // key, and the first's where it differs from the key.
    const int key = rows_[row].key;
    const size_t first = size_t(firstRows_[size_t(key)]);
    return first != row ? barcodeOf(first) : keys_[size_t(key)];
}

void TableCheck::noteSheetRow(Kind kind, int sheet, int number, const QString& barcode,
                              const QString& price) {
    ++counts_[size_t(kind)];
    std::vector<Finding>& named = named_[size_t(kind)];
    if (named.size() < size_t(kNamed)) named.push_back({sheets_[size_t(sheet)], number, barcode, price});
}

void TableCheck::note(Kind kind, size_t row, const QString& price) {
    noteSheetRow(kind, rows_[row].sheet, rows_[row].number, barcodeOf(row), price);
}

bool TableCheck::run(const TextFiles& files, const QString& folder, Progress& progress) {
    keyIds_.clear();
    const QString path = folderFile(folder, BarcodeLookup::kTableFile);
    const std::unique_ptr<ByteFile> table = files.openBytes(path);
    if (table->state() != ByteFile::State::HasContent) return false;
    KeyPieces found(keys_);
    if (!found.scan(*table, progress)) return false;

    // One lookup for each key, over the pieces that can hold it.
    enum class Verdict : quint8 { Sold, Duplicate, NoPrice, NegativePrice, NotFound };
    std::vector<Verdict> verdicts(keys_.size(), Verdict::Sold);
    QHash<int, QString> prices;  // of the keys whose price is no good
    Unheard unheard;
    HeldTable held;
    BarcodeLookup whole(files, unheard, folder);
    BarcodeLookup reduced(held, unheard, folder);
    const QByteArray first = found.bytes(*table, 0);
    for (size_t id = 0; id < keys_.size(); ++id) {
        if (id % 1024 == 0 && !progress.advance(qint64(id))) return false;
        const QString& barcode = barcodeOf(size_t(firstRows_[id]));
        BarcodeLookup* lookup = &whole;
        if (const std::optional<std::vector<int>> pieces = found.pieces(int(id))) {
            QByteArray bytes = first;
            for (size_t i = 1; i < pieces->size(); ++i) bytes += found.bytes(*table, (*pieces)[i]);
            held.hold(std::move(bytes));
            lookup = &reduced;
        }
        const std::optional<BarcodeItem> item = lookup->item(barcode);
        Verdict& verdict = verdicts[id];
        switch (lookup->lastRefusal()) {
            case BarcodeLookup::Refusal::None: {
                const std::optional<double> price = numbers_.parse(item->price);
                if (!price) verdict = Verdict::NoPrice;
                if (price && *price < 0) verdict = Verdict::NegativePrice;
                if (verdict != Verdict::Sold) prices.insert(int(id), item->price);
                break;
            }
            case BarcodeLookup::Refusal::Duplicate:
                verdict = Verdict::Duplicate;
                break;
            case BarcodeLookup::Refusal::NoPrice:
                verdict = Verdict::NoPrice;
                break;
            case BarcodeLookup::Refusal::NotFound:
                verdict = Verdict::NotFound;
                break;
            case BarcodeLookup::Refusal::Unusable:
                return false;  // the table itself could not be read
        }
    }

    // The lookup's refusals come first, as at the counter; then the item
    // entry takes only a barcode that is a number.
    for (size_t r = 0; r < rows_.size(); ++r) {
        const int key = rows_[r].key;
        const Verdict verdict = verdicts[size_t(key)];
        if (verdict == Verdict::Duplicate) {
            note(Kind::Duplicate, r, {});
        } else if (verdict == Verdict::NotFound || !numbers_.isNumeric(barcodeOf(r))) {
            note(Kind::NotScannable, r, {});
        } else if (verdict == Verdict::NoPrice) {
            note(Kind::NoPrice, r, prices.value(key));
        } else if (verdict == Verdict::NegativePrice) {
            note(Kind::NegativePrice, r, prices.value(key));
        }
    }
    return true;
}

std::optional<QString> TableCheck::summary() const {
    qint64 total = 0;
    for (qint64 c : counts_) total += c;
    if (total == 0) return std::nullopt;
    static const std::array<QString, kKinds> kTitles = {
        QStringLiteral("重复的条码（同一条码有两行，或是别的条码、名称、价格中的一段）"),
        QStringLiteral("没有价格或价格不是数字"),
        QStringLiteral("有价格没有条码"),
        QStringLiteral("负数价格（扫码时会当作退货）"),
        QStringLiteral("条码不是数字或扫码找不到（例如条码中有字母或空格）"),
    };
    QString text =
        QStringLiteral("  条码价格表中有 %1 行，扫码结算时会出错。请在表格中改正后重新导入：").arg(total) +
        CRLF;
    for (int k = 0; k < kKinds; ++k) {
        const qint64 count = counts_[size_t(k)];
        if (count == 0) continue;
        text +=
            CRLF + QStringLiteral("  ") + kTitles[size_t(k)] + QStringLiteral("：%1 行").arg(count) + CRLF;
        for (const Finding& f : named_[size_t(k)]) text += rowText(f) + CRLF;
        if (count > qint64(named_[size_t(k)].size())) {
            text += QStringLiteral("      ……另有 %1 行").arg(count - qint64(named_[size_t(k)].size())) + CRLF;
        }
    }
    return text;
}

}  // namespace tovrin
