// The EIK120 card protocol through a recording card, and the card's real backends.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

#include "eik_fake_card.h"
#include "interfaces/eik120/eik_direct_port_io.h"
#include "interfaces/eik120/eik_driver.h"
#include "interfaces/eik120/eik_interrupts.h"
#include "interfaces/eik120/eik_uio_interrupts.h"
#include "support/core_fakes.h"
#include "support/temp_config.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;
using Writes = std::vector<std::pair<int, int>>;
using Commands = std::vector<uint8_t>;

// Progress texts go to the shared log, so that their order with the messages shows.
struct RecordingProgress final : LoadProgress {
    explicit RecordingProgress(test::Log& l) : log(l) {}
    void ShowProgress(const std::string& text) override { log.Add("progress " + text); }
    test::Log& log;
};

// An interrupt line the test fires by hand.
struct ManualInterruptLine final : EikInterruptLine {
    void SetIrq(int l, std::function<void()> h) override { line = l, handler = std::move(h), set = true; }
    bool IsIrqSet() const override { return set; }
    void Unmask() override { unmasked = true; }
    void Mask() override { unmasked = false; }
    void Destroy() override { handler = nullptr, set = false, ++destroyed; }
    void Fire() { (handler && unmasked) ? handler() : void(); }
    bool set = false, unmasked = false;
    int line = 0, destroyed = 0;
    std::function<void()> handler;
};

struct EikRig {
    explicit EikRig(EikInterruptLine* irq = nullptr) : progress(r.log), driver(r.core, card, irq, &progress) {
        driver.RegisterWith(r.core);
        r.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
        driver.Copies().UseIrq = irq != nullptr ? 1 : 0;  // given a line, it is to be used
    }
    int16_t Call(int16_t code) {
        DriverParam p{0, 0};
        return driver.Handle(code, p);
    }
    // The commands the card got for one code.
    Commands Read(int16_t code) {
        card.Clear();
        Call(code);
        return card.commands;
    }
    Lines Boxes() const { return r.log.Only({"box "}); }
    const LinkStatus& Link() { return r.core.drivers().Link(InterfaceId::Eik); }

    test::CoreRig r;
    test::FakeEikCard card;
    RecordingProgress progress;
    EikDriver driver;
};

const std::string kStarted = "progress Initialisation de l'interface EIK terminée";

TEST(EikCount, FourBytesMakeASignedCount) {
    const struct { uint8_t b[4]; int32_t count; } cases[] = {
        {{128, 0, 0, 1}, -2147483647}, {{0, 0, 0, 1}, 1},     {{255, 255, 255, 255}, -1}, {{0, 1, 0, 0}, 65536},
        {{0, 0, 253, 232}, 65000},     {{128, 0, 0, 0}, INT32_MIN}, {{127, 255, 255, 255}, 2147483647}};
    for (const auto& c : cases) {
        EXPECT_EQ(EikCountFromBytes(c.b[0], c.b[1], c.b[2], c.b[3]), c.count);
    }
}

TEST(EikStart, InitialisesTheCardConfiguresBothChannelsAndProbesTheCoders) {
    EikRig e;
    e.card.SetCount(1, 70000);
    e.card.SetCount(2, -5);
    EXPECT_EQ(e.Call(CMD_START_INTERFACE), 1);
    // Initialise the card and each channel, configure each channel (clock, SSI format), read both.
    EXPECT_EQ(e.card.Writes(), (Writes{{0, 128}, {0, 138}, {0, 170},                                        //
                                       {1, 45}, {0, 140}, {1, 17}, {2, 0}, {3, 17}, {4, 0}, {5, 2}, {0, 139},  //
                                       {1, 45}, {0, 140}, {1, 17}, {2, 0}, {3, 17}, {4, 0}, {5, 2}, {0, 171},  //
                                       {0, 130}, {0, 162}}));
    EXPECT_TRUE(e.Boxes().empty());
    EXPECT_EQ(e.r.log.Only({"progress", "msg"}),
              (Lines{"msg Initialisation interface EIK", "progress Initialisation interface EIK", kStarted}));
    EXPECT_TRUE(e.driver.AlphaCoderOK());
    EXPECT_TRUE(e.driver.DeltaCoderOK());
    EXPECT_EQ(e.driver.AlphaCount(), 70000.0);
    EXPECT_EQ(e.driver.DeltaCount(), -5.0);
    // Each command was followed by status readings until the busy bit cleared.
    EXPECT_EQ(e.card.accesses[1], (test::FakeEikCard::Access{'r', 0, -1}));

    e.r.log.Clear();
    EXPECT_EQ(e.Call(CMD_STOP_INTERFACE), 1);
    EXPECT_EQ(e.r.log.Only({"msg"}), (Lines{"msg Arrêt interface EIK"}));

    // Other coder interfaces only get the final label.
    EikRig o;
    o.r.settings.Int(IntKey::interface_coders) = INTERFACE_TALVENE;
    EXPECT_EQ(o.Call(CMD_START_INTERFACE), 1);
    EXPECT_EQ(o.Call(CMD_STOP_INTERFACE), 1);
    EXPECT_TRUE(o.card.accesses.empty());
    EXPECT_EQ(o.r.log.lines, (Lines{kStarted}));
}

