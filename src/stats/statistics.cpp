#include "stats/statistics.h"

#include <optional>
#include <utility>

#include "platform/folder.h"
#include "platform/memory.h"
#include "records/files.h"
#include "records/haystack.h"
#include "records/lines.h"
#include "records/periods.h"

namespace tovrin {

namespace {

const QString kDetailFile = QStringLiteral("betweenp.txt");
const QString kTraceFile = QStringLiteral("betweenpq.txt");
const QString kGoodsFile = QStringLiteral("betweensum.txt");
const QString kNoJournal = QStringLiteral("还没有营收记录！");
const QString kNoBarcodeRecords = QStringLiteral("没有 条码结算 的商品的营收记录！");

}  // namespace

Statistics::Statistics(FormControls& form, TextModel& display, Prompts& prompts, TextFiles& files,
                       const Clock& clock, ReportNumbers numbers, QString zhuanda, QString folder)
    : form_(form),
      display_(display),
      prompts_(prompts),
      files_(files),
      clock_(clock),
      numbers_(numbers),
      zhuanda_(std::move(zhuanda)),
      folder_(std::move(folder)) {}

QString Statistics::path(const QString& name) const { return folderFile(folder_, name); }

void Statistics::reportBadFields(qsizetype count) {
    if (count == 0) return;
    prompts_.ok(QStringLiteral("有 %1 个金额不是数字（记录可能被改动过），统计时按 0 计算。").arg(count));
}

bool Statistics::writeWorkFile(const QString& name, const QString& content) {
    const std::optional<QString> failure = files_.rewrite(path(name), content);
    if (failure) prompts_.ok(writeFailure(path(name), *failure));
    return !failure;
}

void Statistics::Command1_1_Click() {
    const ReturnFreeMemoryAtEnd release;  // the report's own buffers are gone by then
    const QString question =
        QStringLiteral("统计信息：") + CRLF +
        QStringLiteral("    如果选“是”，可以对当天或当月的交易金额明细进行统计！") + CRLF +
        QStringLiteral("如果选“否”，将对当天或当月条码结算或价格结算商品的销售记录进行统计！") + CRLF +
        QStringLiteral("请选择：   ");
    if (prompts_.yesNo(question, kBoxTitle)) {
        amountDetail();
    } else {
        goods();
    }
}

void Statistics::amountDetail() {
    const QString month = dyue(zhuanda_);
    const QString question =
        QStringLiteral("交易金额明细:") + CRLF + QStringLiteral("    如果选“是”，那么将对当天") + zhuanda_ +
        QStringLiteral("交易金额明细进行统计！") + CRLF + QStringLiteral("如果选“否”，将对当月") + month +
        QStringLiteral("月的交易金额明细进行统计！") + CRLF + QStringLiteral("请选择：   ");
    QString key;
    if (prompts_.yesNo(question, kBoxTitle)) {
        key = zhuanda_;
        dgyue_ = QStringLiteral(" ");
    } else {
        key = month;
        dgyue_ = keyTerminator(key, zhuanda_);
    }

    const qsizetype n = query1(key);
    const bool listedAll = listedAll_;
    devision1();
    display_.setSelLength(0);
    display_.setSelFontSize(12);
    display_.setSelStart(display_.length());

    const AmountSums sums = sumAmounts(statTable_, n, numbers_.numbers);
    // Each line of the summary carries the time it was written at.
    const QString firstDateTime = clock_.dateTimeText();
    const QString secondDateTime = clock_.dateTimeText();
    const QString summary = amountSummary(sums, firstDateTime, secondDateTime, numbers_);

    query2(zhuanda_);
    // A listing stopped at its threshold holds part of the period only: its
    // sums would be wrong totals, so none are shown.
    if (!listedAll) return;
    display_.append(summary, 15);
    reportBadFields(sums.badFields);
}

qsizetype Statistics::query1(const QString& key) {
    display_.setText(QString());
    const QString needle = upperSameLength(key) + dgyue_;
    Gathered lines;
    {
        const JournalText journal = openJournal(files_, path(kSaleFile), {needle});
        if (journal.state == TextFiles::State::Unreadable) {
            prompts_.ok(readFailure(path(kSaleFile), journal.reason));
        } else if (journal.state != TextFiles::State::HasContent) {
            prompts_.ok(kNoRecords);
        }
        if (journal.text) lines = periodLines(*journal.text, needle);
    }

    Gathered listed = listedLines(std::move(lines));
    const QString content = detailText(listed);
    listedAll_ = listed.complete;
    const qsizetype n = keep(std::move(listed));
    detailUnsaved_ = !writeWorkFile(kDetailFile, content);
    // Kept only for when the file could not be written.
    unsavedDetail_ = detailUnsaved_ ? content : QString();
    if (!listedAll_) prompts_.ok(kThresholdMessage);
    return n;
}

qsizetype Statistics::keep(Gathered listed) {
    const qsizetype n = qsizetype(listed.lines.size());
    QStringList positions = framedPositions(std::move(listed));
    if (detailLines_.size() < n + 1) detailLines_.resize(n + 1);
    // Each line it replaces is let go at once: both can be long.
    for (qsizetype w = 0; w < positions.size(); ++w) detailLines_[w] = std::exchange(positions[w], QString());
    // A listing stopped at its threshold has no line of two TABs at n.
    if (positions.size() == n) detailLines_[n].clear();
    lme_ = n;
    return n;
}

void Statistics::devision1() {
    const qsizetype n = lme_;
    std::vector<QStringList> rows = fieldRows(detailLines_, n);
    writeWorkFile(kTraceFile, traceText(rows));
    if (n <= 0) return;
    if (qsizetype(statTable_.size()) < n + 1) statTable_.resize(size_t(n + 1));
    // A row holds exactly the fields of its line.
    for (qsizetype r = 0; r <= n; ++r) statTable_[size_t(r)] = std::move(rows[size_t(r)]);
    form_.setCaption(kBoxTitle + QStringLiteral("     ") + QString::number(n) + QStringLiteral("   "));
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
    Gathered lines;
    if (!needle.isEmpty()) {
        // A key that upper-casing cannot move is searched in the display's
        // own text; only the lines cut out are upper-cased.
        const bool blind = caseBlind(needle);
        TextHaystack text(blind ? display_.text() : upperSameLength(display_.text()), blind);
        lines = periodLines(text, needle);
    }
    Gathered listed = listedLines(std::move(lines));
    const bool complete = listed.complete;
    const qsizetype n = keep(std::move(listed));
    if (!complete) prompts_.ok(kThresholdMessage);
    return n;
}

void Statistics::goods() {
    eyues_.clear();
    dfyue_.clear();
    const QString month = dyue(zhuanda_);
    const QString question =
        QStringLiteral("条码结算商品统计：") + CRLF + QStringLiteral("    如果选“是”，那么将对") + zhuanda_ +
        QStringLiteral("当天的销售商品进行统计！") + CRLF + QStringLiteral("如果选“否”，将对当月") + month +
        QStringLiteral("的销售商品进行统计！") + CRLF + QStringLiteral("请选择：   ");
    const QString journal = path(kBlockFile);
    if (prompts_.yesNo(question, kBoxTitle)) {
        dfyue_ = QStringLiteral(" ");
        eyues_ = zhuanda_;
        query5(zhuanda_, journal, dyuea(zhuanda_, zhuanda_));
    } else {
        dfyue_ = keyTerminator(zhuanda_, zhuanda_);
        eyues_ = month + QStringLiteral("月");
        query5(month, journal, dyueb(zhuanda_));
    }
}

void Statistics::query5(const QString& key, const QString& journalPath, const QString& endMarker) {
    display_.setText(QString());
    const QString k = goodsKey(key);
    std::optional<QString> section;
    {
        const JournalText journal = openJournal(files_, journalPath, {k + dfyue_, k, endMarker});
        if (journal.state == TextFiles::State::Unreadable) {
            prompts_.ok(readFailure(journalPath, journal.reason));
        } else if (journal.state != TextFiles::State::HasContent) {
            prompts_.ok(kNoJournal);
        }
        const std::optional<Span> span =
            journal.text ? goodsSpan(*journal.text, key, dfyue_, endMarker) : std::nullopt;
        if (span && span->size() > kReportText) {
            display_.setText(QString());
            prompts_.ok(kThresholdMessage);
            return;
        }
        if (span) section = journal.text->section(span->from, span->to);
    }
    if (!section) {
        display_.setText(QString());
        prompts_.ok(kNoBarcodeRecords);
        return;
    }

    display_.setText(QString());
    // The section can be as long as the journal: it goes to the display as it
    // is, and the goods are counted in one copy of it (with room for the CR
    // LF put behind it).
    const qsizetype length = section->size();
    QString shown = std::move(*section);
    section.reset();
    shown += goodsHeading(clock_.dateTimeText());
    display_.append(shown, 12);
    QString counted;
    counted.reserve(length + CRLF.size());
    counted += QStringView(shown).left(length);
    shown = QString();
    tongji(kItemLabel, std::move(counted));
}

void Statistics::tongji(const QString& label, QString section) {
    GoodsTally tally;
    {
        section += CRLF;
        const QString text = upperSameLength(std::move(section));
        const std::vector<QStringView> lines = itemLines(text, label);
        if (qsizetype(lines.size()) > kItemLines) {
            // Counted in part they would be wrong totals.
            prompts_.ok(kThresholdMessage);
            return;
        }
        prompts_.ok(QStringLiteral(" 温情提示：") + CRLF + QStringLiteral("参与统计的是:") + eyues_ +
                        QStringLiteral("条码结算的商品的数量。"),
                    kBoxTitle);
        tally = groupItems(lines, numbers_.numbers);
    }

    const QString summary = goodsSummary(tally, numbers_);
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

    // The whole text is set anew, the block after it (in place: the text is
    // not copied).
    display_.setTextAppending(goodsTotals(tally, numbers_));
    display_.setSelStart(display_.length());
    reportBadFields(tally.badFields);
}

}  // namespace tovrin
