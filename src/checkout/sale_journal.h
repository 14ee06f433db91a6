#pragma once

#include <QString>
#include <initializer_list>
#include <optional>

#include "platform/textfiles.h"

namespace tovrin {

// A sale is written to tovrincalculate.txt and tovrinback.txt as one unit,
// and exactly once: it ends up in both journals or in neither, whenever the
// program stops and whatever fails.
//
// Before the first journal is touched, both records and each journal's
// length go to a small intent file beside them (on the disk, its name in the
// folder, before the journals are written); it is removed when both records
// are in. A sale whose intent file is whole counts as written: when a journal
// then fails and cannot be put back, the intent file stays, and the next sale
// (before it writes anything) or the next start completes the journals from
// it. No sale is written while an intent file waits that cannot be
// completed, so an intent file is never overwritten and no sale is written
// twice.
class SaleJournal {
public:
    static inline const QString kIntentFile = QStringLiteral("tovrinsale.txt");
    // The most the items of one sale may take in the item file; the item
    // entry takes no item beyond it. An intent file holds a sale's items, its
    // sale line and block head and its own head lines, so none is larger than
    // kMaxIntentBytes: a larger tovrinsale.txt is no intent file of this till
    // and is left for the owner, unread.
    static constexpr qint64 kMaxItemBytes = qint64(4) << 20;
    static constexpr qint64 kMaxIntentBytes = qint64(5) << 20;
    static_assert(kMaxIntentBytes - kMaxItemBytes >= (qint64(64) << 10), "room for the sale's own lines");

    struct Outcome {
        // The sale is in both journals, or in a whole intent file from which
        // they are completed: the sale is done and its change may be shown.
        // When false, nothing of it is in either journal.
        bool recorded = false;
        // What the cashier is told (the file, the reason, what became of the
        // sale), if anything.
        std::optional<QString> message;
    };

    SaleJournal(TextFiles& files, QString folder);

    // Completes a sale left in the intent file, then appends the sale line to
    // tovrincalculate.txt and the sale block to tovrinback.txt (each followed
    // by CR LF).
    Outcome write(const QString& saleLine, const QString& saleBlock);

    // Completes the sale of an intent file left by a run that stopped or a
    // write that failed: a journal still at its length before the sale gets
    // its record, one that holds the whole record is left alone, one cut
    // inside the record is cut back and gets it. An intent file that was
    // itself cut short is dropped (no journal had been touched yet). The box
    // text on failure.
    std::optional<QString> recover();

private:
    struct Entry {
        QString name;
        qint64 before = 0;
        QString record;
    };
    QString path(const QString& name) const;
    static QString intentText(const Entry& sale, const Entry& block);
    static std::optional<std::pair<Entry, Entry>> parseIntent(const QString& text);
    std::optional<QString> complete(const Entry& entry);
    // The intent file read whole; nullopt when it is missing. The box text
    // in `failure` when it cannot be read or is too large to be an intent.
    std::optional<QString> readIntent(std::optional<QString>& failure) const;
    Outcome putBack(QString text, std::initializer_list<const Entry*> touched, const Entry& sale,
                    const Entry& block);
    // Removes the intent file, or empties it when it cannot be removed; the
    // reason when neither can be done.
    std::optional<QString> dropIntent();

    TextFiles& files_;
    QString folder_;
};

}  // namespace tovrin
