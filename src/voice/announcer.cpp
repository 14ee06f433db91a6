#include "voice/announcer.h"

#include <utility>

namespace tovrin {

Announcer::Announcer(Timer& timer, const NumberFormat& numbers, Rule rule, Play play)
    : timer_(timer), numbers_(numbers), rule_(std::move(rule)), play_(std::move(play)) {
    timer_.setInterval(kTickMs);
    timer_.setEnabled(false);
    // Each tick works on a copy of the text, which the tick itself may clear.
    timer_.onTick([this] { tick(QString(text_)); });
}

void Announcer::start(const QString& text) {
    text_ = text;
    timer_.setEnabled(true);
}

void Announcer::speak(const QString& character) {
    if (rule_.ownKeys.contains(character)) {
        play_(character);
        return;
    }
    if (character.size() != 1) return;
    const QChar c = character[0];
    if (c.isDigit() && c.unicode() < 128) {
        play_(numbers_.plain(c.digitValue()));
    } else if (c == u'.') {
        play_(QStringLiteral("dot"));
    } else if (c == u'-') {
        play_(QStringLiteral("fu"));
    }
}

void Announcer::tick(const QString& text) {
    if (rule_.numbersOnly && !numbers_.isNumeric(text)) return;
    if (position_ > text.size()) {
        position_ = 1;
        text_.clear();
        timer_.setEnabled(false);
        return;
    }
    speak(text.mid(qsizetype(position_) - 1, 1));
    position_ += 1;
}

}  // namespace tovrin
