#include "platform/qt/display_view.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "platform/qt/display_accessible.h"

namespace tovrin {

namespace {

constexpr int kMargin = 4;           // around the text, as a text document has it
constexpr qreal kTabStop = 80;       // pixels between tab stops
constexpr qreal kNoWrapWidth = 1e7;  // a line width no text line reaches
constexpr double kLargeType = 100;   // points from which type shrinks to fit the width

// The line whose start is the last of `starts` at or before a position; the
// first line before them all.
qsizetype lineFrom(const std::vector<qsizetype>& starts, qsizetype position) {
    const auto it = std::upper_bound(starts.begin(), starts.end(), position);
    return std::max<qsizetype>(0, (it - starts.begin()) - 1);
}

}  // namespace

DisplayView::DisplayView(TextModel& model, QWidget* parent) : QAbstractScrollArea(parent), model_(model) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    model_.onChange([this](const TextModel::Change& change) { apply(change); });
    relayout();
}

void DisplayView::setWrapping(bool wrap) {
    if (wrap == wrap_) return;
    wrap_ = wrap;
    setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    relayout();
}

void DisplayView::moveCursor(QTextCursor::MoveOperation operation) {
    if (operation == QTextCursor::Start) {
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
    } else if (operation == QTextCursor::End) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
}

QString DisplayView::lineText(qsizetype line) const {
    if (line < 0 || line >= lineCount()) return {};
    return model_.text().mid(lineStart_[size_t(line)], lineEnd(line) - lineStart_[size_t(line)]);
}

QString DisplayView::toPlainText() const { return shownText(0, shownLength()); }

qsizetype DisplayView::shownLength() const {
    return shownStart_.back() + (model_.length() - lineStart_.back());
}

QString DisplayView::shownText(qsizetype from, qsizetype to) const {
    from = std::clamp<qsizetype>(from, 0, shownLength());
    to = std::clamp<qsizetype>(to, from, shownLength());
    QString out;
    out.reserve(to - from);
    const QStringView text(model_.text());
    for (qsizetype l = lineAtShown(from); l < lineCount() && shownStart_[size_t(l)] < to; ++l) {
        const qsizetype shown = shownStart_[size_t(l)];
        const qsizetype length = lineEnd(l) - lineStart_[size_t(l)];
        const qsizetype a = std::max(from, shown) - shown, b = std::min(to, shown + length) - shown;
        if (b > a) out += text.sliced(lineStart_[size_t(l)] + a, b - a);
        if (to > shown + length && l + 1 < lineCount()) out += QLatin1Char('\n');
    }
    return out;
}

qsizetype DisplayView::shownPosition(qsizetype position) const {
    const qsizetype line = lineOf(position);
    const qsizetype start = lineStart_[size_t(line)];
    return shownStart_[size_t(line)] + std::clamp<qsizetype>(position - start, 0, lineEnd(line) - start);
}

qsizetype DisplayView::modelPosition(qsizetype shown) const {
    const qsizetype line = lineAtShown(shown);
    const qsizetype start = lineStart_[size_t(line)];
    return start + std::clamp<qsizetype>(shown - shownStart_[size_t(line)], 0, lineEnd(line) - start);
}

qsizetype DisplayView::lineAtShown(qsizetype shown) const { return lineFrom(shownStart_, shown); }

qsizetype DisplayView::shownLineStart(qsizetype line) const {
    return line >= lineCount() ? shownLength() : shownStart_[size_t(std::max<qsizetype>(0, line))];
}

qsizetype DisplayView::lineEnd(qsizetype line) const {
    const QString& text = model_.text();
    if (line + 1 >= lineCount()) return text.size();
    const qsizetype next = lineStart_[size_t(line + 1)];
    return next >= 2 && text[next - 2] == u'\r' && text[next - 1] == u'\n' ? next - 2 : next - 1;
}

qsizetype DisplayView::lineOf(qsizetype position) const { return lineFrom(lineStart_, position); }

QFont DisplayView::fontOf(double size) const {
    QFont f = font();
    f.setBold(true);
    f.setPointSizeF(size);
    return f;
}

int DisplayView::heightOf(double size) const {
    auto it = heights_.find(size);
    if (it == heights_.end())
        it = heights_.emplace(size, QFontMetrics(fontOf(size), viewport()).height()).first;
    return it->second;
}

QString DisplayView::selectedText() const {
    return shownText(shownPosition(std::min(anchor_, cursor_)), shownPosition(std::max(anchor_, cursor_)));
}

