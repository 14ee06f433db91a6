#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/numbers.h"
#include "platform/timer.h"

namespace tovrin {

// One announcer: speaks a text one character per tick of its timer. The
// position is its own and is kept when a new text is given, so a text given
// while speaking goes on from the current position; the tick after the last
// character stops the timer, empties the text and puts the position back to 1.
class Announcer {
public:
    static constexpr int kTickMs = 618;

    // What an announcer speaks.
    struct Rule {
        // Only a text the number conversion accepts is spoken; any other text
        // ticks silently, without end, until a new text is given.
        bool numbersOnly = false;
        // Characters that are clip keys of their own, beside the digits, "."
        // and "-" that every announcer knows.
        QStringList ownKeys;
    };
    // Plays the clip of a key.
    using Play = std::function<void(const QString& key)>;

    // The timer is set to its pace and left off.
    Announcer(Timer& timer, const NumberFormat& numbers, Rule rule, Play play);
    Announcer(const Announcer&) = delete;
    Announcer& operator=(const Announcer&) = delete;

    // The text to speak; the timer is enabled, the position kept.
    void start(const QString& text);
    // One character to its clip: an ASCII digit, "." ("dot"), "-" ("fu") or
    // one of the rule's own keys; anything else, and any text that is not one
    // character, is silent.
    void speak(const QString& character);
    // One tick on the given text (a copy of the announcer's own).
    void tick(const QString& text);
    // Back to the first character; the text and the timer stay as they are.
    void rewind() { position_ = 1; }

    const QString& text() const { return text_; }
    // 1-based position of the character the next tick speaks.
    double position() const { return position_; }

private:
    Timer& timer_;
    const NumberFormat& numbers_;
    Rule rule_;
    Play play_;
    QString text_;
    double position_ = 1;
};

}  // namespace tovrin
