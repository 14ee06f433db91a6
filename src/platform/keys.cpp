#include "platform/keys.h"

namespace tovrin {

std::optional<int> keyAscii(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return modifiers.testFlag(Qt::ControlModifier) ? 10 : 13;
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return std::nullopt;
        default:
            break;
    }
    // Keys from Qt::Key_Escape up are the named keys (cursor, editing,
    // function, modifier, media keys); they type nothing whatever text the
    // window system gives them. A key Qt has no name for types its text.
    if (key >= Qt::Key_Escape && key != Qt::Key_unknown) return std::nullopt;
    if (text.isEmpty()) return std::nullopt;
    const int code = text.front().unicode();
    if (code == 0x7f) return std::nullopt;
    return code;
}

}  // namespace tovrin
