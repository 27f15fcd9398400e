#pragma once

// The checks of the card's configuration window that are not widgets: the base address typed
// in hexadecimal and the interrupt timer.

#include <cstdint>
#include <optional>
#include <string>

namespace axo {

// One to three upper-case hexadecimal digits, the last one 0 or 8 (the card sits on a
// multiple of 8): "358" -> 856, "8" -> 8. Anything else (lower case, four digits, empty,
// "35A") is refused.
std::optional<int16_t> ParseEikBaseAddress(const std::string& text);

// The base address as the window shows it: upper-case hexadecimal without prefix (856 -> "358").
std::string EikBaseAddressText(int16_t address);

// The interrupt timer in milliseconds: a number from 10 to 255 (the card takes one byte).
bool EikTimerAccepted(const std::string& text);

}  // namespace axo
