// The simulated EIK120 card: its registers, its coders following the simulated mount, its
// faults and its interrupts on the virtual clock, driven by the real card driver.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include "interfaces/eik120/eik_driver.h"
#include "sim/eik120/simulated_eik_card.h"
#include "support/core_fakes.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;

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
    Lines Boxes() const { return r.log.Only({"box "}); }
    test::CoreRig r;
    sim::Mount mount;
    sim::SimulatedEikCard card;
    EikDriver driver;
};

TEST(SimulatedEikCard, RegistersAnswerAReadAfterAFewBusyReadings) {
    CardRig c(6.0, -45.0);
    c.card.Out(856, 130);
    EXPECT_EQ(c.card.In(856), 0x80);
    EXPECT_EQ(c.card.In(856), 0x80);
    EXPECT_EQ(c.card.In(856), 0x00);
    EXPECT_EQ(c.card.In(857), 1);
    // 6 h is a quarter turn: 65000 + 32768.
    const int32_t count = EikCountFromBytes(c.card.In(858), c.card.In(859), c.card.In(860), c.card.In(861));
    EXPECT_EQ(count, 97768);
    c.card.Out(856, 162);
    EXPECT_EQ(c.card.CountOf(2), 65000 - 16384);
    // Outside its six registers the card answers nothing.
    EXPECT_EQ(c.card.In(855), 0xFF);
    EXPECT_EQ(c.card.In(862), 0xFF);
}

TEST(SimulatedEikCard, TheDriverReadsTheMountsTruePositionWithTheBuiltInCalibration) {
    CardRig c(1.0, 30.0);
    ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
    EXPECT_TRUE(c.Boxes().empty());
    c.Call(CMD_READ_ALPHA);
    c.Call(CMD_READ_DELTA);
    const Position& p = c.r.core.position();
    // One count is 0.66 s of time and 9.9" of arc.
    EXPECT_EQ((std::array<int16_t, 5>{p.HourAngleH, p.HourAngleM, p.DeclinationNegative, p.DeclinationD, p.DeclinationM}),
              (std::array<int16_t, 5>{1, 0, 0, 30, 0}));
    EXPECT_LE(p.HourAngleS, 1);
    EXPECT_LE(p.DeclinationS, 10);

    // The swapped wiring, told to the driver too, gives the same position.
    c.card.SetAlphaOnChannel1(false);
    c.driver.Copies().AlphaOnChannel1 = 0;
    c.mount.SetHourAngleHours(22.5);
    c.mount.SetDeclinationDeg(-10.25);
    c.Call(CMD_READ_ALPHA);
    c.Call(CMD_READ_DELTA);
    EXPECT_EQ((std::array<int16_t, 5>{p.HourAngleH, p.HourAngleM, p.DeclinationNegative, p.DeclinationD, p.DeclinationM}),
              (std::array<int16_t, 5>{22, 30, 1, 10, 15}));
}

TEST(SimulatedEikCard, FaultsGiveTheDriversMessages) {
    {
        CardRig c;
        c.card.RemoveCard(true);
        EXPECT_EQ(c.Call(CMD_START_INTERFACE), 0);
        EXPECT_EQ(c.Boxes(), (Lines{"box Erreur | Init carte Eik120 impossible (time-out axe 0)"}));
    }
    {
        CardRig c;
        c.card.UnplugCoder(2, true);
        EXPECT_EQ(c.Call(CMD_START_INTERFACE), 1);
        EXPECT_EQ(c.Boxes(), (Lines{"box Erreur | Accès au codeur Delta impossible (time-out)"}));
        EXPECT_TRUE(c.driver.AlphaCoderOK());
        EXPECT_FALSE(c.driver.DeltaCoderOK());
    }
    {
        // Unplugged while running: every poll of that coder says so; the other goes on.
        CardRig c(2.0, 10.0);
        ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
        c.card.UnplugCoder(1, true);
        c.Call(CMD_READ_ALPHA);
        c.mount.SetDeclinationDeg(20.0);
        c.Call(CMD_READ_DELTA);
        EXPECT_EQ(c.Boxes(), (Lines{"box Erreur | Accès au codeur Alpha impossible (time-out)"}));
        EXPECT_EQ(c.r.core.position().HourAngleH, 2);
        EXPECT_EQ(c.r.core.position().DeclinationD, 20);
    }
    {
        CardRig c;
        ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
        c.card.StickBusy(true);
        c.Call(CMD_READ_DELTA);
        EXPECT_EQ(c.Boxes(), (Lines{"box Erreur | Accès au codeur Delta impossible (time-out)"}));
    }
}

