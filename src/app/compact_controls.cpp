#include "app/compact_controls.h"

#include <QFontInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextLayout>
#include <vector>

namespace tovrin {

void drawCompactText(QPainter& painter, const QRect& area, const QString& text, const QFont& font,
                     Qt::Alignment alignment) {
    QTextLayout layout(text, font, painter.device());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    std::vector<QTextLine> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        lines.push_back(line);
    }
    layout.endLayout();
    if (lines.empty()) return;

    // One line keeps the font's own height; more lines step by the em, the
    // baseline where an ideograph's foot sits.
    const double em = QFontInfo(font).pixelSize();
    const bool several = lines.size() > 1;
    const double step = several ? em : lines[0].height();
    const double block = step * double(lines.size());
    double top = area.top();
    if (alignment & Qt::AlignVCenter) top += (area.height() - block) / 2;
    if (alignment & Qt::AlignBottom) top += area.height() - block;
    for (size_t i = 0; i < lines.size(); ++i) {
        QTextLine& line = lines[i];
        double left = area.left();
        const double spare = area.width() - line.naturalTextWidth();
        if (alignment & Qt::AlignHCenter) left += spare / 2;
        if (alignment & Qt::AlignRight) left += spare;
        const double lift = several ? line.ascent() - 0.88 * em : 0;
        line.setPosition(QPointF(left, top + double(i) * step - lift));
    }
    layout.draw(&painter, QPointF(0, 0));
}

void CompactLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    drawCompactText(painter, contentsRect(), text(), font(), alignment());
}

void CompactButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    QRect area = rect().adjusted(2, 2, -2, -2);
    if (isDown()) area.translate(1, 1);
    painter.setPen(palette().color(QPalette::ButtonText));
    drawCompactText(painter, area, caption, font(), Qt::AlignCenter);
}

void CompactButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers held = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (enter && held == Qt::NoModifier) {
        if (!event->isAutoRepeat()) click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

}  // namespace tovrin
