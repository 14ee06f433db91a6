#include "records/periods.h"

#include <array>

#include "records/lines.h"

namespace tovrin {

namespace {

// The date separators, in the order the key rule looks for them: the first
// one a date text holds is its separator.
constexpr std::array<char16_t, 3> kSeparators{u'-', u'/', u'\\'};
// The order the end markers try them in: the last one the date text holds
// gives the marker.
constexpr std::array<char16_t, 3> kMarkerOrder{kSeparators[0], kSeparators[2], kSeparators[1]};

bool isSeparator(QChar c) {
    return std::find(kSeparators.begin(), kSeparators.end(), c.unicode()) != kSeparators.end();
}

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

QString removeLeadingBlanks(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    return text.mid(i);
}

}  // namespace

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
    for (QChar s : kMarkerOrder) {
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
    for (QChar s : kMarkerOrder) {
        if (!date.contains(s)) continue;
        const QString december = year + s + QStringLiteral("12") + s;
        result = (date.contains(december) ? next : year) + s;
    }
    return result;
}

qsizetype separatorPosition(const QString& date) {
    for (QChar s : kSeparators) {
        const qsizetype p = date.indexOf(s);
        if (p >= 0) return p;
    }
    return -1;
}

QString keyTerminator(const QString& text, const QString& zhuanda) {
    const qsizetype p = separatorPosition(zhuanda);
    return p >= 0 ? text.mid(p, 1) : QString();
}

QString goodsKey(const QString& key) { return removeLeadingBlanks(upperSameLength(key)); }

}  // namespace tovrin