TEST(EikStart, ChannelFailuresFollowTheTwoChannelRules) {
    const auto axis = [](const std::string& what, int n) {
        return "box Erreur | " + what + " Eik120 impossible (time-out axe " + std::to_string(n) + ")";
    };
    const auto init = [&](int n) { return axis("Init carte", n); };
    const auto ssi = [&](int n) { return axis("Format SSI sur", n); };
    const std::string clock = "box Erreur | Mise à jour fréquence horloge Eik120 impossible (time-out)";
    // stuck: the commands after which the card stays busy; probed: the coders were read.
    const struct { std::set<uint8_t> stuck; int16_t status; bool probed; Lines boxes; } cases[] = {
        {{128}, 0, false, {init(0)}},         {{138}, 1, true, {init(1)}},
        {{170}, 0, true, {init(2)}},          {{138, 170}, 0, false, {init(1), init(2)}},
        {{139}, 1, true, {ssi(1)}},           {{171}, 0, true, {ssi(2)}},
        {{139, 171}, 0, false, {ssi(1), ssi(2)}}, {{140}, 0, false, {clock, clock}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(*c.stuck.begin()));
        EikRig e;
        e.card.neverReady = c.stuck;
        EXPECT_EQ(e.Call(CMD_START_INTERFACE), c.status);
        EXPECT_EQ(e.Boxes(), c.boxes);
        const auto& cmds = e.card.commands;
        EXPECT_EQ(std::find(cmds.begin(), cmds.end(), 130) != cmds.end(), c.probed);
        // The final label comes only when the start went through.
        EXPECT_EQ(e.r.log.Only({kStarted}).size(), c.probed ? 1U : 0U);
    }
    // The stop-all while both channels wait for their format ends the start: no box, no coder probed.
    EikRig e;
    e.card.neverReady = {139, 171};
    bool pressed = false;
    e.r.core.SetStopWatcher([&pressed] { return !std::exchange(pressed, true); });
    DriverParam p{0, 0};
    EXPECT_EQ(e.r.core.drivers().Call(InterfaceId::Eik, CMD_START_INTERFACE, p), 0);
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(e.Boxes().empty());
    EXPECT_EQ(std::count(e.card.commands.begin(), e.card.commands.end(), 130), 0);
}

TEST(EikStart, ACoderThatDoesNotAnswerReadsAsNoCoder) {
    // The read status after a read must be 1.
    EikRig e;
    e.card.readStatus = 0;
    e.card.SetCount(1, 1234);
    EXPECT_EQ(e.Call(CMD_START_INTERFACE), 1);
    EXPECT_EQ(e.Boxes(), (Lines{"box Erreur | Accès au codeur Alpha impossible (accès port)",
                                "box Erreur | Accès au codeur Delta impossible (accès port)"}));
    EXPECT_FALSE(e.driver.AlphaCoderOK());
    EXPECT_FALSE(e.driver.DeltaCoderOK());
    e.card.Clear();
    e.Call(CMD_READ_ALPHA);
    e.Call(CMD_READ_DELTA);
    EXPECT_TRUE(e.card.accesses.empty());  // 65000 without touching the card
    EXPECT_EQ(e.driver.AlphaCount(), 65000.0);
    EXPECT_EQ(e.driver.DeltaCount(), 65000.0);

    // A coder read that times out says so once, not twice.
    EikRig t;
    t.card.neverReady = {162};
    EXPECT_EQ(t.Call(CMD_START_INTERFACE), 1);
    EXPECT_EQ(t.Boxes(), (Lines{"box Erreur | Accès au codeur Delta impossible (time-out)"}));
    EXPECT_TRUE(t.driver.AlphaCoderOK());
    EXPECT_FALSE(t.driver.DeltaCoderOK());
}

