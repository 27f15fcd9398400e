#include "core/event_processor.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "core/display.h"
#include "support/core_fakes.h"

namespace axo {
namespace {

using test::FakeTimer;
using test::FakeView;
using test::Log;

// The event processor alone, with a command function that only records: "cmd 4 1".
struct EventRig {
    EventRig()
        : view(log), timer(log), display(view, timer, settings), events(settings, display, [this](int16_t c, int16_t a) {
              log.Add("cmd " + std::to_string(c) + " " + std::to_string(a));
          }) {}
    std::vector<std::string> Commands() const { return log.Only({"cmd "}); }
    std::vector<std::string> Trace() const { return log.Only({"cmd ", "img "}); }
    // What `act` alone logged.
    template <typename Act>
    const EventRig& After(Act act) {
        log.Clear();
        act();
        return *this;
    }

    Log log;
    Settings settings;
    FakeView view;
    FakeTimer timer;
    Display display;
    EventProcessor events;
};

using Lines = std::vector<std::string>;

TEST(EventProcessor, TrackingAndTheMoves) {
    EventRig r;
    r.settings.Int(IntKey::ctrl_stop_move_when_tracking) = 0;
    r.events.SetEvent(EVT_ALPHA_PLUS, 1);
    r.log.Clear();
    r.events.SetEvent(EVT_TRACKING, 1);
    EXPECT_EQ(r.Trace(), (Lines{"img 1 on"}));  // no tracking command while Alpha + runs
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_ALPHA_PLUS, 0); }).Trace(),
              (Lines{"cmd 4 2", "img 5 off", "cmd 1 1"}));

    // A Delta move does not hold tracking back, and its end does not restart it.
    r.events.SetEvent(EVT_DELTA_PLUS, 1);
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_DELTA_PLUS, 0); }).Commands(), (Lines{"cmd 2 2"}));

    // With the option, tracking stops the moves.
    r.events.SetEvent(EVT_TRACKING, 0);
    r.settings.Int(IntKey::ctrl_stop_move_when_tracking) = 1;
    r.events.ToggleEvent(EVT_DELTA_MINUS_LOCK);
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_TRACKING, 1); }).Trace(),
              (Lines{"img 1 on", "cmd 3 2", "img 7 off", "img 8 off", "cmd 1 1"}));
    EXPECT_FALSE(r.events.IsEventSet(EVT_DELTA_MINUS_LOCK));
}

TEST(EventProcessor, TelescopeStopFollowsCtrlStopOnlyForTracking) {
    EventRig r;
    // Nothing running: no command at all.
    r.events.SetEvent(EVT_STOP, 1);
    EXPECT_TRUE(r.Commands().empty());
    EXPECT_EQ(r.events.Requested(EVT_STOP), 0);  // a momentary slot never stays on

    // Default (1): the stop ends tracking only; the locked move goes on.
    r.settings.Int(IntKey::ctrl_stop_move_when_tracking) = 0;
    r.events.SetEvent(EVT_TRACKING, 1);
    r.events.ToggleEvent(EVT_ALPHA_PLUS_LOCK);
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_STOP, 1); }).Commands(), (Lines{"cmd 1 2"}));
    EXPECT_TRUE(r.events.IsEventSet(EVT_ALPHA_PLUS));

    // 0: the stop ends the moves and their locks too.
    r.settings.Int(IntKey::ctrl_stop_only_for_tracking) = 0;
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_STOP, 1); }).Trace(), (Lines{"cmd 4 2", "img 5 off", "img 6 off"}));
}

TEST(EventProcessor, DomeStopAndDomeTracking) {
    EventRig r;
    r.events.SetEvent(EVT_DOME_STOP, 1);  // nothing running: exactly one command
    EXPECT_EQ(r.Commands(), (Lines{"cmd 106 2"}));

    r.events.ToggleEvent(EVT_DOME_DIR1_LOCK);
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_DOME_STOP, 1); }).Commands(), (Lines{"cmd 102 2", "cmd 106 2"}));

    // Dome tracking cancels dome moves, but not the reverse.
    r.events.ToggleEvent(EVT_DOME_DIR2_LOCK);
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_DOME_TRACKING, 1); }).Trace(),
              (Lines{"img 11 on", "cmd 103 2", "img 15 off", "img 16 off", "cmd 101 1"}));
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_DOME_DIR1, 1); }).Commands(), (Lines{"cmd 102 1"}));
    EXPECT_TRUE(r.events.IsEventSet(EVT_DOME_TRACKING));
}

