#include "barcode/import.h"

#include <QFileInfo>
#include <memory>

#include "barcode/lookup.h"
#include "barcode/table_check.h"
#include "platform/folder.h"
#include "platform/memory.h"

namespace tovrin {

namespace {

const QString kSuccess =
    QStringLiteral("  条码价格表已经更新成功，结算商品时，在商品价格框扫描输入条码，即可找零！");

// Only the blank itself (U+0020) is trimmed; tabs and full-width blanks stay.
QStringView trimBlanks(QStringView text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.sliced(begin, end - begin);
}

// Writes the rows of the sheets as table lines: a TAB and the trimmed cell
// text for each column A to K, then CR LF (the replacement writes GBK). Rows that the reader leaves
// out (all cells empty) become lines of eleven TABs. Rows after a sheet's last
// row with content in column A are taken back when the sheet ends; row 1 is
// always kept, so an empty sheet gives one line of eleven TABs.
class TableWriter : public SheetRows {
public:
    static constexpr int kBarcodeColumn = 0;  // A
    static constexpr int kPriceColumn = 4;    // E
    // Rows are told to `progress` every so often; it can stop the writing.
    static constexpr qint64 kRowsPerReport = 512;

    TableWriter(Replacement& out, const NumberFormat& numbers, const Clock& clock, Progress& progress,
                TableCheck& check)
        : out_(out), numbers_(numbers), clock_(clock), progress_(progress), check_(check) {}

    const QString& error() const { return error_; }
    bool cancelled() const { return cancelled_; }

    bool beginSheet(const QString& name) override {
        check_.beginSheet(name);
        lastRow_ = 0;
        kept_ = out_.size();
        return true;
    }

    bool row(int number, std::span<const Cell> cells) override {
        if (++rows_ % kRowsPerReport == 0 && !progress_.advance(rows_)) {
            cancelled_ = true;
            return false;
        }
        if (number <= lastRow_) return stop(QStringLiteral("工作表的行次序不对"));
        while (lastRow_ + 1 < number) {
            if (!write(lastRow_ + 1, blankLine(), false)) return false;
        }
        line_.clear();
        QString barcode, price;
        for (int c = 0; c < BarcodeImport::kColumns; ++c) {
            line_ += QLatin1Char('\t');
            if (size_t(c) >= cells.size()) continue;
            const QString text = cellText(cells[size_t(c)], numbers_, clock_);
            const QStringView trimmed = trimBlanks(text);
            line_ += trimmed;
            if (c == kBarcodeColumn) barcode = trimmed.toString();
            if (c == kPriceColumn) price = trimmed.toString();
        }
        line_ += QStringLiteral("\r\n");
        check_.row(number, barcode, price);
        const bool columnA = !cells.empty() && cells[0].hasContent();
        return write(number, line_, columnA);
    }

    bool endSheet() override {
        if (lastRow_ == 0 && !write(1, blankLine(), false)) return false;
        if (!out_.cutBack(kept_)) return stop(out_.failure());
        return true;
    }

private:
    static const QString& blankLine() {
        static const QString line =
            QString(BarcodeImport::kColumns, QLatin1Char('\t')) + QStringLiteral("\r\n");
        return line;
    }

    bool stop(const QString& why) {
        if (error_.isEmpty()) error_ = why.isEmpty() ? QStringLiteral("写入失败") : why;
        return false;
    }

    bool write(int number, const QString& line, bool columnA) {
        if (!out_.write(line)) return stop(out_.failure());
        lastRow_ = number;
        if (number == 1 || columnA) kept_ = out_.size();
        return true;
    }