TEST(EikStart, ABackendThatCannotReachTheCardStopsTheStartWithItsReason) {
    EikRig e;
    e.card.unavailable = "accès refusé";
    EXPECT_EQ(e.Call(CMD_START_INTERFACE), 0);
    EXPECT_EQ(e.Boxes(), (Lines{"box Erreur | Erreur lors de l'ouverture du driver de la carte EIK120\naccès refusé"}));
    EXPECT_TRUE(e.card.accesses.empty());

    EikRig o;
    uint16_t asked = 0;
    o.driver.SetReachCheck([&asked](uint16_t base) { return asked = base, std::string(base == 856 ? "" : "redémarrer"); });
    o.driver.Copies().BaseAddress = 864;
    o.card.base = 864;
    EXPECT_EQ(o.Call(CMD_START_INTERFACE), 0);
    EXPECT_EQ(asked, 864);
    EXPECT_EQ(o.Boxes(), (Lines{"box Erreur | Erreur lors de l'accès au driver de la carte EIK120\nredémarrer"}));
    EXPECT_TRUE(o.card.accesses.empty());
}

TEST(EikInterrupts, AWrongOrMissingInterruptLineStopsTheStartAndLeavesBothAxesPolled) {
    ManualInterruptLine irq;
    EikRig e(&irq);
    e.driver.Copies().Irq = 7;
    EXPECT_EQ(e.Call(CMD_START_INTERFACE), 0);
    EXPECT_EQ(e.Boxes(), (Lines{"box Erreur | Valeur de l'interruption incorrecte pour la carte EIK120"}));
    EXPECT_EQ(e.card.commands, (Commands{128, 138, 170, 140, 139, 140, 171, 130, 162}));  // after the probe
    EXPECT_FALSE(irq.set);
    EXPECT_TRUE(e.r.log.Only({kStarted}).empty());

    NoInterruptLine none("pas de périphérique UIO");
    EikRig n(&none);
    EXPECT_EQ(n.Call(CMD_START_INTERFACE), 0);
    EXPECT_EQ(n.Boxes(), (Lines{"box Erreur | Erreur lors du positionnement de l'IRQ EIK120\npas de périphérique UIO"}));
    EXPECT_FALSE(n.driver.InterruptsRunning());
    n.card.SetCount(1, 4242);
    n.card.SetCount(2, 4343);
    EXPECT_EQ(n.Read(CMD_READ_ALPHA), Commands{130});
    EXPECT_EQ(n.Read(CMD_READ_DELTA), Commands{162});
    EXPECT_EQ(n.driver.AlphaCount(), 4242.0);
    EXPECT_EQ(n.driver.DeltaCount(), 4343.0);
}

