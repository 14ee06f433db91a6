#include "workbook/workbook_reasons.h"

#include <quazip/unzip.h>

#include <QFileDevice>
#include <optional>
#include <span>

namespace tovrin::workbook_reasons {

namespace {

struct Wording {
    int code;
    const char* text;
};

// The text worded for `code` in `table`, if it has one.
std::optional<QString> wordingOf(std::span<const Wording> table, int code) {
    for (const Wording& w : table) {
        if (w.code == code) return QString::fromUtf8(w.text);
    }
    return std::nullopt;
}

// A device's faults.
constexpr Wording kDeviceFaults[] = {
    {QFileDevice::ReadError, "读取出错"},
    {QFileDevice::OpenError, "系统拒绝打开"},
    {QFileDevice::PermissionsError, "没有权限"},
    {QFileDevice::ResourceError, "系统资源不足"},
    {QFileDevice::PositionError, "无法移到文件中的位置"},
    {QFileDevice::AbortError, "操作被中止"},
    {QFileDevice::TimeOutError, "等待超时"},
    {QFileDevice::FatalError, "系统出错"},
};

// The faults of the unzip layer and of the inflating under it.
constexpr Wording kUnpackFaults[] = {
    {Z_DATA_ERROR, "压缩数据已损坏"}, {Z_BUF_ERROR, "压缩数据不完整"},    {Z_MEM_ERROR, "内存不足"},
    {UNZ_ERRNO, "读取文件出错"},      {UNZ_BADZIPFILE, "压缩包结构无效"}, {UNZ_CRCERROR, "校验和不符"},
};

// The fault of a device, as its error says it.
QString deviceFault(const QIODevice& device) {
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    return wordingOf(kDeviceFaults, file ? file->error() : QFileDevice::UnspecifiedError)
        .value_or(QStringLiteral("原因不明"));
}

}  // namespace

Result damaged(const QString& what) { return Result::failed(QStringLiteral("文件已损坏：") + what); }

Result sheetFailed(const QString& sheet, const QString& why) {
    return Result::failed(QStringLiteral("工作表“%1”无法读取：%2").arg(sheet, why));
}

Result noSheets() { return Result::failed(QStringLiteral("工作簿里没有工作表")); }

Result cannotOpen(const QIODevice& device) {
    return Result::failed(QStringLiteral("无法打开文件（%1）").arg(deviceFault(device)));
}

Result cannotRead(const QIODevice& device) {
    return Result::failed(QStringLiteral("无法读取文件（%1）").arg(deviceFault(device)));
}

Result fileTooLarge(qint64 maxBytes) {
    return Result::failed(QStringLiteral("文件超过 %1 MB，太大了").arg(maxBytes >> 20));
}

Result emptyFile() { return Result::failed(QStringLiteral("文件是空的")); }

Result missingPart(const QString& part) { return damaged(QStringLiteral("缺少 ") + part); }

Result badDirectory() { return damaged(QStringLiteral("压缩包目录无法读取")); }

QString unpackFailed(int zipError) {
    const QString why = wordingOf(kUnpackFaults, zipError)
                            .value_or(QStringLiteral("压缩数据无法解开，错误码 %1").arg(zipError));
    return QStringLiteral("解压失败（%1）").arg(why);
}

QString cellTooLong(qsizetype maxChars) {
    return QStringLiteral("单元格的文字超过 %1 个字（电子表格一个单元格最多 %1 个字）").arg(maxChars);
}

Result sharedStringTooLong(qsizetype number, qsizetype maxChars) {
    return Result::failed(QStringLiteral("第 %1 条共享文字：").arg(number) + cellTooLong(maxChars));
}

Result tooManySharedStrings(qsizetype maxStrings, qsizetype maxChars) {
    return Result::failed(
        QStringLiteral("共享文字太多（超过 %1 条或 %2 M 个字）").arg(maxStrings).arg(maxChars >> 20));
}

QString badSharedIndex(QStringView index) {
    return QStringLiteral("共享文字编号“%1”无效").arg(index.left(20));
}

QString badNumber(QStringView text) { return QStringLiteral("数字“%1”无效").arg(text.left(40)); }

QString tooManyRows(qint64 maxRows) { return QStringLiteral("超过 %1 行").arg(maxRows); }

}  // namespace tovrin::workbook_reasons
