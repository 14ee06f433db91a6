#include "voice/voice.h"

#include <array>
#include <utility>

#include "platform/folder.h"

namespace tovrin {

namespace {

struct Clip {
    const char16_t* key;
    const char16_t* file;
};

// Looked up in this order; the first equal key wins.
constexpr std::array<Clip, 15> kClips{{
    {u"fu", u"fushu.wav"},
    {u"0", u"0.wav"},
    {u"1", u"1.wav"},
    {u"2", u"2.wav"},
    {u"3", u"3.wav"},
    {u"4", u"4.wav"},
    {u"5", u"5.wav"},
    {u"6", u"6.wav"},
    {u"7", u"7.wav"},
    {u"8", u"8.wav"},
    {u"9", u"9.wav"},
    {u"+", u"jia.wav"},
    {u"=", u"dengyu.wav"},
    {u"dot", u"dot.wav"},
    {u"j", u"jian.wav"},
}};

// The clip's file in the program folder.
QString clipPath(const QString& folder, const Clip& clip) {
    return folderFile(folder, QString::fromUtf16(clip.file));
}

}  // namespace

Voice::Voice(SoundPlayer& sound, Timer& timer2, Timer& timer3, const NumberFormat& numbers, QString folder)
    : Timer2(timer2), Timer3(timer3), sound_(sound), numbers_(numbers), folder_(std::move(folder)) {
    Timer2.setInterval(kTickMs);
    Timer3.setInterval(kTickMs);
    Timer2.setEnabled(false);
    Timer3.setEnabled(false);
    // Each tick works on a copy of the text, which the tick itself may clear.
    Timer2.onTick([this] { soundequal(QString(equaltime)); });
    Timer3.onTick([this] { soundequal2(QString(equaltime2)); });
    // Let the player decode the clips now, so the first announcement is not
    // late; the files are still looked at on every play.
    for (const Clip& clip : kClips) sound_.prepare(clipPath(folder_, clip));
}

void Voice::startItem(const QString& text) {
    equaltime = text;
    Timer2.setEnabled(true);
}

void Voice::startChange(const QString& text) {
    equaltime2 = text;
    Timer3.setEnabled(true);
}

void Voice::soundeq(const QString& nseq) {
    if (nseq.size() != 1) return;
    const QChar c = nseq[0];
    if (c.isDigit() && c.unicode() < 128) {
        wave(c.digitValue());
    } else if (c == u'.') {
        wave(QStringLiteral("dot"));
    } else if (c == u'-') {
        wave(QStringLiteral("fu"));
    }
}

void Voice::soundeq2(const QString& nseq) {
    if (nseq == u"j" || nseq == u"=") {
        wave(nseq);
        return;
    }
    soundeq(nseq);
}

void Voice::wave(int digit) { fwave(numbers_.plain(digit)); }

void Voice::wave(const QString& key) { fwave(key); }

void Voice::fwave(const QString& key) {
    for (const Clip& clip : kClips) {
        if (key == QStringView(clip.key)) {
            mfname = clipPath(folder_, clip);
            sound_.play(mfname);
            return;
        }
    }
}

void Voice::soundequal(const QString& nsequal) {
    // The item announcer only speaks numbers; any other text ticks silently.
    if (!numbers_.isNumeric(nsequal)) return;
    if (equal > nsequal.size()) {
        equal = 1;
        equaltime.clear();
        Timer2.setEnabled(false);
        return;
    }
    soundeq(nsequal.mid(qsizetype(equal) - 1, 1));
    equal += 1;
}

void Voice::soundequal2(const QString& nsequal) {
    if (equal2 > nsequal.size()) {
        equal2 = 1;
        equaltime2.clear();
        Timer3.setEnabled(false);
        return;
    }
    soundeq2(nsequal.mid(qsizetype(equal2) - 1, 1));
    equal2 += 1;
}

}  // namespace tovrin
