#include <QAccessible>

#include "fixture.h"
#include "platform/qt/display_accessible.h"

namespace tovrin::test {
namespace {

class AccessibilityTest : public WindowTest {
protected:
    void SetUp() override { installAccessibleFactory(); }
};

// A screen reader finds a window (not a filler) holding the controls in the
// design's order, each box named by its label and the display by its own
// name; the display reads as the notes it shows.
TEST_F(AccessibilityTest, NamesEveryControlAndCallsTheWindowAWindow) {
    auto form = makeWindow();
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("Tovrin  找零软件 "));
    const struct {
        QAccessible::Role role;
        const char16_t* name;
    } expected[] = {
        {QAccessible::StaticText, u"实收金额"},
        {QAccessible::EditableText, u"实收金额"},
        {QAccessible::StaticText, u"商品价格："},
        {QAccessible::EditableText, u"商品价格："},
        {QAccessible::Button, u"找零"},
        {QAccessible::EditableText, u"显示区"},
        {QAccessible::Button, u"统计"},
        {QAccessible::StaticText, u"折扣比率百分之："},
        {QAccessible::EditableText, u"折扣比率百分之："},
        {QAccessible::StaticText, u"商品数量："},
        {QAccessible::EditableText, u"商品数量："},
        {QAccessible::Button, u"更新条码价格"},
        {QAccessible::Button, u"价格结算"},
    };
    ASSERT_EQ(window->childCount(), int(std::size(expected)));
    for (int i = 0; i < window->childCount(); ++i) {
        QAccessibleInterface* child = window->child(i);
        EXPECT_EQ(child->role(), expected[i].role) << i;
        EXPECT_EQ(child->text(QAccessible::Name), QString::fromUtf16(expected[i].name)) << i;
    }
    QAccessibleTextInterface* display =
        QAccessible::queryAccessibleInterface(form->RichTextBox1)->textInterface();
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->text(0, display->characterCount()), form->RichTextBox1->toPlainText());
}

}  // namespace
}  // namespace tovrin::test
