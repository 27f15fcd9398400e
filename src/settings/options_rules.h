#pragma once

// The rules of the options dialog that are not about widgets: the checks of the polling
// interval and the dome's rest azimuth, the predefined sites, and the texts that the stored
// calibration hour angle takes in the calibration window under the +-12 h display.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "settings/settings.h"

namespace axo {

struct PredefinedSite {
    const char* name;
    bool hasValues;
    int16_t longitudeEast;  // 1 east
    int16_t lonD, lonM, lonS;
    int16_t latitudeSouth;  // 1 south
    int16_t latD, latM, latS;
    int16_t altitude;
};

inline constexpr std::array<PredefinedSite, 2> kPredefinedSites{{
    {"Défini par l'utilisateur", false, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"Vernadelle (France)", true, 1, 0, 8, 42, 0, 42, 56, 13, 2877},
}};

// The numeric value of a typed field, as a whole number (empty or non-numeric text gives 0).
int32_t WholeNumberOf(const std::string& text);

struct FieldCheck {
    bool ok = true;
    int16_t value = 0;
    std::string error;  // two lines joined by "\n" when !ok
};

// The polling interval: 0 to 10000 ms. A text without a number is refused too: read as 0, it
// would stop the polling without anyone having asked for it.
FieldCheck CheckPollingInterval(const std::string& text);

// The rest azimuth of the dome: a whole number from 0 to 360.
FieldCheck CheckRestAzimuth(const std::string& text);

// A site coordinate typed as degrees, minutes and seconds, the hemisphere being chosen apart:
// each part a number not below 0 and the whole angle at most `maxDegrees` (minutes past 59
// are taken as they add up: 42° 75' is 43° 15'). `what` names the coordinate in the message
// ("la latitude"). Returns the message, empty when accepted.
std::string CheckSiteAngle(const std::string& d, const std::string& m, const std::string& s, int maxDegrees,
                           const std::string& what);

// The site's altitude, from the shore of the lowest sea to above the highest summit.
inline constexpr int kLowestAltitude = -500;
inline constexpr int kHighestAltitude = 9000;
FieldCheck CheckAltitude(const std::string& text);

// Recomputes calibr_alpha_text_h/m/s from the stored calibration hour angle when the Alpha
// calibration is an hour angle: past 12 h under the +-12 h display it shows as "-h".
void ApplyHourAngleRangeToCalibrationTexts(Settings& settings);

}  // namespace axo
