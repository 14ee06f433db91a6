#pragma once

#include <QString>

namespace tovrin {

// The template workbook of the barcode import, beside the program.
inline const QString kTemplateWorkbook = QStringLiteral("商品条形码价格表.xls");

// The usage notes the display shows at start-up: thirteen lines with CR LF
// line breaks, beginning with one line break; the eighth line names the
// template workbook by its full path in `folder`.
QString usageNotes(const QString& folder);

}  // namespace tovrin
