#pragma once

// Small routines shared by the settings reader, the interface drivers and several windows.

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/operator.h"

namespace axo {

// The text up to, not including, its first NUL character.
std::string CutAtNul(const std::string& s);

// The text up to its first carriage return (the 6420 boxes end their replies with one).
std::string CutAtCr(const std::string& s);

// Removes one leading blank, the sign position of a non-negative number turned into text.
std::string StripLeadingSpace(const std::string& s);

// v AND 255, for bytes sent to the parallel port.
int16_t LowByte(int16_t v);

// 0..9 for "0".."9", 10..15 for "A".."F" (capitals only), -1 for anything else.
int16_t HexDigitValue(const std::string& s);

// True when every character is a decimal digit; true for the empty text.
bool IsDigits(const std::string& s);

// Alert box kinds.
constexpr int16_t kAlertInformation = 1;
constexpr int16_t kAlertExclamation = 2;
constexpr int16_t kAlertCritical = 3;

// A modal box with one OK button and the icon of `kind`; any other kind shows nothing.
void AlertBox(Operator& op, const std::string& title, const std::string& message, int16_t kind);

// As AlertBox, with the message on two lines.
void AlertBox2(Operator& op, const std::string& title, const std::string& line1, const std::string& line2,
               int16_t kind);

// Rounds to the nearest whole number, halves to even (the rounding of the original
// number conversions: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2).
double RoundHalfEven(double x);

}  // namespace axo
