#include "platform/display.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tovrin