TEST(EikInterrupts, TheHandlerKeepsChannelOneFreshAndTheOtherAxisIsPolled) {
    ManualInterruptLine irq;
    EikRig e(&irq);
    e.driver.Copies().Irq = 9;
    e.r.settings.Int(IntKey::Eik120_timer_irq) = 300;  // the card takes one byte
    e.card.SetCount(1, 1000);
    e.card.SetCount(2, 2000);
    EXPECT_EQ(e.Call(CMD_START_INTERFACE), 1);
    const Writes w = e.card.Writes();
    EXPECT_EQ(Writes(w.end() - 6, w.end()), (Writes{{0, 130}, {0, 162}, {2, 255}, {0, 141}, {1, 14}, {0, 129}}));
    EXPECT_EQ(irq.line, 9);
    EXPECT_TRUE(irq.unmasked);
    ASSERT_TRUE(e.driver.InterruptsRunning());

    // An interrupt: the card has latched channel 1.
    e.card.LatchChannel1(1500);
    e.card.busyLeft = 0;
    e.card.Clear();
    irq.Fire();
    EXPECT_EQ(e.driver.AlphaCount(), 1500.0);
    EXPECT_EQ(e.card.accesses, (std::vector<test::FakeEikCard::Access>{
                                   {'r', 0, -1}, {'r', 2, -1}, {'r', 3, -1}, {'r', 4, -1}, {'r', 5, -1}, {'r', 1, -1}}));
    // Busy: the handler leaves the count alone.
    e.card.LatchChannel1(1600);
    e.card.busyLeft = 1;
    irq.Fire();
    EXPECT_EQ(e.driver.AlphaCount(), 1500.0);
    EXPECT_EQ(e.driver.InterruptCounts(), 1U);

    // Delta read twice (against the timer's latch), then channel 1 asked again for the next interrupt.
    EXPECT_EQ(e.Read(CMD_READ_ALPHA), Commands{});
    e.card.SetCount(2, 2500);
    EXPECT_EQ(e.Read(CMD_READ_DELTA), (Commands{162, 162, 130}));
    EXPECT_EQ(e.driver.DeltaCount(), 2500.0);
    EXPECT_EQ(e.card.regs, e.card.channel[0]);

    EXPECT_EQ(e.Call(CMD_STOP_INTERFACE), 1);
    EXPECT_EQ(irq.destroyed, 1);
    EXPECT_FALSE(e.driver.InterruptsRunning());
}

TEST(EikInterrupts, ChannelOneIsPolledAgainWhenItsInterruptsStopComing) {
    ManualInterruptLine irq;
    EikRig e(&irq);
    e.r.settings.Int(IntKey::Eik120_timer_irq) = 50;
    ASSERT_EQ(e.Call(CMD_START_INTERFACE), 1);
    e.card.busyLeft = 0;
    for (int i = 0; i < 20; ++i) {
        e.r.clock.Advance(50);
        e.card.LatchChannel1(1000 + i);
        irq.Fire();
        EXPECT_EQ(e.Read(CMD_READ_ALPHA), Commands{}) << i;
    }
    EXPECT_EQ(e.driver.AlphaCount(), 1019.0);
    // Silent for 500 ms: still trusted; beyond, Alpha is read on demand.
    e.card.SetCount(1, 3000);
    e.r.clock.Advance(500);
    EXPECT_EQ(e.Read(CMD_READ_ALPHA), Commands{});
    EXPECT_EQ(e.driver.AlphaCount(), 1019.0);
    e.r.clock.Advance(1);
    EXPECT_EQ(e.Read(CMD_READ_ALPHA), Commands{130});
    EXPECT_EQ(e.driver.AlphaCount(), 3000.0);
    // Interrupts again: back to the handler's count.
    e.card.LatchChannel1(3100);
    irq.Fire();
    EXPECT_EQ(e.Read(CMD_READ_ALPHA), Commands{});
    EXPECT_EQ(e.driver.AlphaCount(), 3100.0);
}

TEST(EikRead, ChannelsFollowTheAlphaAssignmentAndShowTheDebugCounts) {
    EikRig e;
    e.card.SetCount(1, 111);
    e.card.SetCount(2, -222);
    e.driver.Copies().AlphaOnChannel1 = 0;
    e.r.settings.Int(IntKey::Eik120_debug) = 1;
    ASSERT_EQ(e.Call(CMD_START_INTERFACE), 1);
    EXPECT_EQ(e.driver.AlphaCount(), -222.0);
    EXPECT_EQ(e.driver.DeltaCount(), 111.0);
    EXPECT_EQ(e.Read(CMD_READ_ALPHA), Commands{162});
    EXPECT_EQ(e.Read(CMD_READ_DELTA), Commands{130});
    EXPECT_EQ(e.r.view.Text("txtEik120AlphaDebug"), "-222");
    EXPECT_EQ(e.r.view.Text("txtEik120DeltaDebug"), "111");
}

