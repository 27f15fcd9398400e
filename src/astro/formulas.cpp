#include "astro/formulas.h"

#include <cmath>

namespace axo {

void HoursToHms(double x, int16_t& h, int16_t& m, int16_t& s) {
    // Work on whole seconds, with a tolerance far below a second: hours built from h, m, s
    // (HmsToHours) are not exact in binary, and truncating them naively loses a second in
    // about half the cases (11 h 59 m 59 s would come back as 11 h 59 m 58 s).
    constexpr double kTolerance = 1e-7;  // seconds
    const double total = std::floor(x * 3600.0 + kTolerance);
    const double hours = std::floor(total / 3600.0);
    const double rest = total - hours * 3600.0;
    const double minutes = std::floor(rest / 60.0);
    h = static_cast<int16_t>(hours);
    m = static_cast<int16_t>(minutes);
    s = static_cast<int16_t>(rest - minutes * 60.0);
}

double ArcSin(double x) {
    // At |x| = 1 the formula divides by zero; rounding can also push |x| a hair past 1.
    if (x >= 1.0) {
        return kHalfPi;
    }
    if (x <= -1.0) {
        return -kHalfPi;
    }
    return std::atan(x / std::sqrt(1.0 - x * x));
}

double HoursToRadians(double x) {
    return x * kPi / 12.0;
}

double HmsToHours(int16_t h, int16_t m, int16_t s) {
    return h + m / 60.0 + s / 3600.0;
}

double DmsToDegrees(int16_t d, int16_t m, int16_t s) {
    return d + m / 60.0 + s / 3600.0;
}

void EquatorialToHorizontal(double hourAngle, double declination, double& azimuth, double& altitude) {
    const double cosH = std::cos(hourAngle);
    double a = 0.0;
    if (std::fabs(declination) < kHalfPi) {
        const double d = cosH * kSinSiteLatitude - std::tan(declination) * kCosSiteLatitude;
        const double sinH = std::sin(hourAngle);
        if (d == 0.0) {
            // The object is due east or west of the fixed site's meridian plane (or at its
            // zenith): take the arc tangent's limit rather than dividing by zero.
            a = sinH > 0.0 ? kHalfPi : (sinH < 0.0 ? -kHalfPi : 0.0);
        } else {
            a = std::atan(sinH / d);
        }
        if (d < 0.0) {
            a += kPi;
        }
    } else {
        a = -kPi;
    }
    a += kPi;
    if (a < 0.0) {
        a += kTwoPi;
    } else if (a >= kTwoPi) {
        a -= kTwoPi;
    }
    azimuth = a;
    altitude = ArcSin(std::cos(declination) * kCosSiteLatitude * cosH + std::sin(declination) * kSinSiteLatitude);
}

}  // namespace axo
