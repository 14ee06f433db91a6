#include "records/haystack.h"

#include <QSet>
#include <algorithm>

#include "platform/textfiles.h"
#include "records/files.h"
#include "records/lines.h"

namespace tovrin {

namespace {
const QByteArray kCrLf = QByteArrayLiteral("\r\n");
}  // namespace

qint64 TextHaystack::indexOf(const QString& needle, qint64 from, qint64 limit) {
    if (limit < 0 || limit > size() || from < 0 || needle.isEmpty()) {
        const qint64 hit = text_.indexOf(needle, from);
        return limit >= 0 && hit >= limit ? -1 : hit;
    }
    // Only the occurrences that start before the limit are searched for.
    if (from >= limit) return -1;
    const qint64 end = std::min(size(), limit + needle.size() - 1);
    const qint64 hit = QStringView(text_).sliced(from, end - from).indexOf(needle);
    return hit < 0 ? -1 : from + hit;
}

qint64 TextHaystack::lastIndexOf(const QString& needle, qint64 from, qint64 floor) {
    if (from < 0) return -1;
    if (needle.isEmpty()) return from >= floor && from <= size() ? from : -1;
    if (floor <= 0) return text_.lastIndexOf(needle, std::min(from, size()));
    // Searched backward from `from`, stopping at the floor.
    const qint64 n = needle.size();
    for (qint64 p = std::min(from, size() - n); p >= floor; --p) {
        if (QStringView(text_).sliced(p, n) == needle) return p;
    }
    return -1;
}

QString TextHaystack::text(qint64 from, qint64 to) {
    QString cut = text_.mid(from, to - from);
    return upperCuts_ ? upperSameLength(std::move(cut)) : cut;
}

QString Haystack::section(qint64 from, qint64 to) { return withCrLf(text(from, to)); }

qint64 TextHaystack::indexOfLineEnd(qint64 from, qint64 limit) {
    if (limit < 0 || limit > size()) limit = size();
    for (qint64 p = std::max<qint64>(from, 0); p < limit; ++p) {
        if (isLineEnd(text_[p])) return p;
    }
    return -1;
}

qint64 TextHaystack::lastIndexOfLineEnd(qint64 from, qint64 floor) {
    for (qint64 p = std::min(from, size() - 1); p >= std::max<qint64>(floor, 0); --p) {
        if (isLineEnd(text_[p])) return p;
    }
    return -1;
}

FileHaystack::FileHaystack(ByteFile& file)
    : file_(file), size_(file.size() > 0 ? file.size() + 2 : 0), encoding_(file.encoding()) {}

FileHaystack::FileHaystack(std::unique_ptr<ByteFile> file)
    : owned_(std::move(file)),
      file_(*owned_),
      size_(file_.size() > 0 ? file_.size() + 2 : 0),
      encoding_(file_.encoding()) {}

QByteArray FileHaystack::bytes(qint64 from, qint64 to) {
    from = std::clamp<qint64>(from, 0, size_);
    to = std::clamp<qint64>(to, from, size_);
    const qint64 fileSize = file_.size();
    QByteArray out = file_.bytes(from, std::min(to, fileSize));
    for (qint64 p = std::max(from, fileSize); p < to; ++p) out += kCrLf[p - fileSize];
    return out;
}

qint64 FileHaystack::indexOf(const QString& needle, qint64 from, qint64 limit) {
    if (size_ == 0) return needle.isEmpty() && from == 0 ? 0 : -1;
    if (limit < 0 || limit > size_) limit = size_;
    const QByteArray n = needle.toLatin1();
    const qint64 fileSize = file_.size();
    const qint64 hit = file_.indexOf(n, from, std::min(limit, fileSize));
    if (hit >= 0 || n.isEmpty()) return hit;
    // An occurrence that reaches into the CR LF behind the content.
    const qint64 tailStart = std::max(from, fileSize - n.size() + 1);
    const QByteArray tail = bytes(tailStart, size_);
    const qint64 t = tail.indexOf(n);
    return t >= 0 && tailStart + t < limit ? tailStart + t : -1;
}

qint64 FileHaystack::lastIndexOf(const QString& needle, qint64 from, qint64 floor) {
    if (from < 0 || size_ == 0) return -1;
    const QByteArray n = needle.toLatin1();
    const qint64 fileSize = file_.size();
    const qint64 tailStart = std::max<qint64>(floor, fileSize - n.size() + 1);
    if (!n.isEmpty() && from >= tailStart) {
        const QByteArray tail = bytes(tailStart, size_);
        const qint64 t = tail.lastIndexOf(n, std::min(from - tailStart, tail.size() - n.size()));
        if (t >= 0) return tailStart + t;
    }
    return file_.lastIndexOf(n, from, floor);
}

QString FileHaystack::text(qint64 from, qint64 to) {
    return upperSameLength(decodeText(bytes(from, to), encoding_));
}

QString FileHaystack::section(qint64 from, qint64 to) {
    // The line ends are mended in the bytes, which take less room than the
    // text decoded from them.
    return upperSameLength(decodeText(withCrLf(bytes(from, to)), encoding_));
}

// The CR LF behind the content holds line ends at the file's size and one
// past it.
qint64 FileHaystack::indexOfLineEnd(qint64 from, qint64 limit) {
    if (limit < 0 || limit > size_) limit = size_;
    const qint64 fileSize = file_.size();
    const qint64 hit = file_.indexOfLineEnd(from, std::min(limit, fileSize));
    if (hit >= 0) return hit;
    const qint64 tail = std::max(from, fileSize);
    return tail < limit ? tail : -1;
}

qint64 FileHaystack::lastIndexOfLineEnd(qint64 from, qint64 floor) {
    if (size_ == 0) return -1;
    const qint64 fileSize = file_.size();
    const qint64 tail = std::min(from, fileSize + 1);
    if (tail >= fileSize) return tail >= floor ? tail : -1;
    return file_.lastIndexOfLineEnd(from, floor);
}

bool byteSafe(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) return false;
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return false;
        if (i == 0 && c >= 0x40) return false;
    }
    return true;
}

