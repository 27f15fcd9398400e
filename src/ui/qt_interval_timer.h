#pragma once

// An IntervalTimer on a Qt timer of the user-interface thread (the Delta brake delay of the
// 6420 boxes). A zero interval fires as soon as the event loop is free.

#include <QTimer>

#include "core/interval_timer.h"

namespace axo::ui {

class QtIntervalTimer final : public IntervalTimer {
public:
    QtIntervalTimer();

    void SetHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
    void SetInterval(int32_t milliseconds) override;
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return timer_.isActive(); }
    int32_t Interval() const override { return interval_; }

private:
    QTimer timer_;
    std::function<void()> handler_;
    int32_t interval_ = 0;
};

}  // namespace axo::ui
