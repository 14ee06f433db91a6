#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

namespace tovrin {

// The current date and time and the date-time text every journal record
// begins with: "2018-5-12 9:05:07" (month, day and hour without a leading zero).
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The separator of the short date: "-" here; some systems write "/" or "\".
    virtual QChar dateSeparator() const { return QLatin1Char('-'); }

    // Always date, blank and time, also at midnight, so that a day's records
    // all begin with the day key followed by a blank.
    QString dateTimeText() const { return format(now()); }
    // The date part of the date-time text: the day key of the reports.
    QString dateText() const;
    QString format(const QDateTime& when) const;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

}  // namespace tovrin
