#include "records/columns.h"

#include "platform/text_encoding.h"

namespace tovrin {

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

}  // namespace tovrin
