#include "settings/options_rules.h"

#include <cmath>
#include <utility>

#include "astro/formulas.h"
#include "astro/utils.h"
#include "settings/value_text.h"

namespace axo {

namespace {

// The leading numeric part with a decimal point, like a typed field is read; nullopt when
// the text holds no number at all.
std::optional<double> LeadingValue(const std::string& text) {
    // Skip leading blanks, then take the longest prefix that reads as a number.
    std::size_t b = 0;
    while (b < text.size() && (text[b] == ' ' || text[b] == '\t')) {
        ++b;
    }
    for (std::size_t e = text.size(); e > b; --e) {
        if (const auto v = ParseCNumber(text.substr(b, e - b))) {
            return v;
        }
    }
    return std::nullopt;
}

}  // namespace

int32_t WholeNumberOf(const std::string& text) {
    const auto v = LeadingValue(text);
    if (!v) {
        return 0;
    }
    const double r = RoundHalfEven(*v);
    if (r > 2147483647.0) {
        return INT32_MAX;
    }
    if (r < -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(r);
}

FieldCheck CheckPollingInterval(const std::string& text) {
    const int32_t v = WholeNumberOf(text);
    if (!LeadingValue(text) || v < 0 || v > 10000) {
        return {false, 0, "La valeur de l'intervalle d'interrogation\ndoit être comprise entre 0 et 10000"};
    }
    return {true, static_cast<int16_t>(v), ""};
}

FieldCheck CheckRestAzimuth(const std::string& text) {
    // The whole text must be a number: "12abc" is as wrong as "abc".
    const auto v = ParseNumberText(text);
    if (!v) {
        return {false, 0, "Valeur de l'azimut de la position\nde repos de la coupole incorrecte"};
    }
    if (std::floor(*v) != *v) {
        return {false, 0, "La valeur de l'azimut de la position repos de la\ncoupole doit être un entier entre 0 et 360"};
    }
    if (*v < 0 || *v > 360) {
        return {false, 0, "La valeur de l'azimut de la position repos de la\ncoupole doit être comprise entre 0 et 360"};
    }
    return {true, static_cast<int16_t>(*v), ""};
}

std::string CheckSiteAngle(const std::string& d, const std::string& m, const std::string& s, int maxDegrees,
                           const std::string& what) {
    const std::string error =
        "La valeur de " + what + "\ndoit être comprise entre 0° et " + std::to_string(maxDegrees) + "°";
    int64_t seconds = 0;
    for (const auto& [text, unit] : {std::pair{&d, 3600}, std::pair{&m, 60}, std::pair{&s, 1}}) {
        const int32_t v = WholeNumberOf(*text);
        if (!LeadingValue(*text) || v < 0) {
            return error;
        }
        seconds += static_cast<int64_t>(v) * unit;
    }
    return seconds <= static_cast<int64_t>(maxDegrees) * 3600 ? std::string() : error;
}

FieldCheck CheckAltitude(const std::string& text) {
    const int32_t v = WholeNumberOf(text);
    if (!LeadingValue(text) || v < kLowestAltitude || v > kHighestAltitude) {
        return {false, 0,
                "La valeur de l'altitude\ndoit être comprise entre " + std::to_string(kLowestAltitude) + " et " +
                    std::to_string(kHighestAltitude) + " mètres"};
    }
    return {true, static_cast<int16_t>(v), ""};
}

void ApplyHourAngleRangeToCalibrationTexts(Settings& s) {
    if (s.Int(IntKey::calibr_alpha_ra) != 0) {
        return;
    }
    const int16_t h = s.Int(IntKey::calibr_alpha_h);
    const int16_t m = s.Int(IntKey::calibr_alpha_m);
    const int16_t sec = s.Int(IntKey::calibr_alpha_s);
    if (s.Int(IntKey::alpha_12) != 1 || h < 12 || (h == 12 && m == 0 && sec <= 0)) {
        s.Str(StringKey::calibr_alpha_text_h) = std::to_string(h);
        s.Str(StringKey::calibr_alpha_text_m) = std::to_string(m);
        s.Str(StringKey::calibr_alpha_text_s) = std::to_string(sec);
        return;
    }
    int16_t h2 = 0;
    int16_t m2 = 0;
    int16_t s2 = 0;
    HoursToHms(24.0 - HmsToHours(h, m, sec), h2, m2, s2);
    s.Str(StringKey::calibr_alpha_text_h) = "-" + std::to_string(h2);
    s.Str(StringKey::calibr_alpha_text_m) = std::to_string(m2);
    s.Str(StringKey::calibr_alpha_text_s) = std::to_string(s2);
}

}  // namespace axo
