#pragma once

#include <QString>
#include <optional>

#include "platform/textfiles.h"

namespace tovrin {

// A sale is written to tovrincalculate.txt and tovrinback.txt as one unit:
// it ends up in both journals or in neither, whenever the program stops.
//
// Before the first journal is touched, both records and each journal's
// length go to a small intent file beside them (on the disk before the
// journals are written); it is removed when both records are in. A run that
// died in between leaves the intent file, and the next start completes the
// sale from it (recover()).
class SaleJournal {
public:
    static inline const QString kIntentFile = QStringLiteral("tovrinsale.txt");

    SaleJournal(TextFiles& files, QString folder);

    // Appends the sale line to tovrincalculate.txt and the sale block to
    // tovrinback.txt (each followed by CR LF). On failure nothing of the sale
    // is in either journal, and the result is the box text naming the file
    // and the reason.
    std::optional<QString> write(const QString& saleLine, const QString& saleBlock);

    // Completes the sale of an intent file left by a run that stopped: a
    // journal still at its length before the sale gets its record, one that
    // holds the whole record is left alone, one cut inside the record is cut
    // back and gets it. An intent file that was itself cut short is dropped
    // (no journal had been touched yet). The box text on failure.
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
    void dropIntent();

    TextFiles& files_;
    QString folder_;
};

// The box text of a file that could not be written.
QString writeFailure(const QString& path, const QString& reason);

}  // namespace tovrin
