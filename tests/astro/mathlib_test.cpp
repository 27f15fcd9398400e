#include "astro/mathlib.h"

#include <erfa.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <tuple>
#include <utility>

namespace axo {
namespace {

constexpr double kPiFull = 3.14159265358979323846;
constexpr double kSecondOfTime = 2.0 * kPiFull / 86400.0;  // radians
constexpr double kArcsec = kPiFull / 648000.0;

double Hms(double h, double m, double s) {
    return (h + m / 60.0 + s / 3600.0) * kPiFull / 12.0;
}

double Deg(double d) {
    return d * kPiFull / 180.0;
}

DateTimeRecord At(int y, int mo, int d, int h, int mi, double s) {
    return DateTimeRecord{.day = static_cast<int16_t>(d), .month = static_cast<int16_t>(mo),
                          .year = static_cast<int16_t>(y), .hour = static_cast<int16_t>(h),
                          .minute = static_cast<int16_t>(mi), .second = s};
}

double TimeDiff(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 2.0 * kPiFull);
    return std::min(d, 2.0 * kPiFull - d);
}

TEST(SideralTime, SubtractsWestLongitudesWithinOneTurn) {
    const DateTimeRecord when = At(2024, 3, 20, 21, 30, 15.0);
    const double gmst = SideralTime(when, SiteRecord{});
    // The site record counts west as positive (an east site is checked against ERFA below).
    SiteRecord west;
    west.longitude = Dms2R(0, 77, 3, 56.0);
    EXPECT_NEAR(std::remainder(gmst - SideralTime(when, west), 2 * kPiFull), Deg(77.0 + 3.0 / 60 + 56.0 / 3600),
                1e-9);
    const double lst = SideralTime(when, west);
    EXPECT_GE(lst, 0.0);
    EXPECT_LT(lst, 2 * kPiFull);
    EXPECT_TRUE(std::isfinite(SideralTime(At(2024, 13, 40, 0, 0, 0.0), SiteRecord{})));  // an impossible date
}

TEST(SideralTime, AgreesWithErfaFrom1990To2100) {
    // Against ERFA's IAU 2006 and IAU 1982 expressions (UT1 = TT = the clock), which part by 18 ms at 2100.
    SiteRecord site;
    site.longitude = Dms2R(1, 0, 8, 42.0);
    double worst06 = 0.0;
    double worst82 = 0.0;
    for (int year = 1990; year <= 2100; year += 1) {
        for (int month = 1; month <= 12; month += 5) {
            const DateTimeRecord when = At(year, month, 1 + (year % 28), (year * 7) % 24, (year * 13) % 60, 17.25);
            double d1 = 0.0;
            double d2 = 0.0;
            eraCal2jd(when.year, when.month, when.day, &d1, &d2);
            const double frac = (when.hour * 3600.0 + when.minute * 60.0 + when.second) / 86400.0;
            const double lst = SideralTime(when, site);
            worst06 = std::max(worst06, TimeDiff(lst, eraAnp(eraGmst06(d1, d2 + frac, d1, d2 + frac) - site.longitude)));
            worst82 = std::max(worst82, TimeDiff(lst, eraAnp(eraGmst82(d1, d2 + frac) - site.longitude)));
        }
    }
    EXPECT_LT(worst06, 0.010 * kSecondOfTime) << worst06 / kSecondOfTime << " s";
    EXPECT_LT(worst82, 0.020 * kSecondOfTime) << worst82 / kSecondOfTime << " s";
}

TEST(Equa2Horiz, MatchesAPublishedExampleAndTheMeridianAndHorizonGeometry) {
    // Meeus, example 13.b: Venus from Washington.
    SiteRecord washington;
    washington.latitude = Dms2R(0, 38, 55, 17.0);
    const double ra = Hms(23, 9, 16.641);
    const double lst = ra + Deg(64.352133);
    double az = 0.0, alt = 0.0;
    EXPECT_EQ(Equa2Horiz(ra, Dms2R(1, 6, 43, 11.61), lst, washington, az, alt), 1);
    EXPECT_NEAR(az, Deg(248.0337), 1.0 * kArcsec);
    EXPECT_NEAR(alt, Deg(15.1249), 1.0 * kArcsec);

    SiteRecord site;
    site.latitude = Dms2R(0, 42, 56, 13.0);
    // On the meridian, south of the zenith: azimuth 180, altitude 90 - latitude + declination.
    Equa2Horiz(1.0, Deg(10.0), 1.0, site, az, alt);
    EXPECT_NEAR(az, kPiFull, 1e-12);
    EXPECT_NEAR(alt, Deg(90.0 + 10.0) - site.latitude, 1e-12);
    // Six hours east on the equator: rising due east, on the horizon.
    Equa2Horiz(2.0, 0.0, 2.0 - kPiFull / 2, site, az, alt);
    EXPECT_NEAR(az, kPiFull / 2, 1e-12);
    EXPECT_NEAR(alt, 0.0, 1e-12);
}

TEST(AngleSplits, BringAnglesIntoRangeAndReportSigns) {
    int16_t h = 0, m = 0;
    double s = 0.0;
    // A right ascension computed as sidereal time minus hour angle can be negative.
    for (const auto& [angle, wantH, wantM, wantS] :
         {std::tuple{Hms(5, 30, 15.25), 5, 30, 15.25}, std::tuple{-Hms(1, 0, 0), 23, 0, 0.0}}) {
        R2Hms(angle, h, m, s);
        EXPECT_EQ(h, wantH);
        EXPECT_EQ(m, wantM);
        EXPECT_NEAR(s, wantS, 1e-6);
    }
    // As shown: seconds rounded, carried into the minute, the hour and midnight.
    for (const auto& [angle, wantH, wantM, wantS] :
         {std::tuple{Hms(5, 30, 15.4), 5, 30, 15}, std::tuple{Hms(5, 30, 15.6), 5, 30, 16},
          std::tuple{Hms(5, 59, 59.6), 6, 0, 0}, std::tuple{Hms(23, 59, 59.6), 0, 0, 0}}) {
        int16_t rs = 0;
        R2HmsRounded(angle, h, m, rs);
        EXPECT_EQ(std::tuple(h, m, rs), std::tuple(int16_t(wantH), int16_t(wantM), int16_t(wantS))) << wantH << ":" << wantM;
    }
    int16_t d = 0;
    const struct {
        double degrees;
        int16_t azimuth, negative, d, m;
    } dms[] = {{-12.5, 0, 1, 12, 30}, {-12.5, 1, 0, 347, 30},  // an azimuth is brought into 0..360
               {45.25, 0, 0, 45, 15}};
    for (const auto& c : dms) {
        EXPECT_EQ(R2Dms(Deg(c.degrees), c.azimuth, d, m, s), c.negative) << c.degrees;
        EXPECT_EQ(d, c.d);
        EXPECT_EQ(m, c.m);
    }
    D2Hms(-15.0, h, m, s);
    EXPECT_EQ(h, 23);
    D2Hms(22.5, h, m, s);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(m, 30);
    EXPECT_EQ(D2Dms(-0.5, 0, d, m, s), 1);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(m, 30);

    EXPECT_NEAR(Dms2R(1, 0, 30, 0.0), -Deg(0.5), 1e-15);  // the sign travels apart from the degrees
    EXPECT_NEAR(Hms2R(12, 0, 0.0), kPiFull, 1e-15);
    EXPECT_NEAR(R2D(D2R(123.456)), 123.456, 1e-12);
    EXPECT_DOUBLE_EQ(Hms2D(1, 30, 0.0), 22.5);
    EXPECT_DOUBLE_EQ(IntPart(-2.7), -2.0);
}

TEST(Shifts, WrapLikeMachineIntegersAndNearestIntRoundsHalvesToEven) {
    const std::pair<double, double> cases[] = {{59.4, 59.0}, {59.6, 60.0}, {58.5, 58.0}, {59.5, 60.0}};
    for (const auto& [x, r] : cases) {
        EXPECT_EQ(NearestInt(x), r) << x;
    }
    EXPECT_EQ(vbShiftLeft(1, 4), 16);
    EXPECT_EQ(vbShiftLeft(0x00FF, 8), static_cast<int16_t>(0xFF00));
    EXPECT_EQ(vbShiftLeft(1, 16), 0);
    EXPECT_EQ(vbShiftLeft(-7, 0), -7);  // a shift by nothing keeps the value, the sign bit one step further
    EXPECT_EQ(vbShiftLeft(1, 15), INT16_MIN);
    EXPECT_EQ(vbShiftRight(0x0F00, 8), 0x0F);
    EXPECT_EQ(vbShiftRight(-256, 4), -16);
    // The encoder card's counts: byte 3 shifted by 24 lands in the sign bit.
    const int32_t count = vbShiftLeftLong(0xFF, 24) + vbShiftLeftLong(0xFF, 16) + vbShiftLeftLong(0xFF, 8) + 0xFE;
    EXPECT_EQ(count, -2);
    EXPECT_EQ(vbShiftLeftLong(0x12, 8) + 0x34, 0x1234);
    EXPECT_EQ(vbShiftRightLong(-65536, 16), -1);
    EXPECT_EQ(vbShiftRightLong(1, 40), 0);
}

}  // namespace
}  // namespace axo
