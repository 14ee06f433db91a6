#include "records/lines.h"

namespace tovrin {

QString upperSameLength(QString text) {
    QString out = std::move(text);
    QChar* data = out.data();  // detaches once, unless the text was handed over
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c < 0x80) {
            if (c >= u'a' && c <= u'z') data[i] = QChar(char16_t(c - 32));
        } else if (c < 0x3400 || c >= 0xA000) {  // CJK ideographs have no case
            data[i] = data[i].toUpper();
        }
    }
    return out;
}

bool caseBlind(const QString& key) {
    for (QChar c : key) {
        const char16_t u = c.unicode();
        const bool asciiNonLetter = u < 0x80 && !(u >= u'A' && u <= u'Z') && !(u >= u'a' && u <= u'z');
        const bool ideograph = u >= 0x3400 && u < 0xA000;
        if (!asciiNonLetter && !ideograph) return false;
    }
    return true;
}

QStringList splitFields(QStringView line, int maxFields) {
    QStringList fields;
    fields.append(QString());
    qsizetype start = 0;  // the text after the leading TAB
    const qsizetype n = line.size();
    for (qsizetype i = 0; i <= n && fields.size() <= maxFields; ++i) {
        // The TAB put behind the line is the last separator.
        if (i == n || line[i] == u'\t' || line[i] == u'|') {
            fields.append(line.mid(start, i - start).toString());
            start = i + 1;
        }
    }
    return fields;
}

}  // namespace tovrin
