#pragma once

#include <QAccessibleWidget>
#include <utility>

#include "platform/display.h"

namespace tovrin {

class DisplayView;

// The display as assistive technology reads it: read-only text of many
// lines, the shown text of the view (each line end one LF). Every answer
// comes from the model and the view's line index: a stretch of text costs
// its own length, a line or a word the length of its line, whatever the
// length of the whole text. The scroll bars and the viewport are parts of
// the display, not controls of their own.
class DisplayAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit DisplayAccessible(DisplayView* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    using QAccessibleWidget::text;  // the name, description and value texts stay the widget's
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                             int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                            int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    DisplayView* view() const;
    // The offset a caller means: -1 the end of the text, -2 the cursor;
    // -1 again when it lies outside the text.
    int resolve(int offset) const;
    // The character, word, sentence or line at a shown position.
    std::pair<qsizetype, qsizetype> unitAt(qsizetype offset, QAccessible::TextBoundaryType type) const;
    QString answer(std::pair<qsizetype, qsizetype> unit, int* startOffset, int* endOffset) const;
};

// Gives the program's own widgets their accessible interfaces: the display
// its text, and a top-level window made of a plain widget (the checkout
// window) the role of a window. Called once the application exists.
void installAccessibleFactory();

// What a change of the model did to the view's shown text: at a shown
// position, the text that went and the text that came. The view has taken
// the change already. A new whole text that begins like the old one counts
// as a change of its end only.
struct ShownEdit {
    qsizetype at = 0;
    QString removed;
    QString inserted;
};
ShownEdit shownEdit(const DisplayView& view, const TextModel::Change& change);

// Tells assistive technology, when one listens, what a change did.
void announceChange(DisplayView& view, const TextModel::Change& change);
// Tells assistive technology that the view's selection or cursor moved.
void announceSelection(DisplayView& view);

}  // namespace tovrin
