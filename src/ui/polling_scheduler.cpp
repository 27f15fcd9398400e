#include "ui/polling_scheduler.h"

#include <algorithm>

namespace axo::ui {

PollingScheduler::PollingScheduler(std::function<void()> tick, const QString& timerName, QObject* parent)
    : QObject(parent), tick_(std::move(tick)), timer_(this) {
    timer_.setObjectName(timerName);
    timer_.setSingleShot(true);
    clock_.start();
    connect(&timer_, &QTimer::timeout, this, [this] { RequestTick(generation_); });
}

void PollingScheduler::SetInterval(int milliseconds) {
    interval_ = milliseconds;
    Restart();
}

void PollingScheduler::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Restart();
}

void PollingScheduler::Restart() {
    ++generation_;
    timer_.stop();
    if (!Running()) {
        return;
    }
    countFrom_ = clock_.elapsed();
    timer_.start(interval_);
}

void PollingScheduler::RequestTick(uint64_t generation) {
    QMetaObject::invokeMethod(this, [this, generation] { SecondPass(generation); }, Qt::QueuedConnection);
}

void PollingScheduler::SecondPass(uint64_t generation) {
    if (generation != generation_) {
        return;
    }
    QMetaObject::invokeMethod(this, [this, generation] { RunTick(generation); }, Qt::QueuedConnection);
}

void PollingScheduler::RunTick(uint64_t generation) {
    // A request made stale by a restart, or one that got through a window opened by the tick
    // in progress: the end of that tick schedules the next.
    if (generation != generation_ || inTick_ || !Running()) {
        return;
    }
    inTick_ = true;
    const qint64 start = clock_.elapsed();
    countFrom_ = start;
    tick_();
    inTick_ = false;
    if (!Running()) {
        return;  // stopped by the tick (manual mode, shut-down)
    }
    // A restart during the tick (a new interval, polling switched on again) keeps its count.
    const qint64 due = std::max(start, countFrom_) + interval_;
    const qint64 remaining = due - clock_.elapsed();
    ++generation_;
    timer_.stop();
    if (remaining > 0) {
        timer_.start(static_cast<int>(remaining));
    } else {
        RequestTick(generation_);
    }
}

}  // namespace axo::ui
