#pragma once

#include <functional>

namespace tovrin {

// A repeating timer of the window's message loop.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int milliseconds) = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    void onTick(std::function<void()> handler) { tick_ = std::move(handler); }

protected:
    void fire() {
        if (tick_) tick_();
    }

private:
    std::function<void()> tick_;
};

}  // namespace tovrin
