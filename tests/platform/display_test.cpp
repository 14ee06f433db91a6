#include "platform/display.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QTest>

#include "platform/qt/display_view.h"

namespace tovrin {
namespace {

using DisplayRun = TextModel::Run;

TEST(Display, KeepsExactlyTheTextInserted) {
    TextModel model;
    model.setText(QStringLiteral("0"));
    model.setText(QString());
    EXPECT_EQ(model.text(), QString());
    const QString journal = QStringLiteral("a\tb\r\n\r\n商品\r\n");
    model.append(journal + QStringLiteral("\r\n"), 12);
    EXPECT_EQ(model.text(), journal + QStringLiteral("\r\n"));
    EXPECT_EQ(model.selStart(), model.length());
}

TEST(Display, SizeAndColourApplyToTheNextInsertion) {
    TextModel model;
    model.append(QStringLiteral("list\r\n"), 15);
    model.setSelFontSize(200);
    model.setSelColor(kBlack);
    model.setSelStart(model.length());
    model.setSelText(QStringLiteral("64.5"));
    model.setSelFontSize(135);
    model.setSelColor(kGreen);
    model.setSelText(QStringLiteral("x"));
    const std::vector<DisplayRun> expected{{0, 6, 15, kBlack}, {6, 4, 200, kBlack}, {10, 1, 135, kGreen}};
    EXPECT_EQ(model.runs(), expected);
}

TEST(Display, InsertingInsideSplitsTheRun) {
    TextModel model;
    model.append(QStringLiteral("abcd"), 12);
    model.setSelStart(2);
    model.setSelLength(1);
    model.setSelFontSize(20);
    model.setSelText(QStringLiteral("XY"));
    EXPECT_EQ(model.text(), QStringLiteral("abXYd"));
    const std::vector<DisplayRun> expected{{0, 2, 12, kBlack}, {2, 2, 20, kBlack}, {4, 1, 12, kBlack}};
    EXPECT_EQ(model.runs(), expected);
}

TEST(Display, TellsTheViewWhatChanged) {
    TextModel model;
    std::vector<TextModel::Change> changes;
    model.onChange([&](const TextModel::Change& c) { changes.push_back(c); });
    model.setText(QStringLiteral("notes"));
    model.append(QStringLiteral("more"), 15);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(changes[0].reset);
    EXPECT_FALSE(changes[1].reset);
    EXPECT_EQ(changes[1].position, 5);
    EXPECT_EQ(changes[1].text, QStringLiteral("more"));
    EXPECT_EQ(changes[1].size, 15);
}

// A new whole text tells how much of the old one it begins with; appending
// to the whole text is setting it anew, in the base format.
TEST(Display, TellsHowMuchOfTheOldTextANewOneKeeps) {
    TextModel model;
    model.append(QStringLiteral("report\r\n"), 15);
    std::vector<TextModel::Change> changes;
    model.onChange([&](const TextModel::Change& c) { changes.push_back(c); });
    model.setTextAppending(QStringLiteral("totals"));
    model.setText(QStringLiteral("repeat"));
    model.setText(QString());
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(model.runs(), std::vector<DisplayRun>{});
    const struct {
        qsizetype kept;
        const char* removed;
        const char* text;
    } expected[] = {{8, "", "report\r\ntotals"}, {3, "ort\r\ntotals", "repeat"}, {0, "repeat", ""}};
    for (size_t i = 0; i < changes.size(); ++i) {
        EXPECT_TRUE(changes[i].reset);
        EXPECT_EQ(changes[i].position, expected[i].kept) << i;
        EXPECT_EQ(changes[i].removedText, QString::fromUtf8(expected[i].removed)) << i;
        EXPECT_EQ(changes[i].text, QString::fromUtf8(expected[i].text)) << i;
    }
    model.setText(QStringLiteral("a"));
    model.setTextAppending(QStringLiteral("b"));
    EXPECT_EQ(model.runs(), (std::vector<DisplayRun>{{0, 2, 12, kBlack}}));
}

TEST(DisplayView, BreaksLinesWhereTheDocumentWould) {
    TextModel model;
    DisplayView view(model);
    model.setText(QStringLiteral("a\tb\r\n\r\nc\rd\ne\r\n"));
    const QStringList expected = {"a\tb", "", "c", "d", "e", ""};
    ASSERT_EQ(view.lineCount(), expected.size());
    for (qsizetype k = 0; k < expected.size(); ++k) EXPECT_EQ(view.lineText(k), expected[k]) << k;
    model.setText(QString());
    EXPECT_EQ(view.lineCount(), 1);
    EXPECT_EQ(view.lineText(0), QString());
}

TEST(DisplayView, FollowsInsertionsAndStartsAtTheTopAfterANewText) {
    TextModel model;
    DisplayView view(model);
    view.resize(300, 200);
    view.show();
    for (int i = 0; i < 100; ++i) model.append(QStringLiteral("line %1\r\n").arg(i), 12);
    QScrollBar* bar = view.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    model.setText(model.text() + QStringLiteral("end"));
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(view.lineText(view.lineCount() - 1), QStringLiteral("end"));
}

TEST(DisplayView, LargerCharactersMakeTheirLineTaller) {
    TextModel small, large;
    DisplayView smallView(small), largeView(large);
    for (DisplayView* v : {&smallView, &largeView}) v->resize(300, 100);
    for (int i = 0; i < 20; ++i) {
        small.append(QStringLiteral("64.5\r\n"), 12);
        large.append(QStringLiteral("64.5\r\n"), 200);
    }
    EXPECT_GT(largeView.verticalScrollBar()->maximum(), 5 * smallView.verticalScrollBar()->maximum());
}

TEST(DisplayView, PaintsInTheColourOfTheText) {
    TextModel model;
    DisplayView view(model);
    view.resize(400, 300);
    model.setSelColor(kGreen);
    model.append(QStringLiteral("8"), 135);
    const QImage image = view.viewport()->grab().toImage();
    bool green = false;
    for (int y = 0; y < image.height() && !green; ++y) {
        for (int x = 0; x < image.width() && !green; ++x)
            green = image.pixelColor(x, y) == QColor(10, 250, 30);
    }
    EXPECT_TRUE(green);
}

TEST(DisplayView, SelectsAllForCopying) {
    TextModel model;
    DisplayView view(model);
    model.setText(QStringLiteral("a\r\nb\tc"));
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view.selectedText(), QStringLiteral("a\nb\tc"));
    model.append(QStringLiteral("d"), 12);  // a change ends the selection
    EXPECT_EQ(view.selectedText(), QString());
}

TEST(DisplayView, IndexesAHugeTextWhole) {
    TextModel model;
    DisplayView view(model);
    QString text;
    for (int i = 0; i < 60000; ++i) text += QStringLiteral("\t商品%1\t\t12.5\t\t3\r\n").arg(i);
    model.setText(text + QStringLiteral("合计"));
    EXPECT_EQ(view.lineCount(), 60001);
    EXPECT_EQ(view.lineText(59999), QStringLiteral("\t商品59999\t\t12.5\t\t3"));
    EXPECT_EQ(view.lineText(60000), QStringLiteral("合计"));
}

}  // namespace
}  // namespace tovrin
