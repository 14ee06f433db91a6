// The goods report of a full 30-day month (300 sales a day, three items
// each) shown in the window's display: the time from the answer to the last
// repaint of the view, the report's own work without a view, and the memory
// the shown report takes. Then the report read as assistive technology reads
// it: a piece at a time and a line at a time, against one copy of the whole
// text (what every query would cost if it copied it), and the memory the
// reading takes. The report is checked to be the month's, the view to show
// exactly the model's text and the reading to give the shown text.
// Offscreen platform by default.
#include <malloc.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/display.h"
#include "platform/numbers.h"
#include "platform/qt/display_accessible.h"
#include "platform/qt/display_view.h"
#include "platform/qt/gbk_text_files.h"
#include "records/money.h"
#include "records/periods.h"
#include "stats/statistics.h"
#include "support/fakes.h"
#include "support/journals.h"
#include "support/memory.h"

namespace {

using namespace tovrin;

const QDate kToday(2018, 11, 30);
constexpr int kSalesPerDay = 300;

const test::FakeClock kClock(QDateTime(kToday, QTime(21, 30, 0)));

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "display bench FAILED: %s\n", qPrintable(why));
    std::exit(2);
}

// The block journal of the month and of the day before it, as the checkout
// writes it.
void generate(const QString& path) {
    if (!bench::writeJournals(QDate(kToday.year(), kToday.month(), 1).addDays(-1), kToday, kSalesPerDay,
                              path))
        fail(QStringLiteral("cannot write ") + path);
}

QString dayKey(const QDate& day) {
    return kClock.format(QDateTime(day, QTime(12, 0))).section(QLatin1Char(' '), 0, 0);
}

// The month's goods report into the model; checks it is that report.
void runReport(TextModel& display, const QString& folder) {
    test::FakePrompts prompts;
    prompts.answer({false, false});
    test::FakeForm form;
    GbkTextFiles files;
    NumberFormat numbers;
    Statistics stats(form, display, prompts, files, kClock, ReportNumbers{numbers}, kClock.dateText(),
                     folder);
    stats.Command1_1_Click();
    const QString& text = display.text();
    const QString period = dyue(dayKey(kToday)) + QStringLiteral("月");
    const QStringList oks = prompts.texts(QStringLiteral("ok"));
    if (oks.size() != 1 || !oks[0].contains(period) || !text.contains(QStringLiteral("商品应收金额总计:")) ||
        !text.contains(dayKey(QDate(kToday.year(), kToday.month(), 1)) + QLatin1Char(' ')) ||
        text.contains(dayKey(QDate(kToday.year(), kToday.month(), 1).addDays(-1)) + QLatin1Char(' '))) {
        fail(QStringLiteral("not the goods report of the month: ") + oks.join(u' '));
    }
}

// Reads the shown report through the view's accessible text; false when the
// reading copies the whole text: when it takes half the text's memory or
// more, or more time than five copies of it.
bool readThrough(DisplayView& view) {
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&view)->textInterface();
    const int count = text->characterCount();
    const QString shown = view.toPlainText();
    // Large blocks go back to the system when freed, so that the peak shows
    // any copy made while reading.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    const double textMb = 2.0 * count / 1048576.0;
    const double base = bench::residentMb();
    bench::resetPeak();

    constexpr int kPiece = 65536;
    QElapsedTimer t;
    t.start();
    for (int at = 0; at < count; at += kPiece) {
        const int to = std::min(count, at + kPiece);
        if (text->text(at, to) != QStringView(shown).sliced(at, to - at))
            fail(QStringLiteral("the piece from %1 differs from the shown text").arg(at));
    }
    const double piecesMs = t.nsecsElapsed() / 1e6;
    const double grown = bench::peakMb() - base;

    constexpr int kLines = 2000;
    t.restart();
    for (int k = 0; k < kLines; ++k) {
        const int offset = int(qint64(count) * k / kLines);
        int start = -1, end = -1;
        const QString line = text->textAtOffset(offset, QAccessible::LineBoundary, &start, &end);
        if (start > offset || end <= offset || line != QStringView(shown).sliced(start, end - start))
            fail(QStringLiteral("the line at %1 is not the shown one").arg(offset));
    }
    const double lineUs = t.nsecsElapsed() / 1e3 / kLines;

    t.restart();
    const QString copy = view.toPlainText();
    const double copyMs = t.nsecsElapsed() / 1e6;

    const bool quick = piecesMs <= 5 * copyMs, small = grown < textMb / 2;
    std::printf("read through, %d characters at a time:  %8.1f ms (%.1f copies of the whole text) %s\n",
                kPiece, piecesMs, piecesMs / copyMs, quick ? "ok" : "OVER");
    std::printf("a line at %d offsets:               %8.1f us each (one copy of the whole text: %.1f ms)\n",
                kLines, lineUs, copyMs);
    std::printf("memory while reading through:       %8.1f MB more (the text: %.1f MB) %s\n", grown, textMb,
                small ? "ok" : "OVER");
    return copy.size() == count && quick && small;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installAccessibleFactory();
    QTemporaryDir dir;
    generate(dir.filePath(QStringLiteral("tovrinback.txt")));

    // The report's own work, with no view.
    double workMs = 1e9;
    for (int i = 0; i < 3; ++i) {
        TextModel model(12);
        QElapsedTimer t;
        t.start();
        runReport(model, dir.path());
        workMs = std::min(workMs, t.nsecsElapsed() / 1e6);
    }

    TextModel model(12);
    DisplayView view(model);
    view.resize(1300, 600);
    view.show();
    model.append(QStringLiteral("0"), 12);
    app.processEvents();
    view.viewport()->repaint();

    double best = 1e9, worst = 0, before = 0, after = 0, peak = 0;
    for (int i = 0; i < 3; ++i) {
        model.setText(QStringLiteral("0"));
        app.processEvents();
        view.viewport()->repaint();
        if (i == 0) before = bench::residentMb();
        bench::resetPeak();
        QElapsedTimer t;
        t.start();
        runReport(model, dir.path());
        app.processEvents();
        view.viewport()->repaint();
        app.processEvents();
        const double ms = t.nsecsElapsed() / 1e6;
        best = std::min(best, ms);
        worst = std::max(worst, ms);
        if (i == 0) after = bench::residentMb();
        peak = std::max(peak, bench::peakMb());
    }
    // The view holds every line of the model's text, the last ones last.
    const QStringList lines = model.text().split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (view.lineCount() != lines.size()) {
        fail(QStringLiteral("the view shows %1 lines, the text has %2")
                 .arg(view.lineCount())
                 .arg(lines.size()));
    }
    for (qsizetype k : {qsizetype(0), lines.size() / 2, lines.size() - 3, lines.size() - 2}) {
        if (view.lineText(k) != lines[k]) fail(QStringLiteral("line %1 differs").arg(k));
    }

    std::printf("goods report of a 30-day month, %d sales a day: %lld characters shown\n", kSalesPerDay,
                (long long)model.length());
    std::printf("report alone (no view):          %8.1f ms\n", workMs);
    std::printf("answer to last repaint:          %8.1f ms best, %.1f ms worst (bar: 300 ms) %s\n", best,
                worst, best <= 300 ? "ok" : "OVER");
    std::printf(
        "resident before / after / peak:  %8.1f / %.1f / %.1f MB (first run; the shown report takes %.1f "
        "MB)\n",
        before, after, peak, after - before);
    const bool readable = readThrough(view);
    return best <= 300 && readable ? 0 : 1;
}
