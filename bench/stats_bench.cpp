// Speed and memory of the statistics over five years of a busy counter:
// 300 sales a day, three barcode items each. Prints the time of each report
// (the whole click), its ratio to only reading and decoding the journal it
// scans, its peak memory and the resident memory after it; then the same
// reports over a copy of the journals with LF line ends, as an editor on
// Linux saves them, against the CR LF figures. Every report is
// checked to be the one named: its two answers were asked for and used, it
// covered the day or the month named and no other, and (for the amount
// detail) it read the number of sales of that period.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/numbers.h"
#include "platform/qt/gbk_text_files.h"
#include "records/periods.h"
#include "stats/statistics.h"
#include "support/fakes.h"
#include "support/journals.h"
#include "support/memory.h"

namespace {

using namespace tovrin;
using Clock = std::chrono::steady_clock;

const QDate kFirstDay(2014, 1, 1);
const QDate kLastDay(2018, 12, 28);  // today: five years of journals end here
constexpr int kSalesPerDay = 300;

using test::FakeForm;
using test::FakePrompts;
const test::FakeClock kClock(QDateTime(kLastDay, QTime(21, 30, 0)));

QString folder() {
    const QByteArray env = qgetenv("TOVRIN_BENCH_DIR");
    return env.isEmpty() ? QDir::tempPath() + QStringLiteral("/tovrin_stats_bench")
                         : QString::fromLocal8Bit(env);
}

// Writes the two journals as the checkout writes them, a day at a time.
void generate(const QString& dir) {
    QDir().mkpath(dir);
    const QString done = dir + QStringLiteral("/complete");
    if (QFile::exists(done)) return;
    std::printf("generating journals in %s ...\n", qPrintable(dir));
    std::fflush(stdout);
    if (!bench::writeJournals(kFirstDay, kLastDay, kSalesPerDay, dir + QStringLiteral("/tovrinback.txt"),
                              dir + QStringLiteral("/tovrincalculate.txt"))) {
        std::fprintf(stderr, "cannot write the journals in %s\n", qPrintable(dir));
        std::exit(1);
    }
    QFile(done).open(QIODevice::WriteOnly);
}

// The same journals with every CR LF written as LF, in the folder "lf".
QString lfCopy(const QString& dir) {
    const QString lf = dir + QStringLiteral("/lf");
    const QString done = lf + QStringLiteral("/complete");
    if (QFile::exists(done)) return lf;
    QDir().mkpath(lf);
    for (const QString& name : {QStringLiteral("tovrincalculate.txt"), QStringLiteral("tovrinback.txt")}) {
        QFile in(dir + QLatin1Char('/') + name), out(lf + QLatin1Char('/') + name);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(name));
            std::exit(1);
        }
        for (QByteArray chunk; !(chunk = in.read(4 << 20)).isEmpty();) {
            if (chunk.endsWith('\r')) chunk += in.read(1);
            out.write(chunk.replace("\r\n", "\n"));
        }
    }
    QFile(done).open(QIODevice::WriteOnly);
    return lf;
}

// Only reading and decoding the whole journal, a chunk at a time.
double readAndDecode(const QString& path) {
    const auto start = Clock::now();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    QStringDecoder decoder("GBK");
    QByteArray chunk(4 << 20, Qt::Uninitialized);
    qint64 chars = 0;
    for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;) {
        chars += QString(decoder.decode(QByteArrayView(chunk.constData(), got))).size();
    }
    benchmark::DoNotOptimize(chars);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Report {
    const char* name;
    bool amounts;  // the transaction-amount detail, else the goods report
    bool today;    // else the month
    QString journal;
    double limit;    // seconds
    QString folder;  // of the journals
};

std::map<std::string, double> baselines;
std::map<std::string, double> peaks;
std::map<std::string, double> times;
std::map<std::string, double> residentAfter;
std::map<std::string, double> residentBefore;

QString dayKey(const QDate& day) {
    return kClock.format(QDateTime(day, QTime(12, 0))).section(QLatin1Char(' '), 0, 0);
}

// Stops the run when the report that ran is not the one named.
void verify(const Report& report, const FakePrompts& prompts, const FakeForm& form,
            const TextModel& display) {
    QStringList faults;
    const QStringList oks = prompts.texts(QStringLiteral("ok"));
    if (prompts.texts(QStringLiteral("yesno")).size() != 2 || prompts.answersLeft())
        faults << QStringLiteral("not asked both questions");
    const QDate first = report.today ? kLastDay : QDate(kLastDay.year(), kLastDay.month(), 1);
    const QString text = display.text();
    // The period's first day is shown, the day before it is not.
    if (!text.contains(dayKey(first) + QLatin1Char(' '))) faults << QStringLiteral("first day missing");
    if (text.contains(dayKey(first.addDays(-1)) + QLatin1Char(' ')))
        faults << QStringLiteral("earlier day shown");
    if (!text.contains(dayKey(kLastDay) + QLatin1Char(' '))) faults << QStringLiteral("last day missing");
    if (report.amounts) {
        const qint64 sales = qint64(kSalesPerDay) * (first.daysTo(kLastDay) + 1);
        if (!form.caption().trimmed().endsWith(QStringLiteral(" ") + QString::number(sales))) {
            faults << QStringLiteral("caption \"%1\", not %2 sales").arg(form.caption()).arg(sales);
        }
        if (!text.contains(QStringLiteral("找零合计："))) faults << QStringLiteral("no sums");
        if (!oks.isEmpty()) faults << oks;
    } else {
        const QString period =
            report.today ? dayKey(kLastDay) : dyue(dayKey(kLastDay)) + QStringLiteral("月");
        if (oks.size() != 1 || !oks[0].contains(QStringLiteral("参与统计的是:") + period)) {
            faults << QStringLiteral("not the goods of %1:").arg(period) << oks;
        }
        if (!text.contains(QStringLiteral("商品应收金额总计:"))) faults << QStringLiteral("no totals");
    }
    if (!faults.isEmpty()) {
        std::fprintf(stderr, "%s did not run as named: %s\n", report.name, qPrintable(faults.join(u"; ")));
        std::exit(2);
    }
}

