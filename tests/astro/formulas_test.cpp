#include "astro/formulas.h"

#include <erfa.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace axo {
namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

TEST(Conversions, HoursToHmsTruncatesTheRoundedConstantsAndArcSinLimits) {
    const struct {
        double hours;
        int16_t h, m, s;
    } cases[] = {{12.0 - 1.0 / 3600.0, 11, 59, 59},
                 {24.0 - 1e-9, 23, 59, 59},
                 {1.0 + 59.9 / 3600.0, 1, 0, 59},  // truncation, not rounding
                 {0.0, 0, 0, 0}};
    for (const auto& c : cases) {
        int16_t h = -1, m = -1, s = -1;
        HoursToHms(c.hours, h, m, s);
        EXPECT_EQ((std::array<int16_t, 3>{h, m, s}), (std::array<int16_t, 3>{c.h, c.m, c.s})) << c.hours;
    }
    // Every second of a day, and 24 h minus it, survives the trip through HmsToHours and back.
    for (int16_t h = 0; h < 24; ++h) {
        for (int16_t m = 0; m < 60; ++m) {
            for (int16_t s = 0; s < 60; ++s) {
                int16_t hh = 0, mm = 0, ss = 0;
                HoursToHms(HmsToHours(h, m, s), hh, mm, ss);
                ASSERT_EQ(hh * 3600 + mm * 60 + ss, h * 3600 + m * 60 + s) << h << ":" << m << ":" << s;
                HoursToHms(24.0 - HmsToHours(h, m, s), hh, mm, ss);
                const int back = 86400 - (h * 3600 + m * 60 + s);
                ASSERT_EQ(hh * 3600 + mm * 60 + ss, back) << h << ":" << m << ":" << s;
                ASSERT_LT(mm, 60);
                ASSERT_LT(ss, 60);
            }
        }
    }

    // Conversions use the rounded constants; the arc sine has limits.
    EXPECT_DOUBLE_EQ(HoursToRadians(12.0), 3.14159265359);
    EXPECT_DOUBLE_EQ(HoursToRadians(6.0), 3.14159265359 / 2.0);
    EXPECT_DOUBLE_EQ(HmsToHours(1, 30, 36), 1.51);
    EXPECT_NEAR(DmsToDegrees(42, 56, 13), 42.936944444, 1e-9);
    EXPECT_DOUBLE_EQ(DmsToDegrees(-5, 30, 0), -4.5);  // the formula as written: sign is the caller's
    // The arc sine matches the library and has limits instead of divisions by zero.
    for (double x = -0.99; x < 1.0; x += 0.03) {
        EXPECT_NEAR(ArcSin(x), std::asin(x), 1e-12);
    }
    EXPECT_DOUBLE_EQ(ArcSin(1.0), kHalfPi);
    EXPECT_DOUBLE_EQ(ArcSin(-1.0), -kHalfPi);
    EXPECT_DOUBLE_EQ(ArcSin(1.0 + 1e-15), kHalfPi);  // rounding past 1 must not give NaN
}

TEST(EquatorialToHorizontal, KnownPositionsAndWhereTheDenominatorVanishes) {
    double a = 0.0, alt = 0.0;
    // On the meridian at the equator: due south, altitude 90 - 42.937 degrees.
    EquatorialToHorizontal(0.0, 0.0, a, alt);
    EXPECT_DOUBLE_EQ(a, kPi);
    EXPECT_NEAR(alt / kDeg, 47.063, 0.001);

    // Lower meridian: north.
    EquatorialToHorizontal(3.14159265359, 0.5, a, alt);
    EXPECT_TRUE(a < 1e-12 || a > kTwoPi - 1e-12) << a;

    // The pole, written with the program's pi / 2 and beyond it.
    EquatorialToHorizontal(1.0, 1.570796326795, a, alt);
    EXPECT_EQ(a, 0.0);
    EquatorialToHorizontal(1.0, -1.6, a, alt);
    EXPECT_EQ(a, 0.0);

    // Finite where d = cos H sin phi - tan dec cos phi vanishes, on a circle through the zenith.
    const double zenith = std::atan(kSinSiteLatitude / kCosSiteLatitude);
    EquatorialToHorizontal(0.0, zenith, a, alt);
    EXPECT_TRUE(std::isfinite(a));
    EXPECT_NEAR(alt, kHalfPi, 1e-6);

    const double h = 0.7;
    const double dec = std::atan(std::cos(h) * kSinSiteLatitude / kCosSiteLatitude);
    EquatorialToHorizontal(h, dec, a, alt);
    EXPECT_TRUE(std::isfinite(a));
    EXPECT_GE(a, 0.0);
    EXPECT_LT(a, kTwoPi);
}

TEST(EquatorialToHorizontal, AgreesWithErfaForTheFixedSite) {
    // ERFA at the latitude of the rounded constants checks the azimuth convention and the quadrants.
    const double phi = std::atan2(kSinSiteLatitude, kCosSiteLatitude);
    int checked = 0;
    for (double h = -3.1; h < 3.1; h += 0.173) {
        for (double dec = -1.4; dec < 1.45; dec += 0.121) {
            double a = 0.0;
            double alt = 0.0;
            EquatorialToHorizontal(h, dec, a, alt);
            double az = 0.0;
            double el = 0.0;
            eraHd2ae(h, dec, phi, &az, &el);
            double diff = std::fabs(a - az);
            diff = std::min(diff, 2 * 3.14159265358979 - diff);
            if (el < 1.5) {  // near the zenith the azimuth is meaningless
                ASSERT_LT(diff, 1e-7) << "H=" << h << " dec=" << dec;
            }
            ASSERT_NEAR(alt, el, 1e-7);  // 0.02 arcsecond
            ++checked;
        }
    }
    EXPECT_GT(checked, 500);
}

}  // namespace
}  // namespace axo
