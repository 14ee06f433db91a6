#pragma once

#include <QString>

namespace tovrin {

// Plays one wave file in the background; a new clip cuts off the one still
// sounding. A missing or broken file plays nothing and reports nothing.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString& path) = 0;
};

}  // namespace tovrin
