#include "workbook/xml_part.h"

#include <quazip/quazipfile.h>

#include <QXmlStreamReader>

#include "workbook/xml_guard.h"

namespace tovrin {

SpreadsheetReader::Result finishXmlPart(const QString& part, const SpreadsheetReader::Result& result,
                                        const QXmlStreamReader& x, XmlGuard& guard, QuaZipFile& file) {
    using Result = SpreadsheetReader::Result;
    const QString damaged = QStringLiteral("文件已损坏：");
    if (!guard.violation().isEmpty()) return Result::failed(part + QStringLiteral("：") + guard.violation());
    if (result.isDone() && x.hasError()) {
        return Result::failed(damaged +
                              QStringLiteral("%1 不是有效的 XML（第 %2 行）").arg(part).arg(x.lineNumber()));
    }
    if (!result.isDone()) return result;
    // Read to the end, so that the checksum is tested.
    char rest[4096];
    while (guard.read(rest, sizeof rest) > 0) {
    }
    if (!guard.violation().isEmpty()) return Result::failed(part + QStringLiteral("：") + guard.violation());
    file.close();
    if (file.getZipError() != UNZ_OK)
        return Result::failed(damaged + QStringLiteral("%1 的校验和不符").arg(part));
    return Result::done();
}

}  // namespace tovrin
