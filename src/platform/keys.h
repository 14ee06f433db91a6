#pragma once

#include <QString>
#include <Qt>
#include <optional>

namespace tovrin {

// The character code a key press types into a text box, as a key-press
// handler receives it: the key's character (a digit, letter, sign or blank,
// or a control code such as Backspace 8, Enter 13 or Esc 27), or nullopt for
// a key that types nothing (Delete, the cursor and editing keys, function
// keys, a modifier alone, Tab which only moves the focus).
//
// Return and keypad Enter are 13, and 10 (line feed) with Ctrl held. The
// key code decides before the text: X11 reports Delete with the text "\x7f",
// which is not a typed character.
std::optional<int> keyAscii(int key, Qt::KeyboardModifiers modifiers, const QString& text);

}  // namespace tovrin
