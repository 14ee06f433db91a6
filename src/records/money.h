#pragma once

#include <QString>
#include <cmath>

#include "platform/numbers.h"

namespace tovrin {

// `wct`, the money text of an amount: rounded to cents, where the third decimal
// decides (five and more rounds towards plus infinity; later digits are
// ignored), no trailing zeros, and "0" before the point of an amount between
// -1 and 1 whatever the system's number conversion writes.
inline QString wct(double x, const NumberFormat& numbers, bool zerob) {
    const double a = std::floor(x * 1000);
    double b = std::floor(x * 100);
    const double d = a - 10 * b;
    if (d >= 5) b += 1;
    const double r = b / 100;
    const QString t = numbers.plain(r);
    const double v = numbers.parse(t).value_or(r);
    if (!zerob && std::abs(v) > 1e-8 && std::abs(v) < 0.999999999) {
        const QString s = numbers.plain(std::nearbyint(v * 100000000) / 100000000);
        if (v > 0) return QLatin1Char('0') + s;
        return QStringLiteral("-0") + s.mid(1);
    }
    return t;
}

// The value of a money text: the amount rounded to cents as a number.
inline double money(double x, const NumberFormat& numbers, bool zerob) {
    return numbers.parse(wct(x, numbers, zerob)).value_or(0);
}

}  // namespace tovrin
