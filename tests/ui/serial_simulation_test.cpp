// The whole program with its axes on the simulated 6420 boxes and its coders on the simulated
// parallel boards: the real main window on the offscreen platform, on the virtual clock.

#include <gtest/gtest.h>

#include <QLabel>

#include "sim/observatory/observatory.h"
#include "sim/serial64xx/simulated_boxes.h"
#include "ui/tracking_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

constexpr const char* kBoxesAndBoards =
    "[Axo]\ninterface_ra=3\ninterface_de=3\ninterface_dome=1\ninterface_coders=1\ninterface_focus=1\n"
    "interface_filter=1\ndisplay_welcome=0\nerror_stop=0\n";

TEST(SimulatedBoxes, HoldingAlphaPlusWhileSlewingTurnsTheDisplayedHourAngleUp) {
    for (const std::string extra : {"", "S64xx_RS485=1\n"}) {
        test::ProgramRig r(kBoxesAndBoards + extra);
        ASSERT_TRUE(r.Start());
        r.Run(500);
        const int before = r.DisplayedHourAngle();
        QTest::mouseClick(r.W("optControlMovingAlpha"), Qt::LeftButton);
        r.Hold("picAlphaPlus", 10000);
        r.Run(1000);
        // "\3" at 1200 steps a second is 3.33 degrees a second: 33 degrees, 2 h 13 min of hour
        // angle, less the ramps and the pauses of the commands.
        EXPECT_NEAR(r.DisplayedHourAngle() - before, 7980, 300) << extra;
        const int stopped = r.DisplayedHourAngle();
        r.Run(5000);
        EXPECT_EQ(r.DisplayedHourAngle(), stopped);
        EXPECT_TRUE(r.Boxes().empty()) << extra;
    }
}

TEST(SimulatedBoxes, ADeltaMoveEngagesMovesStopsAndReleasesTheOutputs) {
    for (const std::string extra : {"", "S64xx_RS485=1\n"}) {
        test::ProgramRig r(kBoxesAndBoards + extra);
        ASSERT_TRUE(r.Start());
        sim::Box6420& box = r.hardware->SimulatedSerial()->DeltaBox();
        r.Run(500);
        const int before = r.DisplayedDeclination();
        QTest::mouseClick(r.W("optControlMovingDelta"), Qt::LeftButton);
        ui::PictureButton* plus = r.Pad("picDeltaPlus");
        QTest::mousePress(plus, Qt::LeftButton);
        EXPECT_EQ(box.Outputs(), 9);  // engaged on the fast drive
        r.Run(5000);
        QTest::mouseRelease(plus, Qt::LeftButton);
        r.Run(500);
        // 0.42 degree a second for 5 s: 2.1 degrees.
        EXPECT_NEAR(r.DisplayedDeclination() - before, 5 * 0.4206 * 3600, 400) << extra;
        EXPECT_EQ(box.Outputs(), 9);
        r.Run(2000);  // the brake delay
        EXPECT_EQ(box.Outputs(), 0);
        const int stopped = r.DisplayedDeclination();
        r.Run(3000);
        EXPECT_EQ(r.DisplayedDeclination(), stopped);
        EXPECT_TRUE(r.Boxes().empty()) << extra;
    }
}

TEST(SimulatedBoxes, TrackingAtTheDefaultRateHoldsTheDisplayedRightAscension) {
    for (const std::string extra : {"", "S64xx_RS485=1\n"}) {
        test::ProgramRig r(kBoxesAndBoards + extra);
        ASSERT_TRUE(r.Start());
        r.window->ShowTracking();
        QTest::mousePress(r.Pad("picControlTracking"), Qt::LeftButton);
        r.Run(2000);
        auto* ra = r.window->trackingWindow()->findChild<QLabel*>("lblTrkRa");
        const QString held = ra->text();
        const int ha = r.DisplayedHourAngle();
        r.Run(120000);
        EXPECT_EQ(ra->text(), held) << extra;
        EXPECT_NEAR(r.DisplayedHourAngle() - ha, 120, 2) << extra;
    }
}

TEST(SimulatedBoxes, WithTheBuiltInSettingsThePaddleMovesTheSimulatedTelescope) {
    test::ProgramRig r("");
    ASSERT_TRUE(r.Start());
    EXPECT_EQ(r.settings.Int(IntKey::interface_ra), INTERFACE_64XX);
    EXPECT_EQ(r.settings.Int(IntKey::interface_de), INTERFACE_64XX);
    EXPECT_TRUE(r.Boxes().empty());
    sim::Mount& mount = r.hardware->SimulatedObservatory()->TheMount();
    const double ha = mount.HourAngleAxisDeg();
    const double dec = mount.DeclinationDeg();
    r.Hold("picAlphaMinus", 5000);
    r.Hold("picDeltaPlus", 5000);
    r.Run(1000);
    EXPECT_LT(mount.HourAngleAxisDeg() - ha, -0.1);
    EXPECT_GT(mount.DeclinationDeg() - dec, 0.01);
}

}  // namespace
}  // namespace axo
