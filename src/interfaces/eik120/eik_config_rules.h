#pragma once

// The checks of the card's configuration window that are not widgets: the base address typed
// in hexadecimal, the interrupt timer and the ranges of the time-outs and resolutions.

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

// Numbers the card cannot work with. A text that is no number at all is not "out of range":
// the window refuses it on its own, once the card is stopped.
// Time-outs in whole seconds: below 1 every wait of the card fails at once; the upper bound
// keeps a card that does not answer from holding the program for long.
inline constexpr int kEikTimeoutMin = 1;
inline constexpr int kEikTimeoutMax = 60;
bool EikTimeoutOutOfRange(const std::string& text);
// A resolution is what one count is worth: more than nothing, at most a whole turn (a day in
// seconds of time for Alpha, 360° in seconds of arc for Delta).
inline constexpr int kEikAlphaTurn = 86400;
inline constexpr int kEikDeltaTurn = 1296000;
bool EikResolutionOutOfRange(const std::string& text, int turn);

}  // namespace axo
