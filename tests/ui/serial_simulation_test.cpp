// The whole program, its axes on the simulated 6420 boxes and its coders on the simulated boards.

#include "sim/serial64xx/simulated_boxes.h"
#include "ui/tracking_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

constexpr const char* kBoxesAndBoards =
    "[Axo]\ninterface_ra=3\ninterface_de=3\ninterface_dome=1\ninterface_coders=1\ninterface_focus=1\n"
    "interface_filter=1\ndisplay_welcome=0\nerror_stop=0\n";

// Alpha, then Delta, moved fast from the pad, on separate lines and on the RS 485 line.
TEST(SimulatedBoxes, HoldingAlphaPlusThenDeltaPlusTurnsTheDisplayAndReleasesTheOutputs) {
    for (const std::string extra : {"", "S64xx_RS485=1\n"}) {
        SCOPED_TRACE(extra);
        test::ProgramRig r(kBoxesAndBoards + extra);
        ASSERT_TRUE(r.Start());
        r.Run(500);
        const int ha = r.DisplayedHourAngle();
        QTest::mouseClick(r.W("optControlMovingAlpha"), Qt::LeftButton);
        r.Hold("picAlphaPlus", 10000);
        r.Run(1000);
        // "\3" (3.33°/s) for 10 s is 2 h 13 min of hour angle, less the ramps and the commands' pauses.
        EXPECT_NEAR(r.DisplayedHourAngle() - ha, 7980, 300);
        const int stopped = r.DisplayedHourAngle();
        r.Run(5000);
        EXPECT_EQ(r.DisplayedHourAngle(), stopped);

        sim::Box6420& box = r.hardware->SimulatedSerial()->DeltaBox();
        const int dec = r.DisplayedDeclination();
        QTest::mouseClick(r.W("optControlMovingDelta"), Qt::LeftButton);
        QTest::mousePress(r.Pad("picDeltaPlus"), Qt::LeftButton);
        EXPECT_EQ(box.Outputs(), 9);  // engaged on the fast drive
        r.Run(5000);
        QTest::mouseRelease(r.Pad("picDeltaPlus"), Qt::LeftButton);
        r.Run(500);
        EXPECT_NEAR(r.DisplayedDeclination() - dec, 5 * 0.4206 * 3600, 400);  // 0.42 degree a second
        EXPECT_EQ(box.Outputs(), 9);
        r.Run(2000);  // the brake delay
        EXPECT_EQ(box.Outputs(), 0);
        const int held = r.DisplayedDeclination();
        r.Run(3000);
        EXPECT_EQ(r.DisplayedDeclination(), held);

        EXPECT_TRUE(r.Boxes().empty());
    }
}

TEST(SimulatedBoxes, TrackingAtTheDefaultRateHoldsTheDisplayedRightAscension) {
    for (const std::string extra : {"", "S64xx_RS485=1\n"}) {
        SCOPED_TRACE(extra);
        test::ProgramRig r(kBoxesAndBoards + extra);
        ASSERT_TRUE(r.Start());
        r.window->ShowTracking();
        QTest::mousePress(r.Pad("picControlTracking"), Qt::LeftButton);
        r.Run(2000);
        auto* ra = r.window->trackingWindow()->findChild<QLabel*>("lblTrkRa");
        const QString held = ra->text();
        const int ha = r.DisplayedHourAngle();
        r.Run(120000);
        EXPECT_EQ(ra->text(), held);
        EXPECT_NEAR(r.DisplayedHourAngle() - ha, 120, 2);
    }
}

}  // namespace
}  // namespace axo
