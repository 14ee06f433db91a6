// The files of the import: the table it replaces, the workbook it reads.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <future>

#include "barcode/import.h"
#include "platform/datafile.h"
#include "support/fakes.h"
#include "support/trace.h"
#include "workbook/workbook_reader.h"

namespace tovrin {
namespace {

const QString kSuccess =
    QStringLiteral("  条码价格表已经更新成功，结算商品时，在商品价格框扫描输入条码，即可找零！");

// One sheet of one row; counts its reads.
class OneRow : public SpreadsheetReader {
public:
    Result read(const QString&, int columns, SheetRows& rows) override {
        ++reads;
        std::vector<Cell> cells(static_cast<size_t>(columns));
        cells[0] = Cell::ofText(QStringLiteral("6901234567890"));
        cells[1] = Cell::ofText(QStringLiteral("可乐"));
        cells[4] = Cell::ofNumber(3.5);
        if (!rows.beginSheet(QStringLiteral("表")) || !rows.row(1, cells) || !rows.endSheet())
            return Result::stopped();
        return Result::done();
    }
    int reads = 0;
};

struct Import {
    explicit Import(const QString& workbook, SpreadsheetReader& reader)
        : chooser(workbook), import(files, prompts, chooser, reader, clock, numbers, files.folder()) {}
    QString run() {
        prompts.answer({true});
        import.Command2_Click();
        return prompts.shown.back().text;
    }
    test::TempFiles files;
    test::FakePrompts prompts;
    test::FakeClock clock;
    NumberFormat numbers;
    test::FakeChooser chooser;
    BarcodeImport import;
};

const QString kNewTable = QStringLiteral("\t6901234567890\t可乐\t\t\t3.5\t\t\t\t\t\t\r\n");

// A link in collector.txt's place is refused before the workbook is read:
// the file it points to is neither replaced nor made, and nothing is left
// in the folder.
TEST(ImportFiles, ALinkInTheTablesPlaceIsRefusedBeforeAnythingIsWritten) {
    const QByteArray own = "the owner's own list\r\n";
    for (bool dangling : {false, true}) {
        SCOPED_TRACE(dangling ? "to nothing" : "to a file");
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("own.txt"));
        if (!dangling) {
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(own);
        }
        OneRow reader;
        Import import(QStringLiteral("/somewhere/goods.xls"), reader);
        const QString table = import.files.path(QStringLiteral("collector.txt"));
        ASSERT_TRUE(QFile::link(target, table));
        EXPECT_EQ(import.run(), QStringLiteral("  条码价格表没有更新！\r\n 无法写入 ") + table +
                                    QStringLiteral("：") + notRegularReason(S_IFLNK) +
                                    QStringLiteral("\r\n 原来的条码价格表保持不变。"));
        EXPECT_EQ(reader.reads, 0);
        EXPECT_TRUE(QFileInfo(table).isSymLink());
        EXPECT_EQ(QFile::exists(target), !dangling);
        if (!dangling) {
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), own);
        }
        EXPECT_EQ(QDir(import.files.folder()).entryList(QDir::Files | QDir::System | QDir::Hidden),
                  QStringList{QStringLiteral("collector.txt")});
    }
}

// A pipe chosen as the workbook is refused at once, with the reason, and
// the table stays.
TEST(ImportFiles, APipeChosenAsTheWorkbookIsRefusedAtOnce) {
    QTemporaryDir elsewhere;
    const QString pipe = elsewhere.filePath(QStringLiteral("goods.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    WorkbookReader reader;
    Import import(pipe, reader);
    import.files.putText(QStringLiteral("collector.txt"), kNewTable);
    auto box = std::async(std::launch::async, [&] { return import.run(); });
    if (box.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
        ADD_FAILURE() << "the import waited on the pipe";
    }
    EXPECT_EQ(
        box.get(),
        QStringLiteral("  条码价格表没有更新！\r\n 无法导入 ") + pipe +
            QStringLiteral("：这不是普通文件（是管道、设备或其他特殊文件）\r\n 原来的条码价格表保持不变。"));
    EXPECT_EQ(import.files.bytes(QStringLiteral("collector.txt")), test::gbk(kNewTable));
}

// The new table takes the old one's place with the old one's permissions.
TEST(ImportFiles, TheNewTableKeepsTheOldOnesPermissions) {
    OneRow reader;
    Import import(QStringLiteral("/somewhere/goods.xls"), reader);
    const QString table = import.files.path(QStringLiteral("collector.txt"));
    import.files.putText(QStringLiteral("collector.txt"), QStringLiteral("old\r\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(table).constData(), 0640), 0);
    EXPECT_EQ(import.run(), kSuccess);
    EXPECT_EQ(import.files.bytes(QStringLiteral("collector.txt")), test::gbk(kNewTable));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(table).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// strace shows the new table renamed into place and the folder synced
// before "更新成功" is said.
TEST(ImportFiles, TheFolderIsSyncedAfterTheRenameBeforeSuccessIsSaid) {
    class Marking : public test::FakePrompts {
    public:
        explicit Marking(QString folder) : folder_(std::move(folder)) {}
        void ok(const QString& text, const QString& title) override {
            if (text == kSuccess) test::SystemTrace::mark(folder_, QStringLiteral("success-said"));
            FakePrompts::ok(text, title);
        }

    private:
        QString folder_;
    };
    if (const QString folder = test::SystemTrace::tracedFolder(); !folder.isEmpty()) {
        GbkTextFiles files;
        Marking prompts(folder);
        test::FakeChooser chooser(QStringLiteral("/somewhere/goods.xls"));
        OneRow reader;
        test::FakeClock clock;
        NumberFormat numbers;
        BarcodeImport import(files, prompts, chooser, reader, clock, numbers, folder);
        prompts.answer({true});
        import.Command2_Click();
        ASSERT_EQ(prompts.shown.back().text, kSuccess);
        return;
    }
    QTemporaryDir dir;
    {
        QFile old(dir.filePath(QStringLiteral("collector.txt")));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old\r\n");
    }
    test::SystemTrace trace;
    if (!trace.run(dir.path())) GTEST_SKIP() << trace.why().toStdString();
    SCOPED_TRACE(trace.events().join(u'\n').toStdString());
    const qsizetype created = trace.find(QStringLiteral("create collector.txt.*"));
    ASSERT_GE(created, 0);
    const qsizetype synced = trace.find(QStringLiteral("fsync collector.txt.*"), created);
    ASSERT_GE(synced, 0);
    const qsizetype renamed = trace.find(QStringLiteral("rename collector.txt.* collector.txt"), synced);
    ASSERT_GE(renamed, 0);
    const qsizetype folderSynced =
        trace.find(QStringLiteral("fsync ") + QFileInfo(dir.path()).fileName() + u'/', renamed);
    ASSERT_GE(folderSynced, 0);
    EXPECT_GT(trace.find(QStringLiteral("mark success-said")), folderSynced);
    QFile table(dir.filePath(QStringLiteral("collector.txt")));
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    EXPECT_EQ(table.readAll(), test::gbk(kNewTable));
}

}  // namespace
}  // namespace tovrin
