// The control core, the parallel interface and the simulated observatory together.

#include <gtest/gtest.h>

#include <cmath>

#include "interfaces/parallel/parallel_driver.h"
#include "sim/e2e_rig.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;

// Cancels after `patience` readings, so that a search that never ends fails instead of hanging.
struct PatientCancelWindow final : CancelWindow {
    void Open(const std::string&) override { visible = true; polls = 0; }
    bool CancelRequested() const override { return ++polls > patience; }
    bool IsVisible() const override { return visible; }
    void Hide() override { visible = false; }
    mutable long polls = 0;
    long patience = 600'000;
    bool visible = false;
};

struct Observatory : test::E2eRig {
    explicit Observatory(sim::ObservatoryStart start = {}, int16_t alphaMode = SPEED_CENTERING)
        : E2eRig(start), driver(r.core, bus, ParallelWindows{nullptr, &cancel, nullptr}) {
        driver.RegisterWith(r.core);
        r.settings.Int(IntKey::control_mode_alpha) = alphaMode;
        Start();
    }

    PatientCancelWindow cancel;
    ParallelDriver driver;
};

TEST(EndToEnd, HoldingAlphaPlusInSlewingModeTurnsTheHourAngleUp) {
    Observatory o({}, SPEED_MOVING);
    o.Run(500);
    const double before = o.HourAngleSeconds();
    EXPECT_EQ(o.r.view.Text("lblDisplayAlphaH"), "00");
    const uint64_t pressed = o.r.clock.ElapsedMs();
    o.r.core.PressDirection(EVT_ALPHA_PLUS);
    o.Run(10000);
    o.r.core.ReleaseDirection(EVT_ALPHA_PLUS);  // at the first tick boundary after 10 s
    const double held = static_cast<double>(o.r.clock.ElapsedMs() - pressed) / 1000.0;
    o.Run(500);
    // 2°/s is 8 min of hour angle a second, plus the sidereal tracking the move keeps.
    EXPECT_NEAR(o.HourAngleSeconds() - before, held * (480.0 + 1.0027), 5.0);
    EXPECT_EQ(o.r.view.Text("lblDisplayAlphaH"), "01");
    EXPECT_EQ(o.r.view.Text("lblDisplayAlphaM"), "20");
    const double after = o.HourAngleSeconds();
    o.Run(5000);
    EXPECT_EQ(o.HourAngleSeconds(), after);  // released: the axis stands still again
    EXPECT_TRUE(o.Errors().empty());
}

TEST(EndToEnd, TheStartLoadsTheBoardsAndTrackingHoldsTheRightAscension) {
    Observatory o;
    EXPECT_TRUE(o.Errors().empty());
    // Calibrated on 0h 0m 0s and 0 degrees: the boards read that back where the mount stands.
    EXPECT_NEAR(o.bus.AlphaBoard().Reading(), 0.0, 1e-6);
    EXPECT_NEAR(o.bus.DeltaBoard().Reading(), 0.0, 1e-6);
    EXPECT_DOUBLE_EQ(o.bus.AlphaBoard().CountVariable(), o.r.settings.Dbl(DoubleKey::count_alpha));
    EXPECT_EQ(o.bus.TheDomeBoard().Count(), o.r.settings.Int(IntKey::NIC));
    o.Run(1000);
    EXPECT_EQ(o.r.view.Text("lblAzimutDome"), "180°");
    const double ra0 = o.RightAscensionSeconds();
    const double ha0 = o.HourAngleSeconds();
    // Without tracking the hour angle holds and the right ascension drifts with the sky.
    o.Run(60000);
    EXPECT_EQ(o.HourAngleSeconds(), ha0);
    EXPECT_NEAR(o.RightAscensionSeconds() - ra0, 60.16, 1.5);

    const double ra1 = o.RightAscensionSeconds();
    o.r.core.PressTracking();
    o.Run(600000);
    EXPECT_NEAR(o.RightAscensionSeconds(), ra1, 1.5);
    EXPECT_NEAR(o.HourAngleSeconds() - ha0, 601.6, 2.0);
    EXPECT_TRUE(o.Errors().empty());
}

