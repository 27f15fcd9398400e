#pragma once

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
};

}  // namespace axo
