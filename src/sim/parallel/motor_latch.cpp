#include "sim/parallel/motor_latch.h"

namespace axo::sim {

namespace {
// +1, -1, or 0 when neither or both direction bits are low.
int Direction(uint8_t byte) {
    const bool plus = (byte & 0x08) == 0;
    const bool minus = (byte & 0x10) == 0;
    return plus == minus ? 0 : (plus ? 1 : -1);
}
}  // namespace

double MotorLatch::Speed() const {
    if ((byte_ & 0x40) == 0) {
        return speeds_.slewingDegPerSec;
    }
    if ((byte_ & 0x20) == 0) {
        return speeds_.pointingDegPerSec;
    }
    return speeds_.centringDegPerSec;
}

double MotorLatch::RateDegPerSec() const {
    if ((byte_ & 0x01) != 0) {
        return 0.0;  // manual mode
    }
    const bool tracking = axis_ == MountAxis::HourAngle && (byte_ & 0x80) == 0;
    return (tracking ? kSiderealDegPerSec : 0.0) + Direction(byte_) * Speed();
}

}  // namespace axo::sim
