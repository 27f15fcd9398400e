// The EIK120 driver and the core against the simulated card: positions, faults, interrupts.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "interfaces/eik120/eik_driver.h"
#include "sim/eik120/simulated_eik_card.h"
#include "support/core_fakes.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;
const std::string kAlphaBox = "box Erreur | Accès au codeur Alpha impossible (time-out)";
const std::string kDeltaBox = "box Erreur | Accès au codeur Delta impossible (time-out)";

struct CardRig {
    explicit CardRig(double hourAngleHours = 1.0, double declination = 30.0)
        : mount(hourAngleHours, declination), card(r.clock, mount), driver(r.core, card, &card.Interrupts()) {
        driver.RegisterWith(r.core);
        r.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
    }
    int16_t Call(int16_t code) {
        DriverParam p{0, 0};
        return driver.Handle(code, p);
    }
    void ReadBoth() {
        Call(CMD_READ_ALPHA);
        Call(CMD_READ_DELTA);
    }
    Lines Boxes() const { return r.log.Only({"box "}); }
    const Position& Pos() { return r.core.position(); }
    const LinkStatus& Link() { return r.core.drivers().Link(InterfaceId::Eik); }
    test::CoreRig r;
    sim::Mount mount;
    sim::SimulatedEikCard card;
    EikDriver driver;
};

// Only the first time-out holds a tick; the coder is then retried every few seconds, its return announced.
TEST(SimulatedEikCard, AFailingCoderHoldsOneTickThenIsTriedAgainSlowly) {
    const Lines both{kAlphaBox, kDeltaBox};
    const Lines bothBack{"msg Codeur Delta : lecture rétablie", "msg Codeur Alpha : lecture rétablie"};
    enum Fault { Unplugged, Removed, StuckBusy };
    const auto set = [](sim::SimulatedEikCard& card, Fault f, bool on) {
        f == Unplugged ? card.UnplugCoder(2, on) : f == Removed ? card.RemoveCard(on) : card.StickBusy(on);
    };
    const struct { Fault fault; Lines boxes; std::string link; Lines back; } cases[] = {
        {Unplugged, {kDeltaBox}, "codeur Delta", {"msg Codeur Delta : lecture rétablie"}},
        {Removed, both, "codeurs Alpha et Delta", bothBack},
        {StuckBusy, both, "codeurs Alpha et Delta", bothBack},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.link << " #" << (&c - cases));
        CardRig rig(2.0, 10.0);
        test::CoreRig& r = rig.r;
        r.Init();
        r.core.PressDirection(EVT_ALPHA_PLUS);
        const auto tick = [&r] {
            r.clock.Advance(50);
            const uint64_t t0 = r.clock.ElapsedMs();
            r.core.SystemTick();
            return r.clock.ElapsedMs() - t0;
        };
        tick();
        ASSERT_EQ(r.view.Text("lblDisplayDeltaD"), "+10");
        r.log.Clear();
        set(rig.card, c.fault, true);
        EXPECT_NEAR(static_cast<double>(tick()), 10000.0 * static_cast<double>(c.boxes.size()), 20.0);
        EXPECT_EQ(rig.Boxes(), c.boxes);
        for (int i = 0; i < 99; ++i) {  // 5 s to the next attempt, one coder at a time
            ASSERT_LE(tick(), 2U) << "tick " << i;
        }
        // The axis of a failing coder shows "--" (dashes), the other goes on.
        EXPECT_EQ(r.view.Text("lblDisplayDeltaD"), "--");
        EXPECT_EQ(r.view.Text("lblDisplayAlphaH") == "--", c.boxes.size() == 2);
        EXPECT_EQ(rig.Link().state, LinkState::Failing);
        EXPECT_EQ(rig.Link().detail, c.link);
        EXPECT_NEAR(static_cast<double>(tick()), 10000.0, 20.0);
        EXPECT_EQ(rig.Boxes(), c.boxes);  // the box once, not at each attempt

        // Back: at the next attempt (10 s on), then at every tick.
        set(rig.card, c.fault, false);
        rig.mount.SetDeclinationDeg(12.5);
        uint64_t slowest = 0;
        for (int i = 0; i < 201; ++i) {
            slowest = std::max(slowest, tick());
        }
        EXPECT_LE(slowest, 2U);
        EXPECT_EQ(r.log.Only({"msg Codeur"}), c.back);
        EXPECT_EQ(r.view.Text("lblDisplayDeltaD"), "+12");
        EXPECT_EQ(r.view.Text("lblDisplayAlphaH"), "02");
        EXPECT_EQ(rig.Link().state, LinkState::Answering);
        EXPECT_TRUE(r.log.Only({"P 4 (2"}).empty());  // the slew was never stopped
    }
}

// The observer's stop-all during the 10 s wait for a failing coder ends the wait at once.
TEST(SimulatedEikCard, TheStopAllEndsTheWaitForAFailingCoder) {
    CardRig rig(2.0, 10.0);
    test::CoreRig& r = rig.r;
    r.Init();
    r.core.PressDirection(EVT_ALPHA_PLUS);
    const double delta = rig.driver.DeltaCount();
    rig.card.UnplugCoder(2, true);
    r.log.Clear();
    const uint64_t t0 = r.clock.ElapsedMs();
    uint64_t pressedAt = 0;
    r.core.SetStopWatcher([&] {
        if (pressedAt == 0 && r.clock.ElapsedMs() - t0 >= 3000) {
            pressedAt = r.clock.ElapsedMs();
            return true;
        }
        return false;
    });
    r.core.SystemTick();
    ASSERT_NE(pressedAt, 0U);
    EXPECT_LE(r.clock.ElapsedMs() - pressedAt, 5U);
    EXPECT_EQ(r.log.Only({"P 4 (2"}).size(), 1U);
    EXPECT_TRUE(rig.Boxes().empty());
    EXPECT_EQ(rig.driver.DeltaCount(), delta);
    EXPECT_NE(rig.Link().state, LinkState::Failing);
}