TEST(EventProcessor, FocusLocksAndFocusStop) {
    EventRig r;
    // The lock of focus direction 2 issues its command before its own picture.
    r.events.ToggleEvent(EVT_FOCUS_DIR2_LOCK);
    EXPECT_EQ(r.Trace(), (Lines{"img 20 on", "cmd 202 1", "img 21 on"}));
    // Other locks draw their picture first.
    EXPECT_EQ(r.After([&] { r.events.ToggleEvent(EVT_FOCUS_DIR1_LOCK); }).Trace(),
              (Lines{"img 19 on", "cmd 202 2", "img 20 off", "img 21 off", "img 18 on", "cmd 201 1"}));
    r.events.ToggleEvent(EVT_FOCUS_DIR1_LOCK);
    r.events.ToggleEvent(EVT_FOCUS_DIR2_LOCK);
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_FOCUS_STOP, 1); }).Trace(),
              (Lines{"cmd 202 2", "img 20 off", "img 21 off"}));

    // Stopping everything leaves the focuser alone.
    r.events.SetEvent(EVT_FOCUS_DIR1, 1);
    r.log.Clear();
    r.events.StopAllEvents();
    EXPECT_TRUE(r.Commands().empty());
    EXPECT_TRUE(r.events.IsEventSet(EVT_FOCUS_DIR1));
}

TEST(EventProcessor, LockClicksOppositeDirectionsAndClearingTheTable) {
    EventRig r;
    r.events.ToggleEvent(EVT_ALPHA_MINUS_LOCK);
    EXPECT_EQ(r.Trace(), (Lines{"img 4 on", "img 3 on", "cmd 5 1"}));
    EXPECT_EQ(r.After([&] { r.events.ToggleEvent(EVT_ALPHA_MINUS_LOCK); }).Trace(),
              (Lines{"img 4 off", "cmd 5 2", "img 3 off"}));
    // Releasing a locked direction's button stops it and clears the lock.
    r.events.ToggleEvent(EVT_DELTA_PLUS_LOCK);
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_DELTA_PLUS, 0); }).Trace(),
              (Lines{"cmd 2 2", "img 9 off", "img 10 off"}));
    EXPECT_EQ(r.events.Requested(EVT_DELTA_PLUS_LOCK), 0);

    // The opposite direction stops before the new one starts.
    r.events.SetEvent(EVT_ALPHA_MINUS, 1);
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_ALPHA_PLUS, 1); }).Trace(),
              (Lines{"cmd 5 2", "img 3 off", "img 5 on", "cmd 4 1"}));
    EXPECT_EQ(r.events.Requested(EVT_ALPHA_MINUS), 0);

    // The same with the opposite locked: the lock goes off with its direction.
    r.events.SetEvent(EVT_ALPHA_PLUS, 0);
    r.events.ToggleEvent(EVT_DELTA_MINUS_LOCK);
    EXPECT_EQ(r.After([&] { r.events.SetEvent(EVT_DELTA_PLUS, 1); }).Trace(),
              (Lines{"cmd 3 2", "img 7 off", "img 8 off", "img 9 on", "cmd 2 1"}));
    EXPECT_EQ(r.events.Requested(EVT_DELTA_MINUS_LOCK), 0);

    // Clearing the table issues nothing.
    r.events.SetEvent(EVT_ALPHA_PLUS, 1);
    r.log.Clear();
    r.events.ClearEventTable();
    EXPECT_TRUE(r.log.lines.empty());
    EXPECT_FALSE(r.events.IsEventSet(EVT_ALPHA_PLUS));
    EXPECT_FALSE(r.events.IsEventSet(0));
    EXPECT_FALSE(r.events.IsEventSet(22));
    r.events.SetEvent(22, 1);  // only slots 1 to 21 exist
    EXPECT_TRUE(r.log.lines.empty());
}

