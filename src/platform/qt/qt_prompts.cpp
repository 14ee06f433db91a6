#include "platform/qt/qt_prompts.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace tovrin {

namespace {

// A question is answered with one of its buttons: Esc and the window's close
// button do nothing, and a key held down answers nothing (the Return that
// pressed a button may still be down when the question opens).
class Question : public QMessageBox {
public:
    Question(const QString& title, const QString& text, QWidget* parent)
        : QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::NoButton, parent) {
        setObjectName(QStringLiteral("yesNoBox"));
    }

    QPushButton* add(const QString& caption, ButtonRole role) {
        QPushButton* button = addButton(caption, role);
        button->installEventFilter(this);
        return button;
    }

protected:
    // The buttons have the keyboard: a repeated key reaches neither them nor
    // their Y and N shortcuts.
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
        if (key && static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
            event->accept();
            return true;
        }
        return QMessageBox::eventFilter(watched, event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->isAutoRepeat() || event->matches(QKeySequence::Cancel)) return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (!clickedButton()) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

}  // namespace

void QtPrompts::ok(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::NoButton, parent_);
    box.setObjectName(QStringLiteral("okBox"));
    QPushButton* okButton = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(okButton);
    box.setEscapeButton(okButton);
    box.exec();
}

bool QtPrompts::yesNo(const QString& text, const QString& title) {
    Question box(title, text, parent_);
    // "&Y" makes Y (and Alt+Y) press the button, as N does for No.
    QPushButton* yes = box.add(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    box.add(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace tovrin
