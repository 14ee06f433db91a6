#pragma once

#include "platform/textfiles.h"

namespace tovrin {

// Text files on disk in GBK (code page 936), without a byte-order mark.
class GbkTextFiles : public TextFiles {
public:
    Read read(const QString& path) const override;
    std::optional<QString> append(const QString& path, const QString& record) override;
    std::optional<QString> rewrite(const QString& path, const QString& content) override;
};

QByteArray toGbk(const QString& text);
QString fromGbk(const QByteArray& bytes);

}  // namespace tovrin
