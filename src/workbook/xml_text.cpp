#include "workbook/xml_text.h"

#include <cstring>

namespace tovrin::xml_text {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Without the ASCII white space at both ends.
[[gnu::always_inline]] inline QByteArrayView trimmed(QByteArrayView s) {
    if (!s.isEmpty() && !isAsciiSpace(s.front()) && !isAsciiSpace(s.back())) return s;
    qsizetype begin = 0, end = s.size();
    while (begin < end && isAsciiSpace(s[begin])) ++begin;
    while (end > begin && isAsciiSpace(s[end - 1])) --end;
    return s.sliced(begin, end - begin);
}

// Exact powers of ten as doubles.
constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

std::optional<double> plainNumber(QByteArrayView utf8) {
    const QByteArrayView s = trimmed(utf8);
    qsizetype i = 0;
    const bool minus = i < s.size() && s[i] == '-';
    if (minus) ++i;
    // The digits as one integer, and the power of ten it is to be scaled by.
    quint64 mantissa = 0;
    int digits = 0, scale = 0;
    const qsizetype first = i;
    for (; i < s.size() && isDigit(s[i]); ++i) {
        if (mantissa != 0 || s[i] != '0') ++digits;
        mantissa = mantissa * 10 + quint64(s[i] - '0');
        if (digits > 15) return std::nullopt;
    }
    if (i == first) return std::nullopt;
    if (i < s.size() && s[i] == '.') {
        const qsizetype point = ++i;
        for (; i < s.size() && isDigit(s[i]); ++i) {
            if (mantissa != 0 || s[i] != '0') ++digits;
            mantissa = mantissa * 10 + quint64(s[i] - '0');
            --scale;
            if (digits > 15) return std::nullopt;
        }
        if (i == point) return std::nullopt;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        const bool negative = i < s.size() && s[i] == '-';
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
        const qsizetype from = i;
        int exponent = 0;
        for (; i < s.size() && isDigit(s[i]) && exponent < 1000; ++i) exponent = exponent * 10 + (s[i] - '0');
        if (i == from) return std::nullopt;
        scale += negative ? -exponent : exponent;
    }
    if (i != s.size()) return std::nullopt;
    // At most 15 digits are exact in a double, and so are the powers of ten
    // up to 10^22: one multiplication or division rounds correctly, as
    // QString's conversion does.
    if (scale < -22 || scale > 22) return std::nullopt;
    const double value = scale < 0 ? double(mantissa) / kPowers[-scale] : double(mantissa) * kPowers[scale];
    return minus ? -value : value;
}

std::optional<qint64> plainInteger(QByteArrayView utf8, int maxDigits) {
    const QByteArrayView s = trimmed(utf8);
    const bool minus = !s.isEmpty() && s[0] == '-';
    const QByteArrayView d = s.sliced(minus ? 1 : 0);
    if (d.isEmpty() || d.size() > maxDigits) return std::nullopt;
    qint64 value = 0;
    for (char c : d) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return minus ? -value : value;
}

qsizetype utf16Size(QByteArrayView utf8) {
    // Each character starts with a byte that is no continuation byte
    // (10xxxxxx); those of four bytes (11110xxx) take two code units. Eight
    // bytes are counted at a time: the top bit of each byte of `ones` (and
    // `four`) tells whether it is a continuation byte (a lead of four).
    constexpr quint64 kTop = 0x8080808080808080ULL;
    qsizetype size = utf8.size();
    qsizetype i = 0;
    for (; i + 8 <= utf8.size(); i += 8) {
        quint64 x;
        std::memcpy(&x, utf8.data() + i, 8);
        if ((x & kTop) == 0) continue;
        const quint64 continuation = x & ~(x << 1) & kTop;
        const quint64 four = x & (x << 1) & (x << 2) & (x << 3) & kTop;
        // The flags summed up: each is the top bit of its byte.
        constexpr quint64 kOnes = 0x0101010101010101ULL;
        size -= qsizetype(((continuation >> 7) * kOnes) >> 56);
        size += qsizetype(((four >> 7) * kOnes) >> 56);
    }
    for (; i < utf8.size(); ++i) {
        const auto b = quint8(utf8[i]);
        size -= (b & 0xC0) == 0x80;
        size += b >= 0xF0;
    }
    return size;
}

namespace {

// Writes the UTF-16 code units of `utf8` to `to`, at most up to `end`;
// returns where they end.
char16_t* widen(QByteArrayView utf8, char16_t* to, char16_t* const end) {
    const auto* from = reinterpret_cast<const uchar*>(utf8.data());
    const uchar* const last = from + utf8.size();
    // The parser gives valid UTF-8; the bounds are kept all the same.
    const auto continuation = [&](int i) { return from + i < last ? char32_t(from[i] & 0x3F) : char32_t(0); };
    while (from < last && to < end) {
        const uchar b = *from;
        if (b < 0x80) {
            *to++ = b;
            from += 1;
        } else if (b < 0xE0) {
            *to++ = char16_t((char32_t(b & 0x1F) << 6) | continuation(1));
            from += 2;
        } else if (b < 0xF0) {
            *to++ = char16_t((char32_t(b & 0x0F) << 12) | (continuation(1) << 6) | continuation(2));
            from += 3;
        } else {
            const char32_t c = (char32_t(b & 0x07) << 18) | (continuation(1) << 12) | (continuation(2) << 6) |
                               continuation(3);
            *to++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
            if (to < end) *to++ = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
            from += 4;
        }
    }
    return to;
}

}  // namespace

void append(QString& out, QByteArrayView utf8, qsizetype size) {
    // As many code units as bytes: ASCII through and through.
    if (size == utf8.size()) {
        out.append(QLatin1StringView(utf8));
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + size);
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    out.resize(widen(utf8, begin + at, begin + at + size) - begin);
}

QString decode(QByteArrayView utf8) {
    const qsizetype size = utf16Size(utf8);
    if (size == utf8.size()) return QString::fromLatin1(utf8);
    QString out(size, Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    out.resize(widen(utf8, begin, begin + size) - begin);
    return out;
}

namespace {

// The value `plain` read from the bytes, or else QString's `convert` of the
// text.
template <typename T, typename Convert>
std::optional<T> orQt(std::optional<T> plain, QByteArrayView utf8, Convert convert) {
    if (plain) return plain;
    bool ok = false;
    const T value = convert(decode(utf8), &ok);
    if (!ok) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> toDouble(QByteArrayView utf8) {
    return orQt(plainNumber(utf8), utf8, [](const QString& s, bool* ok) { return s.toDouble(ok); });
}

std::optional<qint64> toLongLong(QByteArrayView utf8) {
    return orQt(plainInteger(utf8), utf8, [](const QString& s, bool* ok) { return s.toLongLong(ok); });
}

std::optional<int> toInt(QByteArrayView utf8) {
    const std::optional<qint64> plain = plainInteger(utf8, 9);
    return orQt(plain ? std::optional<int>(int(*plain)) : std::nullopt, utf8,
                [](const QString& s, bool* ok) { return s.toInt(ok); });
}

bool equalsCaseBlind(QByteArrayView utf8, QByteArrayView ascii) {
    for (char c : utf8) {
        // Case folding takes some other letters to ASCII ones.
        if (quint8(c) >= 0x80)
            return decode(utf8).compare(QLatin1StringView(ascii), Qt::CaseInsensitive) == 0;
    }
    return utf8.size() == ascii.size() && qstrnicmp(utf8.data(), ascii.data(), size_t(ascii.size())) == 0;
}

}  // namespace tovrin::xml_text
