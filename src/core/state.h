#pragma once

// Runtime state shared by the modules of the core and the interfaces. None of it is saved.

#include <array>
#include <cstdint>

#include "astro/mathlib.h"

namespace axo {

struct RuntimeState {
    bool ParallelInUse = false;
    bool S64xxInUse = false;
    bool Eik120InUse = false;
    bool TalveneInUse = false;
    bool StartupDone = false;
    bool DebugLayoutOn = false;
    bool DomeInitRunning = false;
    bool DomeRestRunning = false;
    bool DomeTrackingOn = false;
    bool DomeFollowMoving = false;
    // The last dome Init or rest was ended by a stop, not by reaching its position.
    bool DomeOperationInterrupted = false;
    // The filter the wheel was last seen at (6 red, 7 green, 8 blue), 0 while unknown or turning.
    int16_t FilterInPlace = 0;
    bool PasswordGranted = false;
    SiteRecord Site;
    DateTimeRecord DateTime;
    double SiderealTimeRad = 0.0;
};

// The telescope position as the coder interface last read it, and what the read-out derived.
// The coder interface writes the hour angle and declination; the dome interface DomeAzimuth.
struct Position {
    int16_t HourAngleH = 0;
    int16_t HourAngleM = 0;
    int16_t HourAngleS = 0;
    int16_t DeclinationNegative = 0;
    int16_t DeclinationD = 0;
    int16_t DeclinationM = 0;
    int16_t DeclinationS = 0;
    bool DeclinationOutOfRange = false;
    int16_t DomeAzimuth = 0;
    int16_t TelescopeAzimuth = 0;
    // False until the coders give a position, and again whenever they cannot be read: the dome
    // must not follow an azimuth nobody read.
    bool TelescopeAzimuthKnown = false;
    // The seven position integers at the last telescope-azimuth computation.
    std::array<int16_t, 7> LastHourAngle{-100, -100, -100, -100, -100, -100, -100};
    double RightAscensionRad = 0.0;
    double DeclinationRad = 0.0;

    std::array<int16_t, 7> Current() const {
        return {HourAngleH, HourAngleM, HourAngleS, DeclinationNegative, DeclinationD, DeclinationM, DeclinationS};
    }
};

}  // namespace axo
