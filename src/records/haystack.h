#pragma once

#include <QString>
#include <QStringDecoder>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "platform/bytefile.h"
#include "platform/textfiles.h"
#include "records/limits.h"

namespace tovrin {

// The upper-cased text of a journal as the reports search it: the file's
// content followed by CR LF (nothing at all for an empty file). Positions are
// those of the source, bytes of the file or characters of a text; texts cut
// out between positions come back decoded and upper-cased.
class Haystack {
public:
    virtual ~Haystack() = default;
    virtual qint64 size() const = 0;
    // The first occurrence at or after `from` starting before `limit` (-1: to
    // the end); -1 when none.
    virtual qint64 indexOf(const QString& needle, qint64 from, qint64 limit = -1) = 0;
    // The last occurrence starting at or before `from` and at or after `floor`.
    virtual qint64 lastIndexOf(const QString& needle, qint64 from, qint64 floor = 0) = 0;
    virtual QString text(qint64 from, qint64 to) = 0;
    // The same text with every line end written as CR LF.
    virtual QString section(qint64 from, qint64 to);
    // How many positions hold at least the given number of characters.
    virtual qint64 reach(qint64 characters) const = 0;
    // The first line end (CR or LF) at or after `from` and before `limit`
    // (-1: to the end); -1 when none.
    virtual qint64 indexOfLineEnd(qint64 from, qint64 limit) = 0;
    // The last line end at or before `from` and at or after `floor`.
    virtual qint64 lastIndexOfLineEnd(qint64 from, qint64 floor) = 0;
};

// A text held whole.
class TextHaystack : public Haystack {
public:
    // `text` is the searched text as it stands (already upper-cased), or,
    // with `upperCuts`, a text whose needles upper-casing leaves in place:
    // then the texts cut out are upper-cased.
    explicit TextHaystack(QString text, bool upperCuts = false)
        : text_(std::move(text)), upperCuts_(upperCuts) {}
    qint64 size() const override { return text_.size(); }
    qint64 indexOf(const QString& needle, qint64 from, qint64 limit = -1) override;
    qint64 lastIndexOf(const QString& needle, qint64 from, qint64 floor = 0) override;
    QString text(qint64 from, qint64 to) override;
    qint64 reach(qint64 characters) const override { return characters; }
    qint64 indexOfLineEnd(qint64 from, qint64 limit) override;
    qint64 lastIndexOfLineEnd(qint64 from, qint64 floor) override;

private:
    QString text_;
    bool upperCuts_;
};

// A journal searched in its bytes and decoded only where text is cut out
// (GBK, or UTF-8 when the file is).
// The needles must be byte-safe (see byteSafe): then a byte match is exactly a
// match of the same characters in the decoded, upper-cased text.
class FileHaystack : public Haystack {
public:
    explicit FileHaystack(ByteFile& file);
    // The haystack holds the file itself.
    explicit FileHaystack(std::unique_ptr<ByteFile> file);
    qint64 size() const override { return size_; }
    qint64 indexOf(const QString& needle, qint64 from, qint64 limit = -1) override;
    qint64 lastIndexOf(const QString& needle, qint64 from, qint64 floor = 0) override;
    QString text(qint64 from, qint64 to) override;
    QString section(qint64 from, qint64 to) override;
    qint64 reach(qint64 characters) const override { return bytesPerCharacter(encoding_) * characters; }
    qint64 indexOfLineEnd(qint64 from, qint64 limit) override;
    qint64 lastIndexOfLineEnd(qint64 from, qint64 floor) override;

private:
    // The bytes of the text (content and the CR LF behind it) in [from, to).
    QByteArray bytes(qint64 from, qint64 to);
    std::unique_ptr<ByteFile> owned_;
    ByteFile& file_;
    qint64 size_;
    TextEncoding encoding_;
};

// True when a byte search finds a text exactly where a search of the decoded
// and upper-cased GBK text would: the text is plain ASCII without Latin letters
// (upper-casing leaves it alone and nothing else upper-cases to it) and it
// does not begin with a byte that can be the second byte of a GBK character.
bool byteSafe(const QString& text);

// A journal opened for the reports' searches, and how it stood.
struct JournalText {
    TextFiles::State state = TextFiles::State::Missing;
    QString reason;                  // for Unreadable: the system's reason
    std::unique_ptr<Haystack> text;  // set when the journal has content
};

// Opens a journal through the files, once, for searching the given texts: in
// its bytes, a window at a time, when all of them are byte-safe; otherwise
// read, decoded and upper-cased whole.
JournalText openJournal(const TextFiles& files, const QString& path, std::initializer_list<QString> needles);

// The lines gathered for a key, and whether all of them are: a gathering
// stops at its bound rather than grow without end.
struct Gathered {
    std::vector<QString> lines;
    bool complete = true;
    friend bool operator==(const Gathered&, const Gathered&) = default;
};

// The lines of all occurrences of the needle, in text order, by the line rule:
// back to the nearest line end at or before the occurrence, forward to the
// first line end among the 720 characters from it. An occurrence whose line
// has no line end within those 720 characters does not count, unless it lies
// on the first line. At most `most` lines are gathered: the search ends with
// the last of them. When the lines would pass `budget` characters (each line
// counted kLineCost more), the gathering stops before that line, incomplete.
Gathered gatherLines(Haystack& text, const QString& needle, size_t most = std::numeric_limits<size_t>::max(),
                     qint64 budget = kReportText);

// Where a period lies in a journal's text: positions [from, to).
struct Span {
    qint64 from = 0, to = 0;
    qint64 size() const { return to - from; }
};

// The period section of the goods report: from the first occurrence of the
// key followed by its terminator (`start`) to where the end marker is found
// after the period's last record, the record whose key no later key follows.
// Empty when that record does not begin with `start`; nullopt when the text
// holds no `start` at all.
std::optional<Span> periodSpan(Haystack& text, const QString& key, const QString& start,
                               const QString& endMarker);
// The text of the period section, every line end written as CR LF.
std::optional<QString> periodSection(Haystack& text, const QString& key, const QString& start,
                                     const QString& endMarker);

// Drops repeated lines and empty ones; of equal lines the last copy stays, in
// its place.
std::vector<QString> keepLastCopies(std::vector<QString> lines);

}  // namespace tovrin
