#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// The UTF-8 texts an XML parser gives, read as the same texts in a QString
// would be: plain decimal numbers are read straight from the bytes, anything
// else goes through QString's own conversions, so that both ways agree.
namespace tovrin::xml_text {

// The number of UTF-16 code units of valid UTF-8.
qsizetype utf16Size(QByteArrayView utf8);

// The text as a QString; a byte order mark at its start is kept.
QString decode(QByteArrayView utf8);
// Appends the text to `out`, given its utf16Size().
void append(QString& out, QByteArrayView utf8, qsizetype size);

// The number a plain decimal text holds ("12.5", "-3e2"), ASCII white space
// around it allowed; nothing for any other text, which is then left to
// QString's conversions.
std::optional<double> plainNumber(QByteArrayView utf8);
// The same for a plain integer of at most `maxDigits` digits.
std::optional<qint64> plainInteger(QByteArrayView utf8, int maxDigits = 18);

// As decode(utf8).toDouble(), toLongLong() and toInt().
std::optional<double> toDouble(QByteArrayView utf8);
std::optional<qint64> toLongLong(QByteArrayView utf8);
std::optional<int> toInt(QByteArrayView utf8);

// As decode(utf8).compare(ascii, Qt::CaseInsensitive) == 0.
bool equalsCaseBlind(QByteArrayView utf8, QByteArrayView ascii);

}  // namespace tovrin::xml_text
