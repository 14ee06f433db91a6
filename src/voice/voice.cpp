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
    : sound_(sound),
      numbers_(numbers),
      folder_(std::move(folder)),
      item_(timer2, numbers, {.numbersOnly = true, .ownKeys = {}},
            [this](const QString& key) { fwave(key); }),
      change_(timer3, numbers, {.numbersOnly = false, .ownKeys = {QStringLiteral("j"), QStringLiteral("=")}},
              [this](const QString& key) { fwave(key); }) {
    // Let the player decode the clips now, so the first announcement is not
    // late; the files are still looked at on every play.
    for (const Clip& clip : kClips) sound_.prepare(clipPath(folder_, clip));
}

void Voice::wave(int digit) { fwave(numbers_.plain(digit)); }

void Voice::wave(const QString& key) { fwave(key); }

void Voice::fwave(const QString& key) {
    for (const Clip& clip : kClips) {
        if (key == QStringView(clip.key)) {
            mfname_ = clipPath(folder_, clip);
            sound_.play(mfname_);
            return;
        }
    }
}

}  // namespace tovrin
