#include "barcode/lookup.h"

#include <limits>

#include "platform/folder.h"
#include "records/files.h"
#include "records/haystack.h"
#include "records/lines.h"

namespace tovrin {

namespace {

// What a refused scan is told.
const QString kDuplicate = QStringLiteral("此商品条形码重复或表达错误！");
const QString kNotFound = QStringLiteral("没有此商品条形码！");
const QString kNoPrice = QStringLiteral("没有该商品条码对应的价格！");

// GBK: a lead byte followed by a trail byte is one character; every other
// byte is one character by itself (a lead byte before a byte that cannot
// follow it stands alone), as the decoder has it. The search tells from these
// alone whether a match starts a character, without decoding the table up to
// it.
bool isLead(uchar b) { return b >= 0x81 && b <= 0xFE; }
bool isTrail(uchar b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }
bool isLetter(uchar b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }
uchar upperAscii(uchar b) { return b >= 'a' && b <= 'z' ? uchar(b - 32) : b; }

// The barcode table searched in its bytes (GBK, or UTF-8 when the file is)
// for a key of ASCII characters. Only ASCII bytes decode to ASCII characters
// and no other character upper-cases to an ASCII letter, so the key occurs in
// the upper-cased text exactly where its bytes occur, letters compared
// without case, at a character boundary.
class TableBytes {
public:
    TableBytes(ByteFile& file, const QString& key)
        : file_(file),
          key_(key.toLatin1()),
          size_(file.size()),
          encoding_(file.encoding()),
          // The bytes that hold 720 characters at most, and a little more.
          windowBytes_(bytesPerCharacter(encoding_) * kLineWindow + 2) {
        // The longest stretch of the key without letters is searched for
        // exactly; a key of letters only is searched by its first letter.
        qsizetype best = 0;
        for (qsizetype i = 0; i < key_.size();) {
            if (isLetter(uchar(key_[i]))) {
                ++i;
                continue;
            }
            qsizetype j = i;
            while (j < key_.size() && !isLetter(uchar(key_[j]))) ++j;
            if (j - i > best) {
                best = j - i;
                anchorAt_ = i;
            }
            i = j;
        }
        anchor_ = key_.mid(anchorAt_, best);
        exact_ = best == key_.size();
        if (anchor_.isEmpty()) {
            const char first = key_.isEmpty() ? 0 : key_[0];
            upper_ = QByteArray(1, first);
            lower_ = QByteArray(1, char(first + 32));
        }
    }

    // The next occurrence of the key at or after `from`, -1 when none.
    qint64 next(qint64 from) {
        const qint64 n = key_.size();
        while (from >= 0 && from + n <= size_) {
            const qint64 at = candidate(from);
            if (at < 0) return -1;
            if ((exact_ || matches(at)) && atBoundary(at)) return at;
            from = at + 1;
        }
        return -1;
    }

    // The nearest line end (CR or LF) at or before `pos` (positions only
    // grow between calls).
    qint64 lineEndBefore(qint64 pos) {
        if (pos > knownUpTo_) {
            const qint64 hit = file_.lastIndexOfLineEnd(pos, knownUpTo_ + 1);
            if (hit >= 0) endBefore_ = hit;
            knownUpTo_ = pos;
        }
        return endBefore_;
    }

    // The end of the line of an occurrence at `pos`: the first line end within
    // 720 characters, or the end of the file within them (the table counts as
    // if CR LF followed it); -1 when the line reaches further.
    qint64 lineEnd(qint64 pos) {
        qint64 end = file_.indexOfLineEnd(pos, pos + windowBytes_);
        if (end < 0) {
            if (size_ > pos + windowBytes_) return -1;
            end = size_;
        }
        // A character takes a byte at least, so a short line needs no count.
        if (end - pos < kLineWindow) return end;
        return text(pos, end).size() < kLineWindow ? end : -1;
    }

