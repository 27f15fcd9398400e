#pragma once

// Calibration on a known star: the checks of the calibration window's fields, the values
// stored in the settings, and the calibration command sent to the coder interface.

#include <cstdint>
#include <string>

namespace axo {

class Core;

// The leading numeric part of a text, as typed fields are read: blanks are ignored, an
// optional sign, digits, a decimal point, an exponent; nothing numeric reads 0 ("12h" -> 12).
double LeadingNumber(const std::string& text);

struct CalibrationCheck {
    bool ok = true;
    std::string error;  // the message of the first field that failed
};

// Checks the three Alpha texts; when they pass, stores them and the calibration hour angle
// in the settings and sends the Alpha calibration to the coder interface.
CalibrationCheck CalibrateAlpha(Core& core, const std::string& h, const std::string& m, const std::string& s);

// The same for the declination.
CalibrationCheck CalibrateDelta(Core& core, const std::string& d, const std::string& m, const std::string& s);

// Sends a calibration code (1001 or 1002) to the interface that reads the coders.
void SendToCoders(Core& core, int16_t code);

}  // namespace axo
