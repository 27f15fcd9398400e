#include "ui/polling_scheduler.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>

namespace axo::ui {

namespace {

// One pass towards a tick, for the schedule of `generation`.
class PassEvent final : public QEvent {
public:
    PassEvent(Type type, uint64_t forGeneration) : QEvent(type), generation(forGeneration) {}
    const uint64_t generation;
};

const QEvent::Type kFirstPass = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kSecondPass = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

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
    // Low priority: an event of normal priority posted while this one waits (input included)
    // is delivered before it.
    QCoreApplication::postEvent(this, new PassEvent(kFirstPass, generation), Qt::LowEventPriority);
}

bool PollingScheduler::event(QEvent* event) {
    if (event->type() == kFirstPass) {
        const uint64_t generation = static_cast<PassEvent*>(event)->generation;
        if (generation == generation_) {
            QCoreApplication::postEvent(this, new PassEvent(kSecondPass, generation), Qt::LowEventPriority);
        }
        return true;
    }
    if (event->type() == kSecondPass) {
        RunTick(static_cast<PassEvent*>(event)->generation);
        return true;
    }
    return QObject::event(event);
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
