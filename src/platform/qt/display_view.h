#pragma once

#include <QAbstractScrollArea>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextLayout>
#include <map>
#include <vector>

#include "platform/display.h"

namespace tovrin {

// Renders the display's text model read-only: bold, the model's sizes and
// colours, tab stops every 80 pixels, no wrapping of long lines unless asked.
// Only the lines in sight are laid out and painted, so a report of millions
// of characters shows as fast as a short one and takes no more memory than
// the model's own text and an index of its lines. A line of large type (the
// change amount) wider than the view is drawn at the largest whole point
// size that fits, so that no digit is cut off.
//
// Assistive technology reads the view as its shown text: the model's text
// with each line end (CR LF, lone CR, lone LF) one LF. "Shown positions"
// count in that text; every query is answered from the model and the line
// index, without a copy of the whole text.
class DisplayView : public QAbstractScrollArea {
    Q_OBJECT
public:
    DisplayView(TextModel& model, QWidget* parent = nullptr);
    const TextModel& model() const { return model_; }
    void setWrapping(bool wrap);
    QTextEdit::LineWrapMode lineWrapMode() const {
        return wrap_ ? QTextEdit::WidgetWidth : QTextEdit::NoWrap;
    }
    // Scrolls to the start or the end of the text (other moves are ignored).
    void moveCursor(QTextCursor::MoveOperation operation);

    // The text lines as shown: the model's text broken at every CR LF, lone
    // CR and lone LF.
    qsizetype lineCount() const { return qsizetype(lineStart_.size()); }
    QString lineText(qsizetype line) const;
    // All lines, each ended by LF but the last, as a text document gives them.
    QString toPlainText() const;
    // The selected text, line ends as LF.
    QString selectedText() const;

    // The shown text: its length, a stretch of it, and positions between it
    // and the model's text (a position inside a CR LF is its line end).
    qsizetype shownLength() const;
    QString shownText(qsizetype from, qsizetype to) const;
    qsizetype shownPosition(qsizetype position) const;
    qsizetype modelPosition(qsizetype shown) const;
    // The line holding a shown position, and the shown position where a line
    // starts (lineCount() gives shownLength()). A line's shown stretch ends
    // with its LF, the last line's with the text.
    qsizetype lineAtShown(qsizetype shown) const;
    qsizetype shownLineStart(qsizetype line) const;

    // Where the character at a position of the model's text is drawn, and
    // the position under a point, in viewport coordinates.
    QRect characterRect(qsizetype position) const;
    qsizetype positionAt(QPoint point) const;
    // Scrolls a position of the model's text into sight.
    void showPosition(qsizetype position);
    // The selection (anchor and cursor, positions of the model's text).
    qsizetype selectionAnchor() const { return anchor_; }
    qsizetype selectionCursor() const { return cursor_; }
    void select(qsizetype anchor, qsizetype cursor);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void apply(const TextModel::Change& change);
    // Rebuilds the line index and the line heights.
    void relayout();
    void updateScrollBars();
    qsizetype lineEnd(qsizetype line) const;
    qsizetype lineOf(qsizetype position) const;
    QFont fontOf(double size) const;
    int heightOf(double size) const;
    // The laid-out text of a line, with the formats of its runs; large type
    // that would not fit `width` is made smaller.
    void layOut(QTextLayout& layout, qsizetype line, qreal width) const;
    // At a scale of the model's sizes; gives the largest size on the line.
    double layOut(QTextLayout& layout, qsizetype line, qreal width, double scale) const;
    qreal textWidth() const;

    TextModel& model_;
    bool wrap_ = false;
    std::vector<qsizetype> lineStart_;   // where each line begins in the model's text
    std::vector<qsizetype> shownStart_;  // where each line begins in the shown text
    std::vector<qint64> lineTop_;        // the top of each line, and the bottom of the last
    mutable std::map<double, int> heights_;
    int widest_ = 0;  // the widest line painted so far
    // The text selected with the mouse or the keyboard, for copying.
    qsizetype anchor_ = 0, cursor_ = 0;
};

}  // namespace tovrin
