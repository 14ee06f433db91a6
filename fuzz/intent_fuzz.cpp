// Feeds arbitrary bytes to the start-up recovery as the intent file of a
// stopped sale, over journals held in memory; whatever the bytes, the intent
// file goes, nothing crashes, and no journal loses a byte it held.
#include <QHash>
#include <QStringEncoder>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "checkout/sale_journal.h"

namespace {

class MemoryFiles : public tovrin::TextFiles {
public:
    Read read(const QString& path) const override {
        if (!files.contains(path)) return {State::Missing, {}, {}};
        const QByteArray& b = files[path];
        if (b.isEmpty()) return {State::Empty, {}, {}};
        return {State::HasContent, tovrin::decodeGbk(b), {}};
    }
    std::optional<QString> append(const QString& path, const QString& record) override {
        files[path] += encoder.encode(record + QStringLiteral("\r\n"));
        return std::nullopt;
    }
    std::optional<QString> rewrite(const QString& path, const QString& content) override {
        files[path] = encoder.encode(content);
        return std::nullopt;
    }
    QByteArray bytes(const QString& path, qint64 from, qint64 to) const override {
        return files.value(path).mid(qsizetype(from), qsizetype(to - from));
    }
    Length length(const QString& path) const override { return {files.value(path).size(), std::nullopt}; }
    std::optional<QString> truncate(const QString& path, qint64 length) override {
        files[path].truncate(qsizetype(length));
        return std::nullopt;
    }
    std::optional<QString> remove(const QString& path) override {
        files.remove(path);
        return std::nullopt;
    }

    QHash<QString, QByteArray> files;
    QStringEncoder encoder{"GBK"};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString folder = QStringLiteral("/till");
    const QString sale = folder + QStringLiteral("/tovrincalculate.txt");
    const QString block = folder + QStringLiteral("/tovrinback.txt");
    const QString intent = folder + QStringLiteral("/tovrinsale.txt");
    MemoryFiles files;
    files.files[sale] = "2018-5-12 9:05:07\tsale\r\n";
    files.files[block] = "2018-5-12 9:05:07\tblock\r\n\r\n";
    files.files[intent] = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    const QHash<QString, QByteArray> before = files.files;
    tovrin::SaleJournal(files, folder).recover();
    if (files.files.contains(intent)) std::abort();
    for (const QString& journal : {sale, block}) {
        const QByteArray& now = files.files.value(journal);
        const QByteArray& was = before.value(journal);
        // A journal never loses a byte it held.
        if (!now.startsWith(was)) std::abort();
    }
    return 0;
}
