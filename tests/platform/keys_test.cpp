#include "platform/keys.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

constexpr int kNothing = -1;

struct KeyRow {
    const char* what;
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* text;  // as the window system reports it
    int ascii;         // kNothing: the key types nothing
};

TEST(KeyAscii, TypingKeysGiveTheirCharacterAndTheOthersNothing) {
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const KeyRow rows[] = {
        {"digit", Qt::Key_7, none, "7", '7'},
        {"keypad digit", Qt::Key_7, Qt::KeypadModifier, "7", '7'},
        {"decimal point", Qt::Key_Period, none, ".", '.'},
        {"minus", Qt::Key_Minus, none, "-", '-'},
        {"keypad minus", Qt::Key_Minus, Qt::KeypadModifier, "-", '-'},
        {"letter", Qt::Key_A, none, "a", 'a'},
        {"capital", Qt::Key_A, Qt::ShiftModifier, "A", 'A'},
        {"blank", Qt::Key_Space, none, " ", ' '},
        {"ctrl+a as X11 sends it", Qt::Key_A, Qt::ControlModifier, "\x01", 1},
        {"backspace", Qt::Key_Backspace, none, "\b", 8},
        {"backspace without text", Qt::Key_Backspace, none, "", 8},
        {"escape", Qt::Key_Escape, none, "\x1b", 27},
        {"escape without text", Qt::Key_Escape, none, "", 27},
        {"return", Qt::Key_Return, none, "\r", 13},
        {"shift+return", Qt::Key_Return, Qt::ShiftModifier, "\r", 13},
        {"keypad enter", Qt::Key_Enter, Qt::KeypadModifier, "\r", 13},
        {"keypad enter without text", Qt::Key_Enter, Qt::KeypadModifier, "", 13},
        {"ctrl+return", Qt::Key_Return, Qt::ControlModifier, "\r", 10},
        {"ctrl+keypad enter", Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier, "\r", 10},
        {"ctrl+j", Qt::Key_J, Qt::ControlModifier, "\n", 10},
        {"key without a name", Qt::Key_unknown, none, "\xc2\xa7", 0xa7},
        {"delete as X11 sends it", Qt::Key_Delete, none, "\x7f", kNothing},
        {"keypad delete", Qt::Key_Delete, Qt::KeypadModifier, "\x7f", kNothing},
        {"delete without text", Qt::Key_Delete, none, "", kNothing},
        {"shift+delete", Qt::Key_Delete, Qt::ShiftModifier, "\x7f", kNothing},
        {"left", Qt::Key_Left, none, "", kNothing},
        {"right", Qt::Key_Right, none, "", kNothing},
        {"up", Qt::Key_Up, none, "", kNothing},
        {"down", Qt::Key_Down, none, "", kNothing},
        {"home", Qt::Key_Home, none, "", kNothing},
        {"end", Qt::Key_End, none, "", kNothing},
        {"keypad home (num lock off)", Qt::Key_Home, Qt::KeypadModifier, "", kNothing},
        {"insert", Qt::Key_Insert, none, "", kNothing},
        {"page down", Qt::Key_PageDown, none, "", kNothing},
        {"F1", Qt::Key_F1, none, "", kNothing},
        {"F12 with a stray text", Qt::Key_F12, none, "x", kNothing},
        {"shift alone", Qt::Key_Shift, none, "", kNothing},
        {"control alone", Qt::Key_Control, Qt::ControlModifier, "", kNothing},
        {"alt alone", Qt::Key_Alt, none, "", kNothing},
        {"num lock", Qt::Key_NumLock, none, "", kNothing},
        {"tab", Qt::Key_Tab, none, "\t", kNothing},
        {"shift+tab", Qt::Key_Backtab, Qt::ShiftModifier, "", kNothing},
        {"lone rubout text", 0, none, "\x7f", kNothing},
        {"nothing at all", 0, none, "", kNothing},
    };
    for (const KeyRow& row : rows) {
        const std::optional<int> ascii = keyAscii(row.key, row.modifiers, QString::fromUtf8(row.text));
        EXPECT_EQ(ascii.value_or(kNothing), row.ascii) << row.what;
    }
}

}  // namespace
}  // namespace tovrin
