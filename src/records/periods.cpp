#include "records/periods.h"

#include "platform/textfiles.h"

namespace tovrin {

namespace {

const QString kSeparators = QStringLiteral("-\\/");

bool isSeparator(QChar c) { return kSeparators.contains(c); }

// The year of a date text and the year after it; false when the first four
// characters are not a year.
bool years(const QString& date, QString& year, QString& next) {
    year = date.left(4);
    if (year.size() != 4) return false;
    for (QChar c : year) {
        if (c < u'0' || c > u'9') return false;
    }
    next = QString::number(year.toInt() + 1);
    return true;
}

}  // namespace

int displayWidth(const QString& text) {
    int width = 0;
    bool plainAscii = true;
    for (QChar c : text) {
        if (c.unicode() == 0) {
            width += 2;
        } else if (c.unicode() < 0x80) {
            width += 1;
        } else {
            plainAscii = false;
        }
    }
    if (plainAscii) return width;
    // The rest is counted by its codes in GBK: one column for a code from 1
    // to 127 (a character GBK cannot write comes out as "?"), two for any
    // other, the one-byte 0x80 ("€") included.
    QString rest;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) rest += c;
    }
    const QByteArray bytes = encodeGbk(rest);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        if (b < 0x80) {
            width += 1;
        } else {
            width += 2;
            if (b > 0x80) ++i;  // a lead byte and its trail byte
        }
    }
    return width;
}

QString tiaozhen(QString& tzs, double tzna) {
    qsizetype from = 0;
    qsizetype to = tzs.size();
    while (from < to && tzs[from] == u' ') ++from;
    while (to > from && tzs[to - 1] == u' ') --to;
    tzs = tzs.mid(from, to - from);
    const int w = displayWidth(tzs);
    if (w >= tzna) return tzs;
    // One blank for every whole number from w up to tzna.
    qsizetype blanks = 0;
    for (double k = w; k <= tzna; k += 1) ++blanks;
    return tzs + QString(blanks, QLatin1Char(' '));
}

QString dyue(const QString& date) {
    for (qsizetype p = date.size() - 1; p >= 0; --p) {
        if (isSeparator(date[p])) return date.left(p);
    }
    return date;
}

QString dyuea(const QString& dayKey, const QString& zhuanda) {
    QString year, next;
    if (!years(dayKey, year, next)) return {};
    QString result;
    for (QChar s : kSeparators) {
        if (!zhuanda.contains(s)) continue;
        const QString lastDay = year + s + QStringLiteral("12") + s + QStringLiteral("31");
        result = (dayKey == lastDay ? next : year) + s;
    }
    return result;
}

QString dyueb(const QString& date) {
    QString year, next;
    if (!years(date, year, next)) return {};
    QString result;
    for (QChar s : kSeparators) {
        if (!date.contains(s)) continue;
        const QString december = year + s + QStringLiteral("12") + s;
        result = (date.contains(december) ? next : year) + s;
    }
    return result;
}

}  // namespace tovrin
