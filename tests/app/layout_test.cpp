#include "app/layout.h"

#include "fixture.h"

namespace tovrin::test {
namespace {

// The design values the rule measures against, as 96-dpi controls report
// them: Text1 792 twips high is 53 pixels, Text3 at 10320 is 688 pixels and
// 852 wide is 57 pixels, as is Command3.
LayoutInput designAt96(double widthPx, double heightPx) {
    LayoutInput in;
    in.windowWidth = widthPx * 15;
    in.windowHeight = heightPx * 15;
    in.text1Height = 53 * 15;
    in.text3Left = 688 * 15;
    in.text3Width = 57 * 15;
    in.command3Width = 57 * 15;
    return in;
}

struct SizeCase {
    const char* name;
    int width, height;  // outer size in pixels
    LayoutResult expected;
};

// Worked out by hand from the rule (twips = 15 x pixels).
const SizeCase kSizes[] = {
    // 1366 x 768: the settlement button's right edge meets the display's.
    {"wide", 1366, 768, {68, 114, 1229, 536, 1240, 660, 660, 660, 659, 660, 659}},
    // 1024 x 600.
    {"medium", 1024, 600, {51, 101, 922, 410, 916, 521, 521, 521, 520, 521, 520}},
    // The design size 819 x 632: the display's right edge would bring the
    // settlement button within 200 twips of the discount box, so it keeps 200
    // to the right of that box (11375 twips = 758 pixels) and sticks out.
    {"narrow", 819, 632, {41, 104, 737, 434, 758, 548, 548, 548, 547, 548, 547}},
};

TEST(LayoutRule, PlacesDisplayAndBottomRowForEachWindowSize) {
    for (const SizeCase& c : kSizes) {
        EXPECT_EQ(layoutRule(designAt96(c.width, c.height)), c.expected) << c.name;
    }
}

TEST(LayoutRule, KeepsTheSettlementButton200FromTheDiscountBox) {
    for (const SizeCase& c : kSizes) {
        const LayoutResult r = layoutRule(designAt96(c.width, c.height));
        EXPECT_GE(r.command3Left * 15, (688 + 57) * 15 + 200 - 7) << c.name;  // within half a pixel
    }
}

TEST(LayoutRule, WidthMovesOnlyHorizontallyAndHeightOnlyVertically) {
    const LayoutResult base = layoutRule(designAt96(1366, 768));
    LayoutResult wider = layoutRule(designAt96(1600, 768));
    EXPECT_NE(wider.displayLeft, base.displayLeft);
    EXPECT_NE(wider.displayWidth, base.displayWidth);
    EXPECT_NE(wider.command3Left, base.command3Left);
    wider.displayLeft = base.displayLeft;
    wider.displayWidth = base.displayWidth;
    wider.command3Left = base.command3Left;
    EXPECT_EQ(wider, base);

    LayoutResult taller = layoutRule(designAt96(1366, 900));
    EXPECT_NE(taller.displayTop, base.displayTop);
    EXPECT_NE(taller.command1_1Top, base.command1_1Top);
    EXPECT_EQ(taller.displayLeft, base.displayLeft);
    EXPECT_EQ(taller.displayWidth, base.displayWidth);
    EXPECT_EQ(taller.command3Left, base.command3Left);
}

TEST(LayoutRule, NeverGivesTheDisplayANegativeSize) {
    LayoutInput in = designAt96(0, 20);  // lower than the amount box
    const LayoutResult r = layoutRule(in);
    EXPECT_EQ(r.displayWidth, 0);
    EXPECT_EQ(r.displayHeight, 0);
    EXPECT_GE(r.command1_1Top, r.displayTop);
}

TEST(LayoutRule, ScalesWithTheScreensDpi) {
    // At 192 dpi a pixel is 7.5 twips: the same window in twips, twice the pixels.
    LayoutInput in;
    in.twipsPerPixelX = in.twipsPerPixelY = 7.5;
    in.windowWidth = 20490;
    in.windowHeight = 11520;
    in.text1Height = 106 * 7.5;
    in.text3Left = 1376 * 7.5;
    in.text3Width = 114 * 7.5;
    in.command3Width = 114 * 7.5;
    const LayoutResult r = layoutRule(in);
    EXPECT_EQ(r.displayLeft, 137);     // 1024.5 / 7.5 = 136.6
    EXPECT_EQ(r.displayTop, 229);      // (921.6 + 795) / 7.5 = 228.88
    EXPECT_EQ(r.displayWidth, 2459);   // 18441 / 7.5 = 2458.8
    EXPECT_EQ(r.displayHeight, 1073);  // (11520 - 795) * 0.75 / 7.5 = 1072.5
    EXPECT_EQ(r.command3Left, 2482);   // (137 + 2459) - 114
}

using WindowLayoutTest = WindowTest;

struct Placed {
    QRect display;
    QPoint command3, command1_1, label3, text3, label4, text4;
    bool operator==(const Placed&) const = default;
};

Placed placed(const Form1& form) {
    return {form.RichTextBox1->geometry(),
            form.Command3->pos(),
            form.Command1_1->pos(),
            form.Label3->pos(),
            form.Text3->pos(),
            form.Label4->pos(),
            form.Text4->pos()};
}

// Gives the window the outer size `outer`, whatever frame the platform draws.
void resizeOuter(Form1& form, QSize outer) {
    const QSize frame = form.frameGeometry().size() - form.size();
    form.resize(outer - frame);
}

Placed expectedPlacement(const LayoutResult& r) {
    // Left edges of the bottom row other than Command3 keep their design values.
    return {QRect(r.displayLeft, r.displayTop, r.displayWidth, r.displayHeight),
            QPoint(r.command3Left, r.command3Top),
            QPoint(88, r.command1_1Top),
            QPoint(568, r.label3Top),
            QPoint(688, r.text3Top),
            QPoint(312, r.label4Top),
            QPoint(456, r.text4Top)};
}

TEST_F(WindowLayoutTest, AppliesTheRuleOnEveryResize) {
    auto form = makeWindow();
    if (form->logicalDpiX() != 96 || form->logicalDpiY() != 96) GTEST_SKIP() << "screen is not 96 dpi";
    form->setWindowState(Qt::WindowNoState);
    form->show();
    for (const SizeCase& c : kSizes) {
        resizeOuter(*form, QSize(c.width, c.height));
        ASSERT_EQ(form->frameGeometry().size(), QSize(c.width, c.height)) << c.name;
        EXPECT_EQ(placed(*form), expectedPlacement(c.expected)) << c.name;
    }
    // The top row and every size keep their design values.
    EXPECT_EQ(form->Text1->geometry(), QRect(148, 16, 153, 53));
    EXPECT_EQ(form->Command1_0->geometry(), QRect(704, 24, 93, 41));
    EXPECT_EQ(form->Command2->geometry(), QRect(832, 24, 145, 41));
    EXPECT_EQ(form->Command3->size(), QSize(57, 41));
    EXPECT_EQ(form->Text3->size(), QSize(57, 41));
}

TEST_F(WindowLayoutTest, LeavesAMinimisedWindowAloneAndReappliesOnRestore) {
    auto form = makeWindow();
    if (form->logicalDpiX() != 96 || form->logicalDpiY() != 96) GTEST_SKIP() << "screen is not 96 dpi";
    form->setWindowState(Qt::WindowNoState);
    form->show();
    resizeOuter(*form, QSize(1366, 768));
    const Placed before = placed(*form);

    form->setWindowState(Qt::WindowMinimized);
    resizeOuter(*form, QSize(1024, 600));
    EXPECT_EQ(placed(*form), before);

    form->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(placed(*form), expectedPlacement(kSizes[1].expected));
}

TEST_F(WindowLayoutTest, HasAMinimumSizeThatKeepsTheDisplayOpen) {
    auto form = makeWindow();
    form->setWindowState(Qt::WindowNoState);
    form->show();
    form->resize(10, 10);
    EXPECT_GT(form->RichTextBox1->height(), 0);
    EXPECT_GT(form->RichTextBox1->width(), 0);
    EXPECT_GT(form->Command1_1->y(), form->RichTextBox1->geometry().bottom());
}

}  // namespace
}  // namespace tovrin::test
