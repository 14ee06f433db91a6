#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

#include "platform/text_encoding.h"

namespace tovrin::test {

// A data file as another tool may have left it: the bytes of a text the till
// writes with CR LF, its line ends and encoding changed.
struct FileVariant {
    const char* name;
    std::function<QByteArray(const QString& crLfText)> bytes;
    // Whether the text has every line end the original has (a missing last
    // line end is not).
    bool keepsLastLineEnd = true;
};

inline QString replacedLineEnds(QString text, const QString& by) {
    return text.replace(QStringLiteral("\r\n"), by);
}

// Every other line end as LF, the others as they were.
inline QString mixedLineEnds(const QString& text) {
    QString out;
    bool lf = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            out += lf ? QStringLiteral("\n") : QStringLiteral("\r\n");
            lf = !lf;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

inline QString withoutLastLineEnd(QString text) {
    if (text.endsWith(QStringLiteral("\r\n"))) text.chop(2);
    return text;
}

inline std::vector<FileVariant> fileVariants() {
    return {
        {"LF", [](const QString& t) { return encodeGbk(replacedLineEnds(t, QStringLiteral("\n"))); }},
        {"lone CR", [](const QString& t) { return encodeGbk(replacedLineEnds(t, QStringLiteral("\r"))); }},
        {"mixed CR LF and LF", [](const QString& t) { return encodeGbk(mixedLineEnds(t)); }},
        {"no last line end", [](const QString& t) { return encodeGbk(withoutLastLineEnd(t)); }, false},
        {"LF, no last line end",
         [](const QString& t) {
             return encodeGbk(replacedLineEnds(withoutLastLineEnd(t), QStringLiteral("\n")));
         },
         false},
        {"UTF-8", [](const QString& t) { return t.toUtf8(); }},
        {"UTF-8 with its mark, LF",
         [](const QString& t) {
             return QByteArray("\xEF\xBB\xBF") + replacedLineEnds(t, QStringLiteral("\n")).toUtf8();
         }},
    };
}

}  // namespace tovrin::test
