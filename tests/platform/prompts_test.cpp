#include <gtest/gtest.h>

#include "platform/qt/qt_prompts.h"
#include "support/modal_boxes.h"

namespace tovrin::test {
namespace {

const QString kQuestion = QStringLiteral("是否退出Tovrin 找零？");

struct Answer {
    const char* what;
    Qt::Key key;
    const char* text;
    bool yes;
};

TEST(QtPrompts, AQuestionWaitsForYesOrNo) {
    const Answer answers[] = {
        {"Y", Qt::Key_Y, "y", true},
        {"N", Qt::Key_N, "n", false},
        {"Return on the default button", Qt::Key_Return, "\r", true},
        {"keypad Enter on the default button", Qt::Key_Enter, "\r", true},
    };
    for (const Answer& a : answers) {
        QtPrompts prompts;
        ModalBoxes boxes{[&](QMessageBox& box) {
            EXPECT_EQ(box.text(), kQuestion);
            EXPECT_EQ(box.windowTitle(), kBoxTitle);
            triesToDismiss(box);
            boxKey(box, a.key, QString::fromLatin1(a.text));
        }};
        EXPECT_EQ(prompts.yesNo(kQuestion), a.yes) << a.what;
        EXPECT_EQ(boxes.answered, 1) << a.what;
    }
}

struct Dismissal {
    const char* what;
    std::function<void(QMessageBox&)> act;
};

TEST(QtPrompts, AnOkBoxClosesWithEscReturnOrItsCloseButton) {
    const Dismissal ways[] = {
        {"Esc", [](QMessageBox& box) { boxKey(box, Qt::Key_Escape); }},
        {"Return", [](QMessageBox& box) { boxKey(box, Qt::Key_Return, QStringLiteral("\r")); }},
        {"keypad Enter", [](QMessageBox& box) { boxKey(box, Qt::Key_Enter, QStringLiteral("\r")); }},
        {"close button", [](QMessageBox& box) { EXPECT_TRUE(closeFromTitleBar(box)); }},
    };
    for (const Dismissal& way : ways) {
        QtPrompts prompts;
        ModalBoxes boxes{[&](QMessageBox& box) {
            EXPECT_EQ(box.text(), QStringLiteral("没有该商品条码对应价格！"));
            way.act(box);
            EXPECT_FALSE(box.isVisible()) << way.what;
        }};
        prompts.ok(QStringLiteral("没有该商品条码对应价格！"));
        EXPECT_EQ(boxes.answered, 1) << way.what;
    }
}

}  // namespace
}  // namespace tovrin::test