// With interrupts (one at the programmed interval), a failing channel 1 shows once and comes back with them.
TEST(SimulatedEikCard, InInterruptOperationAFailingChannelOneComesBackWithItsInterrupts) {
    CardRig c(2.0, 10.0);
    c.driver.Copies().UseIrq = 1;
    c.r.settings.Int(IntKey::Eik120_timer_irq) = 20;
    ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
    c.r.clock.Advance(19);
    c.card.ServiceInterrupts();
    EXPECT_EQ(c.card.InterruptsRaised(), 0U);
    c.r.clock.Advance(1);
    c.card.ServiceInterrupts();
    EXPECT_EQ(c.card.InterruptsRaised(), 1U);
    EXPECT_EQ(c.driver.InterruptCounts(), 1U);
    const auto poll = [&c] {
        c.r.clock.Advance(50);
        const uint64_t t0 = c.r.clock.ElapsedMs();
        c.card.ServiceInterrupts();
        c.ReadBoth();
        return c.r.clock.ElapsedMs() - t0;
    };
    c.card.UnplugCoder(1, true);
    EXPECT_NEAR(static_cast<double>(poll()), 10000.0, 20.0);
    EXPECT_EQ(c.Boxes(), (Lines{kAlphaBox}));
    EXPECT_EQ(c.Link().detail, "codeur Alpha");
    for (int i = 0; i < 90; ++i) {
        ASSERT_LE(poll(), 2U) << i;
    }
    c.card.UnplugCoder(1, false);
    c.mount.SetHourAngleHours(2.5);
    for (int i = 0; i < 3; ++i) {
        poll();
    }
    EXPECT_EQ(c.r.log.Only({"msg Codeur"}), (Lines{"msg Codeur Alpha : lecture rétablie"}));
    EXPECT_EQ(c.Link().state, LinkState::Answering);
    EXPECT_EQ(c.Pos().HourAngleM, 30);
    EXPECT_EQ(c.Boxes().size(), 1U);
}

// The card's timer may latch channel 1 over a read of channel 2: Delta must not take that count.
TEST(SimulatedEikCard, ALatchOfChannelOneDuringAReadOfChannelTwoIsNotTakenForDelta) {
    for (int nth : {0, 1, 2}) {
        CardRig c(3.0, 30.0);
        c.driver.Copies().UseIrq = 1;
        ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
        ASSERT_TRUE(c.driver.InterruptsRunning());
        c.mount.SetDeclinationDeg(-20.0);
        c.card.LatchChannel1AtRead(nth);
        c.Call(CMD_READ_DELTA);
        EXPECT_EQ(c.driver.DeltaCount(), static_cast<double>(c.card.CountOf(2))) << nth;
        EXPECT_EQ(c.Pos().DeclinationD, 20) << nth;
        EXPECT_EQ(c.Pos().DeclinationNegative, 1) << nth;
    }
}

// The card's interrupt thread against the read-out (run under ThreadSanitizer): every count whole and current.
// The card skips an interrupt while a read is pending, so under ThreadSanitizer on a slow machine fewer than 50 a
// second get through: a few hundred interleave with thousands of reads and stay well inside the deadline.
TEST(EikInterruptThread, HundredsOfInterruptsAgainstTheReadOut) {
    CardRig c(2.0, 45.0);
    auto& [r, mount, card, driver] = c;
    card.SetBusyReadings(0);
    driver.Copies().UseIrq = 1;
    r.settings.Int(IntKey::Eik120_timer_irq) = 1;  // one interrupt a millisecond
    card.StartInterruptThread();
    ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
    ASSERT_TRUE(driver.InterruptsRunning());

    constexpr uint64_t kInterrupts = 400;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int polls = 0;
    while (driver.InterruptCounts() < kInterrupts && std::chrono::steady_clock::now() < deadline) {
        mount.SetHourAngleHours(2.0 + (polls % 100) / 1000.0);  // never a mix of two counts
        c.ReadBoth();
        const double steps = (driver.AlphaCount() - 65000.0) * 24.0 / 131072.0;
        EXPECT_GE(steps, 1.99);
        EXPECT_LE(steps, 2.11);
        ++polls;
    }
    EXPECT_GE(driver.InterruptCounts(), kInterrupts);
    EXPECT_EQ(c.Boxes().size(), 0U);
    // Stopped: the card goes on interrupting, the driver no longer listens.
    EXPECT_EQ(c.Call(CMD_STOP_INTERFACE), 1);
    const uint64_t after = driver.InterruptCounts();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(driver.InterruptCounts(), after);
    card.StopInterruptThread();
    EXPECT_GT(polls, 0);
    EXPECT_EQ(c.Pos().DeclinationD, 45);
}

}  // namespace
}  // namespace axo