    // The characters of the bytes [from, to) as in the decoded table, for a
    // `from` that starts a character and a `to` at an ASCII byte (a line end,
    // an occurrence of the key) or at the end of the file.
    QString text(qint64 from, qint64 to) { return decodeText(file_.bytes(from, to), encoding_); }

    // The first line up to 720 characters from an occurrence at `pos`, when
    // no line end ends it before.
    QString cutFirstLine(qint64 pos) {
        const QString head = decodeText(file_.bytes(0, std::min(size_, pos + windowBytes_)), encoding_);
        return head.left(text(0, pos).size() + kLineWindow);
    }

private:
    qint64 candidate(qint64 from) {
        if (!anchor_.isEmpty()) {
            const qint64 hit = file_.indexOf(anchor_, from + anchorAt_);
            return hit < 0 ? -1 : hit - anchorAt_;
        }
        if (nextUpper_ < from) nextUpper_ = found(file_.indexOf(upper_, from));
        if (nextLower_ < from) nextLower_ = found(file_.indexOf(lower_, from));
        const qint64 at = std::min(nextUpper_, nextLower_);
        return at == kNone ? -1 : at;
    }
    static qint64 found(qint64 hit) { return hit < 0 ? kNone : hit; }

    bool matches(qint64 at) {
        const QByteArray bytes = file_.bytes(at, at + key_.size());
        if (bytes.size() != key_.size()) return false;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (upperAscii(uchar(bytes[i])) != uchar(key_[i])) return false;
        }
        return true;
    }

    // A byte that can be the second byte of a character starts one when an
    // even number of lead bytes stand right before it: they pair up, since a
    // lead byte can also be a trail byte, and whatever came before them ended
    // a character.
    bool atBoundary(qint64 at) {
        // In UTF-8 every byte of a character of several bytes is above ASCII.
        if (encoding_ == TextEncoding::Utf8 || !isTrail(uchar(key_[0]))) return true;
        qint64 leads = 0;
        for (qint64 end = at, step = 64; end > 0; step *= 2) {
            const qint64 from = std::max<qint64>(0, end - step);
            const QByteArray before = file_.bytes(from, end);
            qsizetype i = before.size();
            while (i > 0 && isLead(uchar(before[i - 1]))) --i;
            leads += before.size() - i;
            if (i > 0 || before.size() < end - from) break;
            end = from;
        }
        return leads % 2 == 0;
    }

    static constexpr qint64 kNone = std::numeric_limits<qint64>::max();
    ByteFile& file_;
    QByteArray key_;
    qint64 size_;
    TextEncoding encoding_;
    qint64 windowBytes_;
    QByteArray anchor_;
    qsizetype anchorAt_ = 0;
    bool exact_ = false;
    QByteArray upper_, lower_;
    qint64 nextUpper_ = -1, nextLower_ = -1;
    qint64 knownUpTo_ = -1, endBefore_ = -1;
};

// True when the byte search finds the key where the search of the decoded,
// upper-cased table would: a key of ASCII characters.
bool searchesBytes(const QString& key) {
    for (QChar c : key) {
        if (c.unicode() >= 0x80) return false;
    }
    return true;
}

}  // namespace

QString kong2(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c != u' ' && c != u'\r' && c != u'\n') out += c;
    }
    return out;
}

QString BarcodeLookup::key(const QString& barcode) { return kong2(upperSameLength(barcode)); }

BarcodeLookup::BarcodeLookup(const TextFiles& files, Prompts& prompts, QString folder)
    : files_(files), prompts_(prompts), folder_(std::move(folder)) {}

QString BarcodeLookup::kuaisu(const QString& barcode) {
    const std::optional<BarcodeItem> found = item(barcode);
    return found ? found->price : QString();
}

std::optional<BarcodeItem> BarcodeLookup::item(const QString& barcode) {
    for (QString& slot : lookupFields) slot.clear();
    lastRefusal_ = Refusal::None;
    const QString key = BarcodeLookup::key(barcode);
    const QString path = folderFile(folder_, kTableFile);
    const std::optional<QString> line = searchesBytes(key) ? findInBytes(path, key) : findInText(path, key);
    if (!line) return std::nullopt;
    return accept(*line, key);
}

