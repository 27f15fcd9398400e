#include "ui/qt_interval_timer.h"

namespace axo::ui {

QtIntervalTimer::QtIntervalTimer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (handler_) {
            handler_();
        }
    });
}

void QtIntervalTimer::SetInterval(int32_t milliseconds) {
    interval_ = milliseconds < 0 ? 0 : milliseconds;
    timer_.setInterval(interval_);  // restarts an active timer
}

void QtIntervalTimer::SetEnabled(bool enabled) {
    if (enabled && !timer_.isActive()) {
        timer_.start(interval_);
    } else if (!enabled) {
        timer_.stop();
    }
}

}  // namespace axo::ui
