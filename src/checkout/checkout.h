#pragma once

#include <QString>

#include "barcode/lookup.h"
#include "checkout/sale_journal.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/form.h"
#include "platform/numbers.h"
#include "platform/prompts.h"
#include "platform/textfiles.h"
#include "voice/voice.h"

namespace tovrin {

// The state of the sale in progress.
struct SaleState {
    bool shp = true;             // no multi-item sale is being accumulated
    double shpleiji = 0;         // items accepted into the sale
    double shpjg = 0;            // item totals, each rounded to cents
    double shpzk = 0;            // discounts, each rounded to cents
    double shpsl = 0;            // quantities, each rounded to cents
    bool tiaomajiesuan = false;  // barcode settlement is on
    bool wav = true;             // voice on
    bool zerob = true;           // the number conversion writes "0" before a fraction
};

// The checkout: item entry in the price box, the change button, the
// settlement switch and the journals.
class Checkout {
public:
    struct Deps {
        FormControls& form;
        TextModel& display;
        Prompts& prompts;
        TextFiles& files;
        const Clock& clock;
        const NumberFormat& numbers;
        Voice& voice;
        BarcodeLookup& lookup;
        QString folder;
    };

    static inline const QString kValidation =
        QStringLiteral("实收金额  或 商品价格，数量，折扣比率 表达错误！请重试。");
    static inline const QString kTooLarge = QStringLiteral("金额或数量太大，超出了可以计算的范围！请重试。");

    explicit Checkout(Deps deps);

    // The sale in progress, as the window and the tests see it.
    const SaleState& sale() const { return sale_; }
    // The start-up values the window gives: voice on or off, whether the
    // number conversion writes "0" before a fraction, no sale accumulating.
    void setWav(bool on) { sale_.wav = on; }
    void setZerob(bool on) { sale_.zerob = on; }
    void setShp(bool on) {
        sale_.shp = on;
        itemFileEmptied_ = false;
    }

    // A click into an input box empties it.
    void clickBox(Box box);
    // The change button "找零"; a finished sale sends the keyboard to the
    // price box.
    void Command1_0_Click();
    // A key typed into the price box; true when the key is consumed (an
    // accepted item's Enter). A refused Enter leaves the box's text as it
    // was, selected.
    bool Text2_KeyPress(int keyAscii);
    // The settlement switch "价格结算" / "条码结算".
    void Command3_Click();

    // `wct`: the money text of an amount as this till writes it.
    QString wct(double x) const;
    // `query3`: the sale-list view: the item file of the sale in progress in the display.
    void query3();
    // The running totals of the sale in progress, as the sale list shows them.
    QString runningTotals() const;

private:
    SaleState sale_;
    struct Inputs {
        double received = 0, price = 0, rate = 0, quantity = 0;
    };
    // The numeric test of the boxes an operation reads; shows the validation
    // message and gives nullopt when one fails. Values too large to compute
    // with are refused later, by `computable`, once the operation's own
    // refusals have had their turn, so a box that is only tested stays free.
    std::optional<Inputs> readInputs(bool withPrice);
    bool computable(std::initializer_list<double> values);
    void settleOneItem();
    void settleAccumulated();
    void showChange(double change, double due);
    void showSaleList();
    bool acceptItem();
    bool tooManyItems(const QString& line);
    bool resetItemFile();

    QString path(const QString& name) const;
    bool writeSale(const QString& saleLine, const QString& saleBlock);
    // The item file as a sale reads it.
    struct ItemFile {
        std::optional<QString> items;  // nullopt when it holds nothing
        bool unreadable = false;       // it could not be read, and the cashier was told
    };
    ItemFile readItemFile();

    FormControls& form_;
    TextModel& display_;
    Prompts& prompts_;
    TextFiles& files_;
    const Clock& clock_;
    const NumberFormat& numbers_;
    Voice& voice_;
    BarcodeLookup& lookup_;
    QString folder_;
    SaleJournal journal_;
    bool itemFileReported_ = false;  // the new-sale reset's failure was shown
    // The item file was emptied and nothing has been written to it since, so
    // the next key need not empty it again.
    bool itemFileEmptied_ = false;
};

}  // namespace tovrin
