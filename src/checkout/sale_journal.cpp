#include "checkout/sale_journal.h"

#include <QStringList>

#include "platform/folder.h"
#include "records/journal.h"

namespace tovrin {

namespace {

const QString kHead = QStringLiteral("tovrin sale");
const QString kEnd = QStringLiteral("\r\nend\r\n");
const QString kNotRecorded = QStringLiteral("此次交易没有记录，请重试。");
const QString kNotCompleted = QStringLiteral("上次未完成的交易没有补全。");

}  // namespace

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
    if (entries[0].name != kSaleFile || entries[1].name != kBlockFile) return std::nullopt;
    if (text.size() - at != lengths[0] + lengths[1] + kEnd.size() || !text.endsWith(kEnd))
        return std::nullopt;
    entries[0].record = text.mid(at, lengths[0]);
    entries[1].record = text.mid(at + lengths[0], lengths[1]);
    return std::make_pair(entries[0], entries[1]);
}

std::optional<QString> SaleJournal::readIntent(std::optional<QString>& failure) const {
    const QString intent = path(kIntentFile);
    const std::unique_ptr<ByteFile> file = files_.openBytes(intent);
    switch (file->state()) {
        case ByteFile::State::Missing:
            return std::nullopt;
        case ByteFile::State::Unreadable:
            failure = readFailure(intent, file->reason()) + CRLF + kNotCompleted;
            return std::nullopt;
        case ByteFile::State::Empty:
            return QString();
        case ByteFile::State::HasContent:
            break;
    }
    // Not read at all: no sale of this till makes an intent file that large.
    if (file->size() > kMaxIntentBytes) {
        failure =
            readFailure(
                intent,
                QStringLiteral("文件太大（超过 %1 MB），不是未完成的交易。").arg(kMaxIntentBytes >> 20)) +
            CRLF + QStringLiteral("请店主查看后移走这个文件；在此之前不能记录新的交易。");
        return std::nullopt;
    }
    return decodeGbk(file->bytes(0, file->size()));
}

SaleJournal::Outcome SaleJournal::write(const QString& saleLine, const QString& saleBlock) {
    // A sale still waiting in the intent file goes to the journals before
    // this one, which is written only when that is done.
    if (const auto failure = recover()) return {false, *failure + CRLF + kNotRecorded};

    Entry sale{kSaleFile, 0, saleLine};
    Entry block{kBlockFile, 0, saleBlock};
    for (Entry* e : {&sale, &block}) {
        const QString file = path(e->name);
        const TextFiles::Length length = files_.length(file);
        if (length.failure) return {false, writeFailure(file, *length.failure) + CRLF + kNotRecorded};
        e->before = length.bytes;
    }
    const QString intent = path(kIntentFile);
    const QString text = intentText(sale, block);
    if (files_.appended(text).size() > kMaxIntentBytes) {
        return {false, QStringLiteral("此次交易太大（超过 %1 MB），无法记录。").arg(kMaxIntentBytes >> 20) +
                           CRLF + kNotRecorded};
    }
    if (const auto failure = files_.rewrite(intent, text)) {
        return putBack(writeFailure(intent, *failure), {}, sale, block);
    }
    if (const auto failure = files_.append(path(sale.name), sale.record)) {
        return putBack(writeFailure(path(sale.name), *failure), {&sale}, sale, block);
    }
    if (const auto failure = files_.append(path(block.name), block.record)) {
        return putBack(writeFailure(path(block.name), *failure), {&sale, &block}, sale, block);
    }
    // A left intent file is harmless: both records are whole, so the next
    // sale or start only removes it.
    files_.remove(intent);
    return {true, std::nullopt};
}

// After a failed write: the journals the sale touched go back to their
// lengths before it and the intent file goes, and the sale is not recorded.
// When that cannot be done, the whole intent file stays and the sale counts
// as recorded: the next sale or start completes it.
SaleJournal::Outcome SaleJournal::putBack(QString text, std::initializer_list<const Entry*> touched,
                                          const Entry& sale, const Entry& block) {
    bool back = true;
    for (const Entry* e : touched) {
        const QString file = path(e->name);
        const TextFiles::Length now = files_.length(file);
        if (!now.failure && now.bytes == e->before) continue;
        if (const auto undo = now.failure ? now.failure : files_.truncate(file, e->before)) {
            text += CRLF + writeFailure(file, *undo);
            back = false;
        }
    }
    if (back) {
        const bool dropped = !dropIntent().has_value();
        if (dropped) return {false, text + CRLF + kNotRecorded};
        // The intent file stays; it counts only when it is this sale's, whole.
        std::optional<QString> unreadable;
        const auto left = readIntent(unreadable);
        const auto pending = left ? parseIntent(*left) : std::nullopt;
        if (!pending || pending->first.record != sale.record || pending->second.record != block.record ||
            pending->first.before != sale.before || pending->second.before != block.before) {
            return {false, text + CRLF + kNotRecorded};
        }
    }
    // The bytes before the sale line are as they were when it was appended,
    // so the line it adds there is the one the append wrote.
    const QString saleFile = path(sale.name);
    const TextFiles::Length saleNow = files_.length(saleFile);
    const bool saleLineIn =
        !saleNow.failure &&
        saleNow.bytes == sale.before + files_.appendedAt(saleFile, sale.before, sale.record).size();
    return {true, text + CRLF + QStringLiteral("此次交易只记入了 ") + (saleLineIn ? sale.name : kIntentFile) +
                      QStringLiteral("，下次交易或下次启动时补全。")};
}

// A sale that failed must not be completed later: an intent file that cannot
// be removed is emptied instead, which the next completion drops.
std::optional<QString> SaleJournal::dropIntent() {
    const QString intent = path(kIntentFile);
    if (!files_.remove(intent)) return std::nullopt;
    return files_.rewrite(intent, QString());
}

std::optional<QString> SaleJournal::complete(const Entry& entry) {
    const QString file = path(entry.name);
    const TextFiles::Length now = files_.length(file);
    if (now.failure) return writeFailure(file, *now.failure);
    const QByteArray record = files_.appendedAt(file, entry.before, entry.record);
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
    std::optional<QString> failure;
    const std::optional<QString> text = readIntent(failure);
    if (failure) return failure;
    if (!text) return std::nullopt;
    if (const auto sale = parseIntent(*text)) {
        for (const Entry* e : {&sale->first, &sale->second}) {
            if (const auto failure = complete(*e)) return *failure + CRLF + kNotCompleted;
        }
    }
    const QString intent = path(kIntentFile);
    if (const auto failure = dropIntent()) return writeFailure(intent, *failure);
    return std::nullopt;
}

}  // namespace tovrin
