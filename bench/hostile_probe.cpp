// Runs one import or one report on given files and prints what it gave, its
// time and its peak memory, for measuring the files that
// tools/make_hostile_testdata.py writes:
//
//   bench_hostile_probe import WORKBOOK FOLDER
//   bench_hostile_probe report FOLDER amount-day|amount-month|goods-day|goods-month
//
// The import writes FOLDER/collector.txt; the reports read the journals of
// 2018-12-28 in FOLDER. The exit status is 0 when the run ended (imported or
// refused), whatever the outcome; the outcome is printed.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <string>

#include "barcode/import.h"
#include "platform/display.h"
#include "platform/numbers.h"
#include "platform/qt/gbk_text_files.h"
#include "platform/qt/workbook_reader.h"
#include "stats/statistics.h"

namespace {

using namespace tovrin;

class RecordingPrompts : public Prompts {
public:
    void ok(const QString& text, const QString&) override { said << text; }
    bool yesNo(const QString&, const QString&) override {
        const bool a = answers.empty() ? true : answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    std::deque<bool> answers;
    QStringList said;
};

class FixedChooser : public FileChooser {
public:
    std::optional<QString> openFile(const std::vector<FileFilter>&) override { return path; }
    QString path;
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

class FixedClock : public Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2018, 12, 28), QTime(21, 30, 0)); }
};

double peakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return -1;
}

void print(const QStringList& said) {
    for (const QString& s : said) std::printf("  said: %s\n", qPrintable(s.left(300).simplified()));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto start = std::chrono::steady_clock::now();
    RecordingPrompts prompts;
    NumberFormat numbers;
    FixedClock clock;
    if (args.size() == 4 && args[1] == QLatin1String("import")) {
        FixedChooser chooser;
        chooser.path = args[2];
        WorkbookReader reader;
        BarcodeImport import(prompts, chooser, reader, clock, numbers, args[3]);
        const QString result = import.qqrs();
        std::printf("import: %s\n", result == QLatin1String("ok") ? "imported" : "refused");
    } else if (args.size() == 4 && args[1] == QLatin1String("report")) {
        const QString which = args[3];
        prompts.answers = {which.startsWith(QLatin1String("amount")), which.endsWith(QLatin1String("day"))};
        Caption form;
        TextModel display(12);
        GbkTextFiles files;
        Statistics stats(form, display, prompts, files, clock, numbers, args[2]);
        stats.zhuanda = clock.dateText();
        stats.Command1_1_Click();
        std::printf("report %s: %lld characters shown, title \"%s\"\n", qPrintable(which),
                    static_cast<long long>(display.text().size()), qPrintable(form.title));
    } else {
        std::fprintf(stderr, "usage: %s import WORKBOOK FOLDER | report FOLDER amount-day|...\n", argv[0]);
        return 2;
    }
    print(prompts.said);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("time %.2f s, peak %.0f MB\n", seconds, peakMb());
    return 0;
}