void DisplayView::select(qsizetype anchor, qsizetype cursor) {
    anchor_ = std::clamp<qsizetype>(anchor, 0, model_.length());
    cursor_ = std::clamp<qsizetype>(cursor, 0, model_.length());
    viewport()->update();
    announceSelection(*this);
}

QRect DisplayView::characterRect(qsizetype position) const {
    const qsizetype line = lineOf(position);
    const qsizetype start = lineStart_[size_t(line)];
    const qsizetype length = lineEnd(line) - start;
    const int column = int(std::clamp<qsizetype>(position - start, 0, length));
    QTextLayout layout;
    layOut(layout, line, textWidth());
    QTextLine textLine = layout.lineForTextPosition(column);
    if (!textLine.isValid()) textLine = layout.lineAt(layout.lineCount() - 1);
    const qreal x = textLine.cursorToX(column);
    const qreal next = column < length ? textLine.cursorToX(column + 1) : x;
    QRectF rect(std::min(x, next), textLine.y(), std::abs(next - x), textLine.height());
    rect.translate(kMargin - (wrap_ ? 0 : horizontalScrollBar()->value()),
                   qreal(lineTop_[size_t(line)] - verticalScrollBar()->value() + kMargin));
    return rect.toAlignedRect();
}

void DisplayView::showPosition(qsizetype position) {
    const qsizetype line = lineOf(position);
    const qint64 top = lineTop_[size_t(line)] + kMargin;
    // The margin below the last line comes with it.
    const qint64 bottom = lineTop_[size_t(line) + 1] + (line + 1 == lineCount() ? 2 : 1) * kMargin;
    QScrollBar* bar = verticalScrollBar();
    if (bottom > bar->value() + viewport()->height()) bar->setValue(int(bottom - viewport()->height()));
    if (top < bar->value()) bar->setValue(int(top));
}

qreal DisplayView::textWidth() const { return std::max(1, viewport()->width() - 2 * kMargin); }

qsizetype DisplayView::positionAt(QPoint point) const {
    const qint64 y = verticalScrollBar()->value() + point.y() - kMargin;
    const qsizetype line = std::clamp<qsizetype>(
        std::upper_bound(lineTop_.begin() + 1, lineTop_.end(), y) - (lineTop_.begin() + 1), 0,
        lineCount() - 1);
    QTextLayout layout;
    layOut(layout, line, textWidth());
    const qreal x = point.x() - kMargin + (wrap_ ? 0 : horizontalScrollBar()->value());
    const qreal top = qreal(y - lineTop_[size_t(line)]);
    int column = 0;
    for (int k = 0; k < layout.lineCount(); ++k) {
        const QTextLine textLine = layout.lineAt(k);
        column = textLine.xToCursor(x);
        if (top < textLine.y() + textLine.height()) break;
    }
    return lineStart_[size_t(line)] + column;
}

void DisplayView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    const qsizetype at = positionAt(event->position().toPoint());
    select(event->modifiers() & Qt::ShiftModifier ? anchor_ : at, at);
}

void DisplayView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return QAbstractScrollArea::mouseMoveEvent(event);
    select(anchor_, positionAt(event->position().toPoint()));
}

void DisplayView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        if (anchor_ != cursor_) QApplication::clipboard()->setText(selectedText());
    } else if (event == QKeySequence::SelectAll) {
        select(0, model_.length());
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void DisplayView::apply(const TextModel::Change& change) {
    anchor_ = cursor_ = 0;
    relayout();
    if (change.reset) {
        moveCursor(QTextCursor::Start);
    } else {
        // The end of what was inserted comes into sight.
        showPosition(change.position + change.text.size());
    }
    viewport()->update();
    announceChange(*this, change);
}

void DisplayView::relayout() {
    const QString& text = model_.text();
    const std::vector<TextModel::Run>& runs = model_.runs();
    lineStart_.assign(1, 0);
    shownStart_.assign(1, 0);
    const QChar* data = text.constData();
    const qsizetype n = text.size();
    qsizetype pairs = 0;  // CR LF line ends so far, each one shown character
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && data[i + 1] == u'\n') {
                ++i;
                ++pairs;
            }
            lineStart_.push_back(i + 1);
            shownStart_.push_back(i + 1 - pairs);
        }
    }

    // A line is as high as the largest characters on it, its line end
    // included (an empty line takes the size of its line end).
    const qsizetype lines = lineCount();
    lineTop_.assign(size_t(lines) + 1, 0);
    const int base = heightOf(12);
    const qreal width = textWidth();
    auto run = runs.begin();
    for (qsizetype l = 0; l < lines; ++l) {
        const qsizetype start = lineStart_[size_t(l)];
        const qsizetype end = l + 1 < lines ? lineStart_[size_t(l) + 1] : n;
        while (run != runs.end() && run->start + run->length <= start) ++run;
        int height = 0;
        for (auto r = run; r != runs.end() && r->start < std::max(end, start + 1); ++r) {
            height = std::max(height, heightOf(r->size));
        }
        if (height == 0) height = base;
        if (wrap_) {
            QTextLayout layout;
            layOut(layout, l, width);
            height = std::max(height, int(std::ceil(layout.boundingRect().height())));
        }
        lineTop_[size_t(l) + 1] = lineTop_[size_t(l)] + height;
    }
    if (n == 0) widest_ = 0;
    updateScrollBars();
}

