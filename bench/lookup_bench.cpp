// Barcode lookup over a shop-sized table: 100,000 rows with Chinese names.
// Prints the median time of one kuaisu call (file read and decoding
// included), the time of only reading and decoding the file, and their ratio.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "barcode/lookup.h"
#include "platform/qt/gbk_text_files.h"

namespace {

class SilentPrompts : public tovrin::Prompts {
public:
    void ok(const QString&, const QString&) override {}
    bool yesNo(const QString&, const QString&) override { return true; }
};

template <typename F>
double medianMs(F&& f, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString names[] = {QStringLiteral("可口可乐"), QStringLiteral("矿泉水"),
                             QStringLiteral("方便面 红烧牛肉味"), QStringLiteral("Lay's 薯片 original"),
                             QStringLiteral("纯牛奶250ml")};
    QString table;
    for (int i = 0; i < 100000; ++i) {
        table += QStringLiteral("\t%1\t%2 %3\t规格\t件\t%4.5\t\t\t\t\t\t\r\n")
                     .arg(6900000000000LL + i * 7)
                     .arg(names[i % 5])
                     .arg(i)
                     .arg(i % 97 + 1);
    }
    const QString path = dir.filePath(QStringLiteral("collector.txt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) return 1;
        file.write(tovrin::toGbk(table));
    }
    tovrin::GbkTextFiles files;
    SilentPrompts prompts;
    tovrin::BarcodeLookup lookup(files, prompts, dir.path());
    const QString key = QString::number(6900000000000LL + 73456 * 7);

    const double readMs = medianMs([&] { (void)files.read(path); }, 21);
    QString price;
    const double lookupMs = medianMs([&] { price = lookup.kuaisu(key); }, 21);
    std::printf("table: %lld bytes, 100000 rows; lookup result %s\n", (long long)QFile(path).size(),
                qPrintable(price));
    std::printf("read+decode median: %.2f ms\n", readMs);
    std::printf("kuaisu median:      %.2f ms\n", lookupMs);
    std::printf("ratio:              %.2f (bar: 3)\n", lookupMs / readMs);
    // A key with letters takes the path that upper-cases the whole table.
    const double lettersMs = medianMs([&] { lookup.kuaisu(QStringLiteral("ab") + key); }, 21);
    std::printf("kuaisu with letters: %.2f ms, ratio %.2f\n", lettersMs, lettersMs / readMs);
    return 0;
}
