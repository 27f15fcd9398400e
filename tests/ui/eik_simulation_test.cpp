// The whole program with its coders on the simulated EIK120 card (its faults: sim/eik_card_sim_test.cpp).

#include "ui/calibration_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

const std::string kCoderCard = "[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\ninterface_coders=2\n"
                               "interface_focus=1\ninterface_filter=1\ndisplay_welcome=0\nerror_stop=0\n";

void HoldAlphaPlusWhileSlewing(test::ProgramRig& r, uint64_t ms) {
    QTest::mouseClick(r.W("optControlMovingAlpha"), Qt::LeftButton);
    r.Hold("picAlphaPlus", ms);
}

TEST(SimulatedCard, TheDisplayShowsTheMountFollowsAlphaPlusAndACalibrationOnAStar) {
    test::ProgramRig r(kCoderCard);
    ASSERT_TRUE(r.Start());
    r.Run(500);
    EXPECT_TRUE(r.log.Only({"box"}).empty());
    // The built-in calibration is the card's zero: the mount's 1 h +30° from the start (a count: 0.66 s, 9.9").
    EXPECT_NEAR(r.DisplayedHourAngle(), 3600, 1);
    EXPECT_NEAR(r.DisplayedDeclination(), 30 * 3600, 10);
    const int before = r.DisplayedHourAngle();
    HoldAlphaPlusWhileSlewing(r, 10000);
    r.Run(1500);  // the mount coasts a little after its stop
    EXPECT_NEAR(r.DisplayedHourAngle() - before, 4800, 120);
    const int stopped = r.DisplayedHourAngle();
    r.Run(5000);
    EXPECT_EQ(r.DisplayedHourAngle(), stopped);

    // Calibrated on a star, it shows the star's coordinates.
    r.window->ShowCalibration();
    ui::CalibrationWindow* c = r.window->calibrationWindow();
    test::Type(c, {{"txtCalibrRAh", "5"}, {"txtCalibrRAm", "20"}, {"txtCalibrRAs", "0"},
                   {"txtCalibrDEd", "-12"}, {"txtCalibrDEm", "30"}, {"txtCalibrDEs", "0"}});
    QTest::mouseClick(c->findChild<QPushButton*>("cmdCalibrAlpha"), Qt::LeftButton);
    QTest::mouseClick(c->findChild<QPushButton*>("cmdCalibrDelta"), Qt::LeftButton);
    r.Run(500);
    EXPECT_TRUE(r.log.Only({"box"}).empty());
    EXPECT_NEAR(r.DisplayedHourAngle(), 5 * 3600 + 20 * 60, 1);
    EXPECT_EQ(r.DisplayedDeclination(), -(12 * 3600 + 30 * 60));
    // The calibration outlives the run: it goes into the settings file at the exit.
    r.window->ShutDown();
    const std::string file = r.cfg.Read("Axo.ini");
    EXPECT_NE(file.find("calibr_delta_pos=-45000"), std::string::npos);
}

TEST(SimulatedCard, InInterruptModeBothAxesFollowTheMount) {
    test::ProgramRig r(kCoderCard + "Eik120_use_irq=1\nEik120_timer_irq=20\n");
    ASSERT_TRUE(r.Start());
    ASSERT_TRUE(r.hardware->Eik()->InterruptsRunning());
    HoldAlphaPlusWhileSlewing(r, 3000);
    r.Hold("picDeltaPlus", 3000);
    r.Run(500);
    EXPECT_GT(r.hardware->Eik()->InterruptCounts(), 100U);
    EXPECT_NEAR(r.DisplayedHourAngle() - 3600, 3 * 480, 60);
    // Delta moved too (centring: 0.0667 degree a second), read on demand.
    EXPECT_NEAR(r.DisplayedDeclination() - 30 * 3600, 3 * 240, 40);
    EXPECT_TRUE(r.log.Only({"box"}).empty());
}

}  // namespace
}  // namespace axo
