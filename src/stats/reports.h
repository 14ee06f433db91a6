#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

#include "platform/numbers.h"
#include "records/haystack.h"
#include "records/limits.h"

namespace tovrin {

// The steps of the two reports of the statistics button, over texts only:
// they read no file, ask nothing and show nothing.

// How the reports write amounts: the system's number conversion, and whether
// it writes "0" before a fraction (see wct).
struct ReportNumbers {
    const NumberFormat& numbers;
    bool zerob = true;

    // The money text of an amount.
    QString money(double x) const;
    // The amount rounded to cents as a number.
    double cents(double x) const;
};

// ---- Amount detail

// The distinct lines of a period: the lines (by the line rule) of every
// occurrence of the needle, repeated and empty lines dropped; of equal lines
// the last copy stays, in its place. Nothing for an empty needle. Incomplete
// when the gathering stopped at its bound.
Gathered periodLines(Haystack& text, const QString& needle);

// The lines a listing holds: at most kListedLines + 1 (positions 0 to
// kListedLines). Incomplete when the lines were more or when they were
// gathered incomplete: the listing stops at its threshold.
Gathered listedLines(Gathered lines);

// A gathered line framed by TABs.
QString framedLine(const QString& line);

// The positions of a gathering of n lines: n framed lines, then the position
// n that holds two TABs, unless the listing stopped at its threshold. The
// lines are let go as they are framed.
QStringList framedPositions(Gathered listed);

// The content of betweenp.txt: the positions of the gathered lines (see
// framedPositions) each as one line, then two more line ends. A listing that
// stopped at its threshold has no line of two TABs.
QString detailText(const Gathered& listed);

// The fields of positions 0 to n (n included) of the gathered lines: row r
// holds the fields of position r with their numbers (see splitFields), at
// most 99. Nothing when n is not greater than 0.
std::vector<QStringList> fieldRows(const QStringList& positions, qsizetype n);

// The content of betweenpq.txt: a line per row, "suf(r,k)***" followed by
// the field and 11 blanks for every non-empty field k from 1 on. A CR and a
// line end alone when there are no rows.
QString traceText(const std::vector<QStringList>& rows);

// The sums of the amount summary over rows 0 to n - 1.
struct AmountSums {
    double discount = 0;    // field 3
    double received = 0;    // field 5
    double goodsPrice = 0;  // field 7
    double change = 0;      // field 11
    // Fields that are not numbers: each counts as 0.
    qsizetype badFields = 0;
};
AmountSums sumAmounts(const std::vector<QStringList>& rows, qsizetype n, const NumberFormat& numbers);

// The two lines of the amount summary, each led by the date-time text it was
// begun at.
QString amountSummary(const AmountSums& sums, const QString& firstDateTime, const QString& secondDateTime,
                      const ReportNumbers& numbers);

// ---- Goods report

// The section of the goods report: the period section (see periodSection)
// of the goods key followed by its terminator. Empty when the period's last
// record does not begin with them; nullopt when the text holds no record of
// the period.
std::optional<QString> goodsSection(Haystack& text, const QString& key, const QString& terminator,
                                    const QString& endMarker);
// Where that section lies, for its size to be told before it is cut out.
std::optional<Span> goodsSpan(Haystack& text, const QString& key, const QString& terminator,
                              const QString& endMarker);

// What follows the period's section in the display: the date-time and the
// heading of the goods counts.
QString goodsHeading(const QString& dateTime);

// The item lines of a section (already upper-cased, line ends as CR LF, CR LF
// behind it): for every occurrence of TAB, label, TAB the text from the CR LF
// before it (from the start when there is none; the CR LF is part of the
// line) up to the next CR LF. A label without a CR LF after it within 40000
// characters gives no line. The lines are views of the text; at most `most`
// are found.
std::vector<QStringView> itemLines(QStringView text, const QString& label, size_t most = kItemLines + 1);

// The goods of a barcode group: the lines of one label, the barcode of its
// first line.
struct GoodsGroup {
    QString label;
    QString barcode;
    double quantity = 0, total = 0, discount = 0;
    qsizetype lines = 0;
};

struct GoodsTally {
    // In the order of their first line.
    std::vector<GoodsGroup> groups;
    // Total less discount of the price-settled lines: those whose label's
    // first line has no barcode.
    double priceTotal = 0;
    // Fields that are not numbers: each counts as 0.
    qsizetype badFields = 0;
};

// Groups the item lines by their label (field 1): fields 3 discount, 5
// total, 7 quantity, 9 barcode.
GoodsTally groupItems(const std::vector<QStringView>& lines, const NumberFormat& numbers);

// The content of betweensum.txt: a line per barcode group.
QString goodsSummary(const GoodsTally& tally, const ReportNumbers& numbers);

// The block of totals that ends the goods report: the number of barcode
// groups, the amount due of the barcode goods (each group's rounded to
// cents), of the price-settled goods and of all.
QString goodsTotals(const GoodsTally& tally, const ReportNumbers& numbers);

}  // namespace tovrin
