#pragma once

// A motor latch of the parallel bus, as the motor electronics decode it: active-low bits
// 0 manual mode, 3 + direction, 4 - direction, 5 pointing, 6 slewing (neither: centring),
// 7 sidereal tracking (Alpha latch only). It drives one axis of the mount.
//
// Alpha + turns the hour-angle axis towards increasing hour angle; Delta + increases the
// declination. Sidereal tracking turns the hour-angle axis + at the sidereal rate, so the
// right ascension holds; a move of the Alpha latch keeps tracking and adds its speed to it.
// In manual mode the hand paddle drives, and nobody holds it: the axis stands still.

#include <cstdint>

#include "sim/observatory/mount.h"

namespace axo::sim {

struct LatchSpeeds {
    double centringDegPerSec = 0.0667;  // 16 times sidereal: fine centring in the eyepiece
    double pointingDegPerSec = 0.5;
    double slewingDegPerSec = 2.0;
};

class MotorLatch final : public AxisDrive {
public:
    MotorLatch(MountAxis axis, const LatchSpeeds& speeds) : axis_(axis), speeds_(speeds) {}

    void Set(uint8_t byte) { byte_ = byte; }
    uint8_t Byte() const { return byte_; }

    double RateDegPerSec() const override;

private:
    double Speed() const;

    MountAxis axis_;
    LatchSpeeds speeds_;
    uint8_t byte_ = 0xFF;  // power-up: manual mode, nothing commanded
};

}  // namespace axo::sim
