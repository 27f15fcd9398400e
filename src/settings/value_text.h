#pragma once

// Number <-> text conversions of the settings file. Existing files were written on machines
// whose decimal separator is the comma ("0,995"); files edited by hand on Linux often hold a
// point. Reading accepts either; writing always uses the comma, so files stay readable by the
// installations that share them.

#include <cstdint>
#include <optional>
#include <string>

namespace axo {

// A decimal number with optional blanks around it, optional sign, one decimal separator
// ('.' or ','), optional exponent. Nothing else, and nothing that overflows a double.
std::optional<double> ParseNumberText(const std::string& text);

// Parses a whole text in the C number format ("-1.5e3"), whatever the process locale: the
// windowing toolkit switches the C library to the user's locale, where strtod would stop at
// the point of "0.995" under a comma-decimal language.
std::optional<double> ParseCNumber(const std::string& text);

// Text to 16-bit and 32-bit integers: fractions round halves to even; a value outside the
// type's range is refused.
std::optional<int16_t> TextToInteger(const std::string& text);
std::optional<int32_t> TextToLong(const std::string& text);
std::optional<double> TextToDouble(const std::string& text);

// An Integer keeps one leading blank where a minus sign would stand: 3 -> " 3", -3 -> "-3".
std::string IntegerToText(int16_t value);

// Long and Double values are written without that blank; doubles with up to 15 significant
// digits and the decimal comma: 0.995 -> "0,995", 24 -> "24", 1e-5 -> "1E-05".
std::string LongToText(int32_t value);
std::string DoubleToText(double value);

}  // namespace axo