TEST(EndToEnd, DomeInitFindsTheZeroRestParksAndTrackingFollowsTheTelescope) {
    sim::ObservatoryStart start;
    start.domeAzimuthDeg = 90.0;  // the board believes 180 (NIC 0) until it finds its zero
    Observatory o(start);
    o.Run(500);
    o.r.log.Clear();
    o.r.core.DomeInitClicked();
    EXPECT_TRUE(o.r.core.state().DomeInitRunning);
    o.Run(60000);  // no axis board may be taken for silent meanwhile, nor at the dome's arrival
    EXPECT_FALSE(o.r.core.state().DomeInitRunning);
    EXPECT_EQ(o.r.log.Only({"msg ***"}), (Lines{"msg *** Message du Micro-Controleur COUPOLE",
                                                "msg *** La Coupole est ARRETEE sur sa Position ZERO"}));
    EXPECT_EQ(o.r.log.Only({"msg !!!", "box Erreur"}), Lines{});
    EXPECT_EQ(o.r.core.position().DomeAzimuth, 180);

    o.r.log.Clear();
    o.r.settings.Int(IntKey::dome_rest_pos) = 15;
    o.r.core.DomeRestClicked();
    EXPECT_TRUE(o.r.core.state().DomeRestRunning);
    o.Run(90000);
    EXPECT_FALSE(o.r.core.state().DomeRestRunning);
    EXPECT_EQ(o.r.log.Only({"msg ***"}), (Lines{"msg *** Message du SYSTEME",
                                                "msg *** La Coupole est à sa position Repos"}));
    EXPECT_LE(std::abs(o.r.core.position().DomeAzimuth - 15), 8);
    EXPECT_EQ(o.bus.TheDome().Direction(), 0);
    EXPECT_GE(o.r.settings.Int(IntKey::NIC), 0);
    EXPECT_EQ(o.r.view.Text("lblAzimutDome"), std::to_string(o.r.core.position().DomeAzimuth) + "°");

    // Following the telescope, the dome stops inside the dead band past its azimuth.
    o.r.core.PressDomeTracking();
    ASSERT_TRUE(o.r.core.state().DomeTrackingOn);
    o.Run(120000);
    const Position& p = o.r.core.position();
    const int past = ((p.DomeAzimuth - p.TelescopeAzimuth) % 360 + 360) % 360;
    EXPECT_GE(past, 1) << p.DomeAzimuth << " " << p.TelescopeAzimuth;
    EXPECT_LE(past, 5) << p.DomeAzimuth << " " << p.TelescopeAzimuth;
    EXPECT_EQ(o.bus.TheDome().Direction(), 0);
    EXPECT_TRUE(o.r.core.state().DomeTrackingOn);
    EXPECT_FALSE(o.r.core.state().DomeFollowMoving);
}

TEST(EndToEnd, ZeroCoderSearchOnTheSimulatedMount) {
    sim::ObservatoryStart start;
    start.hourAngleHours = 24.0 - 1.0 / 60.0;  // one minute before the coder's zero
    Observatory o(start);
    o.r.settings.Int(IntKey::calibr_alpha_h) = 0;
    DriverParam p{0, 0};
    o.driver.Handle(CMD_ZERO_CODER_ALPHA, p);
    // The board saw its index, said so, and took the position zero.
    EXPECT_EQ(o.r.log.Only({"msg ***"}), (Lines{"msg *** Message du Micro-Controleur ALPHA",
                                                "msg *** La Position Alpha du Télescope est Réinitialisée"}));
    EXPECT_NEAR(o.bus.AlphaBoard().Reading(), 0.0, 1e-6);
    EXPECT_FALSE(o.cancel.visible);
    EXPECT_LT(o.cancel.polls, 100000);
    // The lock was released: the axis stands still.
    EXPECT_EQ(o.bus.AlphaLatch(), 0xFE);

    // Too far: the board refuses at once, the wait (index only) is cancelled, the refusal comes next poll.
    o.r.log.Clear();
    o.bus.TheMount().SetHourAngleHours(20.0);
    o.cancel.patience = 5000;
    o.driver.Handle(CMD_ZERO_CODER_ALPHA, p);
    EXPECT_GT(o.cancel.polls, 5000);
    EXPECT_TRUE(o.r.log.Only({"msg ***"}).empty());
    o.Run(100);
    EXPECT_EQ(o.r.log.Only({"msg ***"}), (Lines{"msg *** Message du Micro-Controleur ALPHA",
                                                "msg *** Procédure ZERO-CODEUR ARRETEE",
                                                "msg *** Prépositionnement trop éloigné du zéro"}));
}

TEST(EndToEnd, TheFilterWheelTurnsToTheChosenColour) {
    Observatory o;
    for (const auto& [name, colour] : {std::pair{"Bleu", sim::FilterColour::Blue},
                                       std::pair{"Vert", sim::FilterColour::Green},
                                       std::pair{"Rouge", sim::FilterColour::Red},
                                       std::pair{"Rouge", sim::FilterColour::Red}}) {
        o.r.view.SetText("cmbFilterValue", name);
        o.r.core.FilterValidateClicked();
        o.Run(1000);
        EXPECT_EQ(o.bus.Filter().Colour(), colour) << name;
    }
    EXPECT_EQ(o.bus.Filter().Steps(), 3);
}

}  // namespace
}  // namespace axo
