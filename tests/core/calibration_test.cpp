#include "core/calibration.h"

#include <gtest/gtest.h>

#include "astro/mathlib.h"
#include "support/core_fakes.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;

struct CalibrationRig : test::CoreRig {
    CalibrationRig() { Init(); }
    Lines StoredAlpha() const {
        return {std::to_string(settings.Int(IntKey::calibr_alpha_h)), std::to_string(settings.Int(IntKey::calibr_alpha_m)),
                std::to_string(settings.Int(IntKey::calibr_alpha_s))};
    }
};

TEST(LeadingNumber, ReadsTheNumericStartOfATypedField) {
    EXPECT_EQ(LeadingNumber(""), 0.0);
    EXPECT_EQ(LeadingNumber("abc"), 0.0);
    EXPECT_EQ(LeadingNumber("12abc"), 12.0);
    EXPECT_EQ(LeadingNumber(" -3"), -3.0);
    EXPECT_EQ(LeadingNumber("1 2"), 12.0);
    EXPECT_EQ(LeadingNumber("2.5h"), 2.5);
    EXPECT_EQ(LeadingNumber("2,5"), 2.0);  // typed fields use the point
    EXPECT_EQ(LeadingNumber("1e3"), 1000.0);
    EXPECT_EQ(LeadingNumber("-0"), 0.0);
    EXPECT_GT(LeadingNumber("9e999"), 1e299);
}

TEST(CalibrateAlpha, HourAngleWithinTwelveHours) {
    CalibrationRig r;
    r.settings.Int(IntKey::alpha_12) = 1;
    r.settings.Int(IntKey::calibr_alpha_ra) = 0;
    EXPECT_TRUE(CalibrateAlpha(r.core, "-3", "30", "0").ok);
    EXPECT_EQ(r.StoredAlpha(), (Lines{"20", "30", "0"}));
    EXPECT_EQ(r.settings.Str(StringKey::calibr_alpha_text_h), "-3");
    EXPECT_TRUE(CalibrateAlpha(r.core, "-0", "30", "0").ok);
    EXPECT_EQ(r.StoredAlpha(), (Lines{"23", "30", "0"}));
    EXPECT_TRUE(CalibrateAlpha(r.core, " -0", "30", "0").ok);  // one leading blank is ignored
    EXPECT_EQ(r.StoredAlpha(), (Lines{"23", "30", "0"}));
    EXPECT_TRUE(CalibrateAlpha(r.core, "5", "", "7").ok);      // an empty field reads 0
    EXPECT_EQ(r.StoredAlpha(), (Lines{"5", "0", "7"}));
    EXPECT_EQ(r.Drivers(), (Lines{"P 1001 (0,0)", "P 1001 (0,0)", "P 1001 (0,0)", "P 1001 (0,0)"}));

    r.log.Clear();
    EXPECT_EQ(CalibrateAlpha(r.core, "12", "0", "1").error, "Valeur des Heures Alpha incorrecte");
    EXPECT_EQ(CalibrateAlpha(r.core, "-13", "0", "0").error, "Valeur des Heures Alpha incorrecte");
    EXPECT_EQ(CalibrateAlpha(r.core, "1", "60", "0").error, "Valeur des Minutes Alpha incorrecte");
    EXPECT_EQ(CalibrateAlpha(r.core, "1", "0", "59.5").error, "Valeur des Secondes Alpha incorrecte");
    EXPECT_EQ(CalibrateAlpha(r.core, "99999", "0", "0").error, "Valeur des Heures Alpha incorrecte");
    EXPECT_EQ(CalibrateAlpha(r.core, "1", "70000", "0").error, "Valeur des Minutes Alpha incorrecte");
    EXPECT_TRUE(r.log.lines.empty());  // nothing sent
    EXPECT_EQ(r.StoredAlpha(), (Lines{"5", "0", "7"}));

    r.settings.Int(IntKey::alpha_12) = 0;
    EXPECT_EQ(CalibrateAlpha(r.core, "-1", "0", "0").error, "Valeur des Heures Alpha incorrecte");
    EXPECT_TRUE(CalibrateAlpha(r.core, "23", "59", "59").ok);
}

TEST(CalibrateAlpha, RightAscensionBecomesTheHourAngleOfTheMoment) {
    CalibrationRig r;
    r.settings.Int(IntKey::calibr_alpha_ra) = 1;
    r.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
    r.core.state().SiderealTimeRad = Hms2R(2, 0, 0.0);
    EXPECT_TRUE(CalibrateAlpha(r.core, "5", "30", "15").ok);
    EXPECT_EQ(r.StoredAlpha(), (Lines{"20", "29", "45"}));  // 2 h - 5 h 30 m 15 s + 24 h
    EXPECT_EQ(r.Drivers(), (Lines{"E 1001 (0,0)"}));
}

TEST(CalibrateDelta, SignsRoundingAndThePole) {
    CalibrationRig r;
    EXPECT_TRUE(CalibrateDelta(r.core, "-0", "30", "0").ok);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_d), 0);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_neg_zero), 1);
    EXPECT_TRUE(CalibrateDelta(r.core, "-12", "2.5", "3.5").ok);  // rounded halves to even
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_d), -12);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_m), 2);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_s), 4);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_neg_zero), 0);
    EXPECT_EQ(r.settings.Str(StringKey::calibr_delta_text_m), "2.5");
    EXPECT_TRUE(CalibrateDelta(r.core, "90", "0", "0").ok);
    EXPECT_TRUE(CalibrateDelta(r.core, "89", "59", "59.4").ok);  // 59.4 rounds to 59

    EXPECT_EQ(CalibrateDelta(r.core, "90", "0", "1").error, "Valeur delta incorrecte");
    EXPECT_EQ(CalibrateDelta(r.core, "-91", "0", "0").error, "Valeur des degrés Delta incorrecte");
    EXPECT_EQ(CalibrateDelta(r.core, "40000", "0", "0").error, "Valeur des degrés Delta incorrecte");
    EXPECT_EQ(CalibrateDelta(r.core, "10", "59.5", "0").error, "Valeur des minutes Delta incorrecte");
    EXPECT_EQ(CalibrateDelta(r.core, "10", "0", "-1").error, "Valeur des secondes Delta incorrecte");
    EXPECT_EQ(r.Drivers().size(), 4u);
}

}  // namespace
}  // namespace axo
