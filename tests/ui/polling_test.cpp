// The polling schedule against the operator's input, in real time: the schedule is the toolkit's.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <algorithm>
#include <chrono>
#include <thread>

#include "ui/polling_scheduler.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::Lines;

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::size_t IndexOf(const Lines& lines, const std::string& line, std::size_t from = 0) {
    const auto it = std::find(lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())), lines.end(), line);
    return static_cast<std::size_t>(it - lines.begin());
}

TEST(Polling, AKeyPressedDuringAnOverdueTickIsHandledBeforeTheNextTick) {
    test::UiRig r(test::kAllParallel + "timer_value=20\n");
    ASSERT_TRUE(r.Start());
    // Every tick ends overdue, as on the parallel boards; the third posts a Right press, the fifth its release.
    int ticks = 0;
    r.window->core().SetCommandObserver([&](int16_t code, int16_t arg) {
        r.log.Add("cmd " + std::to_string(code) + " " + std::to_string(arg));
        if (code == CMD_POLL_BOARDS && ++ticks == 8) {
            r.window->SetSystemTimerEnabled(false);  // enough seen (and a schedule gone wrong ends)
        }
        if (code == CMD_READ_ALPHA && (ticks == 3 || ticks == 5)) {
            QCoreApplication::postEvent(r.window.get(), new QKeyEvent(ticks == 3 ? QEvent::KeyPress : QEvent::KeyRelease,
                                                                      Qt::Key_Right, Qt::NoModifier));
        }
        if (code == CMD_TELESCOPE_AZIMUTH) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    QElapsedTimer waited;
    waited.start();
    while (ticks < 7 && waited.elapsed() < 5000) {
        RunEventsFor(10);
    }
    ASSERT_GE(ticks, 7);
    const Lines cmds = r.Only({"cmd"});
    std::vector<std::size_t> tick{0};  // where each tick starts, from the first
    for (std::size_t i = IndexOf(cmds, "cmd 402 0"); i < cmds.size(); i = IndexOf(cmds, "cmd 402 0", i + 1)) {
        tick.push_back(i);
    }
    ASSERT_GE(tick.size(), 7u);
    // Each is sent after the whole of its tick (ending on the telescope azimuth), before the next tick.
    for (const auto& [cmd, after] : {std::pair{"cmd 4 1", 3}, std::pair{"cmd 4 2", 5}}) {
        SCOPED_TRACE(cmd);
        const std::size_t at = IndexOf(cmds, cmd, tick[after]);
        ASSERT_LT(at, cmds.size()) << "never sent";
        EXPECT_GT(at, tick[after]);
        EXPECT_LT(at, tick[after + 1]) << "it waited for a further tick";
        EXPECT_EQ(cmds[at - 1], "cmd 304 0");
    }
}

TEST(Polling, TheIntervalKeepsItsMeaning) {
    struct Case {
        const char* what;
        int interval;
        bool enabled;
        int tickMs;  // how long each tick lasts
        int minTicks;
        int maxTicks;
    };
    // Over 300 ms.
    const Case cases[] = {
        {"every 30 ms", 30, true, 0, 6, 11},
        {"an interval of 0 never ticks", 0, true, 0, 0, 0},
        {"disabled", 30, false, 0, 0, 0},
        {"ticks longer than the interval follow each other", 10, true, 25, 8, 12},
        {"a tick's length counts in its interval", 40, true, 25, 5, 8},
    };
    for (const Case& c : cases) {
        int ticks = 0;
        bool overlapped = false;
        bool inTick = false;
        ui::PollingScheduler polling(
            [&] {
                overlapped = overlapped || inTick;
                inTick = true;
                ++ticks;
                std::this_thread::sleep_for(std::chrono::milliseconds(c.tickMs));
                inTick = false;
            },
            "tmrTest");
        polling.SetInterval(c.interval);
        polling.SetEnabled(c.enabled);
        EXPECT_EQ(polling.Running(), c.enabled && c.interval > 0) << c.what;
        RunEventsFor(300);
        EXPECT_GE(ticks, c.minTicks) << c.what;
        EXPECT_LE(ticks, c.maxTicks) << c.what;
        EXPECT_FALSE(overlapped) << c.what;
    }
}

TEST(Polling, StoppedByItsOwnTickOrRestartedDuringItAndNeverWithinItself) {
    // A tick that switches the polling off (manual mode, a shut-down) gets no successor.
    int ticks = 0;
    ui::PollingScheduler* self = nullptr;
    ui::PollingScheduler stopping([&] { ++ticks; self->SetEnabled(false); }, "tmrTest");
    self = &stopping;
    stopping.SetInterval(10);
    stopping.SetEnabled(true);
    RunEventsFor(150);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(stopping.Running());

    // A tick running a box's event loop is not re-entered from it, even re-enabled there; polling goes on after.
    int entered = 0;
    int nested = 0;
    int depth = 0;
    ui::PollingScheduler* polling = nullptr;
    ui::PollingScheduler boxing(
        [&] {
            nested += depth;
            ++depth;
            if (++entered == 2) {
                polling->SetEnabled(true);
                RunEventsFor(80);
            }
            --depth;
        },
        "tmrTest");
    polling = &boxing;
    boxing.SetInterval(10);
    boxing.SetEnabled(true);
    RunEventsFor(300);
    EXPECT_EQ(nested, 0);
    EXPECT_GE(entered, 6);
}

}  // namespace
}  // namespace axo
