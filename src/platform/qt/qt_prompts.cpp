#include "platform/qt/qt_prompts.h"

#include <QMessageBox>
#include <QPushButton>

namespace tovrin {

void QtPrompts::ok(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::NoButton, parent_);
    box.setObjectName(QStringLiteral("okBox"));
    QPushButton* okButton = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(okButton);
    box.setEscapeButton(okButton);
    box.exec();
}

bool QtPrompts::yesNo(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::NoButton, parent_);
    box.setObjectName(QStringLiteral("yesNoBox"));
    // "&Y" makes Y (and Alt+Y) press the button, as N does for No.
    QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace tovrin