double runReport(const Report& report) {
    FakePrompts prompts;
    prompts.answer({report.amounts, report.today});
    FakeForm form;
    TextModel display(12);
    GbkTextFiles files;
    NumberFormat numbers;
    Statistics stats(form, display, prompts, files, kClock, ReportNumbers{numbers}, kClock.dateText(),
                     report.folder);
    const auto start = Clock::now();
    stats.Command1_1_Click();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    verify(report, prompts, form, display);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    generate(folder());
    const QString calc = folder() + QStringLiteral("/tovrincalculate.txt");
    const QString back = folder() + QStringLiteral("/tovrinback.txt");
    std::printf("tovrincalculate.txt %.1f MB, tovrinback.txt %.1f MB\n", QFile(calc).size() / 1048576.0,
                QFile(back).size() / 1048576.0);

    const QString lf = lfCopy(folder());
    std::vector<Report> reports = {
        {"amount_detail_month", true, false, calc, 1.0, folder()},
        {"amount_detail_day", true, true, calc, 0.5, folder()},
        {"goods_month", false, false, back, 1.0, folder()},
        {"goods_day", false, true, back, 1.0, folder()},
    };
    // The same reports over the LF copy, named with "/lf".
    std::vector<std::string> lfNames;
    for (size_t i = 0, n = reports.size(); i < n; ++i)
        lfNames.push_back(reports[i].name + std::string("/lf"));
    for (size_t i = 0, n = reports.size(); i < n; ++i) {
        Report copy = reports[i];
        copy.name = lfNames[i].c_str();
        copy.folder = lf;
        reports.push_back(copy);
    }
    for (const QString& journal : {calc, back}) {
        const std::string key = journal.toStdString();
        const std::string name = "read_and_decode/" + QFileInfo(journal).fileName().toStdString();
        benchmark::RegisterBenchmark(name.c_str(),
                                     [key, journal](benchmark::State& state) {
                                         double best = 1e9;
                                         for (auto _ : state) {
                                             const double t = readAndDecode(journal);
                                             state.SetIterationTime(t);
                                             best = std::min(best, t);
                                         }
                                         baselines[key] = best;
                                     })
            ->UseManualTime()
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    }
    for (const Report& report : reports) {
        benchmark::RegisterBenchmark(report.name,
                                     [report](benchmark::State& state) {
                                         double best = 1e9, peak = 0, before = 0, after = 0;
                                         for (auto _ : state) {
                                             bench::resetPeak();
                                             before = bench::residentMb();
                                             const double t = runReport(report);
                                             after = std::max(after, bench::residentMb());
                                             peak = std::max(peak, bench::peakMb());
                                             state.SetIterationTime(t);
                                             best = std::min(best, t);
                                         }
                                         const double base = baselines[report.journal.toStdString()];
                                         state.counters["ratio_to_read_decode"] = base > 0 ? best / base : 0;
                                         state.counters["peak_MB"] = peak;
                                         state.counters["after_MB"] = after;
                                         peaks[report.name] = peak;
                                         residentBefore[report.name] = before;
                                         residentAfter[report.name] = after;
                                         times[report.name] = best;
                                     })
            ->UseManualTime()
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n%-22s %10s %8s %12s %10s %10s %10s %s\n", "report", "best ms", "limit", "x read+dec",
                "peak MB", "before MB", "after MB", "");
    for (const Report& report : reports) {
        if (!times.count(report.name)) continue;
        const double base = baselines[report.journal.toStdString()];
        const double t = times[report.name];
        const double before = residentBefore[report.name], after = residentAfter[report.name];
        const bool ok = t <= report.limit && (base <= 0 || t <= 5 * base) && peaks[report.name] < 300 &&
                        after - before <= 30;
        std::printf("%-22s %10.1f %8.0f %12.2f %10.1f %10.1f %10.1f %s (verified)\n", report.name, t * 1000,
                    report.limit * 1000, base > 0 ? t / base : 0, peaks[report.name], before, after,
                    ok ? "ok" : "OVER");
    }
    // LF journals within 1.2 times the time and the peak memory of CR LF.
    std::printf("\n%-22s %10s %10s %8s %10s %10s %8s %s\n", "LF against CR LF", "CR LF ms", "LF ms", "x",
                "CR LF MB", "LF MB", "x", "");
    for (size_t i = 0; i < lfNames.size(); ++i) {
        const std::string crLf = reports[i].name;
        if (!times.count(crLf) || !times.count(lfNames[i])) continue;
        const double time = times[lfNames[i]] / times[crLf], peak = peaks[lfNames[i]] / peaks[crLf];
        std::printf("%-22s %10.1f %10.1f %8.2f %10.1f %10.1f %8.2f %s\n", crLf.c_str(), times[crLf] * 1000,
                    times[lfNames[i]] * 1000, time, peaks[crLf], peaks[lfNames[i]], peak,
                    time <= 1.2 && peak <= 1.2 ? "ok" : "OVER");
    }
    for (const auto& [journal, seconds] : baselines) {
        std::printf("read+decode %s: %.1f ms\n", journal.c_str(), seconds * 1000);
    }
    std::printf("peak resident memory of the whole run: %.1f MB\n", bench::processPeakMb());
    return 0;
}
