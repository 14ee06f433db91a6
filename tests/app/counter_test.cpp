#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "fixture.h"
#include "platform/qt/qt_prompts.h"
#include "support/modal_boxes.h"

namespace tovrin::test {
namespace {

const QString kItemFile = QStringLiteral("tovrincomm.txt");
const QString kSaleFile = QStringLiteral("tovrincalculate.txt");
const QString kCola = QStringLiteral("6901234567890");
const QString kValidation = QStringLiteral("实收金额  或 商品价格，数量，折扣比率 表达错误！请重试。");
const QString kNoPrice = QStringLiteral("没有该商品条码对应价格！");

QString colaItem() {
    return QStringLiteral("商品:  可乐") + QString(36, QLatin1Char(' ')) +
           QStringLiteral("\t   折扣：   \t0\t商品总价格：  \t3.5\t  商品 数量：  \t1\t  商品 条码：  \t") +
           kCola + QStringLiteral("\t\r\n\r\n");
}

QString priceItem(const char* total) {
    return QStringLiteral("商品:  1\t   折扣：   \t0\t商品总价格：  \t%1\t  商品 数量：  \t1\t\r\n\r\n")
        .arg(QString::fromLatin1(total));
}

// The window on the screen with the keyboard, as the cashier finds it.
class CounterTest : public WindowTest {
protected:
    void SetUp() override {
        files.putText(
            QStringLiteral("collector.txt"),
            QStringLiteral("\t条码\t商品名称\t规格\t单位\t销售价\r\n\t6901234567890\t可乐\t\t\t3.5\r\n"
                           "\t6900000000007\t雪碧\t\t\t3\r\n\t6900000000007\t雪碧\t\t\t3\r\n"));
        show(makeWindow());
    }
    void show(std::unique_ptr<Form1> window) {
        form = std::move(window);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // Keys go where the keyboard is. When a box has closed, the window
    // manager gives the keyboard back to the window; the offscreen platform
    // has none, so the test does it.
    QWidget* keyboard() const {
        if (!QApplication::activeWindow()) form->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 10000));
        return QApplication::focusWidget();
    }
    void type(const QString& text) { QTest::keyClicks(keyboard(), text); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(keyboard(), key, modifiers);
    }
    // The cashier clicks into the price box (which empties it) and types.
    void typePrice(const QString& text) {
        QTest::mouseClick(form->Text2, Qt::LeftButton);
        form->Text2->setFocus();
        type(text);
    }
    bool waitForKeyboardIn(QWidget* widget) {
        return keyboard() && QTest::qWaitFor([&] { return widget->hasFocus(); }, 10000);
    }

