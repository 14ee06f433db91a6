#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <random>
#include <set>
#include <thread>

#include "barcode/lookup.h"
#include "checkout/checkout.h"
#include "checkout/sale_journal.h"
#include "platform/datafile.h"
#include "support/fakes.h"
#include "support/trace.h"
#include "tests/checkout/fixture.h"
#include "voice/voice.h"

namespace tovrin {
namespace {

using test::CrashingFiles;
using test::FaultyFiles;

const QString kSale = QStringLiteral("tovrincalculate.txt");
const QString kBlock = QStringLiteral("tovrinback.txt");
const QString kIntent = QStringLiteral("tovrinsale.txt");

// A checkout on the given files in a folder.
struct Till : test::CheckoutOn {
    using CheckoutOn::CheckoutOn;

    void type(const QString& price) {
        form.setText(Box::Text2, QString());
        for (QChar c : price) {
            if (!checkout.Text2_KeyPress(c.unicode())) form.setText(Box::Text2, form.text(Box::Text2) + c);
        }
    }
    // The k-th sale of a day: one-item and accumulated sales in turn.
    void sale(int k) {
        const QString n = QString::number(k + 1);
        if (k % 2 == 0) {
            form.set(QStringLiteral("100"), n + QStringLiteral(".5"), QStringLiteral("100"),
                     QStringLiteral("1"));
            prompts.answer({true});
            checkout.Command1_0_Click();
            return;
        }
        form.setText(Box::Text1, QStringLiteral("500"));
        type(n);
        checkout.Text2_KeyPress(13);
        type(QStringLiteral("2.25"));
        checkout.Text2_KeyPress(13);
        form.setText(Box::Text2, QString());
        prompts.answer({true});
        checkout.Command1_0_Click();
    }
};

QByteArray bytesOf(const QString& folder, const QString& name) {
    QFile file(QDir(folder).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using Journals = std::pair<QByteArray, QByteArray>;

Journals journals(const QString& folder) { return {bytesOf(folder, kSale), bytesOf(folder, kBlock)}; }

constexpr int kSales = 4;

// Both journals after 0, 1, ... kSales sales that nothing disturbed, and the
// number of file-changing calls the sales make.
struct Undisturbed {
    std::vector<Journals> after;
    int calls = 0;
};

const Undisturbed& undisturbed() {
    static const Undisturbed result = [] {
        Undisturbed u;
        QTemporaryDir dir;
        GbkTextFiles real;
        FaultyFiles counting(real);
        Till till(counting, dir.path());
        u.after.push_back(journals(dir.path()));
        for (int k = 0; k < kSales; ++k) {
            till.sale(k);
            u.after.push_back(journals(dir.path()));
        }
        u.calls = int(counting.calls.size());
        return u;
    }();
    return result;
}

// How many whole sales the journals hold, both agreeing; -1 when they
// disagree or hold anything torn.
int salesIn(const Journals& now) {
    const auto& after = undisturbed().after;
    for (size_t k = 0; k < after.size(); ++k) {
        if (after[k] == now) return int(k);
    }
    return -1;
}

TEST(SaleJournal, UndisturbedSalesGrowBothJournals) {
    const Undisturbed& u = undisturbed();
    ASSERT_EQ(u.after.size(), size_t(kSales + 1));
    for (int k = 1; k <= kSales; ++k) {
        EXPECT_GT(u.after[k].first.size(), u.after[k - 1].first.size());
        EXPECT_GT(u.after[k].second.size(), u.after[k - 1].second.size());
        EXPECT_TRUE(u.after[k].first.startsWith(u.after[k - 1].first));
        EXPECT_TRUE(u.after[k].second.startsWith(u.after[k - 1].second));
    }
    EXPECT_EQ(
        u.after[1].first,
        test::gbk(QStringLiteral("2018-5-12 9:05:07\t折扣：   \t0\t实收金额：  \t100\t商品价格累计：  \t1.5\t"
                                 "  商品 数量累计：  \t1\t找零：  \t98.5\t\r\n")));
}

// Each failing call of a sale, one at a time: the sale is in neither
// journal, the box names the file, the sale stays open, and the next try
// writes it once.
TEST(SaleJournal, AFailedWriteLeavesTheSaleInNeitherJournal) {
    struct Case {
        const char* name;
        QString call;   // the failing call
        QString named;  // the file the box names
    };
    const Case cases[] = {
        {"intent", QStringLiteral("rewrite tovrinsale.txt"), kIntent},
        {"first journal", QStringLiteral("append tovrincalculate.txt"), kSale},
        {"second journal", QStringLiteral("append tovrinback.txt"), kBlock},
    };
    for (const Case& c : cases) {
        for (int sale : {0, 1}) {
            SCOPED_TRACE(QStringLiteral("%1, sale %2").arg(QLatin1String(c.name)).arg(sale).toStdString());
            QTemporaryDir dir;
            GbkTextFiles real;
            FaultyFiles files(real);
            Till till(files, dir.path());
            if (sale == 1) till.sale(0);
            const Journals before = journals(dir.path());
            // Find the number of the call in a dry run, then fail it.
            {
                QTemporaryDir dry;
                FaultyFiles counting(real);
                Till other(counting, dry.path());
                if (sale == 1) other.sale(0);
                const int from = int(counting.calls.size());
                other.sale(sale);
                const int at = int(counting.calls.indexOf(c.call, from));
                ASSERT_GE(at, 0);
                files.failing.insert(at + 1 - from + int(files.calls.size()));
            }
            till.prompts.shown.clear();
            till.sale(sale);
            EXPECT_EQ(journals(dir.path()), before);
            EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(kIntent)));
            ASSERT_FALSE(till.prompts.shown.empty());
            const QString box = till.prompts.shown.back().text;
            EXPECT_TRUE(box.startsWith(QStringLiteral("无法写入 ") + QDir(dir.path()).filePath(c.named) +
                                       QStringLiteral("：磁盘已满")))
                << box.toStdString();
            EXPECT_TRUE(box.endsWith(QStringLiteral("此次交易没有记录，请重试。")));
            // The change is not shown and the sale stays as it was.
            EXPECT_EQ(till.display.text(), QString());
            EXPECT_NE(till.form.text(Box::Text1), QStringLiteral("0"));
            EXPECT_EQ(till.checkout.sale().shp, sale == 0);

            // Trying again once the disk is fine writes the sale once.
            files.failing.clear();
            till.prompts.answer({true});
            till.checkout.Command1_0_Click();
            EXPECT_EQ(salesIn(journals(dir.path())), sale + 1);
        }
    }
}

TEST(SaleJournal, AFailedUndoLeavesTheIntentForTheNextStart) {
    QTemporaryDir dir;
    GbkTextFiles real;
    FaultyFiles files(real);
    Till till(files, dir.path());
    // rewrite intent, append sale line, append block (fails), truncate (fails).
    files.failing = {3, 4};
    till.sale(0);
    ASSERT_FALSE(till.prompts.shown.empty());
    EXPECT_TRUE(till.prompts.shown.back().text.endsWith(QStringLiteral("下次启动时补全。")));
    EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
    EXPECT_EQ(salesIn(journals(dir.path())), 1);
}

// The intent file of a stopped run, completed from every state the two
// journals can be in.
TEST(SaleJournal, RecoveryCompletesEachJournalExactly) {
    const Journals& zero = undisturbed().after[1];
    const Journals& one = undisturbed().after[2];
    QTemporaryDir intentDir;
    {
        // An intent file as the second sale writes it: crash right after it.
        const pid_t pid = fork();
        if (pid == 0) {
            GbkTextFiles real;
            Till first(real, intentDir.path());
            first.sale(0);
            // The second sale: the reset at the first key and at Enter, two
            // items, then the intent file.
            CrashingFiles crash(real, 5, CrashingFiles::When::After);
            Till second(crash, intentDir.path());
            second.sale(1);
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), CrashingFiles::kCrashed);
    }
    const QByteArray intent = bytesOf(intentDir.path(), kIntent);
    ASSERT_FALSE(intent.isEmpty());
    auto cut = [](const QByteArray& whole, const QByteArray& part, qsizetype extra) {
        return whole.left(part.size() + extra);
    };
    struct Case {
        const char* name;
        qsizetype saleExtra, blockExtra;  // bytes of the record in each journal; -1: whole
    };
    const Case cases[] = {{"neither", 0, 0},     {"sale line torn", 7, 0}, {"sale line whole", -1, 0},
                          {"block torn", -1, 1}, {"both whole", -1, -1},   {"block torn alone", 0, 30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        auto put = [&](const QString& name, const QByteArray& bytes) {
            QFile f(QDir(dir.path()).filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        put(kSale, c.saleExtra < 0 ? one.first : cut(one.first, zero.first, c.saleExtra));
        put(kBlock, c.blockExtra < 0 ? one.second : cut(one.second, zero.second, c.blockExtra));
        put(kIntent, intent);
        GbkTextFiles real;
        EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
        EXPECT_EQ(journals(dir.path()), one);
        EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(kIntent)));
        // A second start finds nothing to do.
        EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
        EXPECT_EQ(journals(dir.path()), one);
    }
    // An intent file cut short was written before any journal: it is dropped.
    for (qsizetype length : {qsizetype(0), qsizetype(5), intent.size() / 2, intent.size() - 1}) {
        QTemporaryDir dir;
        QFile f(QDir(dir.path()).filePath(kIntent));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(intent.left(length));
        f.close();
        GbkTextFiles real;
        EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
        EXPECT_EQ(journals(dir.path()), Journals());
        EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(kIntent)));
    }
}

