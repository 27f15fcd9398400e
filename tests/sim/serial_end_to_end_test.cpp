// The control core, the 6420 boxes' driver and the parallel boards' coders on one simulated
// observatory, on the virtual clock: the boxes turn the mount that the boards' coders read.

#include <gtest/gtest.h>

#include <cmath>

#include "core/interval_timer.h"
#include "interfaces/parallel/parallel_driver.h"
#include "interfaces/serial64xx/s64xx_driver.h"
#include "sim/e2e_rig.h"
#include "sim/serial64xx/settings_wiring.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;

struct Station : test::E2eRig {
    explicit Station(bool rs485 = false)
        : E2eRig(sim::ObservatoryStart{1.0, 30.0, 180.0, 3.0}),
          boxes(observatory),
          brake(r.clock),
          parallel(r.core, bus),
          serial(r.core, boxes, brake) {
        parallel.RegisterWith(r.core);
        serial.RegisterWith(r.core);
        r.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
        r.settings.Int(IntKey::interface_de) = INTERFACE_64XX;
        r.settings.Int(IntKey::S64xx_RS485) = rs485 ? 1 : 0;
        boxes.SetWiringSource([this] { return sim::WiringFromSettings(r.settings); });
        afterPoll = [this] { brake.Poll(); };  // the brake timer, when due
        Start();
    }

    sim::SimulatedBoxes boxes;
    ClockTimer brake;
    ParallelDriver parallel;
    S64xxDriver serial;
};

TEST(SerialEndToEnd, AlphaPlusWhileSlewingTurnsTheHourAngleTheCodersRead) {
    for (const bool rs485 : {false, true}) {
        Station s(rs485);
        ASSERT_TRUE(s.Errors().empty()) << s.r.log.lines.size();
        s.r.settings.Int(IntKey::control_mode_alpha) = SPEED_MOVING;
        s.Run(500);
        const double before = s.HourAngleSeconds();
        s.r.core.PressDirection(EVT_ALPHA_PLUS);
        s.Run(10000);
        s.r.core.ReleaseDirection(EVT_ALPHA_PLUS);
        s.Run(1000);
        // 3.33 degrees a second for 10 s, ramps and command pauses aside: 33 degrees is
        // 2 h 13 min of hour angle.
        const double moved = s.HourAngleSeconds() - before;
        EXPECT_NEAR(moved, 10.0 * 3.325 * 240.0, 240.0) << rs485;
        // Stopped, and the stop was seen: the axis holds.
        const double after = s.HourAngleSeconds();
        s.Run(5000);
        EXPECT_EQ(s.HourAngleSeconds(), after);
        EXPECT_TRUE(s.Errors().empty()) << rs485;
    }
}

TEST(SerialEndToEnd, ADeltaMoveEngagesMovesStopsAndReleasesAfterTheBrakeDelay) {
    for (const bool rs485 : {false, true}) {
        Station s(rs485);
        s.r.settings.Int(IntKey::control_mode_delta) = SPEED_MOVING;
        s.Run(500);
        const double before = s.DeclinationArcsec();
        s.r.core.PressDirection(EVT_DELTA_MINUS);
        EXPECT_EQ(s.boxes.DeltaBox().Outputs(), 9);
        s.Run(10000);
        s.r.core.ReleaseDirection(EVT_DELTA_MINUS);
        EXPECT_TRUE(s.brake.Enabled());
        // 0.42 degree a second for about 10 s.
        s.Run(500);
        EXPECT_NEAR(s.DeclinationArcsec() - before, -10.0 * 0.4206 * 3600.0, 800.0) << rs485;
        EXPECT_EQ(s.boxes.DeltaBox().Outputs(), 9);
        s.Run(2000);
        EXPECT_EQ(s.boxes.DeltaBox().Outputs(), 0);
        EXPECT_FALSE(s.brake.Enabled());
        const double stopped = s.DeclinationArcsec();
        s.Run(3000);
        EXPECT_EQ(s.DeclinationArcsec(), stopped);
        EXPECT_TRUE(s.Errors().empty()) << rs485;
    }
}