    std::unique_ptr<Form1> form;
};

struct ButtonKey {
    const char* what;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* x11Text;
    bool autoRepeat;
    int clicks;
};

TEST_F(CounterTest, ReturnAndKeypadEnterPressTheFocusedButtonAsSpaceDoes) {
    const ButtonKey keys[] = {
        {"space", Qt::Key_Space, Qt::NoModifier, " ", false, 1},
        {"return", Qt::Key_Return, Qt::NoModifier, "\r", false, 1},
        {"keypad enter", Qt::Key_Enter, Qt::KeypadModifier, "\r", false, 1},
        {"shift+return", Qt::Key_Return, Qt::ShiftModifier, "\r", false, 1},
        {"return held down", Qt::Key_Return, Qt::NoModifier, "\r", true, 0},
        {"ctrl+return", Qt::Key_Return, Qt::ControlModifier, "\n", false, 0},
        {"alt+return", Qt::Key_Return, Qt::AltModifier, "\r", false, 0},
    };
    for (QPushButton* button : {form->Command1_0, form->Command1_1, form->Command2, form->Command3}) {
        for (const ButtonKey& k : keys) {
            button->setFocus();
            ASSERT_TRUE(waitForKeyboardIn(button));
            QSignalSpy clicked(button, &QPushButton::clicked);
            QTest::simulateEvent(keyboard(), true, k.key, k.modifiers, QString::fromLatin1(k.x11Text),
                                 k.autoRepeat);
            QTest::simulateEvent(keyboard(), false, k.key, k.modifiers, QString::fromLatin1(k.x11Text),
                                 k.autoRepeat);
            EXPECT_EQ(clicked.count(), k.clicks) << button->text().toStdString() << ": " << k.what;
        }
    }
}

struct Finish {
    const char* what;
    bool accumulated;
    bool byMouse;
};

TEST_F(CounterTest, AfterAFinishedSaleTheNextDigitsGoIntoThePriceBox) {
    const Finish ways[] = {
        {"one item, Return on 找零", false, false},
        {"one item, click on 找零", false, true},
        {"accumulated, Return on 找零", true, false},
        {"accumulated, click on 找零", true, true},
    };
    for (const Finish& way : ways) {
        show(makeWindow());
        form->Text1->setText(QStringLiteral("100"));
        typePrice(QStringLiteral("10"));
        if (way.accumulated) key(Qt::Key_Return);
        prompts.answer({true});
        form->Command1_0->setFocus();
        ASSERT_TRUE(waitForKeyboardIn(form->Command1_0));
        if (way.byMouse) {
            QTest::mouseClick(form->Command1_0, Qt::LeftButton);
        } else {
            key(Qt::Key_Return);
        }
        ASSERT_TRUE(form->checkout().sale().shp) << way.what;
        ASSERT_EQ(form->RichTextBox1Model.text(), QStringLiteral("90")) << way.what;
        EXPECT_TRUE(form->Text2->hasFocus()) << way.what;

        type(QStringLiteral("12"));
        EXPECT_EQ(form->Text2->text(), QStringLiteral("12")) << way.what;
        // The digits started the next sale.
        EXPECT_EQ(form->RichTextBox1Model.text(), QString()) << way.what;
        EXPECT_TRUE(files.bytes(kItemFile).isEmpty()) << way.what;
    }
}

TEST_F(CounterTest, ASaleNotFinishedKeepsTheKeyboardOnTheButton) {
    form->Text1->setText(QStringLiteral("100"));
    typePrice(QStringLiteral("10"));
    form->Command1_0->setFocus();
    prompts.answer({false});
    key(Qt::Key_Return);
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(form->Command1_0->hasFocus());
    EXPECT_TRUE(files.bytes(kSaleFile).isEmpty());
}

struct Refusal {
    const char* what;
    bool barcodes;      // barcode settlement
    const char* scan;   // what goes into the price box before Enter
    const char* rate;   // the discount rate box
    bool answerNo;      // a question comes and is answered No
    QStringList boxes;  // the boxes shown
};

TEST_F(CounterTest, ARefusedScanStaysSelectedAndTheNextScanReplacesIt) {
    const Refusal refusals[] = {
        {"not in the table",
         true,
         "6900000000014",
         "100",
         false,
         {QStringLiteral("没有此商品条形码！"), kNoPrice}},
        {"twice in the table",
         true,
         "6900000000007",
         "100",
         false,
         {QStringLiteral("此商品条形码重复或表达错误！"), kNoPrice}},
        {"letters", true, "69O1234567890", "100", false, {kValidation}},
        {"negative price answered No",
         false,
         "-10",
         "100",
         true,
         {QStringLiteral(
             "注意，商品价格为负数！当错误录入某种商品价格时，只需将该商品的负数价格录入，即可更正"
             "金额累计！\r\n\t    是否继续？  ")}},
        {"rate above 100", false, "10", "120", false, {QStringLiteral("折扣比率 表达错误！请重试。")}},
    };
    for (const Refusal& r : refusals) {
        show(makeWindow());
        prompts.shown.clear();
        if (r.barcodes) form->Command3->click();
        form->Text3->setText(QString::fromLatin1(r.rate));
        if (r.answerNo) prompts.answer({false});
        typePrice(QString::fromLatin1(r.scan));
        key(Qt::Key_Return);
        EXPECT_EQ(prompts.texts(), r.boxes) << r.what;
        EXPECT_EQ(form->Text2->text(), QString::fromLatin1(r.scan)) << r.what;
        EXPECT_EQ(form->Text2->selectedText(), QString::fromLatin1(r.scan)) << r.what;
        EXPECT_TRUE(form->Text2->hasFocus()) << r.what;

        // The cashier puts the rate right and scans again: the new scan
        // replaces the refused one.
        form->Text3->setText(QStringLiteral("100"));
        type(r.barcodes ? kCola : QStringLiteral("3.5"));
        key(Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(form->Text2->text(), QString()) << r.what;
        EXPECT_EQ(files.bytes(kItemFile), gbk(r.barcodes ? colaItem() : priceItem("3.5"))) << r.what;
    }
}

TEST_F(CounterTest, ARefusedPriceCanBeCorrectedWithTheCursorKeys) {
    typePrice(QStringLiteral("12a"));
    key(Qt::Key_Return);
    ASSERT_EQ(prompts.texts(), QStringList{kValidation});
    ASSERT_EQ(form->Text2->selectedText(), QStringLiteral("12a"));
    key(Qt::Key_End);
    key(Qt::Key_Backspace);
    EXPECT_EQ(form->Text2->text(), QStringLiteral("12"));
    key(Qt::Key_Return);
    EXPECT_EQ(files.bytes(kItemFile), gbk(priceItem("12")));
    EXPECT_EQ(form->Text2->text(), QString());
}

TEST_F(CounterTest, AnAcceptedScanLeavesTheBoxEmptyAndUnselected) {
    form->Command3->click();
    typePrice(kCola);
    key(Qt::Key_Return);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(form->Text2->text(), QString());
    EXPECT_FALSE(form->Text2->hasSelectedText());
}

struct MouseButton {
    const char* what;
    Qt::MouseButton button;
    bool empties;
};

TEST_F(CounterTest, OnlyTheLeftButtonEmptiesABox) {
    const MouseButton buttons[] = {
        {"left", Qt::LeftButton, true},
        {"right", Qt::RightButton, false},
        {"middle", Qt::MiddleButton, false},
    };
    for (QLineEdit* box : {form->Text1, form->Text2, form->Text3, form->Text4}) {
        for (const MouseButton& b : buttons) {
            box->setText(QStringLiteral("25"));
            QTest::mouseClick(box, b.button);
            EXPECT_EQ(box->text(), b.empties ? QString() : QStringLiteral("25"))
                << box->objectName().toStdString() << ", " << b.what;
        }
    }
}

// The window with its real message boxes.
class QuestionTest : public CounterTest {
protected:
    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);
        show(makeWindow(nullptr, &boxes));
        boxes.setParent(form.get());
    }
    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }

    QtPrompts boxes;
};

