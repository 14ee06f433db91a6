#include "platform/clock.h"

namespace tovrin {

QString Clock::format(const QDateTime& when) const {
    const QDate d = when.date();
    const QTime t = when.time();
    const QChar sep = dateSeparator();
    return QString::number(d.year()) + sep + QString::number(d.month()) + sep + QString::number(d.day()) +
           QLatin1Char(' ') + QString::number(t.hour()) + QLatin1Char(':') +
           QStringLiteral("%1").arg(t.minute(), 2, 10, QLatin1Char('0')) + QLatin1Char(':') +
           QStringLiteral("%1").arg(t.second(), 2, 10, QLatin1Char('0'));
}

QString Clock::dateText() const {
    const QString text = dateTimeText();
    return text.left(text.indexOf(QLatin1Char(' ')));
}

}  // namespace tovrin
