// Barcode lookup over tables of 10,000, 100,000 and 1,000,000 rows with
// Chinese names. For each it prints the median time of one kuaisu call (the
// file read included), the time of only reading and decoding the file, the
// time of `LC_ALL=C grep -c -F` for the same barcode in the same file, the
// ratios to both, and the resident memory after the lookups. Every lookup is
// checked to have found the row's price; the run fails otherwise.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "barcode/lookup.h"
#include "platform/qt/gbk_text_files.h"
#include "support/memory.h"

namespace {

class RecordingPrompts : public tovrin::Prompts {
public:
    void ok(const QString& text, const QString&) override { shown.append(text); }
    bool yesNo(const QString&, const QString&) override { return true; }
    QStringList shown;
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

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "lookup bench FAILED: %s\n", qPrintable(why));
    std::exit(2);
}

const QString kNames[] = {QStringLiteral("可口可乐"), QStringLiteral("矿泉水"),
                          QStringLiteral("方便面 红烧牛肉味"), QStringLiteral("Lay's 薯片 original"),
                          QStringLiteral("纯牛奶250ml")};

QString barcode(int row) { return QString::number(6900000000000LL + qint64(row) * 7); }
QString price(int row) { return QStringLiteral("%1.5").arg(row % 97 + 1); }

void writeTable(const QString& path, int rows) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) fail(QStringLiteral("cannot write ") + path);
    QString chunk;
    for (int i = 0; i < rows; ++i) {
        chunk += QStringLiteral("\t%1\t%2 %3\t规格\t件\t%4\t\t\t\t\t\t\r\n")
                     .arg(barcode(i), kNames[i % 5], QString::number(i), price(i));
        if (chunk.size() > (1 << 20) || i + 1 == rows) {
            file.write(tovrin::encodeGbk(chunk));
            chunk.clear();
        }
    }
}

double readAndDecode(const QString& path) {
    QElapsedTimer t;
    t.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) fail(QStringLiteral("cannot read ") + path);
    QStringDecoder decoder("GBK");
    QByteArray chunk(4 << 20, Qt::Uninitialized);
    qint64 chars = 0;
    for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;) {
        chars += QString(decoder.decode(QByteArrayView(chunk.constData(), got))).size();
    }
    if (chars == 0) fail(QStringLiteral("nothing decoded"));
    return t.nsecsElapsed() / 1e6;
}

// One grep run, process start included; checks that it counted one line.
double grepMs(const QString& grep, const QString& key, const QString& path) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    process.start(grep, {QStringLiteral("-c"), QStringLiteral("-F"), key, path});
    process.waitForFinished(-1);
    const double ms = t.nsecsElapsed() / 1e6;
    if (process.readAllStandardOutput().trimmed() != "1") fail(QStringLiteral("grep did not count one line"));
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(tovrin::BarcodeLookup::kTableFile);
    const QString grep = QStandardPaths::findExecutable(QStringLiteral("grep"));
    if (grep.isEmpty()) std::printf("grep not found: the ratios to grep -F are skipped\n");

    std::printf("%9s %9s %10s %10s %10s %9s %9s %10s %10s %s\n", "rows", "MB", "kuaisu ms", "read+dec",
                "grep -F", "x r+d", "x grep", "letters ms", "after MB", "");
    bool allOk = true;
    for (const int rows : {10000, 100000, 1000000}) {
        writeTable(path, rows);
        tovrin::GbkTextFiles files;
        RecordingPrompts prompts;
        tovrin::BarcodeLookup lookup(files, prompts, dir.path());
        const int target = rows - rows / 4 - 3;
        const QString key = barcode(target);
        const int runs = rows >= 1000000 ? 9 : 21;

        const double readMs = medianMs([&] { readAndDecode(path); }, runs);
        const double grepTime = grep.isEmpty() ? 0 : medianMs([&] { grepMs(grep, key, path); }, runs);
        QString found;
        const double lookupMs = medianMs([&] { found = lookup.kuaisu(key); }, runs);
        if (found != price(target) || lookup.lookupFields[2] != key ||
            !lookup.lookupFields[3].startsWith(kNames[target % 5].toUpper()) || !prompts.shown.isEmpty()) {
            fail(QStringLiteral("%1 rows: the lookup of %2 gave \"%3\" (%4), not %5")
                     .arg(rows)
                     .arg(key, found, prompts.shown.join(u' '), price(target)));
        }
        // A key with letters is searched without case; this one is absent.
        const QString absent = QStringLiteral("ab") + key;
        const double lettersMs = medianMs([&] { lookup.kuaisu(absent); }, runs);
        if (prompts.shown.size() != runs || prompts.shown.last() != QStringLiteral("没有此商品条形码！")) {
            fail(QStringLiteral("the key with letters was not refused as absent"));
        }
        const double after = tovrin::bench::residentMb();
        const double toGrep = grepTime > 0 ? lookupMs / grepTime : 0;
        const bool ok = rows < 1000000 || grepTime <= 0 || toGrep <= 1.5;
        allOk = allOk && ok;
        std::printf("%9d %9.1f %10.2f %10.2f %10.2f %9.2f %9s %10.2f %10.1f %s\n", rows,
                    QFile(path).size() / 1048576.0, lookupMs, readMs, grepTime, lookupMs / readMs,
                    grepTime > 0 ? qPrintable(QString::number(toGrep, 'f', 2)) : "skipped", lettersMs, after,
                    rows < 1000000 ? "(found)"
                    : ok           ? "(found) ok, bar 1.5x grep"
                                   : "(found) OVER 1.5x grep");
    }
    return allOk ? 0 : 1;
}
