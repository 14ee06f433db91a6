#pragma once

#include <QString>

namespace tovrin {

// Plays one wave file in the background; a new clip cuts off the one still
// sounding. A missing or broken file plays nothing and reports nothing.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString& path) = 0;
    // A hint that the file will be played soon, so a player that decodes in
    // the background can have it ready. Playing must work without it.
    virtual void prepare(const QString& /*path*/) {}
};

}  // namespace tovrin
