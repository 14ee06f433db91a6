#include "stats/reports.h"

#include <QHash>
#include <utility>

#include "records/columns.h"
#include "records/files.h"
#include "records/haystack.h"
#include "records/lines.h"
#include "records/money.h"
#include "records/periods.h"

namespace tovrin {

namespace {

QString pad(QString text, double width) { return tiaozhen(text, width); }

// The numeric values of journal fields; a field that is not a number counts
// as 0 and is counted.
class FieldAmounts {
public:
    explicit FieldAmounts(const NumberFormat& numbers) : numbers_(numbers) {}
    double operator()(const QString& field) {
        const std::optional<double> value = numbers_.parse(field);
        if (value && isFinite(*value)) return *value;
        ++bad_;
        return 0;
    }
    qsizetype bad() const { return bad_; }

private:
    const NumberFormat& numbers_;
    qsizetype bad_ = 0;
};

}  // namespace

QString ReportNumbers::money(double x) const { return wct(x, numbers, zerob); }

double ReportNumbers::cents(double x) const { return tovrin::money(x, numbers, zerob); }

Gathered periodLines(Haystack& text, const QString& needle) {
    if (needle.isEmpty()) return {};
    Gathered gathered = gatherLines(text, needle);
    gathered.lines = keepLastCopies(std::move(gathered.lines));
    return gathered;
}

Gathered listedLines(Gathered lines) {
    if (qsizetype(lines.lines.size()) > kListedLines + 1) lines.lines.resize(size_t(kListedLines + 1));
    // The line of two TABs would stand at a position past the last.
    if (qsizetype(lines.lines.size()) > kListedLines) lines.complete = false;
    return lines;
}

QString framedLine(const QString& line) {
    QString framed;
    framed.reserve(line.size() + 2);
    framed += TAB;
    framed += line;
    framed += TAB;
    return framed;
}

QStringList framedPositions(Gathered listed) {
    QStringList positions;
    positions.reserve(qsizetype(listed.lines.size()) + 1);
    for (QString& line : listed.lines) positions.append(framedLine(std::exchange(line, QString())));
    if (listed.complete) positions.append(framedLine(QString()));
    return positions;
}

QString detailText(const Gathered& listed) {
    qsizetype length = 2 * TAB.size() + 3 * CRLF.size();
    for (const QString& line : listed.lines) length += line.size() + 2 * TAB.size() + CRLF.size();
    QString content;
    content.reserve(length);
    for (const QString& line : listed.lines) {
        content += TAB;
        content += line;
        content += TAB;
        content += CRLF;
    }
    if (listed.complete) content += TAB + TAB + CRLF;
    content += CRLF + CRLF;
    return content;
}

std::vector<QStringList> fieldRows(const QStringList& positions, qsizetype n) {
    std::vector<QStringList> rows;
    if (n <= 0) return rows;
    rows.reserve(size_t(n + 1));
    for (qsizetype r = 0; r <= n; ++r) {
        const QString framed = positions.value(r);
        rows.push_back(splitFields(framed.size() >= 2 ? QStringView(framed).sliced(1, framed.size() - 2)
                                                      : QStringView()));
    }
    return rows;
}

QString traceText(const std::vector<QStringList>& rows) {
    if (rows.empty()) return QStringLiteral("\r\r\n");
    QString trace;
    for (size_t r = 0; r < rows.size(); ++r) {
        const QStringList& fields = rows[r];
        for (qsizetype k = 1; k < fields.size(); ++k) {
            if (fields[k].isEmpty()) continue;
            trace += QStringLiteral("suf(") + QString::number(r) + QLatin1Char(',') + QString::number(k) +
                     QStringLiteral(")***") + fields[k] + QString(11, QLatin1Char(' '));
        }
        trace += CRLF;
    }
    return trace;
}

AmountSums sumAmounts(const std::vector<QStringList>& rows, qsizetype n, const NumberFormat& numbers) {
    FieldAmounts amount(numbers);
    AmountSums sums;
    for (qsizetype r = 0; r < n && r < qsizetype(rows.size()); ++r) {
        const QStringList& row = rows[size_t(r)];
        sums.received += amount(row.value(5));
        sums.goodsPrice += amount(row.value(7));
        sums.change += amount(row.value(11));
        sums.discount += amount(row.value(3));
    }
    sums.badFields = amount.bad();
    return sums;
}

QString amountSummary(const AmountSums& sums, const QString& firstDateTime, const QString& secondDateTime,
                      const ReportNumbers& numbers) {
    const auto money = [&](double x) { return pad(numbers.money(x), 8); };
    QString summary = TAB + firstDateTime + TAB + pad(QStringLiteral("折扣合计："), 18) + TAB +
                      money(sums.discount) + TAB + pad(QStringLiteral("应收金额合计："), 18) + TAB +
                      money(sums.received - sums.change) + CRLF;
    summary += TAB + secondDateTime + TAB + pad(QStringLiteral("实收金额合计："), 18) + TAB +
               money(sums.received) + TAB + pad(QStringLiteral("商品价格合计："), 18) + TAB +
               money(sums.goodsPrice) + TAB + pad(QStringLiteral("找零合计："), 18) + TAB +
               money(sums.change) + CRLF;
    return summary;
}

std::optional<QString> goodsSection(Haystack& text, const QString& key, const QString& terminator,
                                    const QString& endMarker) {
    const QString k = goodsKey(key);
    return periodSection(text, k, k + terminator, endMarker);
}

std::optional<Span> goodsSpan(Haystack& text, const QString& key, const QString& terminator,
                              const QString& endMarker) {
    const QString k = goodsKey(key);
    return periodSpan(text, k, k + terminator, endMarker);
}

QString goodsHeading(const QString& dateTime) {
    return CRLF + CRLF + dateTime + CRLF + CRLF + QStringLiteral("条码结算的商品数量统计：") + CRLF + CRLF;
}

std::vector<QStringView> itemLines(QStringView w, const QString& label, size_t most) {
    const QString needle = TAB + upperSameLength(label) + TAB;
    // The search for a line's start does not go back past the previous
    // label, nor is the search for its end repeated for the labels before it.
    std::vector<QStringView> lines;
    qsizetype scannedFrom = 0;  // CR LF before this position are known
    qsizetype lastCrLf = -1;
    qsizetype nextCrLf = -1;  // the first CR LF at or after the last label, -1 when none
    bool nextKnown = false;
    for (qsizetype hit = w.indexOf(needle); hit >= 0 && lines.size() < most;
         hit = w.indexOf(needle, hit + 1)) {
        const qsizetype i = hit + 1;
        for (qsizetype j = i - 2; j >= scannedFrom; --j) {
            if (w[j] == u'\r' && w[j + 1] == u'\n') {
                lastCrLf = j;
                break;
            }
        }
        scannedFrom = std::max(scannedFrom, i - 1);
        const qsizetype start = lastCrLf >= 0 ? lastCrLf : 0;
        if (!nextKnown || (nextCrLf >= 0 && nextCrLf < i)) {
            nextCrLf = w.indexOf(CRLF, i);
            nextKnown = true;
        }
        const qsizetype end = nextCrLf;
        if (end < 0 || end + 2 > i + kItemLineReach) continue;
        lines.push_back(w.sliced(start, end - start));
    }
    return lines;
}

GoodsTally groupItems(const std::vector<QStringView>& lines, const NumberFormat& numbers) {
    FieldAmounts amount(numbers);
    GoodsTally tally;
    QHash<QString, size_t> groupOf;
    QHash<QString, bool> priceLabels;
    for (QStringView line : lines) {
        const QStringList fields = splitFields(line);
        const QString itemLabel = fields.value(1);
        if (priceLabels.contains(itemLabel)) {
            tally.priceTotal += amount(fields.value(5)) - amount(fields.value(3));
            continue;
        }
        auto found = groupOf.constFind(itemLabel);
        if (found == groupOf.constEnd()) {
            const QString barcode = fields.value(9);
            if (barcode.isEmpty()) {
                priceLabels.insert(itemLabel, true);
                tally.priceTotal += amount(fields.value(5)) - amount(fields.value(3));
                continue;
            }
            found = groupOf.insert(itemLabel, tally.groups.size());
            tally.groups.push_back({itemLabel, barcode});
        }
        GoodsGroup& group = tally.groups[*found];
        group.discount += amount(fields.value(3));
        group.total += amount(fields.value(5));
        group.quantity += amount(fields.value(7));
        ++group.lines;
    }
    tally.badFields = amount.bad();
    return tally;
}

QString goodsSummary(const GoodsTally& tally, const ReportNumbers& numbers) {
    QString summary;
    for (const GoodsGroup& group : tally.groups) {
        summary += TAB + pad(group.label, 39) + TAB + group.barcode + QStringLiteral(" 销售量：") +
                   numbers.numbers.plain(group.quantity) + TAB + QStringLiteral(" 原价总额：") +
                   numbers.money(group.total) + TAB + QStringLiteral(" 折扣总额：") +
                   numbers.money(group.discount) + TAB + QStringLiteral(" 应收金额：") +
                   numbers.money(group.total - group.discount) + CRLF;
    }
    return summary;
}

QString goodsTotals(const GoodsTally& tally, const ReportNumbers& numbers) {
    double barcodeTotal = 0;
    for (const GoodsGroup& group : tally.groups) barcodeTotal += numbers.cents(group.total - group.discount);
    const QString t3 = TAB + TAB + TAB;
    return pad(QStringLiteral("条码结算的商品种类合计:"), 28) + t3 +
           numbers.numbers.plain(double(tally.groups.size())) + TAB + CRLF +
           pad(QStringLiteral("条码结算的商品应收金额合计:"), 28) + t3 + numbers.money(barcodeTotal) + CRLF +
           pad(QStringLiteral("价格结算的商品应收金额合计:"), 28) + t3 + numbers.money(tally.priceTotal) +
           CRLF + pad(QStringLiteral("商品应收金额总计:"), 28) + t3 +
           numbers.money(tally.priceTotal + barcodeTotal) + CRLF;
}

}  // namespace tovrin
