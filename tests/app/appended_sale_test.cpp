// The reports over journals that the checkout appended to: a sale after a
// last line that an editor left without its line end is counted, and a
// report's work file never follows a link out of the program folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/datafile.h"
#include "records/journal.h"
#include "stats/statistics.h"
#include "tests/checkout/fixture.h"

namespace tovrin {
namespace {

const QString CRLF = QStringLiteral("\r\n");

class AppendedSale : public ::testing::Test, protected test::CheckoutFixture {
protected:
    // The amounts report (Yes) or the goods report (No), for today.
    void report(bool amounts) {
        Statistics stats(form, display, prompts, files, clock, ReportNumbers{*numbers},
                         QStringLiteral("2018-5-12"), files.folder());
        prompts.answer({amounts, true});
        stats.Command1_1_Click();
        ASSERT_FALSE(prompts.ranOutOfAnswers);
    }
    void sell() {
        form.set(QStringLiteral("100"), QStringLiteral("35.5"), QStringLiteral("100"), QStringLiteral("1"));
        prompts.answer({true});
        checkout.Command1_0_Click();
        ASSERT_EQ(form.text(Box::Text1), QStringLiteral("0"));
    }
};

TEST_F(AppendedSale, ASaleAfterALastLineWithoutLineEndIsCountedByTheDayReport) {
    const auto line = [](const QString& time, const QString& received) {
        return saleLine({QStringLiteral("2018-5-12 ") + time, QStringLiteral("0"), received,
                         QStringLiteral("7.3"), QStringLiteral("1"), QStringLiteral("12.7")},
                        false);
    };
    files.putText(QStringLiteral("tovrincalculate.txt"),
                  line(QStringLiteral("8:00:00"), QStringLiteral("20")) + CRLF +
                      line(QStringLiteral("8:30:00"), QStringLiteral("50")));
    sell();
    report(true);
    EXPECT_EQ(form.windowCaption, QStringLiteral("Tovrin 找零     3   "));
    EXPECT_TRUE(display.text().contains(QStringLiteral("实收金额合计：     \t170      \t")))
        << display.text().toStdString();
}

TEST_F(AppendedSale, AWorkFileThatIsALinkIsRefusedAndWhatItPointsToIsKept) {
    sell();
    const QByteArray ownBytes = "the owner's own file\r\n";
    for (const auto& [name, amounts] :
         {std::pair(QStringLiteral("betweenp.txt"), true), std::pair(QStringLiteral("betweenpq.txt"), true),
          std::pair(QStringLiteral("betweensum.txt"), false)}) {
        SCOPED_TRACE(name.toStdString());
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("own.txt"));
        {
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(ownBytes);
        }
        QFile::remove(files.path(name));  // left by the report before
        ASSERT_TRUE(QFile::link(target, files.path(name)));
        prompts.shown.clear();
        report(amounts);
        EXPECT_TRUE(prompts.texts().contains(QStringLiteral("无法写入 ") + files.path(name) +
                                             QStringLiteral("：") + notRegularReason(S_IFLNK)))
            << prompts.texts().join(u'|').toStdString();
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), ownBytes);
        EXPECT_TRUE(QFileInfo(files.path(name)).isSymLink());
    }
}

}  // namespace
}  // namespace tovrin
