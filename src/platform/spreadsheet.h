#pragma once

#include <QString>
#include <span>

namespace tovrin {

class Clock;
class NumberFormat;

// One cell's value as the workbook stores it.
struct Cell {
    enum class Kind : quint8 { Empty, Number, Date, Text, Boolean, Error };

    Kind kind = Kind::Empty;
    // Number: the value. Date: the serial day number counted from 1899-12-30
    // (day 0), its fraction the time of day, whatever date system the workbook
    // uses. Boolean: 1 or 0.
    double number = 0;
    // Text: the text as stored, blanks kept. Error: the spreadsheet's text of
    // the error ("#N/A").
    QString text;

    static Cell ofNumber(double value) { return {Kind::Number, value, {}}; }
    static Cell ofDate(double serial) { return {Kind::Date, serial, {}}; }
    static Cell ofText(QString text) { return {Kind::Text, 0, std::move(text)}; }
    static Cell ofBoolean(bool value) { return {Kind::Boolean, value ? 1.0 : 0.0, {}}; }
    static Cell ofError(QString text) { return {Kind::Error, 0, std::move(text)}; }

    // What comparing the cell with the empty text finds: an empty cell and an
    // empty text have no content; blanks, numbers, booleans and errors have.
    bool hasContent() const { return kind != Kind::Empty && (kind != Kind::Text || !text.isEmpty()); }
};

// Receives the worksheets of a workbook, in workbook order, and their rows.
// Each method returns false to stop the reading at once.
class SheetRows {
public:
    virtual ~SheetRows() = default;
    virtual bool beginSheet(const QString& name) = 0;
    // Row numbers start at 1 and ascend strictly within a sheet. `cells` holds
    // the first columns of the row (A, B, ...), as many as the reader was
    // asked for. A row whose cells are all empty may be left out.
    virtual bool row(int number, std::span<const Cell> cells) = 0;
    virtual bool endSheet() = 0;
};

// Reads the worksheets of a workbook file (chart sheets and the like are not
// worksheets and are skipped). The workbook file is only read.
class SpreadsheetReader {
public:
    struct Result {
        enum class Status { Done, Stopped, Failed };
        Status status = Status::Done;
        // Failed: why, in Chinese, for the cashier ("文件已损坏：…").
        QString reason;

        static Result done() { return {}; }
        static Result stopped() { return {Status::Stopped, {}}; }
        static Result failed(QString why) { return {Status::Failed, std::move(why)}; }
        bool isDone() const { return status == Status::Done; }
    };

    virtual ~SpreadsheetReader() = default;
    virtual Result read(const QString& path, int columns, SheetRows& rows) = 0;
};

// A cell's value as text, the way the platform's general conversions write
// it: a number as plain number text (at most 15 significant digits), a date as
// the date-time text of the clock (the date alone at midnight, the time alone
// on day 0), a boolean "True" or "False", an error its text, a text as it is
// and an empty cell as the empty text.
QString cellText(const Cell& cell, const NumberFormat& numbers, const Clock& clock);

}  // namespace tovrin
