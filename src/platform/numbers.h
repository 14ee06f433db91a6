#pragma once

#include <QString>
#include <optional>

namespace tovrin {

// The general number conversions of the platform: the plain number text of a
// double and the numeric test of an input box.
class NumberFormat {
public:
    virtual ~NumberFormat() = default;

    // At most 15 significant digits, no trailing zeros, no grouping, "." as the
    // decimal point, "E+20" style for extreme magnitudes, "0" before a fraction.
    virtual QString plain(double value) const;

    // The numeric test and conversion: surrounding blanks, one sign, "," digit
    // grouping, one decimal point and an exponent are accepted. Empty text,
    // "inf", "nan", hexadecimal and anything else give nullopt. A text that is
    // numeric but too large for a double gives an infinite value: callers stop
    // the operation on it (see isFinite).
    virtual std::optional<double> parse(const QString& text) const;

    bool isNumeric(const QString& text) const { return parse(text).has_value(); }
};

// A number format whose conversion writes a fraction without the "0" before
// the decimal point (".5"), as some systems do.
class NoLeadingZeroFormat : public NumberFormat {
public:
    QString plain(double value) const override;
};

bool isFinite(double value);

}  // namespace tovrin
