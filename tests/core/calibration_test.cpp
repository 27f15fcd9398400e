#include "core/calibration.h"

#include <gtest/gtest.h>

#include <array>

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
    const std::pair<const char*, double> cases[] = {{"", 0.0},    {"abc", 0.0}, {"12abc", 12.0}, {" -3", -3.0},
                                                    {"1 2", 12.0}, {"2.5h", 2.5}, {"2,5", 2.0},  // the point only
                                                    {"1e3", 1000.0}, {"-0", 0.0}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(LeadingNumber(text), value) << text;
    }
    EXPECT_GT(LeadingNumber("9e999"), 1e299);
}

TEST(Calibrate, AlphaAsHourAngleOrRightAscensionAndDeltaWithItsSignsAndThePole) {
    CalibrationRig r;
    r.settings.Int(IntKey::alpha_12) = 1;
    r.settings.Int(IntKey::calibr_alpha_ra) = 0;
    // One leading blank is ignored; an empty field reads 0.
    for (const auto& [typed, stored] : {std::pair{Lines{"-3", "30", "0"}, Lines{"20", "30", "0"}},
                                        {Lines{"-0", "30", "0"}, Lines{"23", "30", "0"}},
                                        {Lines{" -0", "30", "0"}, Lines{"23", "30", "0"}},
                                        {Lines{"5", "", "7"}, Lines{"5", "0", "7"}}}) {
        EXPECT_TRUE(CalibrateAlpha(r.core, typed[0], typed[1], typed[2]).ok) << typed[0];
        EXPECT_EQ(r.StoredAlpha(), stored) << typed[0];
        EXPECT_EQ(r.settings.Str(StringKey::calibr_alpha_text_h), typed[0]);
    }
    EXPECT_EQ(r.Drivers(), (Lines{"P 1001 (0,0)", "P 1001 (0,0)", "P 1001 (0,0)", "P 1001 (0,0)"}));

    r.log.Clear();
    const std::array<const char*, 4> refused[] = {{"12", "0", "1", "Heures"},  {"-13", "0", "0", "Heures"},
                                                  {"1", "60", "0", "Minutes"}, {"1", "0", "59.5", "Secondes"},
                                                  {"99999", "0", "0", "Heures"}, {"1", "70000", "0", "Minutes"}};
    for (const auto& [h, m, sec, field] : refused) {
        EXPECT_EQ(CalibrateAlpha(r.core, h, m, sec).error, std::string("Valeur des ") + field + " Alpha incorrecte") << h;
    }
    EXPECT_TRUE(r.log.lines.empty());  // nothing sent
    EXPECT_EQ(r.StoredAlpha(), (Lines{"5", "0", "7"}));

    r.settings.Int(IntKey::alpha_12) = 0;
    EXPECT_EQ(CalibrateAlpha(r.core, "-1", "0", "0").error, "Valeur des Heures Alpha incorrecte");
    EXPECT_TRUE(CalibrateAlpha(r.core, "23", "59", "59").ok);

    // A right ascension becomes the hour angle of the moment.
    r.log.Clear();
    r.settings.Int(IntKey::calibr_alpha_ra) = 1;
    r.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
    r.core.state().SiderealTimeRad = Hms2R(2, 0, 0.0);
    EXPECT_TRUE(CalibrateAlpha(r.core, "5", "30", "15").ok);
    EXPECT_EQ(r.StoredAlpha(), (Lines{"20", "29", "45"}));  // 2 h - 5 h 30 m 15 s + 24 h
    EXPECT_EQ(r.Drivers(), (Lines{"E 1001 (0,0)"}));

    // Delta: signs, rounding and the pole.
    r.log.Clear();
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
