#pragma once

#include <QTimer>

#include "platform/timer.h"

namespace tovrin {

class QtTimer : public Timer {
public:
    QtTimer();
    void setInterval(int milliseconds) override { timer_.setInterval(milliseconds); }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

}  // namespace tovrin
