#include "support/modal_boxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWindow>

namespace tovrin::test {

ModalBoxes::ModalBoxes(std::initializer_list<Step> steps) : steps_(steps) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
}

ModalBoxes::~ModalBoxes() { EXPECT_TRUE(steps_.empty()) << steps_.size() << " boxes did not open"; }

void ModalBoxes::poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    // The keys go to the box once it has the keyboard.
    if (busy_ || !box || !box->isVisible() || !box->isActiveWindow()) return;
    busy_ = true;
    QPointer<QMessageBox> open(box);
    if (steps_.empty()) {
        ADD_FAILURE() << "unexpected box: " << box->text().toStdString();
    } else {
        const Step step = steps_.front();
        steps_.pop_front();
        step(*box);
        ++answered;
        // A button's shortcut presses it for a moment before it answers.
        if (!QTest::qWaitFor([&] { return !open || !open->isVisible(); }, 10000)) {
            ADD_FAILURE() << "box left open: " << open->text().toStdString();
        }
    }
    if (open && open->isVisible()) open->done(QDialog::Rejected);
    busy_ = false;
}

void boxKey(QWidget& box, Qt::Key key, const QString& text, bool repeat) {
    QWidget* target = box.focusWidget() ? box.focusWidget() : &box;
    QTest::simulateEvent(target, true, key, Qt::NoModifier, text, repeat);
    QTest::simulateEvent(target, false, key, Qt::NoModifier, text, repeat);
}

bool closeFromTitleBar(QWidget& box) {
    QWindow* window = box.windowHandle();
    if (!window) return false;
    window->close();
    QApplication::processEvents();
    return !box.isVisible();
}

void triesToDismiss(QMessageBox& box) {
    boxKey(box, Qt::Key_Escape);
    EXPECT_TRUE(box.isVisible()) << "Esc";
    EXPECT_FALSE(closeFromTitleBar(box)) << "close button";
    // The Return that pressed a button may still be held when the box opens.
    boxKey(box, Qt::Key_Return, QStringLiteral("\r"), true);
    boxKey(box, Qt::Key_Y, QStringLiteral("y"), true);
    boxKey(box, Qt::Key_N, QStringLiteral("n"), true);
    EXPECT_TRUE(box.isVisible()) << "keys held down";
    EXPECT_EQ(box.clickedButton(), nullptr);
}

}  // namespace tovrin::test
