#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <algorithm>
#include <utility>

#include "workbook/compound_file.h"
#include "workbook/little_endian.h"

// The records of a BIFF5 or BIFF8 workbook stream (Excel 5 to 2003) and the
// strings in them.
namespace tovrin::biff {

enum : quint16 {
    kFormula = 0x0006,
    kEof = 0x000A,
    kDateMode = 0x0022,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kFormat = 0x041E,
    kBof = 0x0809,
};

struct Record {
    quint16 type = 0;
    QByteArrayView data;
};

// The records of the workbook stream, read one at a time. A record's data
// stays valid until the next record is read.
class Records {
public:
    explicit Records(StreamReader& stream) : stream_(stream) {}
    void seek(qint64 at) { pos_ = at; }
    bool truncated() const { return truncated_; }
    // The next record; false at the end of the stream or when the record
    // runs past it (truncated() tells).
    bool next(Record& r) {
        char head[4];
        if (pos_ + 4 > stream_.size()) return false;
        if (!stream_.read(pos_, head, 4)) return fail();
        const quint16 type = little_endian::u16(head);
        const quint16 length = little_endian::u16(head + 2);
        if (pos_ + 4 + length > stream_.size()) return fail();
        body_.resize(length);
        if (length > 0 && !stream_.read(pos_ + 4, body_.data(), length)) return fail();
        r = {type, QByteArrayView(body_)};
        pos_ += 4 + length;
        return true;
    }
    // The body of the CONTINUE record that follows, if one does, into `out`.
    bool continuation(QByteArray& out) {
        char head[2];
        if (pos_ + 4 > stream_.size() || !stream_.read(pos_, head, 2) ||
            little_endian::u16(head) != kContinue)
            return false;
        Record r;
        if (!next(r)) return false;
        std::swap(out, body_);
        return true;
    }

private:
    bool fail() {
        truncated_ = true;
        return false;
    }

    StreamReader& stream_;
    qint64 pos_ = 0;
    QByteArray body_;
    bool truncated_ = false;
};

// A record body with its CONTINUE records, read across their boundaries; the
// CONTINUE records are taken from `more` as the reading reaches them.
// Characters of a string that goes on in the next record are preceded there
// by a new option byte, which says whether they are 8 or 16 bits wide.
class Segments {
public:
    Segments(QByteArrayView first, Records* more) : part_(first.toByteArray()), more_(more) {}

    bool atEnd() { return !settle(); }
    bool byte(quint8& out) {
        if (atEnd()) return false;
        out = quint8(part_[pos_++]);
        return true;
    }
    bool word(quint16& out) {
        quint8 lo = 0, hi = 0;
        if (!byte(lo) || !byte(hi)) return false;
        out = quint16(lo | hi << 8);
        return true;
    }
    bool dword(quint32& out) {
        quint16 lo = 0, hi = 0;
        if (!word(lo) || !word(hi)) return false;
        out = quint32(lo) | quint32(hi) << 16;
        return true;
    }
    bool skip(quint64 count) {
        while (count > 0) {
            if (atEnd()) return false;
            const qsizetype take = qsizetype(std::min<quint64>(count, quint64(part_.size() - pos_)));
            pos_ += take;
            count -= quint64(take);
        }
        return true;
    }
    bool characters(int count, bool wide, QString& out) {
        out.reserve(out.size() + count);
        while (count > 0) {
            if (pos_ >= part_.size()) {
                quint8 option = 0;
                if (!nextPart()) return false;
                if (!byte(option)) return false;
                wide = option & 0x01;
            }
            const QByteArrayView here = QByteArrayView(part_).sliced(pos_);
            if (wide) {
                const qsizetype n = std::min<qsizetype>(count, here.size() / 2);
                if (n == 0) return false;
                for (qsizetype i = 0; i < n; ++i)
                    out += QChar(char16_t(little_endian::u16(here.data() + 2 * i)));
                pos_ += 2 * n;
                count -= int(n);
            } else {
                const qsizetype n = std::min<qsizetype>(count, here.size());
                out += QString::fromLatin1(here.data(), n);
                pos_ += n;
                count -= int(n);
            }
        }
        return true;
    }
    // A BIFF8 string: character count (8 or 16 bits), option byte, rich text
    // run count, phonetic block size, characters, runs, phonetic block.
    bool unicodeString(bool shortCount, QString& out) {
        out.clear();
        quint16 count = 0;
        quint8 options = 0;
        if (shortCount) {
            quint8 c = 0;
            if (!byte(c)) return false;
            count = c;
        } else if (!word(count)) {
            return false;
        }
        if (!byte(options)) return false;
        quint16 runs = 0;
        quint32 phonetic = 0;
        if ((options & 0x08) && !word(runs)) return false;
        if ((options & 0x04) && !dword(phonetic)) return false;
        if (!characters(count, options & 0x01, out)) return false;
        return skip(quint64(runs) * 4) && skip(phonetic);
    }

private:
    bool nextPart() {
        if (!more_ || !more_->continuation(part_)) return false;
        pos_ = 0;
        return true;
    }
    // Moves past the parts read to their end; false when nothing is left.
    bool settle() {
        while (pos_ >= part_.size()) {
            if (!nextPart()) return false;
        }
        return true;
    }

    QByteArray part_;
    qsizetype pos_ = 0;
    Records* more_;
};

// The name of a BIFF code page (a CODEPAGE record's number) for QStringDecoder.
QByteArray codePageName(int codePage);

}  // namespace tovrin::biff
