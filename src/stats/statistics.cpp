#include "stats/statistics.h"

#include <QHash>
#include <memory>
#include <utility>

#include "platform/bytefile.h"
#include "platform/folder.h"
#include "platform/memory.h"
#include "records/files.h"
#include "records/haystack.h"
#include "records/lines.h"
#include "records/money.h"
#include "records/periods.h"

namespace tovrin {

namespace {

using records::CRLF;
using records::TAB;
const QString& kSaleJournal = records::kSaleFile;
const QString& kBlockJournal = records::kBlockFile;
const QString kDetailFile = QStringLiteral("betweenp.txt");
const QString kTraceFile = QStringLiteral("betweenpq.txt");
const QString kGoodsFile = QStringLiteral("betweensum.txt");
const QString kTitle = QStringLiteral("Tovrin 找零");

// An item line must end within this many characters after its label.
constexpr qsizetype kItemLineReach = 40000;

QString pad(QString text, double width) { return tiaozhen(text, width); }

// The position of the date separator in a date text: the first "-", else the
// first "/", else the first "\"; -1 when it has none.
qsizetype separatorPosition(const QString& date) {
    for (QChar s : {QLatin1Char('-'), QLatin1Char('/'), QLatin1Char('\\')}) {
        const qsizetype p = date.indexOf(s);
        if (p >= 0) return p;
    }
    return -1;
}

// The fields of a gathered line framed by TABs: field k is the text between
// the k-th TAB or "|" and the next one; at most 99 are kept.
QStringList framedFields(const QString& framed) {
    return splitFields(framed.size() >= 2 ? QStringView(framed).sliced(1, framed.size() - 2) : QStringView());
}

// A gathered line framed by TABs, built at its final size.
QString framedLine(const QString& line) {
    QString framed;
    framed.reserve(line.size() + 2);
    framed += TAB;
    framed += line;
    framed += TAB;
    return framed;
}

QString removeLeadingBlanks(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    return text.mid(i);
}

// The journal as the report searches it: in its bytes when all the texts
// searched allow it, otherwise decoded whole.
std::unique_ptr<Haystack> journalText(ByteFile& file, const QString& path, TextFiles& files,
                                      std::initializer_list<QString> needles) {
    bool safe = true;
    for (const QString& needle : needles) safe = safe && byteSafe(needle);
    if (safe) return std::make_unique<FileHaystack>(file);
    const TextFiles::Read read = files.read(path);
    return std::make_unique<TextHaystack>(read.hasContent() ? upperSameLength(read.text + CRLF) : QString());
}

}  // namespace

Statistics::Statistics(FormControls& form, TextModel& display, Prompts& prompts, TextFiles& files,
                       const Clock& clock, const NumberFormat& numbers, QString folder)
    : form_(form),
      display_(display),
      prompts_(prompts),
      files_(files),
      clock_(clock),
      numbers_(numbers),
      folder_(std::move(folder)) {}

QString Statistics::path(const QString& name) const { return folderFile(folder_, name); }

QString Statistics::money(double x) const { return wct(x, numbers_, zerob); }

double Statistics::amount(const QString& field) {
    const std::optional<double> value = numbers_.parse(field);
    if (value && isFinite(*value)) return *value;
    ++badFields_;
    return 0;
}

void Statistics::reportBadFields() {
    if (badFields_ == 0) return;
    prompts_.ok(
        QStringLiteral("有 %1 个金额不是数字（记录可能被改动过），统计时按 0 计算。").arg(badFields_));
    badFields_ = 0;
}

bool Statistics::writeWorkFile(const QString& name, const QString& content) {
    const std::optional<QString> failure = files_.rewrite(path(name), content);
    if (failure) prompts_.ok(QStringLiteral("无法写入文件 ") + name + QStringLiteral("：") + *failure);
    return !failure;
}

void Statistics::Command1_1_Click() {
    const ReturnFreeMemoryAtEnd release;  // the report's own buffers are gone by then
    const QString question =
        QStringLiteral("统计信息：") + CRLF +
        QStringLiteral("    如果选“是”，可以对当天或当月的交易金额明细进行统计！") + CRLF +
        QStringLiteral("如果选“否”，将对当天或当月条码结算或价格结算商品的销售记录进行统计！") + CRLF +
        QStringLiteral("请选择：   ");
    if (prompts_.yesNo(question, kTitle)) {
        amountDetail();
    } else {
        goods();
    }
}

void Statistics::amountDetail() {
    const QString month = dyue(zhuanda);
    const QString question =
        QStringLiteral("交易金额明细:") + CRLF + QStringLiteral("    如果选“是”，那么将对当天") + zhuanda +
        QStringLiteral("交易金额明细进行统计！") + CRLF + QStringLiteral("如果选“否”，将对当月") + month +
        QStringLiteral("月的交易金额明细进行统计！") + CRLF + QStringLiteral("请选择：   ");
    QString key;
    if (prompts_.yesNo(question, kTitle)) {
        key = zhuanda;
        dgyue = QStringLiteral(" ");
    } else {
        key = month;
        const qsizetype p = separatorPosition(zhuanda);
        dgyue = p >= 0 ? key.mid(p, 1) : QString();
    }

    badFields_ = 0;
    const qsizetype n = query1(key);
    devision1();
    display_.setSelLength(0);
    display_.setSelFontSize(12);
    display_.setSelStart(display_.length());

    double discount = 0, received = 0, goodsPrice = 0, change = 0;
    for (qsizetype r = 0; r < n && r < qsizetype(statTable.size()); ++r) {
        const QStringList& row = statTable[size_t(r)];
        received += amount(row.value(5));
        goodsPrice += amount(row.value(7));
        change += amount(row.value(11));
        discount += amount(row.value(3));
    }
    QString summary = TAB + clock_.dateTimeText() + TAB + pad(QStringLiteral("折扣合计："), 18) + TAB +
                      pad(money(discount), 8) + TAB + pad(QStringLiteral("应收金额合计："), 18) + TAB +
                      pad(money(received - change), 8) + CRLF;
    summary += TAB + clock_.dateTimeText() + TAB + pad(QStringLiteral("实收金额合计："), 18) + TAB +
               pad(money(received), 8) + TAB + pad(QStringLiteral("商品价格合计："), 18) + TAB +
               pad(money(goodsPrice), 8) + TAB + pad(QStringLiteral("找零合计："), 18) + TAB +
               pad(money(change), 8) + CRLF;

    query2(zhuanda);
    display_.append(summary, 15);
    reportBadFields();
}

qsizetype Statistics::query1(const QString& key) {
    display_.setText(QString());
    const QString journal = path(kSaleJournal);
    ByteFile file(journal);
    if (file.state() == ByteFile::State::Unreadable) {
        prompts_.ok(QStringLiteral("无法读取文件 ") + kSaleJournal + QStringLiteral("：") + file.reason());
    } else if (file.state() != ByteFile::State::HasContent) {
        prompts_.ok(kNoRecords);
    }

    const QString needle = upperSameLength(key) + dgyue;
    std::vector<QString> lines;
    if (file.state() == ByteFile::State::HasContent && !needle.isEmpty()) {
        const std::unique_ptr<Haystack> text = journalText(file, journal, files_, {needle});
        lines = keepLastCopies(gatherLines(*text, needle));
    }

    const qsizetype n = qsizetype(lines.size());
    if (detailLines.size() < n + 1) detailLines.resize(n + 1);
    // The file's text is built at its final size; each line's own copy is
    // let go once it is framed.
    qsizetype length = 4;
    for (const QString& line : lines) length += line.size() + 4;
    QString content;
    content.reserve(length + 4);
    for (qsizetype w = 0; w <= n; ++w) {
        const QString framed = framedLine(w < n ? std::exchange(lines[size_t(w)], QString()) : QString());
        content += framed;
        content += CRLF;
        detailLines[w] = framed;
    }
    content += CRLF + CRLF;
    detailUnsaved_ = !writeWorkFile(kDetailFile, content);
    // Kept only for when the file could not be written.
    unsavedDetail_ = detailUnsaved_ ? content : QString();

    lme = lm = pab = n;
    return n;
}

QString Statistics::devision1() {
    const qsizetype n = lme;
    if (n <= 0) {
        writeWorkFile(kTraceFile, QStringLiteral("\r\r\n"));
        return {};
    }
    if (qsizetype(statTable.size()) < n + 1) statTable.resize(size_t(n + 1));
    QString trace;
    for (qsizetype r = 0; r <= n; ++r) {
        // A row holds exactly the fields of its line.
        QStringList fields = framedFields(detailLines.value(r));
        for (qsizetype k = 1; k < fields.size(); ++k) {
            if (fields[k].isEmpty()) continue;
            trace += QStringLiteral("suf(") + QString::number(r) + QLatin1Char(',') + QString::number(k) +
                     QStringLiteral(")***") + fields[k] + QString(11, QLatin1Char(' '));
        }
        trace += CRLF;
        statTable[size_t(r)] = std::move(fields);
    }
    writeWorkFile(kTraceFile, trace);
    form_.setCaption(kTitle + QStringLiteral("     ") + QString::number(n) + QStringLiteral("   "));
    return {};
}

qsizetype Statistics::query2(const QString& key) {
    display_.setText(QString());
    QString content;
    if (detailUnsaved_) {
        content = unsavedDetail_;
    } else {
        const TextFiles::Read read = files_.read(path(kDetailFile));
        if (read.hasContent()) content = read.text;
    }
    if (!content.isEmpty()) {
        content += CRLF;
        display_.append(std::exchange(content, QString()), 12);
    } else {
        prompts_.ok(kNoRecords);
    }

    const QString needle = upperSameLength(key);
    std::vector<QString> lines;
    if (!needle.isEmpty()) {
        // A key that upper-casing cannot move is searched in the display's
        // own text; only the lines cut out are upper-cased.
        const bool blind = caseBlind(needle);
        TextHaystack text(blind ? display_.text() : upperSameLength(display_.text()), blind);
        lines = keepLastCopies(gatherLines(text, needle));
    }
    const qsizetype n = qsizetype(lines.size());
    if (detailLines.size() < n + 1) detailLines.resize(n + 1);
    for (qsizetype w = 0; w <= n; ++w) {
        // The line it replaces is let go first: both can be long.
        detailLines[w] = QString();
        detailLines[w] = framedLine(w < n ? std::exchange(lines[size_t(w)], QString()) : QString());
    }
    lme = lm = pab = n;
    return n;
}

void Statistics::goods() {
    eyues.clear();
    dfyue.clear();
    const QString month = dyue(zhuanda);
    const QString question =
        QStringLiteral("条码结算商品统计：") + CRLF + QStringLiteral("    如果选“是”，那么将对") + zhuanda +
        QStringLiteral("当天的销售商品进行统计！") + CRLF + QStringLiteral("如果选“否”，将对当月") + month +
        QStringLiteral("的销售商品进行统计！") + CRLF + QStringLiteral("请选择：   ");
    const QString journal = path(kBlockJournal);
    if (prompts_.yesNo(question, kTitle)) {
        dfyue = QStringLiteral(" ");
        eyues = zhuanda;
        query5(zhuanda, journal, dyuea(zhuanda, zhuanda));
    } else {
        const qsizetype p = separatorPosition(zhuanda);
        dfyue = p >= 0 ? zhuanda.mid(p, 1) : QString();
        eyues = month + QStringLiteral("月");
        query5(month, journal, dyueb(zhuanda));
    }
}

double Statistics::query5(const QString& key, const QString& journal, const QString& endMarker) {
    display_.setText(QString());
    ByteFile file(journal);
    if (file.state() == ByteFile::State::Unreadable) {
        prompts_.ok(QStringLiteral("无法读取文件 ") + kBlockJournal + QStringLiteral("：") + file.reason());
    } else if (file.state() != ByteFile::State::HasContent) {
        prompts_.ok(kNoJournal);
    }

    const QString k = removeLeadingBlanks(upperSameLength(key));
    const QString start = k + dfyue;
    std::optional<QString> section;
    if (file.state() == ByteFile::State::HasContent) {
        const std::unique_ptr<Haystack> text = journalText(file, journal, files_, {start, k, endMarker});
        section = periodSection(*text, k, start, endMarker);
    }
    if (!section) {
        display_.setText(QString());
        prompts_.ok(kNoBarcodeRecords);
        return 0;
    }

    display_.setText(QString());
    // The section can be as long as the journal: it goes to the display as it
    // is, and the goods are counted in one copy of it (with room for the CR
    // LF put behind it).
    const QString tail = CRLF + CRLF + clock_.dateTimeText() + CRLF + CRLF +
                         QStringLiteral("条码结算的商品数量统计：") + CRLF + CRLF;
    const qsizetype length = section->size();
    QString shown = std::move(*section);
    section.reset();
    shown += tail;
    display_.append(shown, 12);
    QString counted;
    counted.reserve(length + CRLF.size());
    counted += QStringView(shown).left(length);
    shown = QString();
    tongji(kItemLabel, std::move(counted));
    return 0;
}

QString Statistics::tongji(const QString& label, QString section) {
    badFields_ = 0;
    section += CRLF;
    const QString w = upperSameLength(std::move(section));
    const QString needle = TAB + upperSameLength(label) + TAB;

    // Item lines: from the CR LF before the label up to the CR LF after it,
    // views of the work text rather than copies; the search for a line's end
    // is not repeated for the labels before it.
    std::vector<QStringView> lines;
    qsizetype scannedFrom = 0;  // CR LF before this position are known
    qsizetype lastCrLf = -1;
    qsizetype nextCrLf = -1;  // the first CR LF at or after the last label, -1 when none
    bool nextKnown = false;
    for (qsizetype hit = w.indexOf(needle); hit >= 0; hit = w.indexOf(needle, hit + 1)) {
        const qsizetype i = hit + 1;
        for (qsizetype j = i - 2; j >= scannedFrom; --j) {
            if (w[j] == u'\r' && w[j + 1] == u'\n') {
                lastCrLf = j;
                break;
            }
        }
        scannedFrom = std::max(scannedFrom, i - 1);
        const qsizetype start = lastCrLf >= 0 ? lastCrLf : 0;
        if (!nextKnown || (nextCrLf >= 0 && nextCrLf < i)) {
            nextCrLf = w.indexOf(CRLF, i);
            nextKnown = true;
        }
        const qsizetype end = nextCrLf;
        if (end < 0 || end + 2 > i + kItemLineReach) continue;
        lines.push_back(QStringView(w).sliced(start, end - start));
    }

    prompts_.ok(QStringLiteral(" 温情提示：") + CRLF + QStringLiteral("参与统计的是:") + eyues +
                    QStringLiteral("条码结算的商品的数量。"),
                kTitle);

    struct Group {
        QString label;
        QString barcode;
        double quantity = 0, total = 0, discount = 0;
        qsizetype lines = 0;
    };
    std::vector<Group> groups;
    QHash<QString, size_t> groupOf;
    QHash<QString, bool> priceLabels;
    double priceTotal = 0;
    for (QStringView line : lines) {
        const QStringList fields = splitFields(line);
        const QString itemLabel = fields.value(1);
        if (priceLabels.contains(itemLabel)) {
            priceTotal += amount(fields.value(5)) - amount(fields.value(3));
            continue;
        }
        auto found = groupOf.constFind(itemLabel);
        if (found == groupOf.constEnd()) {
            const QString barcode = fields.value(9);
            if (barcode.isEmpty()) {
                priceLabels.insert(itemLabel, true);
                priceTotal += amount(fields.value(5)) - amount(fields.value(3));
                continue;
            }
            found = groupOf.insert(itemLabel, groups.size());
            groups.push_back({itemLabel, barcode});
        }
        Group& group = groups[*found];
        group.discount += amount(fields.value(3));
        group.total += amount(fields.value(5));
        group.quantity += amount(fields.value(7));
        ++group.lines;
    }

    QString summary;
    double barcodeTotal = 0;
    for (Group& group : groups) {
        summary += TAB + pad(group.label, 39) + TAB + group.barcode + QStringLiteral(" 销售量：") +
                   numbers_.plain(group.quantity) + TAB + QStringLiteral(" 原价总额：") + money(group.total) +
                   TAB + QStringLiteral(" 折扣总额：") + money(group.discount) + TAB +
                   QStringLiteral(" 应收金额：") + money(group.total - group.discount) + CRLF;
        barcodeTotal += tovrin::money(group.total - group.discount, numbers_, zerob);
    }
    // The file is shown as it was written; when it could not be written, as
    // it should have been.
    QString shown = summary;
    if (writeWorkFile(kGoodsFile, summary)) {
        const TextFiles::Read read = files_.read(path(kGoodsFile));
        shown = read.hasContent() ? read.text : QString();
    }
    if (!shown.isEmpty()) {
        display_.setSelFontSize(12);
        display_.setSelStart(display_.length());
        display_.setSelText(shown + CRLF);
        display_.setSelFontSize(12);
    }

    const QString block = pad(QStringLiteral("条码结算的商品种类合计:"), 28) + TAB + TAB + TAB +
                          numbers_.plain(double(groups.size())) + TAB + CRLF +
                          pad(QStringLiteral("条码结算的商品应收金额合计:"), 28) + TAB + TAB + TAB +
                          money(barcodeTotal) + CRLF +
                          pad(QStringLiteral("价格结算的商品应收金额合计:"), 28) + TAB + TAB + TAB +
                          money(priceTotal) + CRLF + pad(QStringLiteral("商品应收金额总计:"), 28) + TAB +
                          TAB + TAB + money(priceTotal + barcodeTotal) + CRLF;
    // The display's text is taken out and let go by the display, so that the
    // block is appended to it in place.
    QString text = display_.text();
    display_.setText(QString());
    text += block;
    display_.setText(text);
    display_.setSelStart(display_.length());
    reportBadFields();
    return {};
}

}  // namespace tovrin
