#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/form.h"
#include "platform/numbers.h"
#include "platform/prompts.h"
#include "platform/textfiles.h"
#include "records/files.h"

namespace tovrin {

class Haystack;

// The statistics button "统计": the two questions, the amount-detail report
// over tovrincalculate.txt with its summary, and the goods report over
// tovrinback.txt.
class Statistics {
public:
    static inline const QString& kNoRecords = records::kNoRecords;
    static inline const QString kNoJournal = QStringLiteral("还没有营收记录！");
    static inline const QString kNoBarcodeRecords = QStringLiteral("没有 条码结算 的商品的营收记录！");
    static inline const QString kItemLabel = QStringLiteral("商品总价格：  ");

    Statistics(FormControls& form, TextModel& display, Prompts& prompts, TextFiles& files, const Clock& clock,
               const NumberFormat& numbers, QString folder);

    // Today's date text, the day key; set by the window at start-up.
    QString zhuanda;
    // The number conversion writes "0" before a fraction (the window's probe).
    bool zerob = true;

    // Key terminators and the period caption of the last run.
    QString dgyue;
    QString dfyue;
    QString eyues;

    // The gathered lines framed by TABs (position n holds two TABs) and their
    // fields: statTable[r][k] is field k of detailLines[r].
    QStringList detailLines;
    std::vector<QStringList> statTable;
    qsizetype lme = 0, lm = 0, pab = 0;

    // The click of Command1(1).
    void Command1_1_Click();

    // Amount detail: gathers the period's sale lines into betweenp.txt and
    // detailLines, returns their number.
    qsizetype query1(const QString& key);
    // Splits detailLines into statTable, writes betweenpq.txt and the count
    // into the window title.
    QString devision1();
    // Shows betweenp.txt and gathers its lines that hold the key.
    qsizetype query2(const QString& key);

    // Goods report of the period that starts with `key` + dfyue in the
    // journal at `path`, up to the end marker.
    double query5(const QString& key, const QString& path, const QString& endMarker);
    // Groups the item lines of the section and writes betweensum.txt.
    // The section is taken over: it can be as long as the journal.
    QString tongji(const QString& label, QString section);

private:
    void amountDetail();
    void goods();
    // The numeric value of a journal field; a field that is not a number
    // counts as 0 and is counted in badFields_.
    double amount(const QString& field);
    void reportBadFields();
    // Rewrites a work file; a failure is reported and gives false.
    bool writeWorkFile(const QString& name, const QString& content);
    QString money(double x) const;
    QString path(const QString& name) const;

    FormControls& form_;
    TextModel& display_;
    Prompts& prompts_;
    TextFiles& files_;
    const Clock& clock_;
    const NumberFormat& numbers_;
    QString folder_;
    qsizetype badFields_ = 0;
    // betweenp.txt as last written, for when the file could not be written.
    QString unsavedDetail_;
    bool detailUnsaved_ = false;
};

}  // namespace tovrin
