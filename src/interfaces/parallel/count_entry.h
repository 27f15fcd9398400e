#pragma once

// Checking a count variable typed in the maintenance window before it is stored and sent:
// the boards take the Alpha count below 256 and the Delta count below 32.

#include <optional>
#include <string>

namespace axo {

enum class CountAxis { Alpha, Delta };

struct CountEntryCheck {
    std::optional<double> value;  // set when the text is accepted
    std::string errorText;        // the "Erreur" box's text when refused (lines split by '\n')
};

// Accepts a number with either decimal sign, blanks around it, an optional sign and exponent;
// the value must be > 0 and <= 255 (Alpha) or <= 31 (Delta).
CountEntryCheck CheckCountEntry(const std::string& text, CountAxis axis);

}  // namespace axo
