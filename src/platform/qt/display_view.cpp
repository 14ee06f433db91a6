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

namespace tovrin {

namespace {

constexpr int kMargin = 4;           // around the text, as a text document has it
constexpr qreal kTabStop = 80;       // pixels between tab stops
constexpr qreal kNoWrapWidth = 1e7;  // a line width no text line reaches

// The run that holds a position, or the last one before it.
std::vector<TextModel::Run>::const_iterator runAt(const std::vector<TextModel::Run>& runs,
                                                  qsizetype position) {
    auto it = std::upper_bound(runs.begin(), runs.end(), position,
                               [](qsizetype p, const TextModel::Run& r) { return p < r.start; });
    return it == runs.begin() ? it : it - 1;
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

QString DisplayView::toPlainText() const {
    QString out;
    out.reserve(model_.length());
    for (qsizetype l = 0; l < lineCount(); ++l) {
        if (l > 0) out += QLatin1Char('\n');
        out += QStringView(model_.text()).sliced(lineStart_[size_t(l)], lineEnd(l) - lineStart_[size_t(l)]);
    }
    return out;
}

qsizetype DisplayView::lineEnd(qsizetype line) const {
    const QString& text = model_.text();
    if (line + 1 >= lineCount()) return text.size();
    const qsizetype next = lineStart_[size_t(line + 1)];
    return next >= 2 && text[next - 2] == u'\r' && text[next - 1] == u'\n' ? next - 2 : next - 1;
}

qsizetype DisplayView::lineOf(qsizetype position) const {
    const auto it = std::upper_bound(lineStart_.begin(), lineStart_.end(), position);
    return std::max<qsizetype>(0, (it - lineStart_.begin()) - 1);
}

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
    const qsizetype from = std::min(anchor_, cursor_), to = std::max(anchor_, cursor_);
    QString out = model_.text().mid(from, to - from);
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

qsizetype DisplayView::positionAt(QPoint point) const {
    const qint64 y = verticalScrollBar()->value() + point.y() - kMargin;
    const qsizetype line = std::clamp<qsizetype>(
        std::upper_bound(lineTop_.begin() + 1, lineTop_.end(), y) - (lineTop_.begin() + 1), 0,
        lineCount() - 1);
    QTextLayout layout;
    layOut(layout, line, std::max(1, viewport()->width() - 2 * kMargin));
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
    cursor_ = positionAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = cursor_;
    viewport()->update();
}

void DisplayView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return QAbstractScrollArea::mouseMoveEvent(event);
    cursor_ = positionAt(event->position().toPoint());
    viewport()->update();
}

void DisplayView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        if (anchor_ != cursor_) QApplication::clipboard()->setText(selectedText());
    } else if (event == QKeySequence::SelectAll) {
        anchor_ = 0;
        cursor_ = model_.length();
        viewport()->update();
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
        const qsizetype line = lineOf(change.position + change.text.size());
        const qint64 top = lineTop_[size_t(line)] + kMargin;
        // The margin below the last line comes with it.
        const qint64 bottom = lineTop_[size_t(line) + 1] + (line + 1 == lineCount() ? 2 : 1) * kMargin;
        QScrollBar* bar = verticalScrollBar();
        if (bottom > bar->value() + viewport()->height()) bar->setValue(int(bottom - viewport()->height()));
        if (top < bar->value()) bar->setValue(int(top));
    }
    viewport()->update();
}

void DisplayView::relayout() {
    const QString& text = model_.text();
    const std::vector<TextModel::Run>& runs = model_.runs();
    lineStart_.assign(1, 0);
    const QChar* data = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c == u'\r') {
            if (i + 1 < n && data[i + 1] == u'\n') ++i;
            lineStart_.push_back(i + 1);
        } else if (c == u'\n') {
            lineStart_.push_back(i + 1);
        }
    }

    // A line is as high as the largest characters on it, its line end
    // included (an empty line takes the size of its line end).
    const qsizetype lines = lineCount();
    lineTop_.assign(size_t(lines) + 1, 0);
    const int base = heightOf(12);
    const qreal width = std::max(1, viewport()->width() - 2 * kMargin);
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
    const qsizetype start = lineStart_[size_t(line)];
    const qsizetype end = lineEnd(line);
    const std::vector<TextModel::Run>& runs = model_.runs();
    QList<QTextLayout::FormatRange> formats;
    double size = 12;
    auto r = runAt(runs, start);
    if (r != runs.end()) size = r->size;
    for (; r != runs.end() && r->start < end; ++r) {
        const qsizetype from = std::max(start, r->start), to = std::min(end, r->start + r->length);
        if (to <= from) continue;
        QTextCharFormat format;
        format.setFont(fontOf(r->size));
        format.setForeground(QColor(r->color.r, r->color.g, r->color.b));
        formats.append({int(from - start), int(to - from), format});
    }
    layout.setText(model_.text().mid(start, end - start));
    layout.setFont(fontOf(size));
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
    const qreal width = std::max(1, viewport()->width() - 2 * kMargin);
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
