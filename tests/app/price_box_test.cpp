#include <QTest>

#include "fixture.h"

namespace tovrin::test {
namespace {

const QString kItemFile = QStringLiteral("tovrincomm.txt");

QString itemLine(const char* number, const char* total) {
    return QStringLiteral("商品:  %1\t   折扣：   \t0\t商品总价格：  \t%2\t  商品 数量：  \t1\t\r\n\r\n")
        .arg(QString::fromLatin1(number), QString::fromLatin1(total));
}

// One key as the cashier's keyboard or scanner sends it. A null text is the
// text QTest gives the key; otherwise the text as X11 reports it.
struct Key {
    const char* what;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    const char* x11Text = nullptr;
};

class PriceBoxTest : public WindowTest {
protected:
    void SetUp() override { form = makeWindow(); }

    void press(const Key& k) {
        if (k.x11Text) {
            QTest::sendKeyEvent(QTest::Click, form->Text2, k.key, QString::fromLatin1(k.x11Text),
                                k.modifiers);
        } else {
            QTest::keyClick(form->Text2, k.key, k.modifiers);
        }
    }
    void typePrice(const char* price) {
        form->Text2->clear();
        QTest::keyClicks(form->Text2, QString::fromLatin1(price));
    }
    // An item of 10 added with Return, then paid with 25: the change 15 is
    // on display and the item file keeps the sale until the next one begins.
    void finishASale() {
        typePrice("10");
        QTest::keyClick(form->Text2, Qt::Key_Return);
        ASSERT_FALSE(form->checkout().sale().shp);
        form->Text1->setText(QStringLiteral("25"));
        prompts.answer({true});
        form->Command1_0->click();
        ASSERT_TRUE(form->checkout().sale().shp);
        ASSERT_EQ(form->RichTextBox1Model.text(), QStringLiteral("15"));
        ASSERT_EQ(files.bytes(kItemFile), gbk(itemLine("1", "10")));
        prompts.shown.clear();
    }
    void expectSaleKept(const char* what) {
        EXPECT_EQ(form->RichTextBox1Model.text(), QStringLiteral("15")) << what;
        EXPECT_EQ(files.bytes(kItemFile), gbk(itemLine("1", "10"))) << what;
        EXPECT_EQ(form->checkout().sale().shpleiji, 1) << what;
        EXPECT_EQ(form->checkout().sale().shpjg, 10) << what;
        EXPECT_EQ(form->checkout().sale().shpsl, 1) << what;
    }

