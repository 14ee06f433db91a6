#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>

namespace tovrin::test {

// Acts on the modal message boxes that open while a test runs, one step for
// each box in the order they open; a step must answer its box. A box with no
// step left fails the test and is closed, so that no test hangs.
class ModalBoxes {
public:
    using Step = std::function<void(QMessageBox& box)>;

    explicit ModalBoxes(std::initializer_list<Step> steps);
    // Steps left over (boxes that never opened) fail the test.
    ~ModalBoxes();

    int answered = 0;

private:
    void poll();

    std::deque<Step> steps_;
    QTimer timer_;
    bool busy_ = false;
};

// A key pressed and released on the widget of the box that has the keyboard,
// as the window system delivers it; `repeat` marks an auto-repeated press.
void boxKey(QWidget& box, Qt::Key key, const QString& text = {}, bool repeat = false);
// The window system asks the box to close (its title bar's close button or
// Alt+F4); true when it closed.
bool closeFromTitleBar(QWidget& box);

// What a cashier may try on a question instead of answering it: Esc, the
// close button, keys held down. The test fails when any of it closes the box.
void triesToDismiss(QMessageBox& box);

}  // namespace tovrin::test
