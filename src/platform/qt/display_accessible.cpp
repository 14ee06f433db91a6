#include "platform/qt/display_accessible.h"

#include <QAccessible>
#include <QTextBoundaryFinder>
#include <algorithm>

#include "platform/qt/display_view.h"

namespace tovrin {

namespace {

// A stretch of the model's text as it is shown: every CR LF, lone CR and
// lone LF one LF.
QString shown(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            out += QLatin1Char('\n');
        } else {
            out += text[i];
        }
    }
    return out;
}

bool endsItem(const QTextBoundaryFinder& finder) {
    return finder.boundaryReasons() & (QTextBoundaryFinder::StartOfItem | QTextBoundaryFinder::EndOfItem);
}

QAccessibleInterface* factory(const QString& classname, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    // Only the most derived class is matched: a widget being destroyed is a
    // plain QWidget by then and gets no interface of ours.
    const QMetaObject* meta = object->metaObject();
    if (classname != QLatin1StringView(meta->className())) return nullptr;
    if (meta == &DisplayView::staticMetaObject)
        return new DisplayAccessible(static_cast<DisplayView*>(widget));
    if (widget->isWindow() && meta->superClass() == &QWidget::staticMetaObject)
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

}  // namespace

DisplayAccessible::DisplayAccessible(DisplayView* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

DisplayView* DisplayAccessible::view() const { return static_cast<DisplayView*>(widget()); }

void* DisplayAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State DisplayAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

int DisplayAccessible::resolve(int offset) const {
    const int count = characterCount();
    if (offset == -1) return count;
    if (offset == -2) return cursorPosition();
    return offset >= 0 && offset <= count ? offset : -1;
}

void DisplayAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    const DisplayView& v = *view();
    if (selectionIndex != 0 || v.selectionAnchor() == v.selectionCursor()) return;
    *startOffset = int(v.shownPosition(std::min(v.selectionAnchor(), v.selectionCursor())));
    *endOffset = int(v.shownPosition(std::max(v.selectionAnchor(), v.selectionCursor())));
}

int DisplayAccessible::selectionCount() const {
    return view()->selectionAnchor() != view()->selectionCursor() ? 1 : 0;
}

void DisplayAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void DisplayAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0) view()->select(view()->selectionCursor(), view()->selectionCursor());
}

void DisplayAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex != 0) return;
    view()->select(view()->modelPosition(startOffset), view()->modelPosition(endOffset));
}

int DisplayAccessible::cursorPosition() const {
    return int(view()->shownPosition(view()->selectionCursor()));
}

void DisplayAccessible::setCursorPosition(int position) {
    const qsizetype at = view()->modelPosition(position);
    view()->select(at, at);
    view()->showPosition(at);
}

QString DisplayAccessible::text(int startOffset, int endOffset) const {
    return view()->shownText(startOffset, endOffset);
}

int DisplayAccessible::characterCount() const { return int(view()->shownLength()); }

std::pair<qsizetype, qsizetype> DisplayAccessible::unitAt(qsizetype offset,
                                                          QAccessible::TextBoundaryType type) const {
    const DisplayView& v = *view();
    const qsizetype count = v.shownLength();
    if (type == QAccessible::NoBoundary) return {0, count};
    const qsizetype line = v.lineAtShown(offset);
    if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary)
        return {v.shownLineStart(line), v.shownLineStart(line + 1)};
    if (offset >= count) return {count, count};
    const QTextBoundaryFinder::BoundaryType kind =
        type == QAccessible::CharBoundary   ? QTextBoundaryFinder::Grapheme
        : type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                            : QTextBoundaryFinder::Sentence;
    // The unit is searched in the lines around the offset, as many as it
    // takes: a character never runs past a line end, a word or a sentence
    // only where blanks and empty lines run together.
    qsizetype first = line, last = line;
    for (qsizetype more = 1;; more *= 2) {
        const qsizetype from = v.shownLineStart(first), to = v.shownLineStart(last + 1);
        const QString text = v.shownText(from, to);
        QTextBoundaryFinder finder(kind, text);
        finder.setPosition(offset - from);
        while (!endsItem(finder) && finder.toPreviousBoundary() > 0) {
        }
        if (finder.position() < 0) finder.setPosition(0);
        const qsizetype start = from + finder.position();
        while (finder.toNextBoundary() >= 0 && finder.position() < text.size() && !endsItem(finder)) {
        }
        const qsizetype end = from + (finder.position() < 0 ? text.size() : finder.position());
        const bool openBefore = kind != QTextBoundaryFinder::Grapheme && start == from && first > 0;
        const bool openAfter = kind != QTextBoundaryFinder::Grapheme && end == to && to < count;
        if (!openBefore && !openAfter) return {start, end};
        if (openBefore) first = std::max<qsizetype>(0, first - more);
        if (openAfter) last = std::min(v.lineCount() - 1, last + more);
    }
}