TEST(SimulatedEikCard, InterruptsComeAtTheProgrammedIntervalOnTheCardsLine) {
    CardRig c(3.0, 0.0);
    c.driver.Copies().UseIrq = 1;
    c.driver.Copies().Irq = 9;
    c.r.settings.Int(IntKey::Eik120_timer_irq) = 40;
    ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
    ASSERT_TRUE(c.card.InterruptOperation());
    const double start = c.driver.AlphaCount();

    c.mount.SetHourAngleHours(3.5);
    c.r.clock.Advance(39);
    c.card.ServiceInterrupts();
    EXPECT_EQ(c.card.InterruptsRaised(), 0U);
    EXPECT_EQ(c.driver.AlphaCount(), start);
    c.r.clock.Advance(1);
    c.card.ServiceInterrupts();
    EXPECT_EQ(c.card.InterruptsRaised(), 1U);
    EXPECT_EQ(c.driver.AlphaCount(), 65000.0 + 19115.0);  // 3.5 h of 131072 counts a day
    EXPECT_EQ(c.driver.AlphaCount(), static_cast<double>(c.card.CountOf(1)));
    EXPECT_EQ(c.driver.InterruptCounts(), 1U);

    // The read-out takes Alpha from the interrupt without a command for channel 1 of its own.
    c.Call(CMD_READ_ALPHA);
    EXPECT_EQ(c.r.core.position().HourAngleH, 3);
    EXPECT_EQ(c.r.core.position().HourAngleM, 30);

    // Stopped: no more interrupts reach the driver.
    c.Call(CMD_STOP_INTERFACE);
    c.mount.SetHourAngleHours(5.0);
    c.r.clock.Advance(100);
    c.card.ServiceInterrupts();
    EXPECT_EQ(c.driver.InterruptCounts(), 1U);
}

TEST(SimulatedEikCard, AHandlerOnAnotherLineNeverHearsTheCard) {
    CardRig c;
    c.driver.Copies().UseIrq = 1;
    c.driver.Copies().Irq = 10;
    ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
    c.r.clock.Advance(100);
    c.card.ServiceInterrupts();
    EXPECT_EQ(c.card.InterruptsRaised(), 1U);
    EXPECT_EQ(c.driver.InterruptCounts(), 0U);
    // No interrupt ever reaches the driver: it reads Alpha on demand rather than freezing it.
    c.mount.SetHourAngleHours(4.0);
    c.r.clock.Advance(1000);
    c.Call(CMD_READ_ALPHA);
    EXPECT_EQ(c.r.core.position().HourAngleH, 4);
}

