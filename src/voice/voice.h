#pragma once

#include <QString>

#include "platform/numbers.h"
#include "platform/sound.h"
#include "platform/timer.h"
#include "voice/announcer.h"

namespace tovrin {

// The clips and the two announcers: the item announcer (on Timer2) speaks the
// amount of an item just added, the change announcer (on Timer3) the change
// expression of a finished sale, one character per tick.
class Voice {
public:
    static constexpr int kTickMs = Announcer::kTickMs;

    Voice(SoundPlayer& sound, Timer& timer2, Timer& timer3, const NumberFormat& numbers, QString folder);
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    // Starters: assign the text and enable the timer; the position is kept,
    // so a new text given while speaking goes on from the current position.
    void startItem(const QString& text) { item_.start(text); }
    void startChange(const QString& text) { change_.start(text); }
    // Both announcers back to their first character.
    void rewind() {
        item_.rewind();
        change_.rewind();
    }

    // `soundeq`: the item announcer's clip of one character.
    void soundeq(const QString& nseq) { item_.speak(nseq); }
    // `soundeq2`: the change announcer's clip of one character; it also knows "j" and "=".
    void soundeq2(const QString& nseq) { change_.speak(nseq); }
    // `wave`: plays the clip of a digit or of a clip key at once.
    void wave(int digit);
    void wave(const QString& key);
    // `fwave`: plays the clip of a clip key ("0" to "9", "dot", "fu", "+", "j", "=").
    void fwave(const QString& key);

    // `equaltime`: the item announcer's text.
    const QString& equaltime() const { return item_.text(); }
    // `equaltime2`: the change announcer's text.
    const QString& equaltime2() const { return change_.text(); }
    // `equal`: the item announcer's position, 1-based.
    double equal() const { return item_.position(); }
    // `equal2`: the change announcer's position, 1-based.
    double equal2() const { return change_.position(); }
    // The path of the clip selected last.
    const QString& mfname() const { return mfname_; }

private:
    SoundPlayer& sound_;
    const NumberFormat& numbers_;
    QString folder_;
    QString mfname_;
    Announcer item_;
    Announcer change_;
};

}  // namespace tovrin
