#include "platform/qt/display_accessible.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QFontMetrics>
#include <QScrollBar>
#include <functional>
#include <tuple>

#include "platform/qt/display_view.h"

namespace tovrin {
namespace {

// A text with every kind of line end, blanks at the start and end of lines,
// empty lines, words, sentences and a character beyond the basic plane. (It
// begins with a word: before the first word Qt's reference never returns.)
const QString kMixed = QStringLiteral(
    "ok 总计：  12.5\tok.  Next one!  \r\n  b\rc d\ne\r\n\r\n   商品:  可乐\t3.5\t\U0001F600x\r\n\r\nend");

QString shownOf(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

class DisplayAccessibleTest : public ::testing::Test {
protected:
    void SetUp() override {
        installAccessibleFactory();
        view.resize(400, 300);
    }
    QAccessibleInterface* accessible() { return QAccessible::queryAccessibleInterface(&view); }
    QAccessibleTextInterface* text() { return accessible()->textInterface(); }

    TextModel model{12};
    DisplayView view{model};
};

TEST_F(DisplayAccessibleTest, IsNamedReadOnlyTextWithoutParts) {
    view.setAccessibleName(QStringLiteral("显示区"));
    QAccessibleInterface* a = accessible();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::EditableText);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("显示区"));
    EXPECT_TRUE(a->state().readOnly);
    EXPECT_TRUE(a->state().multiLine);
    EXPECT_EQ(a->childCount(), 0);
    ASSERT_NE(a->textInterface(), nullptr);
}

TEST_F(DisplayAccessibleTest, ReadsTheShownTextWithOneLfForEveryLineEnd) {
    model.setText(kMixed);
    const QString shown = shownOf(kMixed);
    ASSERT_EQ(text()->characterCount(), shown.size());
    EXPECT_EQ(text()->text(0, int(shown.size())), shown);
    EXPECT_EQ(view.toPlainText(), shown);
    // Every stretch, including those that begin or end at a line end.
    for (int from = 0; from <= shown.size(); ++from) {
        for (int to = from; to <= shown.size(); to += 3)
            ASSERT_EQ(text()->text(from, to), shown.mid(from, to - from)) << from << " " << to;
    }
    // Positions map between the shown text and the model's, a CR LF being
    // one shown position.
    for (int k = 0; k <= shown.size(); ++k) ASSERT_EQ(view.shownPosition(view.modelPosition(k)), k) << k;
    EXPECT_EQ(view.modelPosition(shown.indexOf(u'b')), kMixed.indexOf(u'b'));
}

// The units at, before and after every offset are those Qt's own reference
// implementation finds in the whole text (which it copies on every call).
// Where there is no unit the reference's offsets are not consistent; only the
// empty text is compared then.
TEST_F(DisplayAccessibleTest, FindsUnitsAsQtsReferenceDoesWithoutTheWholeText) {
    model.setText(kMixed);
    QAccessibleTextInterface* t = text();
    struct Unit {
        QString text;
        int start = -1, end = -1;
    };
    auto same = [](const Unit& ours, const Unit& reference, const char* what, int offset, int type) {
        EXPECT_EQ(ours.text, reference.text) << what << " " << offset << " type " << type;
        if (!reference.text.isEmpty()) {
            EXPECT_EQ(std::tie(ours.start, ours.end), std::tie(reference.start, reference.end))
                << what << offset;
        }
    };
    for (QAccessible::TextBoundaryType type : {QAccessible::CharBoundary, QAccessible::WordBoundary,
                                               QAccessible::SentenceBoundary, QAccessible::LineBoundary}) {
        for (int offset = 0; offset < t->characterCount(); ++offset) {
            Unit ours, reference;
            ours.text = t->textAtOffset(offset, type, &ours.start, &ours.end);
            reference.text =
                t->QAccessibleTextInterface::textAtOffset(offset, type, &reference.start, &reference.end);
            same(ours, reference, "at", offset, type);
            ours.text = t->textBeforeOffset(offset, type, &ours.start, &ours.end);
            reference.text =
                t->QAccessibleTextInterface::textBeforeOffset(offset, type, &reference.start, &reference.end);
            same(ours, reference, "before", offset, type);
            ours.text = t->textAfterOffset(offset, type, &ours.start, &ours.end);
            reference.text =
                t->QAccessibleTextInterface::textAfterOffset(offset, type, &reference.start, &reference.end);
            same(ours, reference, "after", offset, type);
        }
    }
}

// At the end of the text (where a reader's cursor rests after a report) the
// line is the last one; past it there is nothing.
TEST_F(DisplayAccessibleTest, AnswersAtTheEndOfTheText) {
    model.setText(QStringLiteral("one\r\ntwo\r\nlast"));
    QAccessibleTextInterface* t = text();
    int start, end;
    for (int end_ : {-1, 12}) {
        EXPECT_EQ(t->textAtOffset(end_, QAccessible::LineBoundary, &start, &end), QStringLiteral("last"))
            << end_;
        EXPECT_EQ(std::tie(start, end), std::make_tuple(8, 12));
    }
    EXPECT_EQ(t->textBeforeOffset(12, QAccessible::LineBoundary, &start, &end), QStringLiteral("two\n"));
    EXPECT_EQ(t->textAtOffset(12, QAccessible::CharBoundary, &start, &end), QString());
    EXPECT_EQ(t->textAfterOffset(12, QAccessible::WordBoundary, &start, &end), QString());
    EXPECT_EQ(t->textAtOffset(13, QAccessible::LineBoundary, &start, &end), QString());
    EXPECT_EQ(std::tie(start, end), std::make_tuple(-1, -1));
    EXPECT_EQ(t->textAtOffset(5, QAccessible::NoBoundary, &start, &end), QStringLiteral("one\ntwo\nlast"));
}

// The usage notes begin with a line end and blanks: they are one unit (where
// Qt's reference would never return).
TEST_F(DisplayAccessibleTest, TakesTheBlanksBeforeTheFirstWordAsOneUnit) {
    model.setText(QStringLiteral("\r\n   Tovrin找零"));
    int start, end;
    EXPECT_EQ(text()->textAtOffset(2, QAccessible::WordBoundary, &start, &end), QStringLiteral("\n   "));
    EXPECT_EQ(std::tie(start, end), std::make_tuple(0, 4));
}

TEST_F(DisplayAccessibleTest, GivesTheSizeAndColourOfEachStretch) {
    model.append(QStringLiteral("list\r\n"), 15);
    model.setSelColor(kGreen);
    model.append(QStringLiteral("64.5"), 200);
    int start = -1, end = -1;
    const QString attributes = text()->attributes(7, &start, &end);
    EXPECT_EQ(start, 5);  // "list" and its line end are five shown characters
    EXPECT_EQ(end, 9);
    EXPECT_TRUE(attributes.contains(QStringLiteral("font-size:200pt;")));
    EXPECT_TRUE(attributes.contains(QStringLiteral("color:rgb(10\\,250\\,30);")));
    EXPECT_TRUE(text()->attributes(2, &start, &end).contains(QStringLiteral("font-size:15pt;")));
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 5);
}

