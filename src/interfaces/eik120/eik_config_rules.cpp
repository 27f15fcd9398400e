#include "interfaces/eik120/eik_config_rules.h"

#include <cstdio>

#include "astro/utils.h"
#include "settings/value_text.h"

namespace axo {

std::optional<int16_t> ParseEikBaseAddress(const std::string& text) {
    if (text.empty() || text.size() > 3) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        const int16_t digit = HexDigitValue(std::string(1, c));
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    const int last = value % 16;
    if (last != 0 && last != 8) {
        return std::nullopt;
    }
    return static_cast<int16_t>(value);
}

std::string EikBaseAddressText(int16_t address) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(static_cast<uint16_t>(address)));
    return buf;
}

bool EikTimerAccepted(const std::string& text) {
    const std::optional<double> value = ParseNumberText(text);
    return value && *value >= 10 && *value <= 255;
}

bool EikTimeoutOutOfRange(const std::string& text) {
    // Read as the window stores it: a whole number, halves to even.
    const std::optional<int16_t> value = TextToInteger(text);
    return value && (*value < kEikTimeoutMin || *value > kEikTimeoutMax);
}

bool EikResolutionOutOfRange(const std::string& text, int turn) {
    const std::optional<double> value = TextToDouble(text);
    return value && !(*value > 0 && *value <= turn);
}

}  // namespace axo
