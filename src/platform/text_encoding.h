#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tovrin {

// How the bytes of a data file are turned into text. The till writes GBK;
// a file that an editor or a script saved in UTF-8 is read as UTF-8.
enum class TextEncoding { Gbk, Utf8 };

// How much of a file's beginning is looked at to tell its encoding.
inline constexpr qsizetype kEncodingSample = qsizetype(64) << 10;

// The encoding of a file told from its first bytes (at most kEncodingSample
// of them): UTF-8 when they begin with its byte-order mark, or when they
// hold enough characters of several bytes that are valid UTF-8 (three
// Chinese characters are enough) before anything that is not. GBK text of
// Chinese almost never passes for UTF-8 for long, a character or two might;
// so a file in doubt is GBK.
TextEncoding sniffEncoding(QByteArrayView head);

// The text of GBK bytes of any size: the decoder gives an empty text for very
// large input, so it is given the bytes in pieces (a character cut between
// two pieces comes out whole). A byte that does not make a character, a lead
// byte at the end included, is read as U+FFFD.
QString decodeGbk(QByteArrayView bytes);
// The GBK bytes of a text; a character GBK cannot write becomes "?".
QByteArray encodeGbk(QStringView text);

// The text of bytes in the given encoding. A UTF-8 file may hold lines the
// till appended in GBK: a line that is not valid UTF-8 is read as GBK. A
// byte-order mark at the start is dropped.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);

// The most bytes one character of the decoded text (a UTF-16 unit) takes.
inline constexpr qint64 bytesPerCharacter(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? 3 : 2;
}

}  // namespace tovrin
