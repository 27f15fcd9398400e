#pragma once

// The simulated equatorial mount: an hour-angle axis and a declination axis driven by the bytes
// of the two motor latches (active-low bits: 0 manual mode, 3 + direction, 4 - direction,
// 5 pointing, 6 slewing, 7 sidereal tracking on the Alpha latch).
//
// Directions: Alpha + turns the hour-angle axis towards increasing hour angle (the telescope
// goes west, the right ascension it points at decreases); Alpha - the other way. Delta +
// increases the declination (towards the north pole), Delta - decreases it. With the motors
// stopped the axes stand still on the ground: the hour angle holds and the right ascension
// drifts. Sidereal tracking turns the hour-angle axis + at the sidereal rate, so the right
// ascension holds; a move of the Alpha latch keeps tracking and adds its speed to it.

#include <cstdint>

namespace axo::sim {

struct MountRates {
    double centringDegPerSec = 0.0667;  // 16 times sidereal: fine centring in the eyepiece
    double pointingDegPerSec = 0.5;
    double slewingDegPerSec = 2.0;
};

// The sidereal rate of the hour angle: 360 degrees per sidereal day of 86164.0905 s.
constexpr double kSiderealDegPerSec = 360.0 / 86164.0905;

class Mount {
public:
    explicit Mount(double hourAngleHours = 1.0, double declinationDeg = 30.0, MountRates rates = {});

    void SetAlphaLatch(uint8_t byte) { alphaLatch_ = byte; }
    void SetDeltaLatch(uint8_t byte) { deltaLatch_ = byte; }
    uint8_t AlphaLatch() const { return alphaLatch_; }
    uint8_t DeltaLatch() const { return deltaLatch_; }

    void Advance(double seconds);

    // Axis angles as the coders see them, unwrapped (degrees of axis rotation since the start).
    double HourAngleAxisDeg() const { return haDeg_; }
    double DeclinationDeg() const { return decDeg_; }

    // The hour angle, 0 to 24 hours.
    double HourAngleHours() const;

    // Rates in degrees per second that the latches command now.
    double HourAngleRate() const;
    double DeclinationRate() const;

    void SetHourAngleHours(double h) { haDeg_ = h * 15.0; }
    void SetDeclinationDeg(double d) { decDeg_ = d; }

private:
    double SpeedOf(uint8_t byte) const;

    MountRates rates_;
    double haDeg_;
    double decDeg_;
    uint8_t alphaLatch_ = 0xFF;  // power-up: manual mode, nothing commanded
    uint8_t deltaLatch_ = 0xFF;
};

}  // namespace axo::sim
