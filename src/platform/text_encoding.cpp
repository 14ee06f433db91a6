#include "platform/text_encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tovrin {

namespace {

// How much UTF-8 makes a file UTF-8 when nothing before contradicts it: a
// sequence of two bytes counts 1 (GBK text often forms one by chance), of
// three or four bytes 3 (GBK text rarely does).
constexpr int kUtf8Evidence = 8;

// The length of the UTF-8 sequence that starts at `at` (2 to 4), 0 when the
// bytes there are not one, -1 when the bytes end inside one.
int utf8Sequence(QByteArrayView b, qsizetype at) {
    const uchar lead = uchar(b[at]);
    int length = 0;
    uchar low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (at + i >= b.size()) return -1;
        const uchar c = uchar(b[at + i]);
        if (i == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return 0;
    }
    return length;
}

QString decodeUtf8Line(QByteArrayView line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(line);
    return utf8.hasError() ? decodeGbk(line) : text;
}

}  // namespace

TextEncoding sniffEncoding(QByteArrayView head) {
    if (head.startsWith("\xEF\xBB\xBF")) return TextEncoding::Utf8;
    head = head.first(std::min(head.size(), kEncodingSample));
    int evidence = 0;
    for (qsizetype i = 0; i < head.size();) {
        if (uchar(head[i]) < 0x80) {
            ++i;
            continue;
        }
        const int length = utf8Sequence(head, i);
        if (length == 0) return TextEncoding::Gbk;
        if (length < 0) return TextEncoding::Gbk;  // the sample ends inside a character
        evidence += length == 2 ? 1 : 3;
        if (evidence >= kUtf8Evidence) return TextEncoding::Utf8;
        i += length;
    }
    return TextEncoding::Gbk;
}

QString decodeGbk(QByteArrayView bytes) {
    constexpr qsizetype kPiece = qsizetype(16) << 20;
    QStringDecoder decoder("GBK");
    QString text;
    if (bytes.size() > kPiece) text.reserve(bytes.size() + 1);
    for (qsizetype at = 0; at < bytes.size(); at += kPiece) {
        text += decoder.decode(bytes.sliced(at, std::min(kPiece, bytes.size() - at)));
    }
    // A lead byte at the end is held back for the byte after it: an LF (which
    // no character holds) makes it come out as a character that cannot be
    // read, as it does before any other byte that cannot follow it.
    text += decoder.decode(QByteArrayView("\n", 1));
    text.chop(1);
    return text;
}

QByteArray encodeGbk(QStringView text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Gbk) return decodeGbk(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    // Line by line, each in the encoding it is valid in; the line end stays
    // with its line.
    text.clear();
    text.reserve(bytes.size());
    for (qsizetype from = 0; from < bytes.size();) {
        qsizetype to = from;
        while (to < bytes.size() && bytes[to] != '\n' && bytes[to] != '\r') ++to;
        to = std::min(bytes.size(), to + 1);
        text += decodeUtf8Line(bytes.sliced(from, to - from));
        from = to;
    }
    return text;
}

}  // namespace tovrin
