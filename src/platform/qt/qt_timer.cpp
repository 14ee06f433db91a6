#include "platform/qt/qt_timer.h"

namespace tovrin {

QtTimer::QtTimer() {
    // The announcers speak one clip a tick: a coarse timer would stretch
    // 618 ms to 625 and let a sequence drift by a clip's start in 13 ticks.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { fire(); });
}

void QtTimer::setEnabled(bool enabled) {
    // Enabling a running timer keeps its rhythm, as the window's timers do.
    if (enabled && !timer_.isActive()) timer_.start();
    if (!enabled) timer_.stop();
}

}  // namespace tovrin