std::optional<QString> BarcodeLookup::refuse(int count) {
    if (count >= 2) {
        lastRefusal_ = Refusal::Duplicate;
        prompts_.ok(kDuplicate, kBoxTitle);
    } else {
        lastRefusal_ = Refusal::NotFound;
        prompts_.ok(kNotFound, kBoxTitle);
    }
    return std::nullopt;
}

std::optional<BarcodeItem> BarcodeLookup::accept(const QString& line, const QString& key) {
    const QStringList fields = splitFields(upperSameLength(line));
    for (qsizetype k = 1; k < fields.size(); ++k) lookupFields[k] = fields[k];
    if (lookupFields[2] == key && !lookupFields[6].isEmpty()) {
        return BarcodeItem{lookupFields[2], lookupFields[3], lookupFields[6]};
    }
    lastRefusal_ = Refusal::NoPrice;
    prompts_.ok(kNoPrice);
    return std::nullopt;
}

bool BarcodeLookup::usable(TextFiles::State state, const QString& path, const QString& reason) {
    if (state == TextFiles::State::HasContent) return true;
    lastRefusal_ = Refusal::Unusable;
    switch (state) {
        case TextFiles::State::Missing:
            prompts_.ok(QStringLiteral("没有找到条码价格表 ") + kTableFile +
                        QStringLiteral("，请先单击“更新条码价格”导入。"));
            break;
        case TextFiles::State::Unreadable:
            prompts_.ok(readFailure(path, reason));
            break;
        case TextFiles::State::Empty:
            prompts_.ok(QStringLiteral("条码文件 open error"));
            break;
        case TextFiles::State::HasContent:
            break;
    }
    return false;
}

std::optional<QString> BarcodeLookup::findInBytes(const QString& path, const QString& key) {
    const std::unique_ptr<ByteFile> opened = files_.openBytes(path);
    ByteFile& file = *opened;
    if (!usable(file.state(), path, file.reason())) return std::nullopt;
    if (key.isEmpty()) return refuse(2);  // the empty key stands at every position

    // Every occurrence counts, overlapping ones and those inside a longer
    // barcode, a name or a price; only the line of the first one is used.
    TableBytes table(file, key);
    int count = 0;
    QString found;
    for (qint64 p = table.next(0); p >= 0; p = table.next(p + 1)) {
        const qint64 back = table.lineEndBefore(p);
        const qint64 end = table.lineEnd(p);
        if (back >= 0 && end < 0) continue;
        if (++count > 1) break;  // two are enough to refuse
        if (back >= 0) {
            // Right after the line end: the LF of a CR LF, or a lone one.
            found = table.text(back + 1, end);
        } else if (end >= 0) {
            found = table.text(0, end);  // the first line always counts
        } else {
            found = table.cutFirstLine(p);
        }
    }
    if (count != 1) return refuse(count);
    return found;
}

std::optional<QString> BarcodeLookup::findInText(const QString& path, const QString& key) {
    const TextFiles::Read table = files_.read(path);
    if (!usable(table.state, path, table.reason)) return std::nullopt;
    // The working text is the table in upper case followed by CR LF. A key
    // without letters occurs in the table where it occurs in its upper case,
    // so only the line found needs upper-casing then.
    if (key.isEmpty()) return refuse(2);  // the empty key stands at every position
    const bool blind = caseBlind(key);
    QString text = table.text + CRLF;
    TextHaystack haystack(blind ? std::move(text) : upperSameLength(std::move(text)), blind);

    // Every occurrence counts, overlapping ones and those inside a longer
    // barcode, a name or a price; only the line of the first one is used, and
    // two are enough to refuse.
    Gathered lines = gatherLines(haystack, key, 2);
    if (lines.lines.size() != 1) return refuse(int(lines.lines.size()));
    return std::move(lines.lines.front());
}

}  // namespace tovrin