TEST_F(DisplayAccessibleTest, SelectsAndMovesTheCursorInShownPositions) {
    model.setText(QStringLiteral("ab\r\ncd\r\nef"));
    QAccessibleTextInterface* t = text();
    t->setSelection(0, 1, 4);
    EXPECT_EQ(view.selectedText(), QStringLiteral("b\nc"));
    int start, end;
    t->selection(0, &start, &end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 4);
    EXPECT_EQ(t->selectionCount(), 1);
    t->setCursorPosition(7);
    EXPECT_EQ(t->cursorPosition(), 7);
    EXPECT_EQ(t->selectionCount(), 0);
    EXPECT_EQ(view.selectionCursor(), 9);  // the model counts both characters of each CR LF
}

TEST_F(DisplayAccessibleTest, PlacesCharactersWhereTheyAreDrawn) {
    view.show();
    model.setText(QStringLiteral("ab\r\ncd"));
    QAccessibleTextInterface* t = text();
    const QRect a = t->characterRect(0), b = t->characterRect(1), c = t->characterRect(3);
    EXPECT_GT(a.width(), 0);
    EXPECT_NEAR(b.left(), a.right() + 1, 1);
    EXPECT_GT(c.top(), a.top());
    EXPECT_EQ(c.left(), a.left());
    EXPECT_EQ(t->offsetAtPoint(b.center()), 1);
    EXPECT_EQ(t->offsetAtPoint(c.center()), 3);
    EXPECT_TRUE(view.viewport()->rect().contains(view.viewport()->mapFromGlobal(a.center())));
}

