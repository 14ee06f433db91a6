#pragma once

#include <QLabel>
#include <QPushButton>

namespace tovrin {

// Captions wider than their control break into lines, set as close as the
// font's em, so that two lines of a 15-point caption fit a control of the
// design height (41 pixels at 96 dpi) even with fonts of generous leading.
void drawCompactText(QPainter& painter, const QRect& area, const QString& text, const QFont& font,
                     Qt::Alignment alignment);

class CompactLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A button that Return and keypad Enter press when it has the focus, as
// Space does; a key held down presses it once.
class CompactButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tovrin
