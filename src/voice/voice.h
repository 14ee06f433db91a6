#pragma once

#include <QString>

#include "platform/numbers.h"
#include "platform/sound.h"
#include "platform/timer.h"

namespace tovrin {

// The two announcers: the item announcer (Timer2, equaltime, equal) speaks the
// amount of an item just added, the change announcer (Timer3, equaltime2,
// equal2) the change expression of a finished sale, one character per tick.
class Voice {
public:
    static constexpr int kTickMs = 618;

    Voice(SoundPlayer& sound, Timer& timer2, Timer& timer3, const NumberFormat& numbers, QString folder);

    // Starters: assign the text and enable the timer; the position is kept,
    // so a new text given while speaking goes on from the current position.
    void startItem(const QString& text);
    void startChange(const QString& text);

    // One character to its clip; soundeq2 also knows "j" and "=".
    void soundeq(const QString& nseq);
    void soundeq2(const QString& nseq);
    void wave(int digit);
    void wave(const QString& key);
    void fwave(const QString& key);

    // Tick routines of Timer2 and Timer3.
    void soundequal(const QString& nsequal);
    void soundequal2(const QString& nsequal);

    QString equaltime;
    QString equaltime2;
    double equal = 1;
    double equal2 = 1;
    QString mfname;

    Timer& Timer2;
    Timer& Timer3;

private:
    SoundPlayer& sound_;
    const NumberFormat& numbers_;
    QString folder_;
};

}  // namespace tovrin
