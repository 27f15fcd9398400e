#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace axo {

// What the go-to never crosses, and where it parks. Hour angles are hours from the meridian
// (the east limit counts east, the west limit west), angles in degrees. Kept in the hardware
// file, beside the installation they protect, not in the observer's settings.
struct PointingLimits {
    double minAltitudeDeg = 10.0;
    double hourAngleEastH = 6.0;
    double hourAngleWestH = 6.0;
    double declinationMinDeg = -90.0;
    double declinationMaxDeg = 90.0;
    double parkHourAngleH = 0.0;  // signed, east negative
    double parkDeclinationDeg = 90.0;
    bool operator==(const PointingLimits&) const = default;
};

// Altitude in degrees of a position (hour angle in signed hours, declination in degrees) at a
// latitude in radians.
inline double AltitudeAt(double latitudeRad, double haHours, double decDeg) {
    constexpr double kRad = 3.14159265358979323846 / 180.0;
    const double s = std::sin(latitudeRad) * std::sin(decDeg * kRad) +
                     std::cos(latitudeRad) * std::cos(decDeg * kRad) * std::cos(haHours * 15.0 * kRad);
    return std::asin(std::clamp(s, -1.0, 1.0)) / kRad;
}

// "10", "9,5": the decimal comma of the French texts, no ",0".
inline std::string DecimalText(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", value);
    std::string text(buf);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) {
        text.resize(text.size() - 2);
    }
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// Whether a position is inside the limits: "" inside, else why (in French). The window, the
// go-to and the planetarium link all say it the same way.
inline std::string OutsideLimits(const PointingLimits& l, double latitudeRad, double haHours, double decDeg) {
    if (haHours < -l.hourAngleEastH) {
        return "angle horaire à plus de " + DecimalText(l.hourAngleEastH) + " h à l'est";
    }
    if (haHours > l.hourAngleWestH) {
        return "angle horaire à plus de " + DecimalText(l.hourAngleWestH) + " h à l'ouest";
    }
    if (decDeg < l.declinationMinDeg) {
        return "déclinaison sous " + DecimalText(l.declinationMinDeg) + "°";
    }
    if (decDeg > l.declinationMaxDeg) {
        return "déclinaison au-dessus de " + DecimalText(l.declinationMaxDeg) + "°";
    }
    const double alt = AltitudeAt(latitudeRad, haHours, decDeg);
    if (alt < l.minAltitudeDeg) {
        return "hauteur " + DecimalText(alt) + "° sous la limite de " + DecimalText(l.minAltitudeDeg) + "°";
    }
    return "";
}

}  // namespace axo
