#pragma once

#include <QStringList>
#include <span>

#include "platform/spreadsheet.h"

namespace tovrin {

// Writes what a reader delivers as one line per sheet start, row and sheet
// end: "3: n2 s'x' - b1 e#N/A d43232" (number, text, empty, boolean, error,
// date serial).
class SheetDump : public SheetRows {
public:
    bool beginSheet(const QString& name) override {
        lines << QLatin1Char('[') + name + QLatin1Char(']');
        return true;
    }
    bool row(int number, std::span<const Cell> cells) override {
        QString line = QString::number(number) + QLatin1Char(':');
        for (const Cell& c : cells) line += QLatin1Char(' ') + describe(c);
        lines << line;
        return --rowsLeft != 0;
    }
    bool endSheet() override {
        lines << QStringLiteral("[end]");
        return true;
    }
    static QString describe(const Cell& c) {
        switch (c.kind) {
            case Cell::Kind::Empty:
                return QStringLiteral("-");
            case Cell::Kind::Number:
                return QLatin1Char('n') + QString::number(c.number, 'g', 15);
            case Cell::Kind::Date:
                return QLatin1Char('d') + QString::number(c.number, 'g', 15);
            case Cell::Kind::Text:
                return QStringLiteral("s'") + c.text + QLatin1Char('\'');
            case Cell::Kind::Boolean:
                return c.number != 0 ? QStringLiteral("b1") : QStringLiteral("b0");
            case Cell::Kind::Error:
                return QLatin1Char('e') + c.text;
        }
        return {};
    }
    QStringList lines;
    int rowsLeft = -1;  // stop after this many rows
};

}  // namespace tovrin
