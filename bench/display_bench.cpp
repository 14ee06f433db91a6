// The goods report of a full 30-day month (300 sales a day, three items
// each) shown in the window's display: the time from the answer to the last
// repaint of the view, the report's own work without a view, and the memory
// the shown report takes. The report is checked to be the month's and the
// view to show exactly the model's text. Offscreen platform by default.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>

#include "checkout/journal.h"
#include "checkout/money.h"
#include "platform/display.h"
#include "platform/numbers.h"
#include "platform/qt/display_view.h"
#include "platform/qt/gbk_text_files.h"
#include "stats/periods.h"
#include "stats/statistics.h"

namespace {

using namespace tovrin;

const QDate kToday(2018, 11, 30);
constexpr int kSalesPerDay = 300;

class AnsweringPrompts : public Prompts {
public:
    void ok(const QString& text, const QString&) override { oks.append(text); }
    bool yesNo(const QString&, const QString&) override {
        const bool a = !answers.empty() && answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    std::deque<bool> answers;
    QStringList oks;
};

class Caption : public FormControls {
public:
    QString text(Box) const override { return {}; }
    void setText(Box, const QString&) override {}
    QString caption() const override { return {}; }
    void setCaption(const QString&) override {}
    QString command3Caption() const override { return {}; }
    void setCommand3Caption(const QString&) override {}
    void setText2FontSize(double) override {}
};

class FixedClock : public tovrin::Clock {
public:
    QDateTime now() const override { return QDateTime(kToday, QTime(21, 30, 0)); }
};

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "display bench FAILED: %s\n", qPrintable(why));
    std::exit(2);
}

// The block journal of the month and of the day before it, as the checkout
// writes it.
void generate(const QString& path) {
    QFile blocks(path);
    if (!blocks.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("cannot write ") + path);
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
    for (QDate day = QDate(kToday.year(), kToday.month(), 1).addDays(-1); day <= kToday;
         day = day.addDays(1)) {
        QString blockText;
        for (int s = 0; s < kSalesPerDay; ++s) {
            const QString dt = clock.format(QDateTime(day, QTime(8, 0).addSecs(s * 144 + int(next() % 100))));
            QString items;
            double total = 0, discount = 0, quantity = 0;
            for (int i = 0; i < 3; ++i) {
                const int g = int(next() % 200);
                const double price = 1 + g % 37 + (g % 4) * 0.25;
                const double qty = 1 + next() % 3;
                const double itemDiscount = (next() % 5 == 0) ? 0.5 : 0;
                total += price * qty;
                discount += itemDiscount;
                quantity += qty;
                QString name = goods[g % goods.size()] + QString::number(g / goods.size());
                items += records::itemLine({tiaozhen(name, 39), wct(itemDiscount, numbers, true),
                                            wct(price * qty, numbers, true), wct(qty, numbers, true),
                                            QStringLiteral("69012345%1").arg(g, 5, 10, QLatin1Char('0'))},
                                           true) +
                         CRLF;
            }
            blockText += records::blockHead(dt, wct(total - discount, numbers, true), QStringLiteral("3"),
                                            wct(discount, numbers, true), wct(total, numbers, true),
                                            numbers.plain(quantity)) +
                         items + CRLF + CRLF;
        }
        blocks.write(encoder.encode(blockText));
    }
}

double residentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}
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

QString dayKey(const QDate& day) {
    return FixedClock().format(QDateTime(day, QTime(12, 0))).section(QLatin1Char(' '), 0, 0);
}

// The month's goods report into the model; checks it is that report.
void runReport(TextModel& display, const QString& folder) {
    AnsweringPrompts prompts;
    prompts.answers = {false, false};
    Caption form;
    GbkTextFiles files;
    FixedClock clock;
    NumberFormat numbers;
    Statistics stats(form, display, prompts, files, clock, numbers, folder);
    stats.zhuanda = clock.dateText();
    stats.Command1_1_Click();
    const QString& text = display.text();
    const QString period = dyue(dayKey(kToday)) + QStringLiteral("月");
    if (prompts.oks.size() != 1 || !prompts.oks[0].contains(period) ||
        !text.contains(QStringLiteral("商品应收金额总计:")) ||
        !text.contains(dayKey(QDate(kToday.year(), kToday.month(), 1)) + QLatin1Char(' ')) ||
        text.contains(dayKey(QDate(kToday.year(), kToday.month(), 1).addDays(-1)) + QLatin1Char(' '))) {
        fail(QStringLiteral("not the goods report of the month: ") + prompts.oks.join(u' '));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
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
        if (i == 0) before = residentMb();
        resetPeak();
        QElapsedTimer t;
        t.start();
        runReport(model, dir.path());
        app.processEvents();
        view.viewport()->repaint();
        app.processEvents();
        const double ms = t.nsecsElapsed() / 1e6;
        best = std::min(best, ms);
        worst = std::max(worst, ms);
        if (i == 0) after = residentMb();
        peak = std::max(peak, peakMb());
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
    return best <= 300 ? 0 : 1;
}
