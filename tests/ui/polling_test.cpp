// The polling tick's schedule against the operator's input: a key pressed during a tick is
// handled before the next tick begins, even when that tick is overdue; and the interval keeps
// its meaning (every `timer_value` ms, 0 never, nothing while disabled). Real time: the
// schedule is the toolkit's, so these run the event loop for a fraction of a second each.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

#include "ui/polling_scheduler.h"
#include "ui_rig.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;

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
    test::UiRig r("[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\ninterface_coders=1\n"
                  "interface_focus=1\ninterface_filter=1\ndisplay_welcome=0\ntimer_value=20\n");
    ASSERT_TRUE(r.Start());
    // Ticks longer than the interval, as on the parallel boards, so each one ends overdue; the
    // third posts a press of the Right arrow from its middle, the fifth its release.
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
    // The press: the move starts after the third tick and before the fourth.
    std::size_t tick3 = IndexOf(cmds, "cmd 402 0");
    for (int i = 1; i < 3; ++i) {
        tick3 = IndexOf(cmds, "cmd 402 0", tick3 + 1);
    }
    const std::size_t tick4 = IndexOf(cmds, "cmd 402 0", tick3 + 1);
    const std::size_t move = IndexOf(cmds, "cmd 4 1", tick3);
    ASSERT_LT(move, cmds.size()) << "the press never started the move";
    EXPECT_GT(move, tick3);
    EXPECT_LT(move, tick4) << "the press waited for a further tick";
    // The release: the stop comes after the fifth tick and before the sixth.
    const std::size_t tick5 = IndexOf(cmds, "cmd 402 0", tick4 + 1);
    const std::size_t tick6 = IndexOf(cmds, "cmd 402 0", tick5 + 1);
    const std::size_t stop = IndexOf(cmds, "cmd 4 2", tick5);
    ASSERT_LT(stop, cmds.size()) << "the release never stopped the move";
    EXPECT_GT(stop, tick5);
    EXPECT_LT(stop, tick6) << "the release waited for a further tick";
    // A tick runs whole: nothing of the press lands inside one.
    EXPECT_EQ(cmds[move - 1], "cmd 304 0");
    EXPECT_EQ(cmds[stop - 1], "cmd 304 0");
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

    // A tick that opens a window of its own (a message box with its event loop) is not
    // entered again from that loop, even when polling is switched on again from it; the
    // polling goes on once it ends.
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