TEST(EikRead, ACoderThatTimesOutIsReportedOnceThenReadAgainAfterGrowingPauses) {
    EikRig e;
    e.card.SetCount(1, 5000);
    ASSERT_EQ(e.Call(CMD_START_INTERFACE), 1);
    e.card.SetCount(1, 6000);
    e.card.neverReady = {130};
    e.r.log.Clear();
    // Each step: virtual time before the poll, whether the card is asked, how long the poll takes.
    const struct { uint64_t before; bool asked; uint64_t takes; } polls[] = {
                 {0, true, 10000},  {4999, false, 0}, {1, true, 10000},  // the first pause: 5 s
                 {9999, false, 0},  {1, true, 10000},                     // then 10 s
                 {19999, false, 0}, {1, true, 10000}};                    // then 20 s
    for (const auto& p : polls) {
        SCOPED_TRACE(&p - polls);
        e.r.clock.Advance(p.before);
        const uint64_t t0 = e.r.clock.ElapsedMs();
        EXPECT_EQ(!e.Read(CMD_READ_ALPHA).empty(), p.asked);
        EXPECT_NEAR(static_cast<double>(e.r.clock.ElapsedMs() - t0), static_cast<double>(p.takes), 10.0);
        EXPECT_EQ(e.driver.AlphaCount(), 5000.0);
    }
    EXPECT_EQ(e.Boxes(), (Lines{"box Erreur | Accès au codeur Alpha impossible (time-out)"}));
    EXPECT_EQ(e.Link().state, LinkState::Failing);
    EXPECT_EQ(e.Link().detail, "codeur Alpha");
    EXPECT_TRUE(e.r.core.drivers().ReadingsAvailable(InterfaceId::Eik));  // Delta still reads
    EXPECT_TRUE(e.driver.AlphaCoderOK());

    // It answers again: at its next attempt (40 s on), then at every poll.
    e.card.neverReady.clear();
    e.r.clock.Advance(40000);
    e.Call(CMD_READ_ALPHA);
    EXPECT_EQ(e.driver.AlphaCount(), 6000.0);
    EXPECT_EQ(e.r.log.Only({"msg"}), (Lines{"msg Codeur Alpha : lecture rétablie"}));
    EXPECT_EQ(e.Link().state, LinkState::Answering);
    EXPECT_EQ(e.Read(CMD_READ_ALPHA), Commands{130});

    // A new failure is a first one again, with its box; a wait from 5 s before midnight ends 10 s after.
    e.card.neverReady = {130};
    e.r.clock.SetDateTime(PcDateTime{2026, 12, 6, 23, 59, 55, 0});
    const uint64_t late = e.r.clock.ElapsedMs();
    e.Call(CMD_READ_ALPHA);
    EXPECT_NEAR(static_cast<double>(e.r.clock.ElapsedMs() - late), 15000.0, 5.0);
    EXPECT_EQ(e.Boxes().size(), 2U);
}

// Started with one channel counting `count` and the reference `positionRef` (arc seconds).
Position ReadOut(int channel, int32_t count, double positionRef) {
    EikRig e;
    e.card.SetCount(channel, count);
    EXPECT_EQ(e.Call(CMD_START_INTERFACE), 1);
    (channel == 1 ? e.driver.Copies().AlphaPositionRef : e.driver.Copies().DeltaPositionRef) = positionRef;
    e.Call(channel == 1 ? CMD_READ_ALPHA : CMD_READ_DELTA);
    return e.r.core.position();
}

