#include "checkout/sale_journal.h"

#include <QStringList>

#include "checkout/journal.h"
#include "platform/folder.h"

namespace tovrin {

namespace {

using records::CRLF;
const QString kHead = QStringLiteral("tovrin sale");
const QString kEnd = QStringLiteral("\r\nend\r\n");
const QString kNotRecorded = QStringLiteral("此次交易没有记录，请重试。");

}  // namespace

QString writeFailure(const QString& path, const QString& reason) {
    return QStringLiteral("无法写入 ") + path + QStringLiteral("：") + reason;
}

SaleJournal::SaleJournal(TextFiles& files, QString folder) : files_(files), folder_(std::move(folder)) {}

QString SaleJournal::path(const QString& name) const { return folderFile(folder_, name); }

// A head line, one line per journal (name, length before, length of the
// record in characters), the two records and an end line, so that an intent
// file cut short is told from a whole one.
QString SaleJournal::intentText(const Entry& sale, const Entry& block) {
    QString text = kHead + CRLF;
    for (const Entry* e : {&sale, &block}) {
        text += e->name + QLatin1Char('\t') + QString::number(e->before) + QLatin1Char('\t') +
                QString::number(e->record.size()) + CRLF;
    }
    return text + sale.record + block.record + kEnd;
}

std::optional<std::pair<SaleJournal::Entry, SaleJournal::Entry>> SaleJournal::parseIntent(
    const QString& text) {
    qsizetype at = 0;
    auto line = [&]() -> std::optional<QString> {
        const qsizetype end = text.indexOf(CRLF, at);
        if (end < 0) return std::nullopt;
        QString l = text.mid(at, end - at);
        at = end + 2;
        return l;
    };
    if (line() != kHead) return std::nullopt;
    Entry entries[2];
    qsizetype lengths[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const auto l = line();
        if (!l) return std::nullopt;
        const QStringList fields = l->split(QLatin1Char('\t'));
        if (fields.size() != 3) return std::nullopt;
        bool okBefore = false, okLength = false;
        entries[i].name = fields[0];
        entries[i].before = fields[1].toLongLong(&okBefore);
        lengths[i] = fields[2].toLongLong(&okLength);
        if (!okBefore || !okLength || entries[i].before < 0 || lengths[i] < 0) return std::nullopt;
    }
    if (entries[0].name != records::kSaleFile || entries[1].name != records::kBlockFile) return std::nullopt;
    if (text.size() - at != lengths[0] + lengths[1] + kEnd.size() || !text.endsWith(kEnd))
        return std::nullopt;
    entries[0].record = text.mid(at, lengths[0]);
    entries[1].record = text.mid(at + lengths[0], lengths[1]);
    return std::make_pair(entries[0], entries[1]);
}

std::optional<QString> SaleJournal::write(const QString& saleLine, const QString& saleBlock) {
    Entry sale{records::kSaleFile, 0, saleLine};
    Entry block{records::kBlockFile, 0, saleBlock};
    for (Entry* e : {&sale, &block}) {
        const TextFiles::Length length = files_.length(path(e->name));
        if (length.failure) return writeFailure(path(e->name), *length.failure) + CRLF + kNotRecorded;
        e->before = length.bytes;
    }
    const QString intent = path(kIntentFile);
    if (const auto failure = files_.rewrite(intent, intentText(sale, block))) {
        dropIntent();
        return writeFailure(intent, *failure) + CRLF + kNotRecorded;
    }
    if (const auto failure = files_.append(path(sale.name), sale.record)) {
        dropIntent();
        return writeFailure(path(sale.name), *failure) + CRLF + kNotRecorded;
    }
    if (const auto failure = files_.append(path(block.name), block.record)) {
        // The sale line goes again, so that the sale is in neither journal.
        QString text = writeFailure(path(block.name), *failure) + CRLF;
        if (const auto undo = files_.truncate(path(sale.name), sale.before)) {
            // The intent file stays: the next start completes the sale.
            return text + writeFailure(path(sale.name), *undo) + CRLF + QStringLiteral("此次交易只记入了 ") +
                   sale.name + QStringLiteral("，下次启动时补全。");
        }
        dropIntent();
        return text + kNotRecorded;
    }
    // A left intent file is harmless: both records are whole, so the next
    // start only removes it.
    files_.remove(intent);
    return std::nullopt;
}

// A sale that failed must not be completed by the next start: an intent
// file that cannot be removed is emptied instead, which the next start drops.
void SaleJournal::dropIntent() {
    const QString intent = path(kIntentFile);
    if (files_.remove(intent)) files_.rewrite(intent, QString());
}

std::optional<QString> SaleJournal::complete(const Entry& entry) {
    const QString file = path(entry.name);
    const TextFiles::Length now = files_.length(file);
    if (now.failure) return writeFailure(file, *now.failure);
    const QByteArray record = files_.appended(entry.record);
    const qint64 whole = entry.before + record.size();
    if (now.bytes == whole) return std::nullopt;
    // Longer than the whole record: written after the sale by hand; left as
    // it is.
    if (now.bytes > whole) return std::nullopt;
    if (now.bytes > entry.before) {
        // Only a piece of this very record is cut away; bytes of anything
        // else (a journal put back from elsewhere) stay.
        const QByteArray piece = files_.bytes(file, entry.before, now.bytes);
        if (piece.size() != now.bytes - entry.before || !record.startsWith(piece)) return std::nullopt;
        if (const auto failure = files_.truncate(file, entry.before)) return writeFailure(file, *failure);
    }
    if (const auto failure = files_.append(file, entry.record)) return writeFailure(file, *failure);
    return std::nullopt;
}

std::optional<QString> SaleJournal::recover() {
    const QString intent = path(kIntentFile);
    const TextFiles::Read read = files_.read(intent);
    if (read.state == TextFiles::State::Missing) return std::nullopt;
    if (read.state == TextFiles::State::Unreadable) {
        return QStringLiteral("无法读取 ") + intent + QStringLiteral("：") + read.reason;
    }
    if (const auto sale = parseIntent(read.text)) {
        for (const Entry* e : {&sale->first, &sale->second}) {
            if (const auto failure = complete(*e)) {
                return *failure + CRLF + QStringLiteral("上次未完成的交易没有补全。");
            }
        }
    }
    if (const auto failure = files_.remove(intent)) return writeFailure(intent, *failure);
    return std::nullopt;
}

}  // namespace tovrin
