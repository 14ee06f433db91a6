#include "workbook/workbook_reader.h"

#include <QFile>
#include <QFileInfo>

namespace tovrin {

SpreadsheetReader::Result WorkbookReader::read(const QString& path, int columns, SheetRows& rows) {
    const QFileInfo info(path);
    if (!info.exists()) return Result::failed(QStringLiteral("文件不存在"));
    if (info.isDir()) return Result::failed(QStringLiteral("这是一个文件夹"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result::failed(QStringLiteral("无法打开文件（%1）").arg(file.errorString()));

    const QByteArray head = file.peek(OdsReader::kHeadBytes);
    if (head.isEmpty()) return Result::failed(QStringLiteral("文件是空的"));
    const bool zip = head.startsWith("PK\x03\x04");
    // A package whose mimetype entry is not first is told by its name.
    if (OdsReader::looksLikeOds(head) || (zip && info.suffix().compare(u"ods", Qt::CaseInsensitive) == 0)) {
        return ods_.read(file, columns, rows);
    }
    if (zip) {
        file.close();
        return xlsx_.read([&path] { return std::make_unique<QFile>(path); }, columns, rows);
    }
    if (head.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"))) {
        if (file.size() > kMaxXlsBytes) {
            return Result::failed(QStringLiteral("文件超过 %1 MB，太大了").arg(kMaxXlsBytes >> 20));
        }
        // Read, not mapped, a window at a time: a file that shrinks while it
        // is read must not bring the program down.
        return xls_.read(file, columns, rows);
    }
    if (info.suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        return csv_.read(file, info.completeBaseName(), columns, rows);
    }
    return Result::failed(QStringLiteral("文件不是 Excel 工作簿（.xls 或 .xlsx），也不是 .ods 或 .csv 表格"));
}

}  // namespace tovrin