// Random presses, releases, lock clicks and stops keep the invariants; in the end every motion is stopped.
TEST(EventProcessor, RandomSequencesKeepTheTableTheImagesAndTheHardwareConsistent) {
    // In opposite pairs: the opposite of directions[i] is directions[i ^ 1].
    const int directions[] = {EVT_ALPHA_MINUS, EVT_ALPHA_PLUS, EVT_DELTA_MINUS, EVT_DELTA_PLUS,
                              EVT_DOME_DIR1,   EVT_DOME_DIR2,  EVT_FOCUS_DIR1,  EVT_FOCUS_DIR2};
    const int stops[] = {EVT_STOP, EVT_DOME_STOP, EVT_FOCUS_STOP};
    const int16_t motionCodes[] = {CMD_TRACKING,      CMD_DELTA_PLUS, CMD_DELTA_MINUS, CMD_ALPHA_PLUS, CMD_ALPHA_MINUS,
                                   CMD_DOME_TRACKING, CMD_DOME_DIR1,  CMD_DOME_DIR2,   CMD_FOCUS_DIR1, CMD_FOCUS_DIR2};
    std::mt19937 rng(20261206);
    for (int run = 0; run < 300; ++run) {
        SCOPED_TRACE(run);
        EventRig r;
        r.settings.Int(IntKey::ctrl_stop_move_when_tracking) = static_cast<int16_t>(rng() % 2);
        r.settings.Int(IntKey::ctrl_stop_only_for_tracking) = static_cast<int16_t>(rng() % 2);
        std::map<int, int> lastArg;  // code -> last argument issued
        auto record = [&] {
            for (const auto& line : r.Commands()) {
                const auto sp = line.find(' ', 4);
                lastArg[std::stoi(line.substr(4, sp - 4))] = std::stoi(line.substr(sp + 1));
            }
            r.log.Clear();
        };
        std::set<int> held;  // direction buttons pressed and not yet released
        for (int step = 0; step < 40; ++step) {
            const int what = static_cast<int>(rng() % 6);
            const int dir = directions[rng() % std::size(directions)];
            switch (what) {
                case 0: if (held.insert(dir).second) { r.events.SetEvent(dir, 1); } break;
                case 1: if (held.erase(dir) == 1) { r.events.SetEvent(dir, 0); } break;
                case 2: r.events.ToggleEvent(dir + 1); break;
                case 3: r.events.SetEvent(stops[rng() % 3], 1); break;
                case 4: r.events.SetEvent(rng() % 2 ? EVT_TRACKING : EVT_DOME_TRACKING, 1); break;
                default: r.events.StopTelescopeEvents(rng() % 2 == 0); break;
            }
            record();
            for (int slot = 1; slot <= kEventSlotCount; ++slot) {
                ASSERT_EQ(r.events.Requested(slot), r.events.Seen(slot)) << "step " << step << " slot " << slot;
                if (slot != EVT_STOP && slot != EVT_DOME_STOP && slot != EVT_FOCUS_STOP) {
                    ASSERT_EQ(r.view.picture[slot], r.events.Requested(slot) == 1) << "slot " << slot;
                }
            }
            for (std::size_t i = 0; i < std::size(directions); ++i) {
                ASSERT_FALSE(r.events.IsEventSet(directions[i]) && r.events.IsEventSet(directions[i ^ 1]));
                // A lock is never on while its direction is off.
                ASSERT_FALSE(r.events.IsEventSet(directions[i] + 1) && !r.events.IsEventSet(directions[i]))
                    << directions[i];
            }
        }
        // Release all, press the three stops; a stop for tracking only leaves locked moves to their locks.
        for (int dir : held) {
            r.events.SetEvent(dir, 0);
        }
        for (int stop : stops) {
            r.events.SetEvent(stop, 1);
        }
        if (r.settings.Int(IntKey::ctrl_stop_only_for_tracking) != 0) {
            ASSERT_FALSE(r.events.IsEventSet(EVT_TRACKING));
            for (int lock : {EVT_ALPHA_MINUS_LOCK, EVT_ALPHA_PLUS_LOCK, EVT_DELTA_MINUS_LOCK, EVT_DELTA_PLUS_LOCK}) {
                if (r.events.IsEventSet(lock)) {
                    r.events.ToggleEvent(lock);
                }
            }
        }
        record();
        for (int slot = 1; slot <= kEventSlotCount; ++slot) {
            ASSERT_FALSE(r.events.IsEventSet(slot)) << "slot " << slot;
        }
        for (int16_t code : motionCodes) {
            ASSERT_TRUE(!lastArg.contains(code) || lastArg[code] == kStop) << "code " << code;
        }
    }
}

}  // namespace
}  // namespace axo