// A coder that fails during a slew, on the whole polling tick: only the first time-out holds a
// tick; the later ticks go on at once while the failed coder is tried again every few seconds;
// its return is announced and the displays follow the mount again.
TEST(SimulatedEikCard, AFailingCoderHoldsOneTickThenIsTriedAgainSlowly) {
    using Fault = void (*)(sim::SimulatedEikCard&, bool);
    const std::string alphaBox = "box Erreur | Accès au codeur Alpha impossible (time-out)";
    const std::string deltaBox = "box Erreur | Accès au codeur Delta impossible (time-out)";
    const struct {
        Fault fault;
        Lines boxes;
        std::string link;
        bool alphaDashes;  // the axis of a failing coder shows "--", the other goes on
        bool deltaDashes;
        Lines back;
    } cases[] = {
        {[](sim::SimulatedEikCard& card, bool on) { card.UnplugCoder(2, on); }, {deltaBox}, "codeur Delta", false, true,
         {"msg Codeur Delta : lecture rétablie"}},
        {[](sim::SimulatedEikCard& card, bool on) { card.RemoveCard(on); }, {alphaBox, deltaBox},
         "codeurs Alpha et Delta", true, true,
         {"msg Codeur Delta : lecture rétablie", "msg Codeur Alpha : lecture rétablie"}},
    };
    for (const auto& c : cases) {
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
        const auto shown = [&r](const char* label) { return r.view.Text(label); };
        tick();
        ASSERT_EQ(shown("lblDisplayDeltaD"), "+10");
        r.log.Clear();
        c.fault(rig.card, true);
        EXPECT_NEAR(static_cast<double>(tick()), 10000.0 * static_cast<double>(c.boxes.size()), 20.0) << c.link;
        EXPECT_EQ(rig.Boxes(), c.boxes);
        // The failed coders wait 5 s for their next attempt, one at a time; the ticks meanwhile
        // are quick.
        for (int i = 0; i < 99; ++i) {
            ASSERT_LE(tick(), 2U) << c.link << " tick " << i;
        }
        EXPECT_EQ(shown("lblDisplayDeltaD") == "--", c.deltaDashes) << c.link;
        EXPECT_EQ(shown("lblDisplayAlphaH") == "--", c.alphaDashes) << c.link;
        EXPECT_EQ(r.core.drivers().Link(InterfaceId::Eik).state, LinkState::Failing);
        EXPECT_EQ(r.core.drivers().Link(InterfaceId::Eik).detail, c.link);
        EXPECT_NEAR(static_cast<double>(tick()), 10000.0, 20.0) << c.link;
        EXPECT_EQ(rig.Boxes(), c.boxes);  // the box once, not at each attempt

        // Back: at the next attempt (10 s on), then at every tick.
        c.fault(rig.card, false);
        rig.mount.SetDeclinationDeg(12.5);
        uint64_t slowest = 0;
        for (int i = 0; i < 201; ++i) {
            slowest = std::max(slowest, tick());
        }
        EXPECT_LE(slowest, 2U) << c.link;
        EXPECT_EQ(r.log.Only({"msg Codeur"}), c.back);
        EXPECT_EQ(shown("lblDisplayDeltaD"), "+12") << c.link;
        EXPECT_EQ(shown("lblDisplayAlphaH"), "02") << c.link;
        EXPECT_EQ(r.core.drivers().Link(InterfaceId::Eik).state, LinkState::Answering);
        // A motor stop was never held back: the slew was still running.
        EXPECT_TRUE(r.log.Only({"P 4 (2"}).empty());
    }
}

// The observer's stop-all during the first 10 s wait for a failing coder ends the wait at once,
// the stops go out, and nothing is reported as failing.
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
    EXPECT_NE(r.core.drivers().Link(InterfaceId::Eik).state, LinkState::Failing);
}

