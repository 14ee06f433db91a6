#pragma once

#include "platform/numbers.h"
#include "platform/spreadsheet.h"
#include "support/fakes.h"

namespace tovrin::fuzz {

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
    test::FakeClock clock;
    qsizetype length = 0;
};

}  // namespace tovrin::fuzz
