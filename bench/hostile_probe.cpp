// Runs one import or one report on given files and prints what it gave, its
// time and its peak memory, for measuring the files that
// tools/make_hostile_testdata.py writes:
//
//   bench_hostile_probe import WORKBOOK FOLDER
//   bench_hostile_probe report FOLDER amount-day|amount-month|goods-day|goods-month
//   bench_hostile_probe lookup FOLDER BARCODE
//
// The import writes FOLDER/collector.txt; the reports read the journals of
// 2018-12-28 in FOLDER; the lookup reads FOLDER/collector.txt. The exit status is 0 when the run ended
// (imported or refused), whatever the outcome; the outcome is printed.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>

#include "barcode/import.h"
#include "barcode/lookup.h"
#include "platform/display.h"
#include "platform/numbers.h"
#include "platform/qt/gbk_text_files.h"
#include "stats/statistics.h"
#include "support/fakes.h"
#include "support/memory.h"
#include "workbook/workbook_reader.h"

namespace {

using namespace tovrin;

void print(const QStringList& said) {
    for (const QString& s : said) std::printf("  said: %s\n", qPrintable(s.left(300).simplified()));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto start = std::chrono::steady_clock::now();
    test::FakePrompts prompts;
    prompts.otherwise = true;
    NumberFormat numbers;
    test::FakeClock clock(QDateTime(QDate(2018, 12, 28), QTime(21, 30, 0)));
    if (args.size() == 4 && args[1] == QLatin1String("import")) {
        test::FakeChooser chooser;
        chooser.answer = args[2];
        WorkbookReader reader;
        GbkTextFiles files;
        BarcodeImport import(files, prompts, chooser, reader, clock, numbers, args[3]);
        std::printf("import: %s\n", import.qqrs() ? "imported" : "refused");
    } else if (args.size() == 4 && args[1] == QLatin1String("report")) {
        const QString which = args[3];
        prompts.answer({which.startsWith(QLatin1String("amount")), which.endsWith(QLatin1String("day"))});
        test::FakeForm form;
        TextModel display(12);
        GbkTextFiles files;
        Statistics stats(form, display, prompts, files, clock, ReportNumbers{numbers}, clock.dateText(),
                         args[2]);
        stats.Command1_1_Click();
        std::printf("report %s: %lld characters shown, title \"%s\"\n", qPrintable(which),
                    static_cast<long long>(display.text().size()), qPrintable(form.caption()));
    } else if (args.size() == 4 && args[1] == QLatin1String("lookup")) {
        GbkTextFiles files;
        BarcodeLookup lookup(files, prompts, args[2]);
        std::printf("lookup %s: price \"%s\"\n", qPrintable(args[3]), qPrintable(lookup.kuaisu(args[3])));
    } else {
        std::fprintf(stderr,
                     "usage: %s import WORKBOOK FOLDER | report FOLDER amount-day|... | lookup FOLDER CODE\n",
                     argv[0]);
        return 2;
    }
    print(prompts.texts(QStringLiteral("ok")));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("time %.2f s, peak %.0f MB\n", seconds, bench::peakMb());
    return 0;
}
