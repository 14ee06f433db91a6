#pragma once

#include <QDateTime>
#include <QString>
#include <map>
#include <memory>

#include "platform/sound.h"

class QSoundEffect;

namespace tovrin {

// Plays wave files with QSoundEffect, one at a time: starting a clip stops
// the one still sounding. Each file keeps its decoded effect, so a clip that
// has been played or prepared once starts at once; the file is looked at on
// every play, and a file that has gone is silent, one that has changed is
// decoded again. Without an audio device, or for a file that is not a PCM
// wave, nothing sounds and nothing is shown.
class QtSound : public SoundPlayer {
public:
    QtSound();
    ~QtSound() override;
    void play(const QString& path) override;
    void prepare(const QString& path) override;

private:
    struct Clip {
        std::unique_ptr<QSoundEffect> effect;  // none for a broken file
        QDateTime modified;
        qint64 size = -1;
    };
    // The effect of a playable file, loaded afresh when the file changed;
    // nullptr when the file is missing or not a PCM wave.
    QSoundEffect* effectFor(const QString& path);

    std::map<QString, Clip> clips_;
    QSoundEffect* current_ = nullptr;
};

}  // namespace tovrin
