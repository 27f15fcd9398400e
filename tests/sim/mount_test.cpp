#include <gtest/gtest.h>

#include "sim/observatory/mount.h"
#include "sim/parallel/motor_latch.h"

namespace axo::sim {
namespace {

TEST(SimMount, LatchBytesMoveTheAxesTheDocumentedWay) {
    const double sidereal10s = kSiderealDegPerSec * 10.0;
    struct Case {
        uint8_t alpha;
        uint8_t delta;
        double haDeg;   // change in 10 s
        double decDeg;
    };
    const Case cases[] = {
        {0xFE, 0xFE, 0.0, 0.0},                      // stopped: the hour angle holds
        {0x7E, 0xFE, sidereal10s, 0.0},              // tracking
        {0x36, 0xFE, 20.0 + sidereal10s, 0.0},       // Alpha + slewing, tracking kept
        {0x4E, 0xFE, -5.0 + sidereal10s, 0.0},       // Alpha - pointing
        {0x76, 0xF6, 0.667 + sidereal10s, 0.667},    // + centring on both axes
        {0xFE, 0xAE, 0.0, -20.0},                    // Delta - slewing
        {0x37, 0xB7, 0.0, 0.0},                      // manual mode: the computer commands nothing
        {0xE6, 0xE6, 0.0, 0.0},                      // both directions at once: no move
        {0xFE, 0x7E, 0.0, 0.0},                      // the Delta latch has no tracking bit
    };
    for (const Case& c : cases) {
        Mount m(2.0, 10.0);
        MotorLatch alpha(MountAxis::HourAngle, LatchSpeeds{});
        MotorLatch delta(MountAxis::Declination, LatchSpeeds{});
        m.Attach(MountAxis::HourAngle, &alpha);
        m.Attach(MountAxis::Declination, &delta);
        alpha.Set(c.alpha);
        delta.Set(c.delta);
        m.Advance(10.0);
        EXPECT_NEAR(m.HourAngleAxisDeg() - 30.0, c.haDeg, 1e-9) << int{c.alpha};
        EXPECT_NEAR(m.DeclinationDeg() - 10.0, c.decDeg, 1e-9) << int{c.delta};
    }
}

// Two faces on one axis add up; a detached face no longer moves it.
class FixedDrive final : public AxisDrive {
public:
    explicit FixedDrive(double rate) : rate_(rate) {}
    double RateDegPerSec() const override { return rate_; }

private:
    double rate_;
};

TEST(SimMount, RatesOfTheAttachedDrivesAddUpAndStopWhenDetached) {
    Mount m(0.0, 0.0);
    FixedDrive a(1.0);
    FixedDrive b(-0.25);
    m.Attach(MountAxis::HourAngle, &a);
    m.Attach(MountAxis::HourAngle, &b);
    m.Attach(MountAxis::Declination, &b);
    m.Advance(4.0);
    EXPECT_DOUBLE_EQ(m.HourAngleAxisDeg(), 3.0);
    EXPECT_DOUBLE_EQ(m.DeclinationDeg(), -1.0);
    m.Detach(&b);
    m.Advance(1.0);
    EXPECT_DOUBLE_EQ(m.HourAngleAxisDeg(), 4.0);
    EXPECT_DOUBLE_EQ(m.DeclinationDeg(), -1.0);
}

TEST(SimMount, TheHourAngleWrapsAndTheDeclinationStopsAtThePole) {
    Mount m(23.99, 89.0);
    MotorLatch alpha(MountAxis::HourAngle, LatchSpeeds{});
    MotorLatch delta(MountAxis::Declination, LatchSpeeds{});
    m.Attach(MountAxis::HourAngle, &alpha);
    m.Attach(MountAxis::Declination, &delta);
    alpha.Set(0x36);
    delta.Set(0xB6);
    m.Advance(1.0);
    EXPECT_LT(m.HourAngleHours(), 1.0);
    EXPECT_DOUBLE_EQ(m.DeclinationDeg(), 90.0);
}

}  // namespace
}  // namespace axo::sim
