#pragma once

#include <QString>

#include "records/files.h"

namespace tovrin {

// The record texts of the three journals. Every writer adds CR LF after the
// record, so a record ending in CR LF is followed by an empty line.

// The money figures of one item or one sale, already as text.
struct ItemTexts {
    QString number;  // the item's number (price form) or padded name (barcode form)
    QString discount;
    QString total;
    QString quantity;
    QString barcode;  // barcode form only
};

struct SaleTexts {
    QString dateTime;
    QString discount;
    QString received;
    QString total;
    QString quantity;
    QString change;
};

QString itemLine(const ItemTexts& item, bool barcodeForm);
// The one-item form ends with a TAB after the change, the accumulated one not.
QString saleLine(const SaleTexts& sale, bool oneItem);
// "商品序号:  " with the item count, the discounts, the item totals and the
// quantities of a sale, ending in CR LF.
QString totalsLine(const QString& count, const QString& discount, const QString& total,
                   const QString& quantity);
// The date line and the totals line of a sale block; the item part follows.
QString blockHead(const QString& dateTime, const QString& due, const QString& count, const QString& discount,
                  const QString& total, const QString& quantity);

}  // namespace tovrin
