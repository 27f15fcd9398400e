#pragma once

// Angle conversions, sidereal time, the equatorial-to-horizontal conversion and bit shifts.
// Sidereal time and the horizontal conversion come from ERFA; the rest are the usual formulas
// at full precision (unlike the program's own routines, which keep rounded constants).

#include <cstdint>

#include "platform/clock.h"

namespace axo {

// Date and time of the PC clock, taken as universal time.
struct DateTimeRecord {
    int16_t day = 1;
    int16_t month = 1;
    int16_t year = 2000;
    int16_t hour = 0;
    int16_t minute = 0;
    double second = 0.0;
};

// Site coordinates in radians; the longitude counts positive westward.
struct SiteRecord {
    double latitude = 0.0;
    double longitude = 0.0;
};

// The clock's date and time (UTC) as the astronomy takes it, milliseconds included.
DateTimeRecord DateTimeOf(const PcDateTime& t);

double D2R(double deg);
double R2D(double rad);

// Hours, minutes, seconds of time to radians (24 h = 2 pi).
double Hms2R(int16_t h, int16_t m, double s);

// Degrees, minutes, seconds to signed radians; negative = 1 makes the result negative.
double Dms2R(int16_t negative, int16_t d, int16_t m, double s);

// Radians to time units, the angle first brought into 0..2 pi (a negative right ascension or
// hour angle shows as its value plus 24 h). Callers round the seconds and carry.
int16_t R2Hms(double rad, int16_t& h, int16_t& m, double& s);

// Radians to whole hours, minutes and seconds as the program shows them: the seconds rounded
// (halves to even) and carried into the minute and the hour, 24 h shown as 0.
void R2HmsRounded(double rad, int16_t& h, int16_t& m, int16_t& s);

// Radians to degrees, minutes, seconds. Mode 1 (an azimuth) brings the angle into 0..360
// degrees and never reports it negative; mode 0 (an altitude or declination) returns 1 for a
// negative angle, with d, m, s then holding its absolute value.
int16_t R2Dms(double rad, int16_t mode, int16_t& d, int16_t& m, double& s);

// Degrees to time units (15 degrees = 1 h), brought into 0..24 h.
int16_t D2Hms(double deg, int16_t& h, int16_t& m, double& s);

// As R2Dms, for an angle given in degrees.
int16_t D2Dms(double deg, int16_t mode, int16_t& d, int16_t& m, double& s);

// x rounded to the nearest whole number, halves to even.
double NearestInt(double x);

// Whole part of x, towards zero.
double IntPart(double x);
double Dms2D(int16_t negative, int16_t d, int16_t m, double s);
double Hms2D(int16_t h, int16_t m, double s);

// Local mean sidereal time in radians (0..2 pi) for the PC clock taken as UT and the site's
// longitude (positive westward).
double SideralTime(const DateTimeRecord& when, const SiteRecord& site);

// Right ascension, declination and local sidereal time (radians) to azimuth from north through
// east (0..2 pi) and altitude, at the site's latitude. Returns 1.
int16_t Equa2Horiz(double ra, double dec, double lst, const SiteRecord& site, double& az, double& alt);

// Shifts on 16 and 32 bits with the wrap of the machine's integers; a count outside
// 0..width-1 shifts everything out (right shifts keep the sign).
int16_t vbShiftLeft(int16_t value, int16_t count);
int16_t vbShiftRight(int16_t value, int16_t count);
int32_t vbShiftLeftLong(int32_t value, int32_t count);
int32_t vbShiftRightLong(int32_t value, int32_t count);

}  // namespace axo
