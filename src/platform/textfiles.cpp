#include "platform/textfiles.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tovrin {

namespace {
const QString kUnsupported = QStringLiteral("不支持此操作");
}  // namespace

QString decodeGbk(QByteArrayView bytes) {
    constexpr qsizetype kPiece = qsizetype(16) << 20;
    QStringDecoder decoder("GBK");
    if (bytes.size() <= kPiece) return decoder.decode(bytes);
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size(); at += kPiece) {
        text += decoder.decode(bytes.sliced(at, std::min(kPiece, bytes.size() - at)));
    }
    return text;
}

QByteArray TextFiles::appended(const QString& record) const {
    QStringEncoder encoder("GBK");
    return encoder.encode(record + QStringLiteral("\r\n"));
}

QByteArray TextFiles::bytes(const QString& /*path*/, qint64 /*from*/, qint64 /*to*/) const { return {}; }

TextFiles::Length TextFiles::length(const QString& /*path*/) const { return {0, kUnsupported}; }

std::optional<QString> TextFiles::truncate(const QString& /*path*/, qint64 /*length*/) {
    return kUnsupported;
}

std::optional<QString> TextFiles::remove(const QString& /*path*/) { return kUnsupported; }

}  // namespace tovrin
