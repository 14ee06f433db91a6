#include "checkout/checkout.h"

#include <cmath>

#include "checkout/sale_journal.h"
#include "platform/folder.h"
#include "records/columns.h"
#include "records/files.h"
#include "records/journal.h"
#include "records/lines.h"
#include "records/money.h"

namespace tovrin {

namespace {

constexpr double kTraceSize = 15;
constexpr double kChangeSize = 200;
constexpr double kAfterChangeSize = 135;
constexpr int kEnter = 13;

const QString kNegativeQuestion = QStringLiteral(
    "注意，商品价格为负数！当错误录入某种商品价格时，只需将该商品的负数价格录入，即可更正金额累计！");

QString confirmation(bool oneItem, const QString& due) {
    const QString first = oneItem
                              ? QStringLiteral(
                                    "  如果商品序号不止一个，在输入商品价格后，在该文本框中，再按回车键Enter "
                                    ",可以将商  品一起结账后，再找零！")
                              : QStringLiteral(
                                    "  如果商品序号不止一个，在输入商品价格后，在该文本框中，按回车键Enter "
                                    ",可以将商品  一起结账后，再找零！");
    return first + CRLF + QStringLiteral(" 目前，应收金额累计： ") + due + CRLF +
           QStringLiteral(" 是否找零，结束此次交易？");
}

}  // namespace

Checkout::Checkout(Deps deps)
    : form_(deps.form),
      display_(deps.display),
      prompts_(deps.prompts),
      files_(deps.files),
      clock_(deps.clock),
      numbers_(deps.numbers),
      voice_(deps.voice),
      lookup_(deps.lookup),
      folder_(std::move(deps.folder)),
      journal_(files_, folder_) {}

QString Checkout::wct(double x) const { return tovrin::wct(x, numbers_, sale_.zerob); }

QString Checkout::path(const QString& name) const { return folderFile(folder_, name); }

void Checkout::clickBox(Box box) { form_.setText(box, QString()); }

// The sale goes to both journals as one unit, exactly once; what went wrong
// is named with the file and the reason. True when the sale is done: in both
// journals, or kept for the next sale or start to complete them.
bool Checkout::writeSale(const QString& saleLine, const QString& saleBlock) {
    const SaleJournal::Outcome outcome = journal_.write(saleLine, saleBlock);
    if (outcome.message) prompts_.ok(*outcome.message);
    return outcome.recorded;
}

bool Checkout::computable(std::initializer_list<double> values) {
    // Amounts are shown in cents: x × 1000 must still be a number.
    for (double v : values) {
        if (!std::isfinite(v * 1000)) {
            prompts_.ok(kTooLarge);
            return false;
        }
    }
    return true;
}

std::optional<Checkout::Inputs> Checkout::readInputs(bool withPrice) {
    const auto received = numbers_.parse(form_.text(Box::Text1));
    const auto price = withPrice ? numbers_.parse(form_.text(Box::Text2)) : std::optional<double>(0);
    const auto rate = numbers_.parse(form_.text(Box::Text3));
    const auto quantity = numbers_.parse(form_.text(Box::Text4));
    if (!received || !price || !rate || !quantity) {
        prompts_.ok(kValidation);
        return std::nullopt;
    }
    return Inputs{*received, *price, *rate, *quantity};
}

// The file of the sale in progress; no items when it holds nothing. A
// missing file counts as empty; one that cannot be read is named.
Checkout::ItemFile Checkout::readItemFile() {
    const TextFiles::Read items = files_.read(path(kItemFile));
    if (items.state == TextFiles::State::Unreadable) {
        prompts_.ok(readFailure(path(kItemFile), items.reason));
        return {std::nullopt, true};
    }
    if (!items.hasContent()) return {};
    // Shown and written into the sale block with the journals' line ends,
    // whatever an editor left in the file.
    return {withCrLf(items.text), false};
}

void Checkout::query3() {
    display_.setText(QString());
    const ItemFile file = readItemFile();
    if (file.items) {
        display_.append(*file.items + CRLF, kTraceSize);
    } else if (!file.unreadable) {
        prompts_.ok(kNoRecords);
    }
}

QString Checkout::runningTotals() const {
    return clock_.dateTimeText() + CRLF + CRLF +
           totalsLine(numbers_.plain(sale_.shpleiji), wct(sale_.shpzk), wct(sale_.shpjg),
                      numbers_.plain(sale_.shpsl)) +
           TAB + QStringLiteral("   应收金额累计：   ") + TAB + wct(sale_.shpjg - sale_.shpzk) + CRLF + CRLF;
}

void Checkout::showSaleList() {
    query3();
    display_.append(runningTotals(), kTraceSize);
}

void Checkout::showChange(double change, double due) {
    display_.setSelFontSize(kChangeSize);
    display_.setSelColor(kBlack);
    display_.setSelStart(display_.length());
    display_.setSelText(wct(change));
    display_.setSelStart(display_.length());
    display_.setSelFontSize(kAfterChangeSize);
    display_.setSelColor(kGreen);

    if (sale_.wav) {
        voice_.startChange(form_.text(Box::Text1) + QLatin1Char('j') + numbers_.plain(due) +
                           QLatin1Char('=') + wct(change));
    }
    form_.setText(Box::Text1, QStringLiteral("0"));
    sale_.shp = true;
    itemFileReported_ = false;
    itemFileEmptied_ = false;
    // The next customer's first price or scan goes into the price box.
    form_.focusBox(Box::Text2);
}

void Checkout::Command1_0_Click() {
    display_.setText(QString());
    if (sale_.shp) {
        settleOneItem();
    } else {
        settleAccumulated();
    }
}

void Checkout::settleOneItem() {
    const std::optional<Inputs> in = readInputs(true);
    if (!in) return;
    double received = in->received;
    const double price = in->price, rate = in->rate, quantity = in->quantity;
    if (rate > 100 || price > received) {
        prompts_.ok(QStringLiteral("实收金额  不足，折扣比率 表达错误！请重试。"));
        return;
    }
    const double shown = (price * quantity * rate) / 100;
    const double due = price * quantity * (rate / 100);
    const double total = price * quantity;
    if (!computable({received, quantity, shown, due, total, received - due, total - due})) return;
    if (price < 0) {
        const QString question =
            kNegativeQuestion + CRLF + TAB +
            QStringLiteral("    如果选“是”，那么实收金额将变为 0，以便抵消增加的金额，是否继续？  ");
        if (!prompts_.yesNo(question, kBoxTitle)) return;
        received = 0;
        form_.setText(Box::Text1, QStringLiteral("0"));
    }
    if (!prompts_.yesNo(confirmation(true, wct(shown)), kBoxTitle)) return;
    const double change = received - due;
    if (change < 0) {
        prompts_.ok(QStringLiteral("实收金额  不足。"));
        return;
    }
    if (!computable({received, change})) return;

    // The sale is on disk before its change is shown.
    const QString dateTime = clock_.dateTimeText();
    const QString item =
        itemLine({QStringLiteral("1"), wct(total - due), wct(total), wct(quantity), {}}, false);
    if (!writeSale(
            saleLine({dateTime, wct(total - due), wct(received), wct(total), wct(quantity), wct(change)},
                     true),
            blockHead(dateTime, wct(due), QStringLiteral("1"), wct(total - due), wct(total), wct(quantity)) +
                item + CRLF)) {
        return;
    }
    showChange(change, due);
    form_.setText(Box::Text2, QString());
}

void Checkout::settleAccumulated() {
    const std::optional<Inputs> in = readInputs(false);
    if (!in) return;
    if (!form_.text(Box::Text2).isEmpty()) {
        prompts_.ok(QStringLiteral("注意！商品累计尚未结束，第 ") + numbers_.plain(sale_.shpleiji + 1) +
                    QStringLiteral("种商品的价格还没有录入，请重试。"));
        return;
    }
    const double due = sale_.shpjg - sale_.shpzk;
    if (!prompts_.yesNo(confirmation(false, wct(due)), kBoxTitle)) {
        showSaleList();
        return;
    }
    const double received = in->received;
    const double change = received - due;
    if (!computable({received, change})) return;
    if (change < 0) {
        prompts_.ok(QStringLiteral("实收金额  不足。"));
        showSaleList();
        return;
    }
    if (!computable({received, due, sale_.shpzk, sale_.shpjg, sale_.shpsl, sale_.shpleiji})) return;

    // The sale is on disk before its change is shown.
    const QString dateTime = clock_.dateTimeText();
    const ItemFile file = readItemFile();
    if (!file.items && !file.unreadable) prompts_.ok(kNoRecords);
    if (!writeSale(saleLine({dateTime, wct(sale_.shpzk), wct(received), wct(sale_.shpjg), wct(sale_.shpsl),
                             wct(change)},
                            false),
                   blockHead(dateTime, wct(due), numbers_.plain(sale_.shpleiji), wct(sale_.shpzk),
                             wct(sale_.shpjg), numbers_.plain(sale_.shpsl)) +
                       file.items.value_or(QString()) + CRLF)) {
        return;
    }
    showChange(change, due);
}

bool Checkout::resetItemFile() {
    display_.setText(QString());
    sale_.shpleiji = sale_.shpjg = sale_.shpzk = sale_.shpsl = 0;
    if (itemFileEmptied_) return true;
    if (const auto failure = files_.rewrite(path(kItemFile), QString())) {
        // Told once per sale, not at every key: the keys still go into the
        // price box.
        if (!itemFileReported_) prompts_.ok(writeFailure(path(kItemFile), *failure));
        itemFileReported_ = true;
        return false;
    }
    itemFileReported_ = false;
    itemFileEmptied_ = true;
    return true;
}

// A sale's items are bounded, so that every sale can be finished and
// written; the item beyond the bound is refused.
bool Checkout::tooManyItems(const QString& line) {
    const TextFiles::Length items = files_.length(path(kItemFile));
    // The line break and the item line's own.
    if (items.failure || items.bytes + 2 + files_.appended(line).size() <= SaleJournal::kMaxItemBytes)
        return false;
    prompts_.ok(QStringLiteral("此次交易的商品太多（商品记录超过 %1 MB），请先找零结束此次交易。")
                    .arg(SaleJournal::kMaxItemBytes >> 20));
    return true;
}

bool Checkout::Text2_KeyPress(int keyAscii) {
    // While no sale is accumulating every key starts a new one; an item
    // file that cannot be emptied takes no item.
    const bool ready = !sale_.shp || resetItemFile();
    if (keyAscii != kEnter) return false;
    if (ready && acceptItem()) return true;
    // A refused item keeps its text, all of it selected: the next scan
    // replaces it instead of running on from its end.
    form_.selectBoxText(Box::Text2);
    return false;
}

bool Checkout::acceptItem() {
    const std::optional<Inputs> in = readInputs(true);
    if (!in) return false;
    double price = in->price;
    const double rate = in->rate, quantity = in->quantity;
    std::optional<BarcodeItem> goods;
    if (sale_.tiaomajiesuan) {
        goods = lookup_.item(form_.text(Box::Text2));
        if (!goods) {
            prompts_.ok(QStringLiteral("没有该商品条码对应价格！"));
            return false;
        }
        const std::optional<double> looked = numbers_.parse(goods->price);
        if (!looked) {
            prompts_.ok(QStringLiteral("条码价格表中该商品的价格不是数字：") + goods->price);
            return false;
        }
        price = *looked;
    }
    if (in->price < 0) {
        const QString question = kNegativeQuestion + CRLF + TAB + QStringLiteral("    是否继续？  ");
        if (!prompts_.yesNo(question, kBoxTitle)) return false;
    }
    if (rate > 100 || rate < 0) {
        prompts_.ok(QStringLiteral("折扣比率 表达错误！请重试。"));
        return false;
    }
    const double total = quantity * price;
    const double due = quantity * price * (rate / 100);
    const double discount = total - due;
    if (!computable({quantity, total, due, discount, sale_.shpjg + money(total, numbers_, sale_.zerob),
                     sale_.shpzk + money(discount, numbers_, sale_.zerob),
                     sale_.shpjg - sale_.shpzk + money(due, numbers_, sale_.zerob),
                     sale_.shpsl + money(quantity, numbers_, sale_.zerob)})) {
        return false;
    }

    // The item line goes to the file first: an item that could not be
    // written is not counted, so the totals always match the file.
    const double number = sale_.shpleiji + 1;
    ItemTexts item{numbers_.plain(number), wct(discount), wct(total), wct(quantity), {}};
    if (goods) {
        QString name = goods->name;
        item.number = tiaozhen(name, 39);
        item.barcode = goods->barcode;
    }
    const QString line = itemLine(item, sale_.tiaomajiesuan);
    if (tooManyItems(line)) return false;
    // Even a failed append may have left part of the line.
    itemFileEmptied_ = false;
    if (const auto failure = files_.append(path(kItemFile), line)) {
        prompts_.ok(writeFailure(path(kItemFile), *failure));
        return false;
    }

    sale_.shp = false;
    sale_.shpjg += money(total, numbers_, sale_.zerob);
    sale_.shpleiji = number;
    sale_.shpzk += money(discount, numbers_, sale_.zerob);
    sale_.shpsl += money(quantity, numbers_, sale_.zerob);
    if (sale_.wav) {
        voice_.wave(QStringLiteral("+"));
        voice_.startItem(numbers_.plain(due));
    }
    showSaleList();
    form_.setText(Box::Text2, QString());
    return true;
}

void Checkout::Command3_Click() {
    itemFileEmptied_ = false;
    if (form_.command3Caption() != QStringLiteral("条码结算")) {
        form_.setCommand3Caption(QStringLiteral("条码结算"));
        sale_.tiaomajiesuan = true;
        form_.setText2FontSize(22);
    } else {
        form_.setCommand3Caption(QStringLiteral("价格结算"));
        sale_.tiaomajiesuan = false;
        form_.setText2FontSize(40);
    }
}

}  // namespace tovrin
