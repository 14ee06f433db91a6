#include "platform/qt/display_view.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace tovrin {

namespace {

QTextCharFormat formatOf(double size, Rgb color) {
    QTextCharFormat format;
    format.setFontPointSize(size);
    format.setFontWeight(QFont::Bold);
    format.setForeground(QColor(color.r, color.g, color.b));
    return format;
}

// The model keeps CR LF; the document breaks paragraphs at a single "\n".
QString forDocument(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

// A model position in document characters (each CR LF is one character there).
int documentPosition(const QString& text, qsizetype position) {
    const QStringView before = QStringView(text).left(position);
    return int(position - before.count(QStringLiteral("\r\n")));
}

}  // namespace

DisplayView::DisplayView(TextModel& model, QWidget* parent) : QPlainTextEdit(parent), model_(model) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setWrapping(false);
    model_.onChange([this](const TextModel::Change& change) { apply(change); });
    apply({true, 0, 0, model_.text(), 12, kBlack});
}

void DisplayView::setWrapping(bool wrap) {
    setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void DisplayView::apply(const TextModel::Change& change) {
    QTextCursor cursor(document());
    if (change.reset || change.removed > 0) {
        document()->clear();
        // The whole text with its stored formats.
        for (const TextModel::Run& run : model_.runs()) {
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(forDocument(model_.text().mid(run.start, run.length)),
                              formatOf(run.size, run.color));
        }
        return;
    }
    cursor.setPosition(documentPosition(model_.text(), change.position));
    cursor.insertText(forDocument(change.text), formatOf(change.size, change.color));
    setTextCursor(cursor);
    ensureCursorVisible();
}

}  // namespace tovrin