JournalText openJournal(const TextFiles& files, const QString& path, std::initializer_list<QString> needles) {
    JournalText journal;
    if (std::all_of(needles.begin(), needles.end(), byteSafe)) {
        std::unique_ptr<ByteFile> file = files.openBytes(path);
        journal.state = file->state();
        journal.reason = file->reason();
        if (journal.state == TextFiles::State::HasContent) {
            journal.text = std::make_unique<FileHaystack>(std::move(file));
        }
        return journal;
    }
    TextFiles::Read read = files.read(path);
    journal.state = read.state;
    journal.reason = read.reason;
    if (read.hasContent()) {
        read.text += CRLF;
        journal.text = std::make_unique<TextHaystack>(upperSameLength(std::move(read.text)));
    }
    return journal;
}

Gathered gatherLines(Haystack& text, const QString& needle, size_t most, qint64 budget) {
    Gathered gathered;
    std::vector<QString>& lines = gathered.lines;
    const qint64 window = text.reach(kLineWindow);
    // The occurrences come in increasing order, so the search back for the
    // line's start goes no further than the previous occurrence.
    qint64 searchedTo = -1;  // positions up to here are searched
    qint64 lastEnd = -1;     // the last line end among them
    // The line last cut out: the occurrences on one line share its text
    // rather than each copying it.
    qint64 cutFrom = -1, cutTo = -1;
    QString cut;
    qint64 spent = 0;
    const auto keep = [&](QString line, qint64 cost) {
        spent += cost + kLineCost;
        if (spent > budget) {
            gathered.complete = false;
            return false;
        }
        lines.push_back(std::move(line));
        return true;
    };
    for (qint64 p = text.indexOf(needle, 0); p >= 0 && lines.size() < most; p = text.indexOf(needle, p + 1)) {
        const qint64 back = text.lastIndexOfLineEnd(p, searchedTo + 1);
        if (back >= 0) lastEnd = back;
        searchedTo = p;
        // The first line end among the 720 characters from p.
        qint64 forward = text.indexOfLineEnd(p, p + window);
        if (forward >= 0 && text.text(p, forward).size() >= kLineWindow) forward = -1;
        qint64 from = 0;
        if (lastEnd >= 0) {
            // An occurrence whose line ends too far away does not count.
            if (forward < 0) continue;
            // A line end found backward is the LF of a CR LF or a lone one:
            // the line starts right after it.
            from = lastEnd + 1;
        } else if (forward < 0) {
            // On the first line without a line end near: up to 720
            // characters from p on.
            if (p > text.reach(budget - spent)) {  // too long whatever the characters
                gathered.complete = false;
                break;
            }
            QString line =
                text.text(0, p) + text.text(p, std::min(text.size(), p + window)).left(kLineWindow);
            const qint64 cost = line.size();
            if (!keep(std::move(line), cost)) break;
            continue;
        }
        if (forward - from > text.reach(budget - spent)) {  // too long whatever the characters
            gathered.complete = false;
            break;
        }
        if (from != cutFrom || forward != cutTo) {
            cut = text.text(from, forward);
            cutFrom = from;
            cutTo = forward;
        }
        // Counted whole each time: the report copies every line it lists.
        if (!keep(cut, cut.size())) break;
    }
    return gathered;
}

std::optional<Span> periodSpan(Haystack& text, const QString& key, const QString& start,
                               const QString& endMarker) {
    if (start.isEmpty()) return std::nullopt;
    const qint64 s = text.indexOf(start, 0);
    if (s < 0) return std::nullopt;
    // Any record at or after the last key's place qualifies; the first does.
    const qint64 lastKey = text.lastIndexOf(key, text.size() - 1);
    const qint64 e = text.indexOf(start, std::max(s, lastKey - key.size() + 1));
    if (e < 0) return Span{s, s};
    const qint64 m = text.indexOf(endMarker, e + key.size());
    // Without an end marker the section runs to the text's last CR.
    return Span{s, m >= 0 ? m : text.size() - 1};
}

std::optional<QString> periodSection(Haystack& text, const QString& key, const QString& start,
                                     const QString& endMarker) {
    const std::optional<Span> span = periodSpan(text, key, start, endMarker);
    if (!span) return std::nullopt;
    return text.section(span->from, span->to);
}

std::vector<QString> keepLastCopies(std::vector<QString> lines) {
    QSet<QString> seen;
    std::vector<QString> kept;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (it->isEmpty() || seen.contains(*it)) continue;
        seen.insert(*it);
        kept.push_back(std::move(*it));
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

}  // namespace tovrin
