#include "platform/qt/qt_timer.h"

namespace tovrin {

QtTimer::QtTimer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { fire(); });
}

void QtTimer::setEnabled(bool enabled) {
    // Enabling a running timer keeps its rhythm, as the window's timers do.
    if (enabled && !timer_.isActive()) timer_.start();
    if (!enabled) timer_.stop();
}

}  // namespace tovrin
