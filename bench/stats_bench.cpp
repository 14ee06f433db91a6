// Speed and memory of the statistics over five years of a busy counter:
// 300 sales a day, three barcode items each. Prints the time of each report
// (the whole click), its ratio to only reading and decoding the journal it
// scans, and its peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <map>
#include <string>

#include "checkout/journal.h"
#include "checkout/money.h"
#include "platform/display.h"
#include "platform/numbers.h"
#include "platform/qt/gbk_text_files.h"
#include "stats/periods.h"
#include "stats/statistics.h"

namespace {

using namespace tovrin;
using Clock = std::chrono::steady_clock;

const QDate kFirstDay(2014, 1, 1);
const QDate kLastDay(2018, 12, 28);  // today: five years of journals end here
constexpr int kSalesPerDay = 300;

class AnsweringPrompts : public Prompts {
public:
    void ok(const QString&, const QString&) override { ++oks; }
    bool yesNo(const QString&, const QString&) override {
        const bool a = answers.empty() ? false : answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    std::deque<bool> answers;
    int oks = 0;
};

class Caption : public FormControls {
public:
    QString text(Box) const override { return {}; }
    void setText(Box, const QString&) override {}
    QString caption() const override { return title; }
    void setCaption(const QString& c) override { title = c; }
    QString command3Caption() const override { return {}; }
    void setCommand3Caption(const QString&) override {}
    void setText2FontSize(double) override {}
    QString title;
};

class FixedClock : public tovrin::Clock {
public:
    QDateTime now() const override { return QDateTime(kLastDay, QTime(21, 30, 0)); }
};

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
    QFile sales(dir + QStringLiteral("/tovrincalculate.txt"));
    QFile blocks(dir + QStringLiteral("/tovrinback.txt"));
    if (!sales.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !blocks.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write the journals in %s\n", qPrintable(dir));
        std::exit(1);
    }
    const NumberFormat numbers;
    const FixedClock clock;
    const QStringList goods = {QStringLiteral("纯牛奶250ml"), QStringLiteral("矿泉水"),
                               QStringLiteral("方便面"),      QStringLiteral("可乐"),
                               QStringLiteral("面包"),        QStringLiteral("鸡蛋"),
                               QStringLiteral("食用油5L"),    QStringLiteral("大米10kg"),
                               QStringLiteral("酱油"),        QStringLiteral("洗衣粉")};
    const QString CRLF = QStringLiteral("\r\n");
    QStringEncoder encoder("GBK");
    unsigned seed = 1;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    for (QDate day = kFirstDay; day <= kLastDay; day = day.addDays(1)) {
        QString saleText, blockText;
        for (int s = 0; s < kSalesPerDay; ++s) {
            const QDateTime when(day, QTime(8, 0).addSecs(s * 144 + int(next() % 100)));
            const QString dt = clock.format(when);
            QString items;
            double total = 0, discount = 0, quantity = 0;
            for (int i = 0; i < 3; ++i) {
                const int g = int(next() % 200);
                const double price = 1 + g % 37 + (g % 4) * 0.25;
                const double qty = 1 + next() % 3;
                const double itemDiscount = (next() % 5 == 0) ? 0.5 : 0;
                QString name = goods[g % goods.size()] + QString::number(g / goods.size());
                total += price * qty;
                discount += itemDiscount;
                quantity += qty;
                items += records::itemLine({tiaozhen(name, 39), wct(itemDiscount, numbers, true),
                                            wct(price * qty, numbers, true), wct(qty, numbers, true),
                                            QStringLiteral("69012345%1").arg(g, 5, 10, QLatin1Char('0'))},
                                           true) +
                         CRLF;
            }
            const double due = total - discount;
            const double received = std::ceil(due / 10) * 10;
            saleText += records::saleLine({dt, wct(discount, numbers, true), wct(received, numbers, true),
                                           wct(total, numbers, true), wct(quantity, numbers, true),
                                           wct(received - due, numbers, true)},
                                          false) +
                        CRLF;
            blockText += records::blockHead(dt, wct(due, numbers, true), QStringLiteral("3"),
                                            wct(discount, numbers, true), wct(total, numbers, true),
                                            numbers.plain(quantity)) +
                         items + CRLF + CRLF;
        }
        sales.write(encoder.encode(saleText));
        blocks.write(encoder.encode(blockText));
    }
    sales.close();
    blocks.close();
    QFile(done).open(QIODevice::WriteOnly);
}

// Peak resident memory since the last reset, in MB (Linux).
void resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}
double peakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return -1;
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
    std::initializer_list<bool> answers;
    QString journal;
    double limit;  // seconds
};

std::map<std::string, double> baselines;
std::map<std::string, double> peaks;
std::map<std::string, double> times;

double runReport(const Report& report) {
    AnsweringPrompts prompts;
    prompts.answers = report.answers;
    Caption form;
    TextModel display(12);
    GbkTextFiles files;
    FixedClock clock;
    NumberFormat numbers;
    Statistics stats(form, display, prompts, files, clock, numbers, folder());
    stats.zhuanda = clock.dateText();
    const auto start = Clock::now();
    stats.Command1_1_Click();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    benchmark::DoNotOptimize(display.text().size());
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

    const std::vector<Report> reports = {
        {"amount_detail_month", {true, false}, calc, 1.0},
        {"amount_detail_day", {true, true}, calc, 0.5},
        {"goods_month", {false, false}, back, 1.0},
        {"goods_day", {false, true}, back, 1.0},
    };
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
                                         double best = 1e9, peak = 0;
                                         for (auto _ : state) {
                                             resetPeak();
                                             const double t = runReport(report);
                                             peak = std::max(peak, peakMb());
                                             state.SetIterationTime(t);
                                             best = std::min(best, t);
                                         }
                                         const double base = baselines[report.journal.toStdString()];
                                         state.counters["ratio_to_read_decode"] = base > 0 ? best / base : 0;
                                         state.counters["peak_MB"] = peak;
                                         peaks[report.name] = peak;
                                         times[report.name] = best;
                                     })
            ->UseManualTime()
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n%-22s %10s %8s %12s %10s %s\n", "report", "best ms", "limit", "x read+dec", "peak MB", "");
    for (const Report& report : reports) {
        if (!times.count(report.name)) continue;
        const double base = baselines[report.journal.toStdString()];
        const double t = times[report.name];
        const bool ok = t <= report.limit && (base <= 0 || t <= 5 * base) && peaks[report.name] < 300;
        std::printf("%-22s %10.1f %8.0f %12.2f %10.1f %s\n", report.name, t * 1000, report.limit * 1000,
                    base > 0 ? t / base : 0, peaks[report.name], ok ? "ok" : "OVER");
    }
    for (const auto& [journal, seconds] : baselines) {
        std::printf("read+decode %s: %.1f ms\n", journal.c_str(), seconds * 1000);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory of the whole run: %.1f MB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