void DisplayView::layOut(QTextLayout& layout, qsizetype line, qreal width) const {
    const double largest = layOut(layout, line, width, 1.0);
    if (wrap_ || largest < kLargeType || layout.maximumWidth() <= width) return;
    // The largest whole point size at which the line fits; the other sizes
    // on the line shrink with it.
    for (double points = std::floor(largest * width / layout.maximumWidth()); points >= 1; --points) {
        layOut(layout, line, width, points / largest);
        if (layout.maximumWidth() <= width) return;
    }
}

double DisplayView::layOut(QTextLayout& layout, qsizetype line, qreal width, double scale) const {
    const qsizetype start = lineStart_[size_t(line)];
    const qsizetype end = lineEnd(line);
    const std::vector<TextModel::Run>& runs = model_.runs();
    QList<QTextLayout::FormatRange> formats;
    double size = 12, largest = 0;
    auto r = model_.runAt(start);
    if (r != runs.end()) size = r->size;
    for (; r != runs.end() && r->start < end; ++r) {
        const qsizetype from = std::max(start, r->start), to = std::min(end, r->start + r->length);
        if (to <= from) continue;
        largest = std::max(largest, r->size);
        QTextCharFormat format;
        format.setFont(fontOf(r->size * scale));
        format.setForeground(QColor(r->color.r, r->color.g, r->color.b));
        formats.append({int(from - start), int(to - from), format});
    }
    layout.setText(model_.text().mid(start, end - start));
    layout.setFont(fontOf(size * scale));
    QTextOption option;
    option.setTabStopDistance(kTabStop);
    option.setWrapMode(wrap_ ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setFormats(formats);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine textLine = layout.createLine(); textLine.isValid(); textLine = layout.createLine()) {
        textLine.setLineWidth(wrap_ ? width : kNoWrapWidth);
        textLine.setPosition(QPointF(0, y));
        y += textLine.height();
    }
    layout.endLayout();
    return largest;
}

void DisplayView::updateScrollBars() {
    const qint64 height = lineTop_.back() + 2 * kMargin;
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, int(std::max<qint64>(0, height - viewport()->height())));
    v->setPageStep(viewport()->height());
    v->setSingleStep(heightOf(12));
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, wrap_ ? 0 : std::max(0, widest_ + 2 * kMargin - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(heightOf(12));
}

void DisplayView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const qint64 top = verticalScrollBar()->value();
    const int left = wrap_ ? 0 : horizontalScrollBar()->value();
    const qint64 from = top + event->rect().top() - kMargin;
    const qint64 to = top + event->rect().bottom() - kMargin;
    // The first line whose bottom lies below the top of the area to paint.
    qsizetype line = std::upper_bound(lineTop_.begin() + 1, lineTop_.end(), from) - (lineTop_.begin() + 1);
    const qreal width = textWidth();
    const int widest = widest_;
    const qsizetype selFrom = std::min(anchor_, cursor_), selTo = std::max(anchor_, cursor_);
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    for (; line < lineCount() && lineTop_[size_t(line)] <= to; ++line) {
        QTextLayout layout;
        layOut(layout, line, width);
        widest_ = std::max(widest_, int(std::ceil(layout.maximumWidth())));
        QList<QTextLayout::FormatRange> selection;
        const qsizetype start = lineStart_[size_t(line)], end = lineEnd(line);
        if (selFrom < end && selTo > start) {
            const qsizetype from = std::max(selFrom, start), upTo = std::min(selTo, end);
            selection.append({int(from - start), int(upTo - from), selected});
        }
        layout.draw(&painter, QPointF(kMargin - left, qreal(lineTop_[size_t(line)] - top + kMargin)),
                    selection);
    }
    if (widest_ != widest) updateScrollBars();
}

void DisplayView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (wrap_) {
        relayout();
    } else {
        updateScrollBars();
    }
}

void DisplayView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        heights_.clear();
        relayout();
    }
}

}  // namespace tovrin
