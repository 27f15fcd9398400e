#include "sim/mount.h"

#include <algorithm>
#include <cmath>

namespace axo::sim {

Mount::Mount(double hourAngleHours, double declinationDeg, MountRates rates)
    : rates_(rates), haDeg_(hourAngleHours * 15.0), decDeg_(declinationDeg) {}

double Mount::SpeedOf(uint8_t byte) const {
    if ((byte & 0x40) == 0) {
        return rates_.slewingDegPerSec;
    }
    if ((byte & 0x20) == 0) {
        return rates_.pointingDegPerSec;
    }
    return rates_.centringDegPerSec;
}

namespace {
// +1, -1, or 0 when neither or both direction bits are low.
int Direction(uint8_t byte) {
    const bool plus = (byte & 0x08) == 0;
    const bool minus = (byte & 0x10) == 0;
    return plus == minus ? 0 : (plus ? 1 : -1);
}
bool CommandMode(uint8_t byte) {
    return (byte & 0x01) == 0;  // in manual mode the hand paddle drives, and nobody holds it
}
}  // namespace

double Mount::HourAngleRate() const {
    if (!CommandMode(alphaLatch_)) {
        return 0.0;
    }
    const double tracking = (alphaLatch_ & 0x80) == 0 ? kSiderealDegPerSec : 0.0;
    return tracking + Direction(alphaLatch_) * SpeedOf(alphaLatch_);
}

double Mount::DeclinationRate() const {
    if (!CommandMode(deltaLatch_)) {
        return 0.0;
    }
    return Direction(deltaLatch_) * SpeedOf(deltaLatch_);
}

void Mount::Advance(double seconds) {
    if (seconds <= 0) {
        return;
    }
    haDeg_ += HourAngleRate() * seconds;
    // The declination axis stops at the poles, as on the limit switches.
    decDeg_ = std::clamp(decDeg_ + DeclinationRate() * seconds, -90.0, 90.0);
}

double Mount::HourAngleHours() const {
    double h = std::fmod(haDeg_ / 15.0, 24.0);
    if (h < 0) {
        h += 24.0;
    }
    return h;
}

}  // namespace axo::sim