// An intent file that is not one whole intent of this till is dropped and
// changes no journal.
TEST(SaleJournal, AMalformedIntentFileIsDroppedAndChangesNothing) {
    const QString head = QStringLiteral("tovrin sale\r\n");
    const QString lines = QStringLiteral("tovrincalculate.txt\t3\t2\r\ntovrinback.txt\t4\t1\r\n");
    const QString cases[] = {
        QString(),
        QStringLiteral("garbage"),
        head,
        head + lines + QStringLiteral("abc"),              // no end line
        head + lines + QStringLiteral("ab\r\nend\r\n"),    // records too short
        head + lines + QStringLiteral("abcd\r\nend\r\n"),  // records too long
        head + QStringLiteral("other.txt\t3\t2\r\ntovrinback.txt\t4\t1\r\nabc\r\nend\r\n"),
        head + QStringLiteral("tovrincalculate.txt\t-3\t2\r\ntovrinback.txt\t4\t1\r\nabc\r\nend\r\n"),
        head + QStringLiteral("tovrincalculate.txt\t3\t-2\r\ntovrinback.txt\t4\t5\r\nabc\r\nend\r\n"),
        head + QStringLiteral("tovrincalculate.txt\tx\t2\r\ntovrinback.txt\t4\t1\r\nabc\r\nend\r\n"),
        head + QStringLiteral("tovrincalculate.txt\t3\t2\t9\r\ntovrinback.txt\t4\t1\r\nabc\r\nend\r\n"),
        head + QStringLiteral("tovrincalculate.txt\t3\t99999999999999999999\r\ntovrinback.txt\t4\t1\r\n"
                              "abc\r\nend\r\n"),
        head + QStringLiteral("tovrinback.txt\t4\t1\r\ntovrincalculate.txt\t3\t2\r\nabc\r\nend\r\n"),
    };
    for (const QString& intent : cases) {
        SCOPED_TRACE(intent.toStdString());
        QTemporaryDir dir;
        auto put = [&](const QString& name, const QByteArray& bytes) {
            QFile f(QDir(dir.path()).filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        put(kSale, "abc");
        put(kBlock, "defg");
        put(kIntent, test::gbk(intent));
        GbkTextFiles real;
        EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
        EXPECT_EQ(journals(dir.path()), Journals("abc", "defg"));
        EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(kIntent)));
    }
    // The same layout whole: both journals get their record.
    QTemporaryDir dir;
    GbkTextFiles real;
    QFile f(QDir(dir.path()).filePath(kIntent));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(test::gbk(head + lines + QStringLiteral("abc\r\nend\r\n")));
    f.close();
    QFile a(QDir(dir.path()).filePath(kSale)), b(QDir(dir.path()).filePath(kBlock));
    ASSERT_TRUE(a.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
    a.write("x\r\n");
    b.write("wx\r\n");
    a.close();
    b.close();
    EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
    EXPECT_EQ(journals(dir.path()), Journals("x\r\nab\r\n", "wx\r\nc\r\n"));

    // Bytes after the recorded length that are no piece of the record are
    // not cut away; a piece of it is.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(test::gbk(head + lines + QStringLiteral("abc\r\nend\r\n")));
    f.close();
    ASSERT_TRUE(a.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
    a.write("x\r\nQ");
    b.write("wx\r\nc");
    a.close();
    b.close();
    EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
    EXPECT_EQ(journals(dir.path()), Journals("x\r\nQ", "wx\r\nc\r\n"));
}

// Runs the sales in a child that ends at the chosen call; the status.
int crashedRun(const QString& folder, int at, CrashingFiles::When when) {
    const pid_t pid = fork();
    if (pid == 0) {
        GbkTextFiles real;
        CrashingFiles crash(real, at, when);
        Till till(crash, folder);
        for (int k = 0; k < kSales; ++k) till.sale(k);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A run killed at every call of four sales, before, halfway through and
// after it: at the next start each sale is in both journals or in neither.
TEST(SaleJournal, AKillAtAnyCallLeavesEachSaleInBothJournalsOrNeither) {
    const int calls = undisturbed().calls;
    ASSERT_GT(calls, 10);
    int kills = 0;
    for (auto when :
         {CrashingFiles::When::Before, CrashingFiles::When::Halfway, CrashingFiles::When::After}) {
        for (int at = 1; at <= calls; ++at) {
            SCOPED_TRACE(at);
            QTemporaryDir dir;
            ASSERT_EQ(crashedRun(dir.path(), at, when), CrashingFiles::kCrashed);
            ++kills;
            GbkTextFiles real;
            EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
            const int sales = salesIn(journals(dir.path()));
            EXPECT_GE(sales, 0) << "torn or disagreeing journals";
            EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(kIntent)));
            // The till goes on from there.
            Till next(real, dir.path());
            if (sales >= 0 && sales < kSales) {
                next.sale(sales);
                EXPECT_EQ(salesIn(journals(dir.path())), sales + 1);
            }
        }
    }
    EXPECT_GE(kills, 3 * calls);
}

// A kill at a random instant, a hundred times.
TEST(SaleJournal, AHundredKillsAtRandomInstants) {
    std::mt19937 random(20261208);
    // About how long the four sales take, to spread the kills over.
    QTemporaryDir timing;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(crashedRun(timing.path(), 1 << 30, CrashingFiles::When::Before), 0);
    const auto span =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::uniform_int_distribution<long> instant(0, std::max<long>(1, span.count()));
    std::set<int> seen;
    int midSale = 0;
    for (int i = 0; i < 100; ++i) {
        QTemporaryDir dir;
        const pid_t pid = fork();
        if (pid == 0) {
            GbkTextFiles real;
            Till till(real, dir.path());
            for (int k = 0; k < kSales; ++k) till.sale(k);
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(instant(random)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        if (QFile::exists(QDir(dir.path()).filePath(kIntent))) ++midSale;
        GbkTextFiles real;
        EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
        const int sales = salesIn(journals(dir.path()));
        EXPECT_GE(sales, 0) << "kill " << i;
        seen.insert(sales);
    }
    // The kills fell at different points of the sales, some inside one.
    EXPECT_GE(seen.size(), 3u);
    EXPECT_GT(midSale, 0);
}

// The texts of the OK boxes shown, in order.
QStringList oks(const test::FakePrompts& prompts) {
    QStringList out;
    for (const auto& shown : prompts.shown) {
        if (shown.kind == QStringLiteral("ok")) out << shown.text;
    }
    return out;
}

QString fileIn(const QString& folder, const QString& name) { return QDir(folder).filePath(name); }

const QString kOnlyInSaleFile =
    QStringLiteral("此次交易只记入了 tovrincalculate.txt，下次交易或下次启动时补全。");
const QString kNotRecorded = QStringLiteral("此次交易没有记录，请重试。");

// The block's write fails (a full disk) and so does cutting the sale line
// back (an I/O error): the sale is done, kept in the intent file, and it is
// in both journals exactly once whatever the cashier does next.
TEST(SaleJournal, TwoFailuresInARowKeepTheSaleOnceWhateverTheCashierDoesNext) {
    enum class Next {
        PressAgain,
        Restart,
        NextCustomer,
        NextCustomerDiskStillFull,
        NextCustomerOwnBlockFails
    };
    const std::pair<Next, const char*> nexts[] = {
        {Next::PressAgain, "presses 找零 again"},
        {Next::Restart, "restarts the till"},
        {Next::NextCustomer, "serves the next customer"},
        {Next::NextCustomerDiskStillFull, "serves the next customer, the disk still full"},
        {Next::NextCustomerOwnBlockFails, "serves the next customer, whose own block fails"},
    };
    const QString eio = QStringLiteral("磁盘读写出错");
    for (int first : {0, 1}) {  // a one-item sale, an accumulated one
        for (const auto& [next, name] : nexts) {
            SCOPED_TRACE(QStringLiteral("sale %1, then the cashier %2")
                             .arg(first)
                             .arg(QLatin1String(name))
                             .toStdString());
            QTemporaryDir dir;
            test::DiskFaults faults;
            GbkTextFiles files(faults.calls());
            Till till(files, dir.path());
            for (int k = 0; k < first; ++k) till.sale(k);
            const Journals before = journals(dir.path());
            faults.rules = {{QStringLiteral("write"), kBlock, ENOSPC},
                            {QStringLiteral("ftruncate"), kSale, EIO}};
            till.prompts.shown.clear();
            till.sale(first);
            ASSERT_EQ(oks(till.prompts).size(), 1u);
            EXPECT_EQ(oks(till.prompts)[0],
                      writeFailure(fileIn(dir.path(), kBlock), QStringLiteral("磁盘已满")) +
                          QStringLiteral("\r\n") + writeFailure(fileIn(dir.path(), kSale), eio) +
                          QStringLiteral("\r\n") + kOnlyInSaleFile);
            // The sale is done: its change is shown and the window is ready
            // for the next customer.
            EXPECT_FALSE(till.display.text().isEmpty());
            EXPECT_EQ(till.display.runs().front().size, 200);
            EXPECT_EQ(till.form.text(Box::Text1), QStringLiteral("0"));
            EXPECT_TRUE(till.checkout.sale().shp);
            EXPECT_EQ(journals(dir.path()), Journals(undisturbed().after[first + 1].first, before.second));
            EXPECT_TRUE(QFile::exists(fileIn(dir.path(), kIntent)));

            faults.rules.clear();
            till.prompts.shown.clear();
            switch (next) {
                case Next::PressAgain:
                    for (int press = 0; press < 3; ++press) {
                        till.prompts.answer({true});
                        till.checkout.Command1_0_Click();
                    }
                    EXPECT_EQ(oks(till.prompts), QStringList(3, Checkout::kValidation));
                    EXPECT_EQ(SaleJournal(files, dir.path()).recover(), std::nullopt);
                    EXPECT_EQ(salesIn(journals(dir.path())), first + 1);
                    break;
                case Next::Restart: {
                    GbkTextFiles plain;
                    EXPECT_EQ(SaleJournal(plain, dir.path()).recover(), std::nullopt);
                    EXPECT_EQ(salesIn(journals(dir.path())), first + 1);
                    Till restarted(plain, dir.path());
                    restarted.sale(first + 1);
                    break;
                }
                case Next::NextCustomer:
                    till.sale(first + 1);
                    EXPECT_EQ(oks(till.prompts), QStringList());
                    break;
                case Next::NextCustomerDiskStillFull: {
                    faults.rules = {{QStringLiteral("write"), kBlock, ENOSPC}};
                    const Journals kept = journals(dir.path());
                    till.sale(first + 1);
                    ASSERT_FALSE(oks(till.prompts).empty());
                    EXPECT_EQ(oks(till.prompts).back(),
                              writeFailure(fileIn(dir.path(), kBlock), QStringLiteral("磁盘已满")) +
                                  QStringLiteral("\r\n上次未完成的交易没有补全。\r\n") + kNotRecorded);
                    EXPECT_EQ(journals(dir.path()), kept);
                    EXPECT_NE(till.form.text(Box::Text1), QStringLiteral("0"));  // this sale stays open
                    // Once the disk has room, the same click writes both sales.
                    faults.rules.clear();
                    till.prompts.answer({true});
                    till.checkout.Command1_0_Click();
                    break;
                }
                case Next::NextCustomerOwnBlockFails:
                    // The first sale's block goes in; the next sale's block fails.
                    faults.rules = {{QStringLiteral("write"), kBlock, ENOSPC, 1, 1}};
                    till.sale(first + 1);
                    ASSERT_FALSE(oks(till.prompts).empty());
                    EXPECT_EQ(oks(till.prompts).back(),
                              writeFailure(fileIn(dir.path(), kBlock), QStringLiteral("磁盘已满")) +
                                  QStringLiteral("\r\n") + kNotRecorded);
                    EXPECT_EQ(salesIn(journals(dir.path())), first + 1);
                    EXPECT_FALSE(QFile::exists(fileIn(dir.path(), kIntent)));
                    till.prompts.answer({true});
                    till.checkout.Command1_0_Click();
                    break;
            }
            if (next != Next::PressAgain) {
                EXPECT_EQ(salesIn(journals(dir.path())), first + 2);
            }
            EXPECT_FALSE(QFile::exists(fileIn(dir.path(), kIntent)));
        }
    }
}

// Whether a failed sale counts is decided by the intent file: when it cannot
// be removed or emptied and still holds the whole sale, the sale is done and
// completed later; when it does not hold it, the sale is not recorded.
TEST(SaleJournal, AnIntentFileThatCannotBeDroppedDecidesWhetherTheSaleCounts) {
    struct Case {
        const char* name;
        std::set<int> failing;  // rewrite intent, append line, append block, truncate, remove, rewrite
        bool recorded;
        QString ending;
    };
    const Case cases[] = {
        {"block fails, the intent stays whole",
         {3, 5, 6},
         true,
         QStringLiteral("此次交易只记入了 tovrinsale.txt，下次交易或下次启动时补全。")},
        {"the intent is never written", {1, 2, 3}, false, kNotRecorded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        GbkTextFiles real;
        FaultyFiles files(real);
        Till till(files, dir.path());
        files.failing = c.failing;
        till.sale(0);
        ASSERT_FALSE(oks(till.prompts).empty());
        EXPECT_TRUE(oks(till.prompts).back().endsWith(c.ending)) << oks(till.prompts).back().toStdString();
        EXPECT_EQ(till.form.text(Box::Text1) == QStringLiteral("0"), c.recorded);
        EXPECT_EQ(salesIn(journals(dir.path())), 0);
        files.failing.clear();
        till.sale(1);
        EXPECT_EQ(journals(dir.path()).first.count("\r\n"), c.recorded ? 2 : 1);
        EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
        EXPECT_FALSE(QFile::exists(fileIn(dir.path(), kIntent)));
    }
}

// Journals whose last line an editor left without a line end: the sale
// starts a line of its own in each, also when a start completes it.
TEST(SaleJournal, ASaleAfterALastLineWithoutLineEndStartsALineOfItsOwn) {
    const QByteArray oldSale =
        test::gbk(QStringLiteral("2018-5-12 8:00:00\t折扣：   \t0\t实收金额：  \t20\t商品价格累计：  \t7.3\t"
                                 "  商品 数量累计：  \t1\t找零：  \t12.7"));
    const QByteArray oldBlock = "\r\n\xc9\xcc\xc6\xb7";  // 商品
    const Journals& one = undisturbed().after[1];
    const Journals expected(oldSale + "\r\n" + one.first, oldBlock + "\r\n" + one.second);
    auto prepare = [&](const QString& folder) {
        for (const auto& [name, bytes] : {std::pair(kSale, oldSale), std::pair(kBlock, oldBlock)}) {
            QFile f(fileIn(folder, name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
    };
    {
        QTemporaryDir dir;
        prepare(dir.path());
        GbkTextFiles real;
        Till till(real, dir.path());
        till.sale(0);
        EXPECT_EQ(journals(dir.path()), expected);
    }
    // Killed after the intent file, after the sale line, after the block.
    for (int at : {1, 2, 3}) {
        SCOPED_TRACE(at);
        QTemporaryDir dir;
        prepare(dir.path());
        // The first sale's calls: the intent file, the sale line, the block.
        ASSERT_EQ(crashedRun(dir.path(), at, CrashingFiles::When::After), CrashingFiles::kCrashed);
        GbkTextFiles real;
        EXPECT_EQ(SaleJournal(real, dir.path()).recover(), std::nullopt);
        EXPECT_EQ(journals(dir.path()), expected);
    }
}

// A link in the place of a journal, the item file or the intent file, to a
// file of the cashier's elsewhere or to nothing: the box names the file and
// says it is a link, the sale stays as it was, and what the link points to
// is neither changed nor made.
TEST(SaleJournal, ALinkInPlaceOfAFileIsRefusedAndWhatItPointsToIsUntouched) {
    const QString link = notRegularReason(S_IFLNK);
    struct Case {
        QString file;
        bool sale;  // a sale (else a key in the price box)
        QString box;
    };
    const Case cases[] = {
        {kSale, true, QStringLiteral("无法写入 %1：") + link + QStringLiteral("\r\n") + kNotRecorded},
        {kBlock, true, QStringLiteral("无法写入 %1：") + link + QStringLiteral("\r\n") + kNotRecorded},
        {kIntent, true,
         QStringLiteral("无法读取 %1：") + link + QStringLiteral("\r\n上次未完成的交易没有补全。\r\n") +
             kNotRecorded},
        {QStringLiteral("tovrincomm.txt"), false, QStringLiteral("无法写入 %1：") + link},
    };
    const QByteArray ownBytes = "2018-5-1 9:00:00\tthe cashier's own notes\r\n";
    for (const Case& c : cases) {
        for (bool dangling : {false, true}) {
            SCOPED_TRACE((c.file + (dangling ? QStringLiteral(" to nothing") : QString())).toStdString());
            QTemporaryDir dir, elsewhere;
            const QString target = elsewhere.filePath(QStringLiteral("own.txt"));
            if (!dangling) {
                QFile f(target);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write(ownBytes);
            }
            ASSERT_TRUE(QFile::link(target, fileIn(dir.path(), c.file)));
            GbkTextFiles real;
            Till till(real, dir.path());
            if (c.sale) {
                till.sale(0);
            } else {
                EXPECT_FALSE(till.checkout.Text2_KeyPress('3'));
            }
            EXPECT_EQ(oks(till.prompts), QStringList(c.box.arg(fileIn(dir.path(), c.file))));
            if (c.sale) {
                EXPECT_EQ(till.form.text(Box::Text1), QStringLiteral("100"));  // the sale stays open
                EXPECT_EQ(till.display.text(), QString());
            }
            EXPECT_EQ(bytesOf(elsewhere.path(), QStringLiteral("own.txt")),
                      dangling ? QByteArray() : ownBytes);
            EXPECT_EQ(QFile::exists(target), !dangling);
            EXPECT_TRUE(QFileInfo(fileIn(dir.path(), c.file)).isSymLink());
        }
    }
}

// A tovrinsale.txt larger than any intent file is not read: it is left for
// the owner with a message, and no sale is written until it is gone. One of
// the bound's size is read as usual (junk of it is dropped).
TEST(SaleJournal, AnIntentFileBeyondTheBoundIsLeftForTheOwner) {
    QTemporaryDir dir;
    const QString intent = fileIn(dir.path(), kIntent);
    const qint64 junk = qint64(900) << 20;
    {
        QFile f(intent);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(junk));  // sparse: no disk used
    }
    const QString refused = QStringLiteral("无法读取 ") + intent +
                            QStringLiteral(
                                "：文件太大（超过 5 MB），不是未完成的交易。\r\n"
                                "请店主查看后移走这个文件；在此之前不能记录新的交易。");
    GbkTextFiles real;
    EXPECT_EQ(SaleJournal(real, dir.path()).recover(), refused);
    EXPECT_EQ(QFileInfo(intent).size(), junk);
    Till till(real, dir.path());
    till.sale(0);
    EXPECT_EQ(oks(till.prompts), QStringList(refused + QStringLiteral("\r\n") + kNotRecorded));
    EXPECT_EQ(journals(dir.path()), Journals());
    EXPECT_EQ(QFileInfo(intent).size(), junk);

    // At the bound itself it is read, and dropped as no whole intent.
    {
        QFile f(intent);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_TRUE(f.write(QByteArray(SaleJournal::kMaxIntentBytes, 'x')) == SaleJournal::kMaxIntentBytes);
    }
    till.prompts.shown.clear();
    till.prompts.answer({true});
    till.checkout.Command1_0_Click();
    EXPECT_EQ(oks(till.prompts), QStringList());
    EXPECT_EQ(salesIn(journals(dir.path())), 1);
    EXPECT_FALSE(QFile::exists(intent));
}

// The items of one sale are bounded so that every sale can be written: the
// item beyond the bound is refused, and the sale can still be finished.
TEST(SaleJournal, TheItemsOfASaleStayWithinWhatAnIntentFileHolds) {
    QTemporaryDir dir;
    GbkTextFiles real;
    Till till(real, dir.path());
    till.form.setText(Box::Text1, QStringLiteral("500"));
    till.type(QStringLiteral("2"));
    ASSERT_TRUE(till.checkout.Text2_KeyPress(13));
    // Items up to just below the bound, as a very long sale leaves them.
    const QString items = fileIn(dir.path(), QStringLiteral("tovrincomm.txt"));
    {
        QFile f(items);
        ASSERT_TRUE(f.open(QIODevice::Append));
        const QByteArray line = QByteArray(98, 'x') + "\r\n";
        while (f.size() + line.size() <= SaleJournal::kMaxItemBytes - 30) f.write(line);
        f.write(QByteArray(SaleJournal::kMaxItemBytes - 30 - f.size(), 'x'));
    }
    till.prompts.shown.clear();
    till.type(QStringLiteral("3"));
    EXPECT_FALSE(till.checkout.Text2_KeyPress(13));
    EXPECT_EQ(oks(till.prompts),
              QStringList(QStringLiteral("此次交易的商品太多（商品记录超过 4 MB），请先找零结束此次交易。")));
    EXPECT_EQ(till.checkout.sale().shpleiji, 1);
    till.form.setText(Box::Text2, QString());
    till.prompts.shown.clear();
    till.prompts.answer({true});
    till.checkout.Command1_0_Click();
    EXPECT_EQ(oks(till.prompts), QStringList());
    EXPECT_EQ(till.form.text(Box::Text1), QStringLiteral("0"));
    EXPECT_GT(QFileInfo(fileIn(dir.path(), kBlock)).size(), SaleJournal::kMaxItemBytes - 200);
}

// The first sale in a fresh folder creates the intent file and both
// journals: strace shows each one's folder synced after its own bytes, the
// intent file's before any journal is created, and all before the change is
// shown.
TEST(SaleJournal, TheFolderIsSyncedAfterEachNewFileBeforeTheChangeIsShown) {
    if (const QString folder = test::SystemTrace::tracedFolder(); !folder.isEmpty()) {
        GbkTextFiles real;
        Till till(real, folder);
        till.display.onChange([&](const TextModel::Change& change) {
            if (change.size == 200) test::SystemTrace::mark(folder, QStringLiteral("change-shown"));
        });
        till.sale(0);
        ASSERT_EQ(till.form.text(Box::Text1), QStringLiteral("0"));
        return;
    }
    QTemporaryDir dir;
    test::SystemTrace trace;
    if (!trace.run(dir.path())) GTEST_SKIP() << trace.why().toStdString();
    const QString folder = QStringLiteral("fsync ") + QFileInfo(dir.path()).fileName() + u'/';
    SCOPED_TRACE(trace.events().join(u'\n').toStdString());
    qsizetype at = 0;
    for (const QString& file : {kIntent, kSale, kBlock}) {
        SCOPED_TRACE(file.toStdString());
        at = trace.find(QStringLiteral("create ") + file, at);
        ASSERT_GE(at, 0);
        at = trace.find(QStringLiteral("fsync ") + file, at);
        ASSERT_GE(at, 0);
        const qsizetype synced = trace.find(folder, at);
        ASSERT_GE(synced, 0);
        // Nothing is created in between.
        EXPECT_EQ(trace.find(QStringLiteral("create *"), at), trace.find(QStringLiteral("create *"), synced));
        at = synced;
    }
    EXPECT_GT(trace.find(QStringLiteral("mark change-shown")), at);
    EXPECT_EQ(salesIn(journals(dir.path())), 1);
}

}  // namespace
}  // namespace tovrin