TEST(SerialEndToEnd, TrackingAtTheDefaultRateHoldsTheRightAscension) {
    for (const bool rs485 : {false, true}) {
        Station s(rs485);
        s.Run(1000);
        s.r.core.PressTracking();
        s.Run(2000);
        const double ra = s.RightAscensionSeconds();
        const double ha = s.HourAngleSeconds();
        s.Run(600000);
        EXPECT_NEAR(s.RightAscensionSeconds(), ra, 1.5) << rs485;
        EXPECT_NEAR(s.HourAngleSeconds() - ha, 601.6, 2.0) << rs485;
        EXPECT_TRUE(s.Errors().empty()) << rs485;
    }
}

TEST(SerialEndToEnd, AWrongDriveSelectionLeavesTheDeltaStill) {
    // The installation's fast drive is the box's own; the settings say the slave's.
    Station s;
    s.boxes.SetWiringSource(nullptr);
    sim::BoxWiring w;
    w.fastOnSlave = false;
    s.boxes.SetWiring(w);
    s.r.settings.Int(IntKey::control_mode_delta) = SPEED_MOVING;
    s.Run(500);
    const double before = s.DeclinationArcsec();
    s.r.core.PressDirection(EVT_DELTA_PLUS);
    s.Run(5000);
    s.r.core.ReleaseDirection(EVT_DELTA_PLUS);
    s.Run(500);
    // The slave's slow drive took the slewing rate: a crawl of a few arc minutes instead of
    // two degrees.
    EXPECT_LT(std::fabs(s.DeclinationArcsec() - before), 300.0);
}

TEST(SerialEndToEnd, SilentAndVanishedBoxesAreReportedAndNothingHangs) {
    Station s;
    s.boxes.AlphaBox().SetFault(sim::BoxFault::Silent);
    s.r.core.CloseSystem();
    s.r.log.Clear();
    s.r.core.InitSystem();
    EXPECT_EQ(s.r.log.Only({"box "}), (Lines{"box Erreur | Le boitier 6420 Alpha ne répond pas."}));

    s.r.log.Clear();
    s.boxes.VanishLine(2, true);
    const uint64_t t0 = s.r.clock.ElapsedMs();
    s.r.core.PressDirection(EVT_DELTA_PLUS);
    s.r.core.ReleaseDirection(EVT_DELTA_PLUS);
    const Lines boxes = s.r.log.Only({"box "});
    ASSERT_FALSE(boxes.empty());
    for (const std::string& b : boxes) {
        EXPECT_EQ(b, "box Erreur | Erreur de communication.\nPort non ouvert ou inexistant");
    }
    EXPECT_LT(s.r.clock.ElapsedMs() - t0, 3000u);
}

TEST(SerialEndToEnd, ABoxAnsweringTwoBytesIsSilentAndGarbageEndsTheStopWaitAfterTwoSeconds) {
    Station s;
    s.boxes.DeltaBox().SetFault(sim::BoxFault::TwoBytes);
    s.r.core.CloseSystem();
    s.r.log.Clear();
    s.r.core.InitSystem();
    EXPECT_EQ(s.r.log.Only({"box "}), (Lines{"box Erreur | Le boitier 6420 Delta ne répond pas."}));

    s.boxes.AlphaBox().SetFault(sim::BoxFault::Garbage);
    s.r.core.PressDirection(EVT_ALPHA_PLUS);
    const uint64_t t0 = s.r.clock.ElapsedMs();
    s.r.core.ReleaseDirection(EVT_ALPHA_PLUS);
    const uint64_t spent = s.r.clock.ElapsedMs() - t0;
    EXPECT_GT(spent, 2000u);
    EXPECT_LT(spent, 2300u);
    // The box did stop; only its answers were useless.
    s.Run(1000);
    EXPECT_EQ(s.boxes.AlphaBox().StepsPerSecond(), 0.0);
}

}  // namespace
}  // namespace axo
