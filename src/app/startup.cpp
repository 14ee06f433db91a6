#include <QCloseEvent>
#include <QPalette>

#include "app/form1.h"
#include "app/layout.h"
#include "app/notes.h"

namespace tovrin {

namespace {

const QColor kWindowColour(232, 212, 160);
const QColor kBoxColour(228, 228, 192);

// A widget filled with its own background colour.
void fill(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A button drawn in its background colour under any style.
void colourButton(QPushButton* button, const QColor& colour) {
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, colour);
    palette.setColor(QPalette::Window, colour);
    button->setPalette(palette);
    button->setAutoFillBackground(true);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 2px outset %2; }"
                                         "QPushButton:pressed { border-style: inset; }"
                                         "QPushButton:focus { border-color: %3; }")
                              .arg(colour.name(), colour.darker(130).name(), colour.darker(200).name()));
}

}  // namespace

void Form1::Form_Load() {
    // 1. The announcers start at their first character; the voice is on.
    voice_->rewind();
    checkout_->setWav(true);

    // 2. Today's date for the statistics: the date part of the date-time text.
    zhuanda = services_.clock->dateText();

    // 3. Does the number conversion write "0" before a fraction?
    checkout_->setZerob(services_.numbers->plain(1.0 / 2.0).startsWith(QLatin1Char('0')));

    // 4.
    setWindowState(windowState() | Qt::WindowMaximized);

    // 5. The notes replace the design text in the display's own format.
    RichTextBox1Model.setText(usageNotes(services_.folder));
    RichTextBox1->moveCursor(QTextCursor::Start);

    // 6.
    checkout_->setShp(true);

    // 7.
    setWindowTitle(QStringLiteral("Tovrin  找零软件 "));

    // 8. Long note lines run past the right edge instead of wrapping.
    AutoSwitchLine(RichTextBox1, false);

    // 9. Window, the two amount labels and the four buttons; the labels of
    // the bottom row stay transparent over the window colour.
    fill(this, QPalette::Window, kWindowColour);
    fill(Label1, QPalette::Window, kWindowColour);
    fill(Label2, QPalette::Window, kWindowColour);
    for (QPushButton* button : {Command1_0, Command1_1, Command2, Command3})
        colourButton(button, kWindowColour);

    // 10. The resize event applies the whole rule when the window shows.
    placeDisplay(layoutRule(layoutInput()));

    // 11.
    for (QWidget* box : {static_cast<QWidget*>(Text1), static_cast<QWidget*>(Text2),
                         static_cast<QWidget*>(Text3), static_cast<QWidget*>(Text4)})
        fill(box, QPalette::Base, kBoxColour);
    fill(RichTextBox1->viewport(), QPalette::Base, kBoxColour);
    fill(RichTextBox1, QPalette::Base, kBoxColour);
}

void Form1::AutoSwitchLine(DisplayView* RichText, bool bSwitch) { RichText->setWrapping(bSwitch); }

void Form1::closeEvent(QCloseEvent* event) {
    if (services_.prompts->yesNo(kExitQuestion, kBoxTitle)) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace tovrin
