#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/filechooser.h"
#include "platform/numbers.h"
#include "platform/progress.h"
#include "platform/prompts.h"
#include "platform/spreadsheet.h"
#include "platform/textfiles.h"

namespace tovrin {

// The import of the barcode price table collector.txt from a workbook: every
// worksheet in workbook order, each from row 1 down to its last row with
// content in column A, columns A to K, one table line per row.
//
// The new table is written as a replacement of the old one (TextFiles::replace)
// and takes its place only once the whole workbook has been read, so a workbook that cannot be read leaves
// the old table as it was. The workbook itself is only read.
class BarcodeImport {
public:
    static inline const QString kTemplateFile = QStringLiteral("商品条码价格表.xls");
    static constexpr int kColumns = 11;  // A to K

    static inline const QString kCancelled = QStringLiteral("导入已取消。");
    // What the progress shows while the new table is checked.
    static inline const QString kChecking = QStringLiteral("正在检查条码价格表");

    // The workbook is read through `runner`, which shows how far it got and
    // lets the cashier cancel; without one it is read in place.
    BarcodeImport(TextFiles& files, Prompts& prompts, FileChooser& chooser, SpreadsheetReader& reader,
                  const Clock& clock, const NumberFormat& numbers, QString folder,
                  ProgressRunner* runner = nullptr);

    // The button "更新条码价格": the question, the import, the success message
    // and, when rows of the new table cannot be sold by their scans, a box
    // that names them.
    void Command2_Click();

    // `qqrs`: lets the cashier choose a workbook and replaces the table with
    // its rows. True once the table has been replaced, and then the new
    // table's rows have been looked up (what they found is the box
    // Command2_Click shows after the success message); false when the dialog
    // was cancelled (nothing is shown) or the import failed or was cancelled
    // (a message says why, and the old table is untouched).
    bool qqrs();

    // The file types of the dialog, the first one preselected.
    static std::vector<FileFilter> fileFilters();
    // The question asked before the import; it names the template file.
    QString confirmationText() const;

private:
    void refuse(const QString& why);

    TextFiles& files_;
    Prompts& prompts_;
    FileChooser& chooser_;
    SpreadsheetReader& reader_;
    const Clock& clock_;
    const NumberFormat& numbers_;
    QString folder_;
    InPlaceRunner inPlace_;
    ProgressRunner& runner_;
    std::optional<QString> troubles_;  // the last import's unsellable rows, for the owner
};

}  // namespace tovrin
