#include "platform/spreadsheet.h"

#include <QDateTime>
#include <cmath>

#include "platform/clock.h"
#include "platform/numbers.h"

namespace tovrin {

namespace {

// The last day a spreadsheet can show: 9999-12-31.
constexpr double kLastSerial = 2958466.0;
constexpr qint64 kSecondsPerDay = 86400;

QString dateText(double serial, const NumberFormat& numbers, const Clock& clock) {
    if (!(serial >= 0 && serial < kLastSerial)) return numbers.plain(serial);
    const qint64 seconds = std::llround(serial * double(kSecondsPerDay));
    const qint64 days = seconds / kSecondsPerDay;
    const int timeOfDay = int(seconds % kSecondsPerDay);
    // A date and time as written in the cell, with no time zone: UTC keeps
    // the conversion away from the system's zone rules.
    const QDateTime when(QDate(1899, 12, 30).addDays(days), QTime(0, 0).addSecs(timeOfDay), Qt::UTC);
    const QString text = clock.format(when);
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0) return text;
    if (days == 0) return text.mid(blank + 1);
    if (timeOfDay == 0) return text.left(blank);
    return text;
}

}  // namespace

QString cellText(const Cell& cell, const NumberFormat& numbers, const Clock& clock) {
    switch (cell.kind) {
        case Cell::Kind::Empty:
            return {};
        case Cell::Kind::Number:
            return numbers.plain(cell.number);
        case Cell::Kind::Date:
            return dateText(cell.number, numbers, clock);
        case Cell::Kind::Boolean:
            return cell.number != 0 ? QStringLiteral("True") : QStringLiteral("False");
        case Cell::Kind::Text:
        case Cell::Kind::Error:
            return cell.text;
    }
    return {};
}

}  // namespace tovrin
