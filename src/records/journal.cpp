#include "records/journal.h"

namespace tovrin {

QString itemLine(const ItemTexts& item, bool barcodeForm) {
    QString line = QStringLiteral("商品:  ") + item.number + TAB + QStringLiteral("   折扣：   ") + TAB +
                   item.discount + TAB + kItemLabel + TAB + item.total + TAB +
                   QStringLiteral("  商品 数量：  ") + TAB + item.quantity + TAB;
    if (barcodeForm) line += QStringLiteral("  商品 条码：  ") + TAB + item.barcode + TAB;
    return line + CRLF;
}

QString saleLine(const SaleTexts& sale, bool oneItem) {
    QString line = sale.dateTime + TAB + QStringLiteral("折扣：   ") + TAB + sale.discount + TAB +
                   QStringLiteral("实收金额：  ") + TAB + sale.received + TAB +
                   QStringLiteral("商品价格累计：  ") + TAB + sale.total + TAB +
                   QStringLiteral("  商品 数量累计：  ") + TAB + sale.quantity + TAB +
                   QStringLiteral("找零：  ") + TAB + sale.change;
    if (oneItem) line += TAB;
    return line;
}

QString totalsLine(const QString& count, const QString& discount, const QString& total,
                   const QString& quantity) {
    return QStringLiteral("商品序号:  ") + count + TAB + QStringLiteral("   折扣累计：   ") + TAB + discount +
           TAB + QStringLiteral("商品价格累计：  ") + TAB + total + TAB +
           QStringLiteral("  商品 数量累计：  ") + TAB + quantity + CRLF;
}

QString blockHead(const QString& dateTime, const QString& due, const QString& count, const QString& discount,
                  const QString& total, const QString& quantity) {
    return dateTime + TAB + QStringLiteral("   应收金额累计：   ") + TAB + due + CRLF +
           totalsLine(count, discount, total, quantity) + CRLF;
}

}  // namespace tovrin