// Large type wider than the display is drawn at the largest whole point
// size that fits; narrower large type and ordinary text keep their size.
TEST_F(DisplayAccessibleTest, LargeTypeShrinksToFitOnlyWhenTooWide) {
    view.show();
    QFont font = view.font();
    font.setBold(true);
    font.setPointSizeF(200);
    const int natural = QFontMetrics(font, view.viewport()).horizontalAdvance(QStringLiteral("9998.89"));
    const int narrow = natural * 2 / 3;
    view.resize(narrow, 400);
    model.append(QStringLiteral("9998.89"), 200);
    view.viewport()->repaint();
    QAccessibleTextInterface* t = text();
    const int left = t->characterRect(0).left(), right = t->characterRect(6).right();
    const int inside = view.viewport()->mapToGlobal(QPoint(view.viewport()->width(), 0)).x();
    EXPECT_LT(right, inside);
    EXPECT_GT(right - left, view.viewport()->width() * 8 / 10);  // not smaller than it has to be
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);

    view.resize(natural + 100, 400);
    EXPECT_NEAR(t->characterRect(6).right() - t->characterRect(0).left(), natural, natural / 50);

    model.setText(QString(300, QLatin1Char('x')));
    view.viewport()->repaint();
    EXPECT_GT(t->characterRect(299).left(),
              view.viewport()->mapToGlobal(QPoint(view.viewport()->width(), 0)).x());
}

struct EditCase {
    const char* name;
    QString before;  // the model's text before the change
    std::function<void(TextModel&)> change;
    qsizetype at;
    QString removed, inserted;
};

TEST(ShownEdit, TellsWhatChangedInShownPositions) {
    const std::vector<EditCase> cases = {
        {"append after CR LF lines",
         QStringLiteral("a\r\nb\r\n"),
         [](TextModel& m) { m.append(QStringLiteral("c\r\nd"), 12); },
         4,
         {},
         QStringLiteral("c\nd")},
        {"clear",
         QStringLiteral("a\r\nb"),
         [](TextModel& m) { m.setText(QString()); },
         0,
         QStringLiteral("a\nb"),
         {}},
        {"new text going on from the old",
         QStringLiteral("report\r\n"),
         [](TextModel& m) { m.setText(m.text() + QStringLiteral("totals\r\n")); },
         7,
         {},
         QStringLiteral("totals\n")},
        {"new text appended in place",
         QStringLiteral("report\r\n"),
         [](TextModel& m) { m.setTextAppending(QStringLiteral("totals\r\n")); },
         7,
         {},
         QStringLiteral("totals\n")},
        {"a CR and an LF becoming one line end", QStringLiteral("a\r"),
         [](TextModel& m) { m.append(QStringLiteral("\nb"), 12); }, 1, QStringLiteral("\n"),
         QStringLiteral("\nb")},
        {"new text differing inside", QStringLiteral("ab\r\ncd"),
         [](TextModel& m) { m.setText(QStringLiteral("ab\r\nxy")); }, 3, QStringLiteral("cd"),
         QStringLiteral("xy")},
        {"never between CR and LF", QStringLiteral("a\r\nb"),
         [](TextModel& m) { m.setText(QStringLiteral("a\rb")); }, 1, QStringLiteral("\nb"),
         QStringLiteral("\nb")},
        {"insertion in place of a selection", QStringLiteral("a\r\nbc"),
         [](TextModel& m) {
             m.setSelStart(3);
             m.setSelLength(1);
             m.setSelText(QStringLiteral("X\r\n"));
         },
         2, QStringLiteral("b"), QStringLiteral("X\n")},
    };
    for (const EditCase& c : cases) {
        TextModel model;
        model.setText(c.before);
        TextModel::Change last;
        model.onChange([&](const TextModel::Change& change) { last = change; });
        c.change(model);
        const DisplayView view(model);  // indexes the text after the change
        const ShownEdit edit = shownEdit(view, last);
        EXPECT_EQ(edit.at, c.at) << c.name;
        EXPECT_EQ(edit.removed, c.removed) << c.name;
        EXPECT_EQ(edit.inserted, c.inserted) << c.name;
    }
}

}  // namespace
}  // namespace tovrin
