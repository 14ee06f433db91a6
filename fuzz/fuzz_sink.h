#pragma once

#include <QDateTime>

#include "platform/clock.h"
#include "platform/numbers.h"
#include "platform/spreadsheet.h"

namespace tovrin::fuzz {

class FixedClock : public Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2018, 5, 12), QTime(9, 5, 7)); }
};

// Takes every row and turns its cells into text, as the import does.
class Sink : public SheetRows {
public:
    bool beginSheet(const QString&) override { return true; }
    bool row(int, std::span<const Cell> cells) override {
        for (const Cell& c : cells) length += cellText(c, numbers, clock).size();
        return true;
    }
    bool endSheet() override { return true; }

    NumberFormat numbers;
    FixedClock clock;
    qsizetype length = 0;
};

}  // namespace tovrin::fuzz
