#include "platform/textfiles.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tovrin {

namespace {
const QString kUnsupported = QStringLiteral("不支持此操作");
}  // namespace

QString fileFailure(const QString& verb, const QString& path, const QString& reason) {
    return QStringLiteral("无法") + verb + QLatin1Char(' ') + path + QStringLiteral("：") + reason;
}

QString readFailure(const QString& path, const QString& reason) {
    return fileFailure(QStringLiteral("读取"), path, reason);
}

QString writeFailure(const QString& path, const QString& reason) {
    return fileFailure(QStringLiteral("写入"), path, reason);
}

QByteArray lineBreakAfter(QByteArrayView lastByte) {
    if (lastByte.isEmpty() || lastByte.back() == '\n') return {};
    if (lastByte.back() == '\r') return QByteArrayLiteral("\n");
    return QByteArrayLiteral("\r\n");
}

QByteArray TextFiles::appended(const QString& record) const {
    return encodeGbk(record + QStringLiteral("\r\n"));
}

QByteArray TextFiles::appendedAt(const QString& path, qint64 at, const QString& record) const {
    const QByteArray last = at > 0 ? bytes(path, at - 1, at) : QByteArray();
    return appendedAfter(last, record);
}

QByteArray TextFiles::appendedAfter(QByteArrayView lastByte, const QString& record) const {
    return lineBreakAfter(lastByte) + appended(record);
}

QByteArray TextFiles::bytes(const QString& /*path*/, qint64 /*from*/, qint64 /*to*/) const { return {}; }

TextFiles::Length TextFiles::length(const QString& /*path*/) const { return {0, kUnsupported}; }

std::optional<QString> TextFiles::truncate(const QString& /*path*/, qint64 /*length*/) {
    return kUnsupported;
}

std::optional<QString> TextFiles::remove(const QString& /*path*/) { return kUnsupported; }

std::unique_ptr<ByteFile> TextFiles::openBytes(const QString& path) const {
    const Read file = read(path);
    return ByteFile::held(file.state, file.hasContent() ? encodeGbk(file.text) : QByteArray(), file.reason);
}

namespace {

// The new content held whole and written with rewrite() at commit.
class HeldReplacement : public Replacement {
public:
    HeldReplacement(TextFiles& files, QString path) : files_(files), path_(std::move(path)) {}
    QString failure() const override { return {}; }
    qint64 size() const override { return bytes_.size(); }
    bool write(QStringView text) override {
        bytes_ += encoder_.encode(text);
        return true;
    }
    bool cutBack(qint64 length) override {
        if (length < bytes_.size()) bytes_.truncate(length);
        return true;
    }
    std::optional<QString> commit() override { return files_.rewrite(path_, decodeGbk(bytes_)); }

private:
    TextFiles& files_;
    QString path_;
    QStringEncoder encoder_{"GBK"};
    QByteArray bytes_;
};

}  // namespace

std::unique_ptr<Replacement> TextFiles::replace(const QString& path) {
    return std::make_unique<HeldReplacement>(*this, path);
}

}  // namespace tovrin
