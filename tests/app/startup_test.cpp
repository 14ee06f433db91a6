#include <QFontInfo>
#include <QScrollBar>

#include "app/layout.h"
#include "app/notes.h"
#include "fixture.h"

namespace tovrin::test {
namespace {

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

TEST(UsageNotes, AreTheThirteenLinesWithTheirBlanksAndBreaks) {
    const QString crlf = QStringLiteral("\r\n");
    const QString expected =
        crlf + blanks(38) + QStringLiteral("自带语音提示—Tovrin找零软件使用说明") + blanks(48) + crlf + crlf +
        blanks(10) +
        QStringLiteral(
            "Tovrin找零软件是一款简单易用的找零软件，当商品只有一个时，输入实收金额，商品价格，数量，折扣率"
            "，") +
        crlf + blanks(4) +
        QStringLiteral(
            "再单击“找零”按钮，即可自动计算出找零金额，其中商品数量默认为：1个，折扣率默认为：100%"
            "，即没有折扣，") +
        blanks(1) + crlf + blanks(4) + QStringLiteral("如果折扣为八五折，则应输入：85，表明折扣率为：85%。") +
        crlf + crlf + blanks(9) +
        QStringLiteral(
            "如果商品不止一个，在输入商品价格后，在该文本框中，再按回车键Enter "
            ",可以将商品一起结账后，再找零！") +
        crlf + crlf + blanks(4) +
        QStringLiteral("在商品累计的过程中，会有这一过程的跟踪显示，用户可以亲自核算一下。") + crlf + crlf +
        blanks(9) +
        QStringLiteral("当错误录入某种商品价格时，只需将该商品的负数价格录入，即可更正金额累计！") + crlf +
        crlf + blanks(9) +
        QStringLiteral("单击”更新条码价格“按钮之前，请按照/opt/till 7/商品条形码价格表.xls的格式，") + crlf +
        blanks(4) +
        QStringLiteral("更新商品的（条码，商品名称，销售价）3列条目即可，以便通过扫描条码结算商品金额！") +
        crlf + crlf + blanks(9) +
        QStringLiteral(
            "单击”价格结算“按钮，可以更改商品结算的方式为：条码结算，同时按钮显示为“条码结算”，再次单击按钮"
            "，") +
        crlf + blanks(4) + QStringLiteral("则会恢复到“价格结算”方式！") + crlf + crlf + blanks(9) +
        QStringLiteral(
            "单击”统计“按钮，在弹出的对话框中，选择“是”，可以将当天或当月的交易金额明细统计显示出来，选择"
            "“否”，可以") +
        crlf + blanks(4) +
        QStringLiteral("将当天或当月的商品销售明细统计出来！这一点，留给用户再次核算是否正确。") + crlf +
        crlf;
    EXPECT_EQ(usageNotes(QStringLiteral("/opt/till 7")), expected);
}

TEST(UsageNotes, BreakEveryLineWithCrLfOnly) {
    const QString notes = usageNotes(QStringLiteral("/x"));
    EXPECT_EQ(notes.count(QStringLiteral("\r\n")), 22);
    EXPECT_EQ(notes.count(QLatin1Char('\n')), 22);
    EXPECT_EQ(notes.count(QLatin1Char('\r')), 22);
    EXPECT_FALSE(notes.contains(QLatin1Char('\\')));
}

using StartupTest = WindowTest;

TEST_F(StartupTest, GivesTheFieldsTheirFirstValues) {
    clock.set(QStringLiteral("2018-05-12T09:05:07"));
    auto form = makeWindow();
    EXPECT_EQ(form->voice().equal(), 1);
    EXPECT_EQ(form->voice().equal2(), 1);
    EXPECT_TRUE(form->checkout().sale().wav);
    EXPECT_TRUE(form->checkout().sale().shp);
    EXPECT_FALSE(form->checkout().sale().tiaomajiesuan);
    EXPECT_EQ(form->zhuanda, QStringLiteral("2018-5-12"));
    EXPECT_FALSE(timer2.enabled);
    EXPECT_FALSE(timer3.enabled);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(sound.played.isEmpty());
}

TEST_F(StartupTest, TakesTodaysDateAlsoAtMidnightAndOnTheLastDayOfTheYear) {
    const struct {
        const char* now;
        const char* date;
    } cases[] = {
        {"2018-05-12T00:00:00", "2018-5-12"},
        {"2019-12-31T23:59:59", "2019-12-31"},
        {"2020-01-01T10:00:00", "2020-1-1"},
    };
    for (const auto& c : cases) {
        clock.set(QString::fromLatin1(c.now));
        EXPECT_EQ(makeWindow()->zhuanda, QString::fromLatin1(c.date)) << c.now;
    }
}

TEST_F(StartupTest, ProbesWhetherFractionsGetALeadingZero) {
    NoLeadingZeroFormat bare;
    EXPECT_TRUE(makeWindow(&numbers)->checkout().sale().zerob);
    EXPECT_FALSE(makeWindow(&bare)->checkout().sale().zerob);
}

TEST_F(StartupTest, ShowsTheNotesInPlaceOfTheDesignTextWithoutWrapping) {
    auto form = makeWindow();
    EXPECT_EQ(form->RichTextBox1Model.text(), usageNotes(files.folder()));
    EXPECT_TRUE(
        form->RichTextBox1Model.text().contains(files.folder() + QStringLiteral("/商品条形码价格表.xls")));
    ASSERT_EQ(form->RichTextBox1Model.runs().size(), 1u);
    EXPECT_EQ(form->RichTextBox1Model.runs()[0].size, 12);
    EXPECT_EQ(form->RichTextBox1Model.runs()[0].color, kBlack);
    EXPECT_EQ(form->RichTextBox1->lineWrapMode(), QTextEdit::NoWrap);
    // The notes stay at the top of the display.
    form->show();
    EXPECT_EQ(form->RichTextBox1->verticalScrollBar()->value(), 0);
    // The view holds the notes too, as paragraphs.
    EXPECT_EQ(form->RichTextBox1->toPlainText(),
              QString(form->RichTextBox1Model.text()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

TEST_F(StartupTest, SetsCaptionAndMaximisesTheWindow) {
    auto form = makeWindow();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tovrin  找零软件 "));
    EXPECT_EQ(form->caption(), QStringLiteral("Tovrin  找零软件 "));
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form->Command3->text(), QStringLiteral("价格结算"));
}

TEST_F(StartupTest, KeepsTheDesignTextsOfTheBoxes) {
    auto form = makeWindow();
    EXPECT_EQ(form->Text1->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Text2->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Text3->text(), QStringLiteral("100"));
    EXPECT_EQ(form->Text4->text(), QStringLiteral("1"));
}

TEST_F(StartupTest, ColoursWindowLabelsButtonsAndBoxes) {
    auto form = makeWindow();
    const QColor window(232, 212, 160);
    const QColor box(228, 228, 192);
    const struct {
        QWidget* widget;
        QPalette::ColorRole role;
        QColor colour;
        bool filled;
    } cases[] = {
        {form.get(), QPalette::Window, window, true},
        {form->Label1, QPalette::Window, window, true},
        {form->Label2, QPalette::Window, window, true},
        {form->Command1_0, QPalette::Button, window, true},
        {form->Command1_1, QPalette::Button, window, true},
        {form->Command2, QPalette::Button, window, true},
        {form->Command3, QPalette::Button, window, true},
        {form->Text1, QPalette::Base, box, true},
        {form->Text2, QPalette::Base, box, true},
        {form->Text3, QPalette::Base, box, true},
        {form->Text4, QPalette::Base, box, true},
        {form->RichTextBox1->viewport(), QPalette::Base, box, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.widget->palette().color(c.role), c.colour) << c.widget->objectName().toStdString();
        EXPECT_EQ(c.widget->autoFillBackground(), c.filled) << c.widget->objectName().toStdString();
    }
    // The bottom labels show the window through.
    EXPECT_FALSE(form->Label3->autoFillBackground());
    EXPECT_FALSE(form->Label4->autoFillBackground());
    // The buttons' colour shows whatever the style.
    EXPECT_TRUE(form->Command1_0->styleSheet().contains(window.name()));
}

TEST_F(StartupTest, UsesTheBoldDesignFontAtTheDesignSizes) {
    auto form = makeWindow();
    const struct {
        QWidget* widget;
        double points;
    } cases[] = {
        {form->Label1, 16.5},   {form->Text1, 36},        {form->Label2, 15},     {form->Text2, 36},
        {form->Command1_0, 18}, {form->RichTextBox1, 12}, {form->Command1_1, 18}, {form->Label3, 15},
        {form->Text3, 18},      {form->Label4, 15},       {form->Text4, 15},      {form->Command2, 15},
        {form->Command3, 15},
    };
    for (const auto& c : cases) {
        const QFont font = c.widget->font();
        EXPECT_TRUE(font.bold()) << c.widget->objectName().toStdString();
        EXPECT_EQ(font.pointSizeF(), c.points) << c.widget->objectName().toStdString();
        EXPECT_EQ(font.family(), designFamily()) << c.widget->objectName().toStdString();
    }
    // One of the faces with Chinese glyphs is installed on every build machine.
    EXPECT_EQ(QFontInfo(form->Label1->font()).family(), designFamily());
}

}  // namespace
}  // namespace tovrin::test
