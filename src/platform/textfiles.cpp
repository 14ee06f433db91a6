#include "platform/textfiles.h"

#include <QStringEncoder>

namespace tovrin {

namespace {
const QString kUnsupported = QStringLiteral("不支持此操作");
}  // namespace

qint64 TextFiles::appendedLength(const QString& record) const {
    QStringEncoder encoder("GBK");
    return QByteArray(encoder.encode(record + QStringLiteral("\r\n"))).size();
}

TextFiles::Length TextFiles::length(const QString& /*path*/) const { return {0, kUnsupported}; }

std::optional<QString> TextFiles::truncate(const QString& /*path*/, qint64 /*length*/) {
    return kUnsupported;
}

std::optional<QString> TextFiles::remove(const QString& /*path*/) { return kUnsupported; }

}  // namespace tovrin
