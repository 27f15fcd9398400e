#include "astro/mathlib.h"

#include <erfa.h>
#include <erfam.h>

#include <cmath>
#include <numbers>

#include "astro/utils.h"

namespace axo {

namespace {

constexpr double kFullPi = std::numbers::pi;

// Splits a non-negative quantity into whole units, sixtieths and seconds (with fraction).
void SplitSexagesimal(double value, int16_t& units, int16_t& minutes, double& seconds) {
    const double u = std::floor(value);
    const double minutesExact = (value - u) * 60.0;
    const double mm = std::floor(minutesExact);
    units = static_cast<int16_t>(u);
    minutes = static_cast<int16_t>(mm);
    seconds = (minutesExact - mm) * 60.0;
}

double Normalize(double value, double period) {
    double r = std::fmod(value, period);
    if (r < 0.0) {
        r += period;
    }
    // fmod of a value a hair below 0 can come back as exactly `period` after the addition.
    return r >= period ? 0.0 : r;
}

int16_t DegreesToDms(double deg, int16_t mode, int16_t& d, int16_t& m, double& s) {
    int16_t negative = 0;
    if (mode == 1) {
        deg = Normalize(deg, 360.0);
    } else if (deg < 0.0) {
        negative = 1;
        deg = -deg;
    }
    SplitSexagesimal(deg, d, m, s);
    return negative;
}

}  // namespace

double D2R(double deg) {
    return deg * kFullPi / 180.0;
}

double R2D(double rad) {
    return rad * 180.0 / kFullPi;
}

double Hms2R(int16_t h, int16_t m, double s) {
    return (h + m / 60.0 + s / 3600.0) * kFullPi / 12.0;
}

double Dms2R(int16_t negative, int16_t d, int16_t m, double s) {
    return D2R(Dms2D(negative, d, m, s));
}

int16_t R2Hms(double rad, int16_t& h, int16_t& m, double& s) {
    const double hours = Normalize(rad, 2.0 * kFullPi) * 12.0 / kFullPi;
    SplitSexagesimal(hours, h, m, s);
    return 1;
}

void R2HmsRounded(double rad, int16_t& h, int16_t& m, int16_t& s) {
    double exact = 0.0;
    R2Hms(rad, h, m, exact);
    s = static_cast<int16_t>(NearestInt(exact));
    if (s >= 60) {
        s = 0;
        ++m;
    }
    if (m >= 60) {
        m = 0;
        ++h;
    }
    if (h >= 24) {
        h = 0;
    }
}

int16_t R2Dms(double rad, int16_t mode, int16_t& d, int16_t& m, double& s) {
    return DegreesToDms(R2D(rad), mode, d, m, s);
}

int16_t D2Hms(double deg, int16_t& h, int16_t& m, double& s) {
    SplitSexagesimal(Normalize(deg, 360.0) / 15.0, h, m, s);
    return 1;
}

int16_t D2Dms(double deg, int16_t mode, int16_t& d, int16_t& m, double& s) {
    return DegreesToDms(deg, mode, d, m, s);
}

double NearestInt(double x) {
    return RoundHalfEven(x);
}

double IntPart(double x) {
    return std::trunc(x);
}

double Dms2D(int16_t negative, int16_t d, int16_t m, double s) {
    const double deg = d + m / 60.0 + s / 3600.0;
    return negative == 1 ? -deg : deg;
}

double Hms2D(int16_t h, int16_t m, double s) {
    return (h + m / 60.0 + s / 3600.0) * 15.0;
}

DateTimeRecord DateTimeOf(const PcDateTime& t) {
    DateTimeRecord r;
    r.year = t.year;
    r.month = t.month;
    r.day = t.day;
    r.hour = t.hour;
    r.minute = t.minute;
    r.second = t.second + t.millisecond / 1000.0;
    return r;
}

double SideralTime(const DateTimeRecord& when, const SiteRecord& site) {
    double jd0 = 0.0;
    double jd1 = 0.0;
    if (eraCal2jd(when.year, when.month, when.day, &jd0, &jd1) != 0) {
        // An impossible date from a broken PC clock: count from J2000 rather than fail.
        jd0 = ERFA_DJ00;
        jd1 = 0.0;
    }
    const double dayFraction = (when.hour * 3600.0 + when.minute * 60.0 + when.second) / ERFA_DAYSEC;
    // Terrestrial time is only needed for the tiny precession term of the mean sidereal time;
    // TAI-UTC from ERFA's leap-second table (its last value beyond it) is far good enough.
    double taiMinusUtc = 37.0;
    eraDat(when.year, when.month, when.day, dayFraction, &taiMinusUtc);
    const double ttMinusUt = (taiMinusUtc + 32.184) / ERFA_DAYSEC;
    const double gmst = eraGmst06(jd0, jd1 + dayFraction, jd0, jd1 + dayFraction + ttMinusUt);
    return eraAnp(gmst - site.longitude);
}

int16_t Equa2Horiz(double ra, double dec, double lst, const SiteRecord& site, double& az, double& alt) {
    eraHd2ae(lst - ra, dec, site.latitude, &az, &alt);
    return 1;
}

int16_t vbShiftLeft(int16_t value, int16_t count) {
    if (count < 0 || count > 15) {
        return 0;
    }
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint16_t>(value) << count));
}

int16_t vbShiftRight(int16_t value, int16_t count) {
    if (count < 0 || count > 15) {
        return value < 0 ? int16_t{-1} : int16_t{0};
    }
    return static_cast<int16_t>(value >> count);
}

int32_t vbShiftLeftLong(int32_t value, int32_t count) {
    if (count < 0 || count > 31) {
        return 0;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value) << count);
}

int32_t vbShiftRightLong(int32_t value, int32_t count) {
    if (count < 0 || count > 31) {
        return value < 0 ? -1 : 0;
    }
    return value >> count;
}

}  // namespace axo