    std::unique_ptr<Form1> form;
};

TEST_F(PriceBoxTest, AfterASaleKeysThatTypeNothingKeepTheChangeAndTheItemFile) {
    const Key keys[] = {
        {"delete", Qt::Key_Delete},
        {"delete as X11 sends it", Qt::Key_Delete, Qt::NoModifier, "\x7f"},
        {"keypad delete", Qt::Key_Delete, Qt::KeypadModifier, "\x7f"},
        {"left", Qt::Key_Left},
        {"right", Qt::Key_Right},
        {"up", Qt::Key_Up},
        {"down", Qt::Key_Down},
        {"home", Qt::Key_Home},
        {"end", Qt::Key_End},
        {"shift+home", Qt::Key_Home, Qt::ShiftModifier},
        {"F1", Qt::Key_F1},
        {"F5", Qt::Key_F5},
        {"control alone", Qt::Key_Control},
        {"shift alone", Qt::Key_Shift},
        {"num lock", Qt::Key_NumLock},
    };
    finishASale();
    for (const Key& k : keys) {
        press(k);
        expectSaleKept(k.what);
        EXPECT_TRUE(form->checkout().sale().shp) << k.what;
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PriceBoxTest, AfterASaleDeleteAndTheArrowsStillEditTheBox) {
    finishASale();
    form->Text2->setText(QStringLiteral("123"));
    form->Text2->setCursorPosition(0);
    QTest::sendKeyEvent(QTest::Click, form->Text2, Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier);
    EXPECT_EQ(form->Text2->text(), QStringLiteral("23"));
    QTest::keyClick(form->Text2, Qt::Key_Right);
    QTest::keyClick(form->Text2, Qt::Key_Delete);
    EXPECT_EQ(form->Text2->text(), QStringLiteral("2"));
    QTest::keyClick(form->Text2, Qt::Key_End);
    EXPECT_EQ(form->Text2->cursorPosition(), 1);
    QTest::keyClick(form->Text2, Qt::Key_Home);
    EXPECT_EQ(form->Text2->cursorPosition(), 0);
    expectSaleKept("editing");
}

TEST_F(PriceBoxTest, AfterASaleEveryTypingKeyStartsANewSale) {
    const Key keys[] = {
        {"digit", Qt::Key_5},
        {"keypad digit", Qt::Key_5, Qt::KeypadModifier},
        {"backspace", Qt::Key_Backspace},
        {"backspace as X11 sends it", Qt::Key_Backspace, Qt::NoModifier, "\b"},
        {"escape", Qt::Key_Escape},
        {"blank", Qt::Key_Space},
        {"ctrl+return", Qt::Key_Return, Qt::ControlModifier},
        {"ctrl+keypad enter", Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier},
    };
    for (const Key& k : keys) {
        form = makeWindow();
        finishASale();
        form->Text2->setText(QStringLiteral("5"));
        press(k);
        EXPECT_EQ(form->RichTextBox1Model.text(), QString()) << k.what;
        EXPECT_TRUE(files.bytes(kItemFile).isEmpty()) << k.what;
        EXPECT_TRUE(QFile::exists(files.path(kItemFile))) << k.what;
        EXPECT_EQ(form->checkout().sale().shpleiji, 0) << k.what;
        EXPECT_EQ(form->checkout().sale().shpjg, 0) << k.what;
        EXPECT_EQ(form->checkout().sale().shpsl, 0) << k.what;
        // None of them adds an item, Ctrl+Enter included.
        EXPECT_TRUE(form->checkout().sale().shp) << k.what;
        EXPECT_TRUE(prompts.shown.empty()) << k.what;
    }
}

TEST_F(PriceBoxTest, ReturnAndKeypadEnterBothAddTheItem) {
    const Key keys[] = {
        {"return", Qt::Key_Return},
        {"return as X11 sends it", Qt::Key_Return, Qt::NoModifier, "\r"},
        {"keypad enter", Qt::Key_Enter, Qt::KeypadModifier},
        {"keypad enter as X11 sends it", Qt::Key_Enter, Qt::KeypadModifier, "\r"},
        {"shift+return", Qt::Key_Return, Qt::ShiftModifier},
    };
    for (const Key& k : keys) {
        form = makeWindow();
        files.put(kItemFile, QByteArray());
        typePrice("10");
        press(k);
        typePrice("4.5");
        press(k);
        EXPECT_EQ(files.bytes(kItemFile), gbk(itemLine("1", "10") + itemLine("2", "4.5"))) << k.what;
        EXPECT_EQ(form->checkout().sale().shpleiji, 2) << k.what;
        EXPECT_EQ(form->checkout().sale().shpjg, 14.5) << k.what;
        EXPECT_EQ(form->Text2->text(), QString()) << k.what;
        EXPECT_TRUE(form->RichTextBox1Model.text().contains(QStringLiteral("商品序号:  2\t"))) << k.what;
        EXPECT_TRUE(form->RichTextBox1Model.text().contains(QStringLiteral("应收金额累计：   \t14.5\r\n")))
            << k.what;
        EXPECT_TRUE(prompts.shown.empty()) << k.what;
    }
}

struct EditDuringASale {
    Key key;
    int cursor;
    const char* after;  // the box's text afterwards
};

TEST_F(PriceBoxTest, DuringASaleOtherKeysChangeNothingButTheBox) {
    const EditDuringASale cases[] = {
        {{"ctrl+return", Qt::Key_Return, Qt::ControlModifier}, 2, "56"},
        {{"ctrl+return as X11 sends it", Qt::Key_Return, Qt::ControlModifier, "\r"}, 2, "56"},
        {{"ctrl+keypad enter", Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier}, 2, "56"},
        {{"delete", Qt::Key_Delete, Qt::NoModifier, "\x7f"}, 0, "6"},
        {{"backspace", Qt::Key_Backspace}, 2, "5"},
        {{"escape", Qt::Key_Escape}, 2, "56"},
        {{"left", Qt::Key_Left}, 2, "56"},
        {{"digit", Qt::Key_7}, 1, "576"},
    };
    for (const EditDuringASale& c : cases) {
        form = makeWindow();
        files.put(kItemFile, QByteArray());
        typePrice("10");
        QTest::keyClick(form->Text2, Qt::Key_Return);
        const QString shown = form->RichTextBox1Model.text();
        form->Text2->setText(QStringLiteral("56"));
        form->Text2->setCursorPosition(c.cursor);
        press(c.key);
        EXPECT_EQ(form->Text2->text(), QString::fromLatin1(c.after)) << c.key.what;
        EXPECT_EQ(form->RichTextBox1Model.text(), shown) << c.key.what;
        EXPECT_EQ(files.bytes(kItemFile), gbk(itemLine("1", "10"))) << c.key.what;
        EXPECT_EQ(form->checkout().sale().shpleiji, 1) << c.key.what;
        EXPECT_EQ(form->checkout().sale().shpjg, 10) << c.key.what;
        EXPECT_FALSE(form->checkout().sale().shp) << c.key.what;
        EXPECT_TRUE(prompts.shown.empty()) << c.key.what;
    }
}

TEST_F(PriceBoxTest, AScannedBarcodeEndingInKeypadEnterIsAdded) {
    files.putText(
        QStringLiteral("collector.txt"),
        QStringLiteral("\t条码\t商品名称\t规格\t单位\t销售价\r\n\t6901234567890\t可乐\t\t\t3.5\r\n"));
    form->Command3->click();
    typePrice("6901234567890");
    QTest::keyClick(form->Text2, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(form->checkout().sale().shpjg, 3.5);
    EXPECT_EQ(form->Text2->text(), QString());
    EXPECT_EQ(
        files.bytes(kItemFile),
        gbk(QStringLiteral("商品:  可乐") + QString(36, QLatin1Char(' ')) +
            QStringLiteral("\t   折扣：   \t0\t商品总价格：  \t3.5\t  商品 数量：  \t1\t  商品 条码：  \t"
                           "6901234567890\t\r\n\r\n")));
}

}  // namespace
}  // namespace tovrin::test
