#pragma once

// When the polling tick of the main window runs (tmrSystem): every `interval` milliseconds
// while enabled, never with an interval of 0, and never before the input that came in during
// the previous tick has been handled.
//
// Why not a repeating QTimer: a tick on the parallel boards lasts longer than the usual
// interval, with the thread asleep in the protocol's waits. When it ends, the timer is already
// due again; whether a key press or a mouse click that arrived meanwhile is handled before the
// next tick then depends on the order in which the event dispatcher serves its sources (Qt's
// glib and plain Unix dispatchers, the platform's input queue, posted events), and a press
// that loses that race waits for a whole further tick. So the timer here only asks for a tick,
// once, and the tick itself is reached through two passes of the posted-event queue, both
// posted at low priority:
//   - an event posted during a tick or while the passes wait (a key posted by a test, a
//     platform that posts its input, a queued call) is delivered before them: the queue serves
//     normal priority first, and the same priority in posting order;
//   - input waiting in the platform's own queue is served by the dispatcher in the same loop
//     iteration as the first pass, as every ready source is; the second pass, posted by the
//     first, can only run in a later iteration, after it.
// After each tick the timer is armed again for what remains of the interval counted from the
// tick's start (from a restart of the count, if one came during the tick); when nothing
// remains, the first pass is posted at once. The tick's own work, its waits and the order of
// its transfers are not touched, and no event is processed inside a tick.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace axo::ui {

class PollingScheduler final : public QObject {
    Q_OBJECT
public:
    // `tick` runs on this object's thread; `timerName` names the underlying timer.
    PollingScheduler(std::function<void()> tick, const QString& timerName, QObject* parent = nullptr);

    // Both restart the count of the interval, as setting a timer's interval does.
    void SetInterval(int milliseconds);
    void SetEnabled(bool enabled);
    // Enabled with an interval above 0: ticks come.
    bool Running() const { return enabled_ && interval_ > 0; }
    int Interval() const { return interval_; }

protected:
    bool event(QEvent* event) override;

private:
    void Restart();
    void RequestTick(uint64_t generation);
    void RunTick(uint64_t generation);

    std::function<void()> tick_;
    QTimer timer_;
    QElapsedTimer clock_;
    int interval_ = 0;
    bool enabled_ = false;
    bool inTick_ = false;
    // Each restart, stop or new schedule makes the requests already on their way stale.
    uint64_t generation_ = 0;
    qint64 countFrom_ = 0;  // the next tick is due `interval_` ms after this
};

}  // namespace axo::ui
