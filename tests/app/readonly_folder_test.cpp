#include <QTest>

#include "fixture.h"

namespace tovrin::test {
namespace {

using ReadOnlyFolderTest = WindowTest;

// In a folder where tovrincomm.txt cannot be written, the new sale's reset
// is reported once, and every key typed still lands in the price box.
TEST_F(ReadOnlyFolderTest, TheResetIsReportedOnceAndNoKeyIsLost) {
    files.failing.insert(QStringLiteral("tovrincomm.txt"));
    auto form = makeWindow();
    form->Text2->clear();
    form->Text2->setFocus();
    QTest::keyClicks(form->Text2, QStringLiteral("35.5"));
    EXPECT_EQ(form->Text2->text(), QStringLiteral("35.5"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("无法写入 ") +
                                         files.path(QStringLiteral("tovrincomm.txt")) +
                                         QStringLiteral("：No space left on device"));
    // Another sale begins only after one is finished: still one box.
    QTest::keyClicks(form->Text2, QStringLiteral("7"));
    EXPECT_EQ(prompts.shown.size(), 1u);
}

}  // namespace
}  // namespace tovrin::test
