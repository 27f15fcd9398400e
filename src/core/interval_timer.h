#pragma once

// A timer of the user-interface thread that an interface driver arms and disarms, such as the
// Delta brake delay of the 6420 boxes. The program gives a toolkit timer; tests and the
// simulated runs on the virtual clock give ClockTimer. It fires every interval while enabled,
// so a handler that wants one shot disables it first.

#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace axo {

class IntervalTimer {
public:
    virtual ~IntervalTimer() = default;
    virtual void SetHandler(std::function<void()> handler) = 0;
    // A new interval restarts the count of an enabled timer. 0 fires as soon as the thread is
    // free.
    virtual void SetInterval(int32_t milliseconds) = 0;
    // Enabling a disabled timer starts its count; enabling an enabled one changes nothing.
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual int32_t Interval() const = 0;
};

// The timer on the injected clock: whoever runs the "event loop" (a test, the simulated
// runs' timer loop) calls Poll(), which fires the handler when the interval has passed.
class ClockTimer final : public IntervalTimer {
public:
    explicit ClockTimer(Clock& clock) : clock_(clock) {}

    void SetHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
    void SetInterval(int32_t milliseconds) override {
        interval_ = milliseconds < 0 ? 0 : milliseconds;
        start_ = clock_.GetTickCount();
    }
    void SetEnabled(bool enabled) override {
        if (enabled && !enabled_) {
            start_ = clock_.GetTickCount();
        }
        enabled_ = enabled;
    }
    bool Enabled() const override { return enabled_; }
    int32_t Interval() const override { return interval_; }

    // Fires once when due; true when it fired.
    bool Poll() {
        if (!enabled_ || clock_.GetTickCount() - start_ < static_cast<uint32_t>(interval_)) {
            return false;
        }
        start_ = clock_.GetTickCount();
        if (handler_) {
            handler_();
        }
        return true;
    }

private:
    Clock& clock_;
    std::function<void()> handler_;
    int32_t interval_ = 0;
    bool enabled_ = false;
    uint32_t start_ = 0;
};

}  // namespace axo
