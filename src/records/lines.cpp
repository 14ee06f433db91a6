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

namespace {

// A line end that is not CR LF: an LF without a CR before it, or a CR with
// something other than an LF after it (a CR that ends the text is left be).
template <typename Text, typename Char>
bool lonely(const Text& text, qsizetype i, Char cr, Char lf) {
    if (text[i] == lf) return i == 0 || text[i - 1] != cr;
    return text[i] == cr && i + 1 < text.size() && text[i + 1] != lf;
}

template <typename Text, typename Char>
Text crLf(Text text, Char cr, Char lf) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) count += lonely(text, i, cr, lf);
    if (count == 0) return text;
    Text out;
    out.reserve(text.size() + count);
    qsizetype copied = 0;  // the text before this is in `out`
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!lonely(text, i, cr, lf)) continue;
        out.append(text.constData() + copied, i - copied);
        out += cr;
        out += lf;
        copied = i + 1;
    }
    out.append(text.constData() + copied, text.size() - copied);
    return out;
}

}  // namespace

QString withCrLf(QString text) { return crLf(std::move(text), u'\r', u'\n'); }

QByteArray withCrLf(QByteArray bytes) { return crLf(std::move(bytes), '\r', '\n'); }

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
