#include "settings/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "astro/utils.h"

namespace axo {

namespace {

// What the reader keeps of a Double value (its read buffer less the terminator).
constexpr std::size_t kDoubleTextMax = 15;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

template <typename T>
std::optional<T> RoundIntoRange(const std::string& text, double lo, double hi) {
    const auto value = ParseNumberText(text);
    if (!value) {
        return std::nullopt;
    }
    const double rounded = RoundHalfEven(*value);
    if (rounded < lo || rounded > hi) {
        return std::nullopt;
    }
    return static_cast<T>(rounded);
}

// The shortest text ParseNumberText reads back as exactly `value`: the fewest significant
// digits, with the separator and the exponent placed wherever they make the text shortest.
std::string ShortestDoubleText(double value) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string sci(buf, res.ptr);  // "-1.2345e-05", shortest round trip
    const std::size_t e = sci.find('e');
    const bool negative = sci[0] == '-';
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
        if (IsDigit(sci[i])) {
            digits.push_back(sci[i]);
        }
    }
    const int exponent = std::stoi(sci.substr(e + 1));
    const int k = static_cast<int>(digits.size());
    const std::string sign = negative ? "-" : "";
    std::string best;
    auto consider = [&best](const std::string& text) {
        if (best.empty() || text.size() < best.size()) {
            best = text;
        }
    };
    if (exponent < 0) {
        consider(sign + "0," + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits);
    } else if (exponent >= k - 1) {
        consider(sign + digits + std::string(static_cast<std::size_t>(exponent - (k - 1)), '0'));
    }
    for (int before = 1; before <= k; ++before) {
        std::string text = sign + digits.substr(0, static_cast<std::size_t>(before));
        if (before < k) {
            text += "," + digits.substr(static_cast<std::size_t>(before));
        }
        const int shift = exponent - (before - 1);
        if (shift != 0) {
            text += "E" + std::to_string(shift);
        }
        consider(text);
    }
    return best;
}

}  // namespace

std::optional<double> ParseNumberText(const std::string& text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) {
        ++b;
    }
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) {
        --e;
    }
    // Validate the shape ourselves: strtod would also take "inf", "nan", hexadecimal and the
    // C locale's separator only.
    std::string normal;
    std::size_t i = b;
    if (i < e && (text[i] == '+' || text[i] == '-')) {
        normal.push_back(text[i++]);
    }
    std::size_t digits = 0;
    while (i < e && IsDigit(text[i])) {
        normal.push_back(text[i++]);
        ++digits;
    }
    if (i < e && (text[i] == '.' || text[i] == ',')) {
        normal.push_back('.');
        ++i;
        while (i < e && IsDigit(text[i])) {
            normal.push_back(text[i++]);
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < e && (text[i] == 'e' || text[i] == 'E')) {
        normal.push_back('e');
        ++i;
        if (i < e && (text[i] == '+' || text[i] == '-')) {
            normal.push_back(text[i++]);
        }
        std::size_t expDigits = 0;
        while (i < e && IsDigit(text[i])) {
            normal.push_back(text[i++]);
            ++expDigits;
        }
        if (expDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != e) {
        return std::nullopt;
    }
    return ParseCNumber(normal);
}

std::optional<double> ParseCNumber(const std::string& text) {
    std::size_t start = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        start = 1;
    }
    double value = 0.0;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || end != last || !std::isfinite(value)) {
        return std::nullopt;  // also an exponent out of range
    }
    return negative ? -value : value;
}

std::optional<int16_t> TextToInteger(const std::string& text) {
    return RoundIntoRange<int16_t>(text, -32768.0, 32767.0);
}

std::optional<int32_t> TextToLong(const std::string& text) {
    return RoundIntoRange<int32_t>(text, -2147483648.0, 2147483647.0);
}

std::optional<double> TextToDouble(const std::string& text) {
    return ParseNumberText(text);
}

std::string IntegerToText(int16_t value) {
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

std::string LongToText(int32_t value) {
    return std::to_string(value);
}

std::string DoubleToText(double value) {
    if (!std::isfinite(value) || value == 0.0) {
        return "0";  // also turns -0 into 0
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s(buf);
    // %G writes at least two exponent digits ("1E-05"), as the number conversions the
    // existing files were written with; only the separator differs.
    for (char& c : s) {
        if (c == '.') {
            c = ',';
        }
    }
    if (s.size() <= kDoubleTextMax) {
        return s;
    }
    // The reader keeps 15 characters: a longer text would come back as another number. Any
    // value read from the file has a form that fits (the one it was read in), so look for the
    // shortest text that gives back exactly this value.
    return ShortestDoubleText(value);
}

}  // namespace axo
