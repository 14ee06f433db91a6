#pragma once

#include <QString>
#include <array>
#include <optional>

#include "platform/prompts.h"
#include "platform/textfiles.h"

namespace tovrin {

// `kong2`: removes every blank, CR and LF; all other characters stay in their order.
QString kong2(const QString& text);

// What the item entry takes from the line a barcode was found on: its fields
// 2 (barcode), 3 (name) and 6 (sale price), upper-cased.
struct BarcodeItem {
    QString barcode;
    QString name;
    QString price;  // never empty
};

// The barcode lookup in collector.txt. Every lookup reads the table afresh.
class BarcodeLookup {
public:
    static inline const QString kTableFile = QStringLiteral("collector.txt");
    // Why the last lookup gave no goods.
    enum class Refusal {
        None,       // it found them
        NotFound,   // the barcode is not in the table
        Duplicate,  // it occurs more than once
        NoPrice,    // its line has no price, or the barcode is not its line's
        Unusable,   // the table is missing, empty or unreadable
    };

    // The search key of a scanned barcode: upper case, without blanks, CR
    // and LF.
    static QString key(const QString& barcode);

    BarcodeLookup(const TextFiles& files, Prompts& prompts, QString folder);

    // `kuaisu`: the sale price of a barcode as stored in the table (upper-cased), or the
    // empty text after a message when the barcode resolves to no single line
    // with that barcode and a price.
    QString kuaisu(const QString& barcode);
    // The same lookup, with the same messages: the goods of the line found,
    // or nullopt where kuaisu gives the empty text.
    std::optional<BarcodeItem> item(const QString& barcode);
    Refusal lastRefusal() const { return lastRefusal_; }

    // `lookupFields`, row 1 of the lookup table: slot k holds field k (upper case) of the
    // line the last lookup found; all empty after a lookup that found none.
    std::array<QString, 181> lookupFields;

private:
    // The line of the key's single occurrence in the table, or nullopt after
    // the message that tells why there is none.
    std::optional<QString> findInBytes(const QString& path, const QString& key);
    std::optional<QString> findInText(const QString& path, const QString& key);
    bool usable(TextFiles::State state, const QString& path, const QString& reason);
    std::optional<QString> refuse(int count);
    std::optional<BarcodeItem> accept(const QString& line, const QString& key);

    const TextFiles& files_;
    Prompts& prompts_;
    QString folder_;
    Refusal lastRefusal_ = Refusal::None;
};

}  // namespace tovrin
