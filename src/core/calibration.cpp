#include "core/calibration.h"

#include <cctype>
#include <cmath>

#include "astro/formulas.h"
#include "astro/mathlib.h"
#include "astro/utils.h"
#include "core/core.h"
#include "settings/value_text.h"

namespace axo {

double LeadingNumber(const std::string& text) {
    // Blanks, tabs and line feeds anywhere in the number are skipped ("1 2" reads 12).
    std::string compact;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            compact.push_back(c);
        }
    }
    std::size_t i = 0;
    std::string number;
    if (i < compact.size() && (compact[i] == '+' || compact[i] == '-')) {
        number.push_back(compact[i++]);
    }
    bool digits = false;
    while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) {
        number.push_back(compact[i++]);
        digits = true;
    }
    if (i < compact.size() && compact[i] == '.') {
        number.push_back(compact[i++]);
        while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) {
            number.push_back(compact[i++]);
            digits = true;
        }
    }
    if (!digits) {
        return 0.0;
    }
    if (i < compact.size() && (compact[i] == 'e' || compact[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < compact.size() && (compact[j] == '+' || compact[j] == '-')) {
            exponent.push_back(compact[j++]);
        }
        bool expDigits = false;
        while (j < compact.size() && std::isdigit(static_cast<unsigned char>(compact[j]))) {
            exponent.push_back(compact[j++]);
            expDigits = true;
        }
        if (expDigits) {
            number += exponent;
        }
    }
    if (const auto value = ParseCNumber(number)) {
        return *value;
    }
    // Only an overflowing exponent gets here: a number out of every range, refused by the checks.
    return number[0] == '-' ? -1e300 : 1e300;
}

void SendToCoders(Core& core, int16_t code) {
    DriverParam p{0, 0};
    switch (core.settings().Int(IntKey::interface_coders)) {
        case INTERFACE_PARALLEL:
            core.drivers().ParallelDriver(code, p);
            break;
        case INTERFACE_EIK120:
            core.drivers().EikDriver(code, p);
            break;
        case INTERFACE_TALVENE:
            core.drivers().TalveneDriver(code, p);
            break;
        default:
            break;
    }
}

namespace {

bool Within(double v, double lo, double hi) {
    return v >= lo && v <= hi;
}

// Values that passed their range check fit 16 bits.
int16_t Rounded(double v) {
    return static_cast<int16_t>(RoundHalfEven(v));
}

}  // namespace

CalibrationCheck CalibrateAlpha(Core& core, const std::string& ht, const std::string& mt, const std::string& st) {
    Settings& s = core.settings();
    const double h = LeadingNumber(ht);
    const double m = LeadingNumber(mt);
    const double sec = LeadingNumber(st);
    const bool hourAngle = s.Int(IntKey::calibr_alpha_ra) == 0;
    const bool twelve = s.Int(IntKey::alpha_12) == 1;

    const char* hoursError = "Valeur des Heures Alpha incorrecte";
    if (hourAngle && twelve ? !Within(h, -12, 12) : !Within(h, 0, 23)) {
        return {false, hoursError};
    }
    if (!Within(m, 0, 59)) {
        return {false, "Valeur des Minutes Alpha incorrecte"};
    }
    if (!Within(sec, 0, 59)) {
        return {false, "Valeur des Secondes Alpha incorrecte"};
    }
    if (hourAngle && twelve && (h == -12 || h == 12) && (m != 0 || sec != 0)) {
        return {false, hoursError};
    }

    s.Str(StringKey::calibr_alpha_text_h) = ht;
    s.Str(StringKey::calibr_alpha_text_m) = mt;
    s.Str(StringKey::calibr_alpha_text_s) = st;
    const int16_t hr = Rounded(h);
    const int16_t mr = Rounded(m);
    const int16_t sr = Rounded(sec);
    if (!hourAngle) {
        // A right ascension becomes the hour angle it has at this sidereal time.
        int16_t hh = 0;
        int16_t mm = 0;
        int16_t ss = 0;
        R2HmsRounded(core.state().SiderealTimeRad - Hms2R(hr, mr, sec), hh, mm, ss);
        s.Int(IntKey::calibr_alpha_h) = hh;
        s.Int(IntKey::calibr_alpha_m) = mm;
        s.Int(IntKey::calibr_alpha_s) = ss;
    } else if (twelve && (h < 0 || StripLeadingSpace(ht) == "-0")) {
        // West of the meridian typed as a negative hour angle: stored within 0..24 h.
        int16_t hh = 0;
        int16_t mm = 0;
        int16_t ss = 0;
        HoursToHms(24.0 - HmsToHours(static_cast<int16_t>(-hr), mr, sr), hh, mm, ss);
        s.Int(IntKey::calibr_alpha_h) = hh;
        s.Int(IntKey::calibr_alpha_m) = mm;
        s.Int(IntKey::calibr_alpha_s) = ss;
    } else {
        s.Int(IntKey::calibr_alpha_h) = hr;
        s.Int(IntKey::calibr_alpha_m) = mr;
        s.Int(IntKey::calibr_alpha_s) = sr;
    }
    SendToCoders(core, CMD_CALIBRATE_ALPHA);
    return {};
}

CalibrationCheck CalibrateDelta(Core& core, const std::string& dt, const std::string& mt, const std::string& st) {
    Settings& s = core.settings();
    const std::string degreesText = StripLeadingSpace(dt);
    const double d = RoundHalfEven(LeadingNumber(degreesText));
    const double m = RoundHalfEven(LeadingNumber(mt));
    const double sec = RoundHalfEven(LeadingNumber(st));
    if (!Within(d, -90, 90)) {
        return {false, "Valeur des degrés Delta incorrecte"};
    }
    if (!Within(m, 0, 59)) {
        return {false, "Valeur des minutes Delta incorrecte"};
    }
    if (!Within(sec, 0, 59)) {
        return {false, "Valeur des secondes Delta incorrecte"};
    }
    if ((d == -90 || d == 90) && (m != 0 || sec != 0)) {
        return {false, "Valeur delta incorrecte"};
    }
    s.Str(StringKey::calibr_delta_text_d) = dt;
    s.Str(StringKey::calibr_delta_text_m) = mt;
    s.Str(StringKey::calibr_delta_text_s) = st;
    // Between 0 and -1 degree the sign cannot ride on the degrees.
    s.Int(IntKey::calibr_delta_neg_zero) = degreesText == "-0" ? 1 : 0;
    s.Int(IntKey::calibr_delta_d) = static_cast<int16_t>(d);
    s.Int(IntKey::calibr_delta_m) = static_cast<int16_t>(m);
    s.Int(IntKey::calibr_delta_s) = static_cast<int16_t>(sec);
    SendToCoders(core, CMD_CALIBRATE_DELTA);
    return {};
}

}  // namespace axo
