#include "workbook/workbook_reader.h"

#include <QFile>
#include <QFileInfo>

#include "platform/datafile.h"
#include "workbook/workbook_reasons.h"

namespace tovrin {

SpreadsheetReader::Result WorkbookReader::read(const QString& path, int columns, SheetRows& rows) {
    const QFileInfo info(path);
    // Only a regular file is opened, and opening never waits: a pipe or a
    // device chosen in its place is refused at once. The readers check the
    // size against their own bounds.
    DataFile data(path, DataFile::kAnySize, DataFile::Links::Follow);
    if (data.state() == DataFile::State::Missing) return Result::failed(QStringLiteral("文件不存在"));
    if (data.state() == DataFile::State::Refused) return Result::failed(data.reason());
    QFile file;
    if (!file.open(data.release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return workbook_reasons::cannotOpen(file);

    const QByteArray head = file.peek(workbook_limits::kHeadBytes);
    if (head.isEmpty()) return workbook_reasons::emptyFile();
    const bool zip = head.startsWith("PK\x03\x04");
    // A package whose mimetype entry is not first is told by its name.
    if (OdsReader::looksLikeOds(head) || (zip && info.suffix().compare(u"ods", Qt::CaseInsensitive) == 0)) {
        return ods_.read(file, columns, rows);
    }
    if (zip) return xlsx_.read(file, columns, rows);
    if (head.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"))) {
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
