#pragma once

#include <QString>
#include <memory>

#include "platform/sound.h"

class QSoundEffect;

namespace tovrin {

// Plays wave files with QSoundEffect, one at a time: starting a clip stops
// the one still sounding.
class QtSound : public SoundPlayer {
public:
    QtSound();
    ~QtSound() override;
    void play(const QString& path) override;

private:
    std::unique_ptr<QSoundEffect> current_;
};

}  // namespace tovrin
