#include "platform/qt/gbk_text_files.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tovrin {

QByteArray toGbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QString fromGbk(const QByteArray& bytes) {
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

namespace {

// Writes the bytes with one write call and puts them on the disk before the
// caller goes on.
std::optional<QString> writeAll(QFile& file, const QByteArray& bytes) {
    if (!bytes.isEmpty() && file.write(bytes) != bytes.size()) return file.errorString();
    if (!file.flush()) return file.errorString();
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) return QString::fromLocal8Bit(strerror(errno));
#endif
    return std::nullopt;
}

std::optional<QString> openFailure(const QString& path, QFile& file) {
    if (QFileInfo(path).isDir()) return QStringLiteral("这是一个文件夹");
    return file.errorString();
}

}  // namespace

TextFiles::Read GbkTextFiles::read(const QString& path) const {
    QFileInfo info(path);
    if (!info.exists()) return {State::Missing, {}, {}};
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        return {State::Unreadable, {}, *openFailure(path, file)};
    }
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) return {State::Empty, {}, {}};
    return {State::HasContent, fromGbk(bytes), {}};
}

std::optional<QString> GbkTextFiles::append(const QString& path, const QString& record) {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return openFailure(path, file);
    }
    return writeAll(file, toGbk(record + QStringLiteral("\r\n")));
}

std::optional<QString> GbkTextFiles::rewrite(const QString& path, const QString& content) {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return openFailure(path, file);
    }
    return writeAll(file, toGbk(content));
}

}  // namespace tovrin
