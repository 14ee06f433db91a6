#include "platform/numbers.h"

#include <QByteArray>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tovrin {

bool isFinite(double value) { return std::isfinite(value); }

QString NumberFormat::plain(double value) const {
    if (std::isnan(value)) return QStringLiteral("NaN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("Inf") : QStringLiteral("-Inf");
    if (value == 0) return QStringLiteral("0");  // also for -0

    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);  // d.dddddddddddddde±xx
    QByteArray text(buf);
    const int ePos = text.indexOf('e');
    QByteArray mantissa = text.left(ePos);
    const int exponent = text.mid(ePos + 1).toInt();
    const bool negative = mantissa.startsWith('-');
    if (negative) mantissa.remove(0, 1);
    mantissa.remove(1, 1);  // drop the point: 15 digits remain
    while (mantissa.size() > 1 && mantissa.endsWith('0')) mantissa.chop(1);

    QByteArray out;
    if (exponent >= 15 || exponent < -15) {
        out = mantissa.left(1);
        if (mantissa.size() > 1) out += '.' + mantissa.mid(1);
        out += exponent < 0 ? "E-" : "E+";
        out += QByteArray::number(std::abs(exponent));
    } else if (exponent >= 0) {
        if (mantissa.size() <= exponent + 1) {
            out = mantissa + QByteArray(exponent + 1 - mantissa.size(), '0');
        } else {
            out = mantissa.left(exponent + 1) + '.' + mantissa.mid(exponent + 1);
        }
    } else {
        out = "0." + QByteArray(-exponent - 1, '0') + mantissa;
    }
    if (negative) out.prepend('-');
    return QString::fromLatin1(out);
}

std::optional<double> NumberFormat::parse(const QString& text) const {
    // Hand-written scanner: the grammar is small and must not depend on the
    // locale of the machine the till runs on.
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto isBlank = [&](qsizetype k) { return text[k] == u' ' || text[k] == u'\t'; };
    auto isDigit = [&](qsizetype k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    while (i < n && isBlank(i)) ++i;
    QByteArray plainText;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) plainText += char(text[i++].unicode());
    int digits = 0;
    // Integer part with optional "," grouping between digits.
    while (i < n) {
        if (isDigit(i)) {
            plainText += char(text[i++].unicode());
            ++digits;
        } else if (text[i] == u',' && digits > 0 && isDigit(i + 1)) {
            ++i;
        } else {
            break;
        }
    }
    if (i < n && text[i] == u'.') {
        plainText += '.';
        ++i;
        while (isDigit(i)) {
            plainText += char(text[i++].unicode());
            ++digits;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        QByteArray exponent = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-')) exponent += char(text[j++].unicode());
        if (!isDigit(j)) return std::nullopt;
        while (isDigit(j)) exponent += char(text[j++].unicode());
        plainText += exponent;
        i = j;
    }
    while (i < n && isBlank(i)) ++i;
    if (i != n) return std::nullopt;
    // from_chars ignores the locale the process runs in. A value too large
    // for a double becomes infinite, which the callers test for; one too small
    // becomes zero.
    const bool negative = plainText.startsWith('-');
    if (plainText.startsWith('+') || negative) plainText.remove(0, 1);
    double value = 0;
    const char* end = plainText.constData() + plainText.size();
    const auto [ptr, ec] = std::from_chars(plainText.constData(), end, value);
    if (ec == std::errc::result_out_of_range) {
        const bool tiny = plainText.contains("e-");
        value = tiny ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

QString NoLeadingZeroFormat::plain(double value) const {
    QString text = NumberFormat::plain(value);
    if (text.startsWith(QLatin1String("0."))) return text.mid(1);
    if (text.startsWith(QLatin1String("-0."))) return QLatin1Char('-') + text.mid(2);
    return text;
}

}  // namespace tovrin
