#include <QApplication>

#include "fixture.h"

namespace tovrin::test {
namespace {

class ExitTest : public WindowTest {
protected:
    void SetUp() override {
        // The test decides about the application, not the last window closed.
        QApplication::setQuitOnLastWindowClosed(false);
        form = makeWindow();
        form->show();
        form->Text1->setText(QStringLiteral("100"));
        form->Text2->setText(QStringLiteral("12.5"));
        form->RichTextBox1Model.append(QStringLiteral("trace\r\n"), 15);
    }
    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }

    void expectAsked() {
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, QStringLiteral("yesno"));
        EXPECT_EQ(prompts.shown[0].text, QStringLiteral("是否退出Tovrin 找零？"));
        EXPECT_EQ(prompts.shown[0].title, QStringLiteral("Tovrin 找零"));
    }

    std::unique_ptr<Form1> form;
};

TEST_F(ExitTest, NoKeepsTheWindowAndEverythingInIt) {
    const QString display = form->RichTextBox1Model.text();
    prompts.answer({false});
    EXPECT_FALSE(form->close());
    expectAsked();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->Text1->text(), QStringLiteral("100"));
    EXPECT_EQ(form->Text2->text(), QStringLiteral("12.5"));
    EXPECT_EQ(form->RichTextBox1Model.text(), display);
    EXPECT_TRUE(form->checkout().sale().shp);
}

TEST_F(ExitTest, NoLeavesARunningAnnouncementGoing) {
    form->voice().startChange(QStringLiteral("100j12.5=87.5"));
    // Three characters spoken: the fourth is next.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(timer3.tick());
    prompts.answer({false});
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(timer3.enabled);
    EXPECT_EQ(form->voice().equal2(), 4);
    EXPECT_EQ(form->voice().equaltime2(), QStringLiteral("100j12.5=87.5"));
}

TEST_F(ExitTest, YesClosesWithoutAnyFurtherMessage) {
    prompts.answer({true});
    EXPECT_TRUE(form->close());
    expectAsked();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(prompts.ranOutOfAnswers);
}

TEST_F(ExitTest, AsksOnEveryCloseRequest) {
    prompts.answer({false, false, true});
    EXPECT_FALSE(form->close());
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->close());
    EXPECT_EQ(prompts.shown.size(), 3u);
}

}  // namespace
}  // namespace tovrin::test
