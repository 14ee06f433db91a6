#pragma once

#include <QHash>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "platform/numbers.h"
#include "platform/progress.h"
#include "platform/textfiles.h"

namespace tovrin {

// The rows of a newly imported barcode table that the till could not sell
// from. Every barcode is looked up as its scan at the counter would be, by the
// lookup itself, so a row counts as a duplicate exactly when its scan is
// refused as one.
class TableCheck {
public:
    enum class Kind {
        Duplicate,            // the scan is refused: the barcode occurs more than once
        NoPrice,              // the scan finds no price, or one that is not a number
        PriceWithoutBarcode,  // a price in column E and nothing in column A
        NegativePrice,        // the scan would ring the item up as a take-back
        NotScannable,         // the barcode is not a number, or its scan finds nothing
    };
    static constexpr int kKinds = 5;
    // The rows named in the summary for each kind.
    static constexpr int kNamed = 5;

    struct Finding {
        QString sheet;
        int row = 0;
        QString barcode;  // as in column A
        QString price;    // as the scan or column E gives it; empty when there is none
        bool operator==(const Finding&) const = default;
    };

    explicit TableCheck(const NumberFormat& numbers);

    // The rows as the import reads them, sheet by sheet: the texts of
    // column A and column E as written to the table. Row 1 of a sheet whose
    // column A is not a number holds the column titles and is passed over.
    void beginSheet(const QString& name);
    void row(int number, const QString& barcode, const QString& price);

    // Looks every barcode up in the folder's table, as written. False when
    // the table could not be read or the work was told to stop; nothing
    // found counts then.
    bool run(const TextFiles& files, const QString& folder, Progress& progress);

    qint64 count(Kind kind) const { return counts_[size_t(kind)]; }
    // The first rows of a kind, in workbook order.
    const std::vector<Finding>& named(Kind kind) const { return named_[size_t(kind)]; }
    // The box that tells the owner, or nullopt when every row can be sold.
    std::optional<QString> summary() const;

private:
    struct Row {
        int sheet;
        int number;
        int key;  // index into keys_
    };
    const QString& barcodeOf(size_t row) const;
    void note(Kind kind, size_t row, const QString& price);
    void noteSheetRow(Kind kind, int sheet, int number, const QString& barcode, const QString& price);

    const NumberFormat& numbers_;
    std::vector<QString> sheets_;
    // The rows with a barcode, to be looked up, and their distinct search
    // keys: barcodes that differ only in case or blanks are the same scan.
    std::vector<Row> rows_;
    std::vector<QString> keys_;
    std::vector<int> firstRows_;               // of each key
    QHash<QString, int> keyIds_;               // while rows come in
    QHash<qsizetype, QString> otherBarcodes_;  // of rows whose barcode is not their key's first
    std::array<qint64, kKinds> counts_{};
    std::array<std::vector<Finding>, kKinds> named_;
};

}  // namespace tovrin
