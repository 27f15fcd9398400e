#include "settings/options_rules.h"

#include <gtest/gtest.h>

namespace axo {
namespace {

TEST(OptionsRules, PollingIntervalAndSiteValuesWithinTheirRanges) {
    EXPECT_TRUE(CheckPollingInterval("10000").ok);
    EXPECT_EQ(CheckPollingInterval("0").value, 0);
    EXPECT_EQ(CheckPollingInterval("75ms").value, 75);
    EXPECT_EQ(CheckPollingInterval("").value, 0);  // nothing numeric reads 0
    for (const char* bad : {"10001", "-1", "99999999999", "abc0", "", "-"}) {
        const FieldCheck c = CheckPollingInterval(bad);
        EXPECT_FALSE(c.ok) << bad;
        EXPECT_EQ(c.error, "La valeur de l'intervalle d'interrogation\ndoit être comprise entre 0 et 10000");
    }
    // Site values within their physical range.
    const struct {
        const char *d, *m, *s;
        int max;
        bool ok;
    } angles[] = {
        {"90", "0", "0", 90, true},    {"90", "0", "1", 90, false},   {"42", "75", "0", 90, true},
        {"200", "0", "0", 90, false},  {"0", "-1", "0", 90, false},   {"x", "0", "0", 90, false},
        {"180", "0", "0", 180, true},  {"179", "59", "60", 180, true}, {"179", "60", "1", 180, false},
        {"0", "0", "", 180, false},    {" 12", "3", "4.4", 180, true}, {"99999999999", "0", "0", 180, false},
    };
    for (const auto& a : angles) {
        const std::string error = CheckSiteAngle(a.d, a.m, a.s, a.max, "la latitude");
        EXPECT_EQ(error.empty(), a.ok) << a.d << " " << a.m << " " << a.s;
        if (!a.ok) {
            EXPECT_EQ(error, "La valeur de la latitude\ndoit être comprise entre 0° et " + std::to_string(a.max) + "°");
        }
    }
    for (const auto& [text, ok] : {std::pair{"-500", true}, std::pair{"9000", true}, std::pair{"-501", false},
                                   std::pair{"9001", false}, std::pair{"m", false}, std::pair{"2877 m", true}}) {
        EXPECT_EQ(CheckAltitude(text).ok, ok) << text;
    }
    EXPECT_EQ(CheckAltitude("9001").error, "La valeur de l'altitude\ndoit être comprise entre -500 et 9000 mètres");
}

TEST(OptionsRules, RestAzimuthChecksInTurn) {
    for (const auto& [text, value] : {std::pair{"360", 360}, {"0", 0}, {" 15 ", 15}}) {
        EXPECT_EQ(CheckRestAzimuth(text).value, value) << text;
    }
    const std::string head = "La valeur de l'azimut de la position repos de la\ncoupole doit être ";
    const std::string notWhole = head + "un entier entre 0 et 360", outside = head + "comprise entre 0 et 360";
    const std::string wrong = "Valeur de l'azimut de la position\nde repos de la coupole incorrecte";
    for (const auto& [text, error] :
         {std::pair{"12.5", notWhole}, {"abc", wrong}, {"", wrong}, {"361", outside}, {"-1", outside}}) {
        EXPECT_EQ(CheckRestAzimuth(text).error, error) << text;
    }
    EXPECT_FALSE(CheckRestAzimuth("1e9").ok);
}

TEST(OptionsRules, CalibrationTextsFollowTheHourAngleRange) {
    Settings s;
    s.Int(IntKey::calibr_alpha_h) = 20;
    s.Int(IntKey::calibr_alpha_m) = 30;
    s.Int(IntKey::calibr_alpha_s) = 0;
    s.Int(IntKey::alpha_12) = 1;
    ApplyHourAngleRangeToCalibrationTexts(s);
    EXPECT_EQ(s.Str(StringKey::calibr_alpha_text_h), "-3");
    EXPECT_EQ(s.Str(StringKey::calibr_alpha_text_m), "30");
    EXPECT_EQ(s.Str(StringKey::calibr_alpha_text_s), "0");
    s.Int(IntKey::alpha_12) = 0;
    ApplyHourAngleRangeToCalibrationTexts(s);
    EXPECT_EQ(s.Str(StringKey::calibr_alpha_text_h), "20");
    // Exactly 12 h stays positive; a right-ascension calibration is left alone.
    s.Int(IntKey::alpha_12) = 1;
    s.Int(IntKey::calibr_alpha_h) = 12;
    s.Int(IntKey::calibr_alpha_m) = 0;
    ApplyHourAngleRangeToCalibrationTexts(s);
    EXPECT_EQ(s.Str(StringKey::calibr_alpha_text_h), "12");
    s.Int(IntKey::calibr_alpha_ra) = 1;
    s.Int(IntKey::calibr_alpha_h) = 23;
    ApplyHourAngleRangeToCalibrationTexts(s);
    EXPECT_EQ(s.Str(StringKey::calibr_alpha_text_h), "12");
    EXPECT_EQ(WholeNumberOf("2.5"), 2);
    EXPECT_EQ(WholeNumberOf("x"), 0);
}

}  // namespace
}  // namespace axo
