#include "workbook/cell_formats.h"

namespace tovrin {

bool isDateFormat(QStringView code) {
    const qsizetype n = code.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = code[i];
        switch (c.unicode()) {
            case u'"': {  // quoted text
                const qsizetype end = code.indexOf(u'"', i + 1);
                if (end < 0) return false;
                i = end;
                continue;
            }
            case u'\\':  // the next character is shown as it is
            case u'_':   // a blank as wide as the next character
            case u'*':   // the next character repeated to fill the cell
                ++i;
                continue;
            case u'[': {  // colour, condition, locale tag or elapsed time
                const qsizetype end = code.indexOf(u']', i + 1);
                if (end < 0) return false;
                const QStringView inside = code.sliced(i + 1, end - i - 1);
                if (!inside.isEmpty()) {
                    const QChar first = inside[0].toLower();
                    bool elapsed = first == u'h' || first == u'm' || first == u's';
                    for (QChar k : inside) elapsed = elapsed && k.toLower() == first;
                    if (elapsed) return true;
                }
                i = end;
                continue;
            }
            default:
                break;
        }
        if (code.sliced(i).startsWith(u"general", Qt::CaseInsensitive)) {
            i += 6;
            continue;
        }
        const QChar lower = c.toLower();
        if (lower == u'y' || lower == u'm' || lower == u'd' || lower == u'h' || lower == u's') return true;
        // "e" is the year of the era in the Chinese formats, unless it is the
        // exponent of a scientific format ("0.00E+00").
        if (lower == u'e' && !(i + 1 < n && (code[i + 1] == u'+' || code[i + 1] == u'-'))) return true;
    }
    return false;
}

bool isBuiltInDateFormat(int id) {
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}

QString errorText(int code) {
    switch (code) {
        case 0x00:
            return QStringLiteral("#NULL!");
        case 0x07:
            return QStringLiteral("#DIV/0!");
        case 0x0F:
            return QStringLiteral("#VALUE!");
        case 0x17:
            return QStringLiteral("#REF!");
        case 0x1D:
            return QStringLiteral("#NAME?");
        case 0x24:
            return QStringLiteral("#NUM!");
        case 0x2B:
            return QStringLiteral("#GETTING_DATA");
        default:
            return QStringLiteral("#N/A");
    }
}

}  // namespace tovrin
