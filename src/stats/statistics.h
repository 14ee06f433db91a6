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
#include "records/haystack.h"
#include "stats/reports.h"

namespace tovrin {

// The statistics button "统计": the two questions, the amount-detail report
// over tovrincalculate.txt with its summary, and the goods report over
// tovrinback.txt. The report steps are in stats/reports.h; this class asks,
// reads and writes the files, and shows.
class Statistics {
public:
    // `zhuanda` is today's date text, the day key, as taken at start-up.
    Statistics(FormControls& form, TextModel& display, Prompts& prompts, TextFiles& files, const Clock& clock,
               ReportNumbers numbers, QString zhuanda, QString folder);

    // The click of Command1(1).
    void Command1_1_Click();

    // What the last runs left.
    // `dgyue`: the terminator of the amount detail's key.
    const QString& dgyue() const { return dgyue_; }
    // `dfyue`: the terminator of the goods report's key.
    const QString& dfyue() const { return dfyue_; }
    // `eyues`: the goods report's period caption.
    const QString& eyues() const { return eyues_; }
    // `detailLines`: the gathered lines framed by TABs (position n holds two
    // TABs; later positions keep older content).
    const QStringList& detailLines() const { return detailLines_; }
    // `lme`: the count n of the gathered lines.
    qsizetype lme() const { return lme_; }
    // `statTable`: the fields of the amount detail's lines: statTable()[r][k] is field k
    // of position r; rows beyond those last written keep older content.
    const std::vector<QStringList>& statTable() const { return statTable_; }

private:
    void amountDetail();
    void goods();

    // `query1`, the amount detail: gathers the period's sale lines into
    // betweenp.txt and detailLines, returns their number.
    qsizetype query1(const QString& key);
    // `devision1`: splits detailLines into statTable, writes betweenpq.txt and
    // the count into the window title.
    void devision1();
    // `query2`: shows betweenp.txt and gathers its lines that hold the key.
    qsizetype query2(const QString& key);
    // Stores the positions of a listing in detailLines and its count.
    qsizetype keep(Gathered listed);

    // `query5`, the goods report of the period that starts with `key` + dfyue
    // in the journal at `path`, up to the end marker.
    void query5(const QString& key, const QString& path, const QString& endMarker);
    // `tongji`: groups the item lines of the section and writes betweensum.txt.
    // The section is taken over: it can be as long as the journal.
    void tongji(const QString& label, QString section);

    void reportBadFields(qsizetype count);
    // Rewrites a work file; a failure is reported and gives false.
    bool writeWorkFile(const QString& name, const QString& content);
    QString path(const QString& name) const;

    FormControls& form_;
    TextModel& display_;
    Prompts& prompts_;
    TextFiles& files_;
    const Clock& clock_;
    const ReportNumbers numbers_;
    const QString zhuanda_;
    const QString folder_;

    QString dgyue_;
    QString dfyue_;
    QString eyues_;
    QStringList detailLines_;
    std::vector<QStringList> statTable_;
    qsizetype lme_ = 0;
    // Whether the last amount detail listed every line of its period.
    bool listedAll_ = true;
    // betweenp.txt as last written, for when the file could not be written.
    QString unsavedDetail_;
    bool detailUnsaved_ = false;
};

}  // namespace tovrin
