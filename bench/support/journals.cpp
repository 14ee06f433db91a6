#include "journals.h"

#include <QFile>
#include <QStringEncoder>
#include <QStringList>
#include <cmath>

#include "platform/numbers.h"
#include "records/columns.h"
#include "records/journal.h"
#include "records/money.h"
#include "support/fakes.h"

namespace tovrin::bench {

bool writeJournals(const QDate& first, const QDate& last, int salesPerDay, const QString& blocksPath,
                   const QString& salesPath) {
    QFile blocks(blocksPath);
    if (!blocks.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QFile sales(salesPath);
    if (!salesPath.isEmpty() && !sales.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const NumberFormat numbers;
    const test::FakeClock clock(QDateTime(last, QTime(21, 30, 0)));
    const QStringList goods = {QStringLiteral("纯牛奶250ml"), QStringLiteral("矿泉水"),
                               QStringLiteral("方便面"),      QStringLiteral("可乐"),
                               QStringLiteral("面包"),        QStringLiteral("鸡蛋"),
                               QStringLiteral("食用油5L"),    QStringLiteral("大米10kg"),
                               QStringLiteral("酱油"),        QStringLiteral("洗衣粉")};
    const QString CRLF = QStringLiteral("\r\n");
    QStringEncoder encoder("GBK");
    unsigned seed = 1;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        QString saleText, blockText;
        for (int s = 0; s < salesPerDay; ++s) {
            const QDateTime when(day, QTime(8, 0).addSecs(s * 144 + int(next() % 100)));
            const QString dt = clock.format(when);
            QString items;
            double total = 0, discount = 0, quantity = 0;
            for (int i = 0; i < 3; ++i) {
                const int g = int(next() % 200);
                const double price = 1 + g % 37 + (g % 4) * 0.25;
                const double qty = 1 + next() % 3;
                const double itemDiscount = (next() % 5 == 0) ? 0.5 : 0;
                QString name = goods[g % goods.size()] + QString::number(g / goods.size());
                total += price * qty;
                discount += itemDiscount;
                quantity += qty;
                items += itemLine({tiaozhen(name, 39), wct(itemDiscount, numbers, true),
                                   wct(price * qty, numbers, true), wct(qty, numbers, true),
                                   QStringLiteral("69012345%1").arg(g, 5, 10, QLatin1Char('0'))},
                                  true) +
                         CRLF;
            }
            const double due = total - discount;
            if (sales.isOpen()) {
                const double received = std::ceil(due / 10) * 10;
                saleText += saleLine({dt, wct(discount, numbers, true), wct(received, numbers, true),
                                      wct(total, numbers, true), wct(quantity, numbers, true),
                                      wct(received - due, numbers, true)},
                                     false) +
                            CRLF;
            }
            blockText +=
                blockHead(dt, wct(due, numbers, true), QStringLiteral("3"), wct(discount, numbers, true),
                          wct(total, numbers, true), numbers.plain(quantity)) +
                items + CRLF + CRLF;
        }
        if (sales.isOpen()) sales.write(encoder.encode(saleText));
        blocks.write(encoder.encode(blockText));
    }
    return true;
}

}  // namespace tovrin::bench
