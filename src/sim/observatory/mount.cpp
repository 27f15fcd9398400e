#include "sim/observatory/mount.h"

#include <algorithm>
#include <cmath>

namespace axo::sim {

Mount::Mount(double hourAngleHours, double declinationDeg)
    : haDeg_(hourAngleHours * 15.0), decDeg_(declinationDeg) {}

void Mount::Attach(MountAxis axis, const AxisDrive* drive) {
    (axis == MountAxis::HourAngle ? haDrives_ : decDrives_).push_back(drive);
}

void Mount::Detach(const AxisDrive* drive) {
    for (auto* drives : {&haDrives_, &decDrives_}) {
        drives->erase(std::remove(drives->begin(), drives->end(), drive), drives->end());
    }
}

double Mount::Sum(const std::vector<const AxisDrive*>& drives) {
    double rate = 0.0;
    for (const AxisDrive* d : drives) {
        rate += d->RateDegPerSec();
    }
    return rate;
}

void Mount::Advance(double seconds) {
    if (seconds <= 0) {
        return;
    }
    // First-order lag, integrated exactly over the step: the rate moves towards the drives' by
    // the fraction k, and the angle gains the mean rate over the step.
    const double k = coast_ > 0.0 ? 1.0 - std::exp(-seconds / coast_) : 1.0;
    const auto advance = [&](double& rate, double drive) {
        const double mean = coast_ > 0.0 ? drive + (rate - drive) * k * coast_ / seconds : drive;
        rate += (drive - rate) * k;
        return mean * seconds;
    };
    haDeg_ += advance(haRate_, haJammed_ ? 0.0 : HourAngleRate());
    // The declination axis stops at the poles, as on the limit switches.
    decDeg_ = std::clamp(decDeg_ + advance(decRate_, decJammed_ ? 0.0 : DeclinationRate()), -90.0, 90.0);
    if (decDeg_ == 90.0 || decDeg_ == -90.0) {
        decRate_ = 0.0;
    }
}

double Mount::HourAngleHours() const {
    double h = std::fmod(haDeg_ / 15.0, 24.0);
    if (h < 0) {
        h += 24.0;
    }
    return h;
}

}  // namespace axo::sim