TEST(EikReadOut, CountsBecomeHourAngleWithCarriesAndDeclinationClampedAtThePole) {
    const struct { double count, positionRef; std::array<int16_t, 3> hms; } alphas[] = {
        {65000, 0, {0, 0, 0}},
        {65000 + 131072 / 24.0, 0, {1, 0, 0}},  // one hour of counts
        {65000, 86399.6, {0, 0, 0}},            // 23:59:59.6 rounds up and wraps at 24 h
        {65000, 3599.7, {1, 0, 0}},             // 0:59:59.7 carries into the hour
        {65000, -3600, {23, 0, 0}},             // negative angles come back into the day
        {65000 + 1, 7384, {2, 3, 5}},           // 2:03:04 plus 0.66 s
    };
    for (const auto& c : alphas) {
        const Position p = ReadOut(1, static_cast<int32_t>(std::lround(c.count)), c.positionRef);
        EXPECT_EQ((std::array<int16_t, 3>{p.HourAngleH, p.HourAngleM, p.HourAngleS}), c.hms)
            << c.count << " " << c.positionRef;
    }
    const struct { int32_t count; double positionRef; std::array<int16_t, 4> negDms; bool outOfRange; } deltas[] = {
        {65000 + 131072, 0, {0, 90, 0, 0}, true},  // a whole turn, 360 degrees
        {65000, -1440, {1, 0, 24, 0}, false},      // -0.4 degree
        {65000, 3599.6, {0, 1, 0, 0}, false},      // 0°59'59.6" carries
        {65000, -324000, {1, 90, 0, 0}, false},    // the south pole itself
        {65000 - 131072 / 4 - 1, 0, {1, 90, 0, 0}, true},
        {65000 + 131072 / 8, 0, {0, 45, 0, 0}, false},
    };
    for (const auto& c : deltas) {
        const Position p = ReadOut(2, c.count, c.positionRef);
        EXPECT_EQ((std::array<int16_t, 4>{p.DeclinationNegative, p.DeclinationD, p.DeclinationM, p.DeclinationS}),
                  c.negDms)
            << c.count << " " << c.positionRef;
        EXPECT_EQ(p.DeclinationOutOfRange, c.outOfRange) << c.count;
    }
}

TEST(EikCalibration, TiesTheCurrentCountsToTheCalibrationSettings) {
    EikRig e;
    e.card.SetCount(1, 12345);
    e.card.SetCount(2, -678);
    ASSERT_EQ(e.Call(CMD_START_INTERFACE), 1);
    Settings& s = e.r.settings;
    s.Int(IntKey::calibr_alpha_h) = 2;
    s.Int(IntKey::calibr_alpha_m) = 3;
    s.Int(IntKey::calibr_alpha_s) = 4;
    e.card.SetCount(1, 20000);
    e.r.log.Clear();
    EXPECT_EQ(e.Call(CMD_CALIBRATE_ALPHA), 1);
    EXPECT_EQ(e.driver.Copies().AlphaPositionRef, 7384.0);
    EXPECT_EQ(e.driver.Copies().AlphaCoderRef, 20000.0);
    e.Call(CMD_READ_ALPHA);
    EXPECT_EQ(e.r.core.position().HourAngleH, 2);
    EXPECT_EQ(e.r.core.position().HourAngleS, 4);

    const struct { int16_t d, m, sec, negZero; double ref; } deltas[] = {
        {-12, 30, 0, 0, -45000}, {12, 30, 0, 0, 45000}, {0, 30, 0, 1, -1800}, {0, 30, 0, 0, 1800}};
    for (const auto& c : deltas) {
        s.Int(IntKey::calibr_delta_d) = c.d;
        s.Int(IntKey::calibr_delta_m) = c.m;
        s.Int(IntKey::calibr_delta_s) = c.sec;
        s.Int(IntKey::calibr_delta_neg_zero) = c.negZero;
        e.Call(CMD_CALIBRATE_DELTA);
        EXPECT_EQ(e.driver.Copies().DeltaPositionRef, c.ref) << c.d << " " << c.negZero;
        EXPECT_EQ(e.driver.Copies().DeltaCoderRef, -678.0);
    }
    EXPECT_EQ(e.r.log.Only({"msg"}), (Lines{"msg Calibration Alpha", "msg Calibration Delta", "msg Calibration Delta",
                                            "msg Calibration Delta", "msg Calibration Delta"}));
}