    Replacement& out_;
    const NumberFormat& numbers_;
    const Clock& clock_;
    Progress& progress_;
    TableCheck& check_;
    qint64 rows_ = 0;  // rows handed in, of all sheets
    bool cancelled_ = false;
    QString line_;
    QString error_;
    int lastRow_ = 0;
    qint64 kept_ = 0;  // the table ends here unless a later row has content in column A
};

}  // namespace

BarcodeImport::BarcodeImport(TextFiles& files, Prompts& prompts, FileChooser& chooser,
                             SpreadsheetReader& reader, const Clock& clock, const NumberFormat& numbers,
                             QString folder, ProgressRunner* runner)
    : files_(files),
      prompts_(prompts),
      chooser_(chooser),
      reader_(reader),
      clock_(clock),
      numbers_(numbers),
      folder_(std::move(folder)),
      runner_(runner ? *runner : inPlace_) {}

std::vector<FileFilter> BarcodeImport::fileFilters() {
    return {
        {QStringLiteral("excel2003文件*.xls"), QStringLiteral("*.xls")},
        {QStringLiteral("excel2010文件*.xlsx"), QStringLiteral("*.xlsx")},
        {QStringLiteral("OpenDocument表格*.ods"), QStringLiteral("*.ods")},
        {QStringLiteral("CSV文本表格*.csv"), QStringLiteral("*.csv")},
        {QStringLiteral("全部表格文件*.xls;*.xlsx;*.ods;*.csv"), QStringLiteral("*.xls *.xlsx *.ods *.csv")}};
}

QString BarcodeImport::confirmationText() const {
    return QStringLiteral("  在更新条码之前，请确保导入的商品条码价格表的格式，与模板文件") +
           folderFile(folder_, kTemplateFile) + QStringLiteral("相同！") + QStringLiteral("\r\n") +
           QStringLiteral(
               " 如果格式不同， 用户可以直接将自己的商品表格中的（条码，商品名称，销售价）"
               "这3个条目下的信息依次覆盖复制到模板文件中相对应的条目，再导入！") +
           QStringLiteral("\r\n") + QStringLiteral(" 导入过程将会持续3到5分钟，请耐心等待。是否导入？");
}

void BarcodeImport::Command2_Click() {
    if (!prompts_.yesNo(confirmationText(), kBoxTitle)) return;
    if (!qqrs()) return;
    prompts_.ok(kSuccess, kBoxTitle);
    if (troubles_) prompts_.ok(*troubles_, kBoxTitle);
}

void BarcodeImport::refuse(const QString& why) {
    prompts_.ok(QStringLiteral("  条码价格表没有更新！\r\n ") + why +
                    QStringLiteral("\r\n 原来的条码价格表保持不变。"),
                kBoxTitle);
}

bool BarcodeImport::qqrs() {
    const ReturnFreeMemoryAtEnd release;  // the workbook's buffers are gone by then
    troubles_.reset();
    const std::optional<QString> chosen = chooser_.openFile(fileFilters());
    if (!chosen) return false;

    const QString tablePath = folderFile(folder_, BarcodeLookup::kTableFile);
    const auto cannotWrite = [&](const QString& why) {
        refuse(writeFailure(tablePath, why));
        return false;
    };
    std::unique_ptr<Replacement> out = files_.replace(tablePath);
    if (!out->failure().isEmpty()) return cannotWrite(out->failure());

    // The workbook is read off the window's thread; the file is only
    // touched by the work while it runs.
    SpreadsheetReader::Result result;
    bool cancelled = false;
    QString writeError;
    TableCheck check(numbers_);
    runner_.run(QStringLiteral("正在导入 ") + QFileInfo(*chosen).fileName(), [&](Progress& progress) {
        TableWriter writer(*out, numbers_, clock_, progress, check);
        result = reader_.read(*chosen, kColumns, writer);
        cancelled = writer.cancelled();
        writeError = writer.error();
    });
    // A replacement dropped uncommitted leaves the old table; it is dropped
    // before the message is shown.
    if (cancelled) {
        out.reset();
        refuse(kCancelled);
        return false;
    }
    if (result.status == SpreadsheetReader::Result::Status::Failed) {
        out.reset();
        refuse(fileFailure(QStringLiteral("导入"), *chosen, result.reason));
        return false;
    }
    if (result.status == SpreadsheetReader::Result::Status::Stopped || !writeError.isEmpty()) {
        out.reset();
        return cannotWrite(writeError);
    }
    if (const std::optional<QString> failure = out->commit()) return cannotWrite(*failure);

    // Every barcode is looked up in the new table as a scan would be. A
    // check that cannot finish tells nothing; the table stays imported.
    runner_.run(kChecking, [&](Progress& progress) {
        if (check.run(files_, folder_, progress)) troubles_ = check.summary();
    });
    return true;
}

}  // namespace tovrin
