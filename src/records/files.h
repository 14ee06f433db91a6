#pragma once

#include <QString>

namespace tovrin {

// The journals beside the program.
inline const QString kItemFile = QStringLiteral("tovrincomm.txt");
inline const QString kSaleFile = QStringLiteral("tovrincalculate.txt");
inline const QString kBlockFile = QStringLiteral("tovrinback.txt");

// The field separator and the line end of every data file.
inline const QString TAB = QStringLiteral("\t");
inline const QString CRLF = QStringLiteral("\r\n");

// The label of an item line's total in tovrinback.txt, which the goods report
// counts by.
inline const QString kItemLabel = QStringLiteral("商品总价格：  ");

// Said when a journal holds nothing yet for the till to show.
inline const QString kNoRecords = QStringLiteral("今天还没有营收记录！");

}  // namespace tovrin