// A step for a question that is answered by a key after everything else has
// been tried on it.
ModalBoxes::Step answeredBy(Qt::Key key, const char* text) {
    return [=](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), kBoxTitle);
        triesToDismiss(box);
        boxKey(box, key, QString::fromLatin1(text));
    };
}

ModalBoxes::Step closedByEsc(const QString& text) {
    return [=](QMessageBox& box) {
        EXPECT_EQ(box.text(), text);
        boxKey(box, Qt::Key_Escape);
        EXPECT_FALSE(box.isVisible());
    };
}

TEST_F(QuestionTest, TheChangeConfirmationWaitsForAnAnswer) {
    form->Text1->setText(QStringLiteral("100"));
    typePrice(QStringLiteral("35.5"));
    form->Command1_0->setFocus();
    ASSERT_TRUE(waitForKeyboardIn(form->Command1_0));
    {
        ModalBoxes answers{answeredBy(Qt::Key_N, "n")};
        key(Qt::Key_Return);
    }
    EXPECT_TRUE(files.bytes(kSaleFile).isEmpty());
    {
        ModalBoxes answers{answeredBy(Qt::Key_Return, "\r")};
        key(Qt::Key_Return);
    }
    EXPECT_EQ(form->RichTextBox1Model.text(), QStringLiteral("64.5"));
    EXPECT_FALSE(files.bytes(kSaleFile).isEmpty());
    // The window has the keyboard back, in the price box.
    ASSERT_TRUE(waitForKeyboardIn(form->Text2));
    type(QStringLiteral("8"));
    EXPECT_EQ(form->Text2->text(), QStringLiteral("8"));
}

TEST_F(QuestionTest, TheNegativePriceQuestionsWaitForAnAnswer) {
    // At the change button, and at Enter in the price box.
    form->Text1->setText(QStringLiteral("100"));
    typePrice(QStringLiteral("-5"));
    {
        ModalBoxes answers{answeredBy(Qt::Key_N, "n")};
        form->Command1_0->click();
    }
    EXPECT_EQ(form->Text1->text(), QStringLiteral("100"));
    form->Text2->setFocus();
    ASSERT_TRUE(waitForKeyboardIn(form->Text2));
    {
        ModalBoxes answers{answeredBy(Qt::Key_N, "n")};
        key(Qt::Key_Return);
    }
    ASSERT_TRUE(waitForKeyboardIn(form->Text2));
    EXPECT_EQ(form->Text2->selectedText(), QStringLiteral("-5"));
    EXPECT_TRUE(form->checkout().sale().shp);
}

TEST_F(QuestionTest, TheImportStatisticsAndExitQuestionsWaitForAnAnswer) {
    {
        ModalBoxes answers{answeredBy(Qt::Key_N, "n")};
        form->Command2->click();
    }
    {
        ModalBoxes answers{answeredBy(Qt::Key_N, "n"), answeredBy(Qt::Key_N, "n"),
                           closedByEsc(QStringLiteral("还没有营收记录！")),
                           closedByEsc(QStringLiteral("没有 条码结算 的商品的营收记录！"))};
        form->Command1_1->click();
    }
    {
        ModalBoxes answers{answeredBy(Qt::Key_N, "n")};
        EXPECT_FALSE(form->close());
    }
    EXPECT_TRUE(form->isVisible());
    {
        ModalBoxes answers{answeredBy(Qt::Key_Y, "y")};
        EXPECT_TRUE(form->close());
    }
}

}  // namespace
}  // namespace tovrin::test