// In interrupt operation, channel 1's coder unplugged: its failure shows when the driver hands
// channel 1 back to the handler after a Delta read, once; the polls then go on at once, and
// the interrupts coming again bring it back.
TEST(SimulatedEikCard, InInterruptOperationAFailingChannelOneComesBackWithItsInterrupts) {
    CardRig c(2.0, 10.0);
    c.driver.Copies().UseIrq = 1;
    c.r.settings.Int(IntKey::Eik120_timer_irq) = 20;
    ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
    const auto poll = [&c] {
        c.r.clock.Advance(50);
        const uint64_t t0 = c.r.clock.ElapsedMs();
        c.card.ServiceInterrupts();
        c.Call(CMD_READ_ALPHA);
        c.Call(CMD_READ_DELTA);
        return c.r.clock.ElapsedMs() - t0;
    };
    c.card.UnplugCoder(1, true);
    EXPECT_NEAR(static_cast<double>(poll()), 10000.0, 20.0);
    EXPECT_EQ(c.Boxes(), (Lines{"box Erreur | Accès au codeur Alpha impossible (time-out)"}));
    EXPECT_EQ(c.r.core.drivers().Link(InterfaceId::Eik).detail, "codeur Alpha");
    for (int i = 0; i < 90; ++i) {
        ASSERT_LE(poll(), 2U) << i;
    }
    c.card.UnplugCoder(1, false);
    c.mount.SetHourAngleHours(2.5);
    for (int i = 0; i < 3; ++i) {
        poll();
    }
    EXPECT_EQ(c.r.log.Only({"msg Codeur"}), (Lines{"msg Codeur Alpha : lecture rétablie"}));
    EXPECT_EQ(c.r.core.drivers().Link(InterfaceId::Eik).state, LinkState::Answering);
    EXPECT_EQ(c.r.core.position().HourAngleM, 30);
    EXPECT_EQ(c.Boxes().size(), 1U);
}

// In interrupt operation the card's timer may latch channel 1 over a read of channel 2 before
// the program takes its bytes: the declination must never show the hour angle's count.
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
        EXPECT_EQ(c.r.core.position().DeclinationD, 20) << nth;
        EXPECT_EQ(c.r.core.position().DeclinationNegative, 1) << nth;
    }
}

// The interrupt hand-over under real threads: the simulated card's interrupt thread calls the
// driver's handler while this thread runs the read-out codes and moves the mount. Run under
// ThreadSanitizer by scripts/sanitize --thread (any report fails it); in the normal build it
// checks that the counts handed over are whole and current.
TEST(EikInterruptThread, ThousandsOfInterruptsAgainstTheReadOut) {
    CardRig c(2.0, 45.0);
    auto& [r, mount, card, driver] = c;
    card.SetBusyReadings(0);
    driver.Copies().UseIrq = 1;
    r.settings.Int(IntKey::Eik120_timer_irq) = 1;  // one interrupt a millisecond
    card.StartInterruptThread();
    ASSERT_EQ(c.Call(CMD_START_INTERFACE), 1);
    ASSERT_TRUE(driver.InterruptsRunning());

    constexpr uint64_t kInterrupts = 3000;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int polls = 0;
    while (driver.InterruptCounts() < kInterrupts && std::chrono::steady_clock::now() < deadline) {
        // The mount turns a little between polls: every count the handler stores is a count
        // the card really gave, never a mix of two.
        mount.SetHourAngleHours(2.0 + (polls % 100) / 1000.0);
        r.core.Command(CMD_READ_ALPHA, 0);
        r.core.Command(CMD_READ_DELTA, 0);
        const double alpha = driver.AlphaCount();
        const double steps = (alpha - 65000.0) * 24.0 / 131072.0;
        EXPECT_GE(steps, 1.99);
        EXPECT_LE(steps, 2.11);
        ++polls;
    }
    EXPECT_GE(driver.InterruptCounts(), kInterrupts);
    EXPECT_EQ(r.log.Only({"box "}).size(), 0U);
    // Stopped: the card goes on interrupting, the driver no longer listens.
    EXPECT_EQ(c.Call(CMD_STOP_INTERFACE), 1);
    const uint64_t after = driver.InterruptCounts();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(driver.InterruptCounts(), after);
    card.StopInterruptThread();
    EXPECT_GT(polls, 0);
    // The declination, polled on demand, stayed where the mount is.
    EXPECT_EQ(r.core.position().DeclinationD, 45);
}

}  // namespace
}  // namespace axo