QString DisplayAccessible::answer(std::pair<qsizetype, qsizetype> unit, int* startOffset,
                                  int* endOffset) const {
    *startOffset = int(unit.first);
    *endOffset = int(unit.second);
    return view()->shownText(unit.first, unit.second);
}

QString DisplayAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    offset = resolve(offset);
    if (offset < 0) return {};
    return answer(unitAt(offset, boundaryType), startOffset, endOffset);
}

QString DisplayAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    offset = resolve(offset);
    if (offset < 0) return {};
    // Nothing comes before the first unit, nor after the last.
    const qsizetype start = boundaryType == QAccessible::NoBoundary ? 0 : unitAt(offset, boundaryType).first;
    if (start == 0) return {};
    return answer(unitAt(start - 1, boundaryType), startOffset, endOffset);
}

QString DisplayAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    offset = resolve(offset);
    if (offset < 0) return {};
    const qsizetype end = unitAt(offset, boundaryType).second;
    if (end >= characterCount()) return {};
    return answer(unitAt(end, boundaryType), startOffset, endOffset);
}

QRect DisplayAccessible::characterRect(int offset) const {
    if (offset < 0 || offset > characterCount()) return {};
    const DisplayView& v = *view();
    const QRect rect = v.characterRect(v.modelPosition(offset));
    return QRect(v.viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

int DisplayAccessible::offsetAtPoint(const QPoint& point) const {
    const DisplayView& v = *view();
    const QPoint local = v.viewport()->mapFromGlobal(point);
    if (!v.viewport()->rect().contains(local)) return -1;
    return int(v.shownPosition(v.positionAt(local)));
}

void DisplayAccessible::scrollToSubstring(int startIndex, int endIndex) {
    view()->showPosition(view()->modelPosition(endIndex));
    view()->showPosition(view()->modelPosition(startIndex));
}

QString DisplayAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    offset = resolve(offset);
    if (offset < 0) return {};
    const DisplayView& v = *view();
    const std::vector<TextModel::Run>& runs = v.model().runs();
    const qsizetype at = v.modelPosition(offset);
    const auto run = v.model().runAt(at);
    if (run == runs.end() || at < run->start || at >= run->start + run->length) {
        *startOffset = *endOffset = offset;
        return {};
    }
    *startOffset = int(v.shownPosition(run->start));
    *endOffset = int(v.shownPosition(run->start + run->length));
    return QStringLiteral("font-family:%1;font-size:%2pt;font-weight:bold;color:rgb(%3\\,%4\\,%5);")
        .arg(v.font().family())
        .arg(run->size)
        .arg(run->color.r)
        .arg(run->color.g)
        .arg(run->color.b);
}

void installAccessibleFactory() { QAccessible::installFactory(factory); }

ShownEdit shownEdit(const DisplayView& view, const TextModel::Change& change) {
    const QString& text = view.model().text();
    qsizetype from = change.position;
    QString removed = change.removedText;
    // A change right after a CR may make it one line end with an LF, or
    // undo that: the line end goes and comes with the change.
    if (from > 0 && text[from - 1] == u'\r') {
        --from;
        removed.prepend(QLatin1Char('\r'));
    }
    ShownEdit edit;
    edit.at = view.shownPosition(from);
    edit.removed = shown(removed);
    edit.inserted =
        view.shownText(edit.at, change.reset ? view.shownLength()
                                             : view.shownPosition(change.position + change.text.size()));
    return edit;
}

void announceChange(DisplayView& view, const TextModel::Change& change) {
    if (!QAccessible::isActive()) return;
    const ShownEdit edit = shownEdit(view, change);
    if (!edit.removed.isEmpty()) {
        QAccessibleTextRemoveEvent event(&view, int(edit.at), edit.removed);
        QAccessible::updateAccessibility(&event);
    }
    if (!edit.inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(&view, int(edit.at), edit.inserted);
        QAccessible::updateAccessibility(&event);
    }
}

void announceSelection(DisplayView& view) {
    if (!QAccessible::isActive()) return;
    const qsizetype anchor = view.shownPosition(view.selectionAnchor());
    const qsizetype cursor = view.shownPosition(view.selectionCursor());
    QAccessibleTextSelectionEvent selection(&view, int(std::min(anchor, cursor)),
                                            int(std::max(anchor, cursor)));
    selection.setCursorPosition(int(cursor));
    QAccessible::updateAccessibility(&selection);
    QAccessibleTextCursorEvent moved(&view, int(cursor));
    QAccessible::updateAccessibility(&moved);
}

}  // namespace tovrin
