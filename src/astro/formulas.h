#pragma once

// The program's own astronomical routines. They keep the rounded constants the telescope's
// pointing has always been computed with, so that the dome follows exactly the azimuth the
// observers know; they do not read the settings.

#include <cstdint>

namespace axo {

constexpr double kPi = 3.14159265359;
constexpr double kHalfPi = 1.570796326795;
constexpr double kTwoPi = 6.28318530718;

// Fixed site of the dome-following conversion (latitude 42.937 degrees north).
constexpr double kSinSiteLatitude = 0.681193783;
constexpr double kCosSiteLatitude = 0.732103156;

// Splits decimal hours into whole hours, minutes and seconds, truncating (never rounding):
// 12 h less one second gives 11, 59, 59.
void HoursToHms(double x, int16_t& h, int16_t& m, int16_t& s);

// arctan(x / sqrt(1 - x^2)); the limits +-pi/2 at |x| >= 1.
double ArcSin(double x);

double HoursToRadians(double x);
double HmsToHours(int16_t h, int16_t m, int16_t s);
double DmsToDegrees(int16_t d, int16_t m, int16_t s);

// Hour angle and declination (radians) to azimuth from north through east (0 <= A < 2 pi)
// and altitude, for the fixed site above.
void EquatorialToHorizontal(double hourAngle, double declination, double& azimuth, double& altitude);

}  // namespace axo