TEST(EikSettings, WorkingCopiesComeFromTheFileAndGoBackBeforeEachWrite) {
    test::TempConfig cfg;
    cfg.Write("Axo.ini", "[Axo]\nEik120_base_addr=760\nEik120_irq=5\ncalibr_alpha_coder=1234\n");
    EikRig e;
    ASSERT_TRUE(e.r.settings.ReadSettings("Axo.ini").ok);
    EXPECT_EQ(e.driver.Copies().BaseAddress, 760);
    EXPECT_EQ(e.driver.Copies().Irq, 5);
    EXPECT_EQ(e.driver.Copies().AlphaCoderRef, 1234.0);

    e.driver.Copies().DeltaPositionRef = -45000;
    e.driver.Copies().AlphaOnChannel1 = 0;
    ASSERT_TRUE(e.r.settings.WriteSettings("Axo.ini").ok);
    const std::string file = cfg.Read("Axo.ini");
    EXPECT_NE(file.find("calibr_delta_pos=-45000"), std::string::npos) << file;
    EXPECT_NE(file.find("Eik120_alpha_axis1= 0"), std::string::npos) << file;
    EXPECT_NE(file.find("Eik120_base_addr= 760"), std::string::npos) << file;
}

TEST(EikDirectPortIo, WithoutItsGrantItReadsOnesAndSaysWhy) {
    EikDirectPortIo io(0x358);
    EXPECT_FALSE(io.Granted());
    EXPECT_FALSE(io.UnavailableReason().empty());
    EXPECT_EQ(io.In(0x358), 0xFF);
    io.Out(0x358, 0x80);  // goes nowhere, never a fault
    EXPECT_EQ(io.ReachProblem(0x360), "");  // the missing grant is the reason given
    EXPECT_EQ(EikHexAddress(856), "0x358");
}

TEST(EikDirectPortIo, AnotherBaseThanTheGrantedOneWaitsForTheNextLaunch) {
    // Granting touches no port: it only asks the kernel for the range.
    EikDirectPortIo io(0x358);
    if (!io.GrantAccess()) {
        // Without the privilege (or without port I/O on this machine) the reason says which.
        EXPECT_NE(io.UnavailableReason().find("Accès direct aux ports 0x358 refusé : "), std::string::npos)
            << io.UnavailableReason();
        EXPECT_EQ(io.In(0x358), 0xFF);
        GTEST_SKIP() << "no port I/O here: " << io.UnavailableReason();
    }
    EXPECT_TRUE(io.UnavailableReason().empty());
    EXPECT_EQ(io.ReachProblem(0x358), "");
    const std::string why = io.ReachProblem(0x2F8);
    EXPECT_NE(why.find("0x2F8"), std::string::npos) << why;
    EXPECT_NE(why.find("prochain démarrage"), std::string::npos) << why;
}

// A socket pair plays /dev/uioN: a 4-byte write is an interrupt; the line's 1 (enable) or 0 come back.
struct FakeUio {
    FakeUio() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0); }
    ~FakeUio() { ::close(ends[1]); }
    void Interrupt(uint32_t n) { ASSERT_EQ(::write(ends[1], &n, sizeof n), 4); }
    int32_t Control() {
        int32_t v = -1;
        EXPECT_EQ(::read(ends[1], &v, sizeof v), 4);
        return v;
    }
    int ends[2] = {-1, -1};
};

TEST(UioInterruptLine, EachInterruptCallsTheHandlerAndReenablesTheLineAMissingDeviceNone) {
    FakeUio dev;
    UioInterruptLine line("/dev/uio-test", [&dev] { return dev.ends[0]; });
    std::atomic<int> calls{0};
    line.SetIrq(9, [&calls] { calls.fetch_add(1); });
    ASSERT_TRUE(line.IsIrqSet());
    line.Unmask();
    EXPECT_EQ(dev.Control(), 1);
    for (uint32_t i = 2; i <= 4; ++i) {
        dev.Interrupt(i);
        EXPECT_EQ(dev.Control(), 1);  // re-enabled after the handler ran
    }
    EXPECT_EQ(calls.load(), 3);
    line.Mask();
    EXPECT_EQ(dev.Control(), 0);
    // Masked: the interrupt is taken off the device but nobody is called.
    dev.Interrupt(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(calls.load(), 3);
    line.Destroy();
    EXPECT_FALSE(line.IsIrqSet());

    // A missing device leaves no line and says why.
    UioInterruptLine missing("/nonexistent/uio9");
    missing.SetIrq(9, [] {});
    EXPECT_FALSE(missing.IsIrqSet());
    EXPECT_NE(missing.Problem().find("/nonexistent/uio9"), std::string::npos);
    missing.Unmask();  // harmless
    missing.Destroy();
}

}  // namespace
}  // namespace axo
