#include "astro/utils.h"

#include <cmath>

namespace axo {

std::string CutAtNul(const std::string& s) {
    const std::size_t p = s.find('\0');
    return p == std::string::npos ? s : s.substr(0, p);
}

std::string CutAtCr(const std::string& s) {
    const std::size_t p = s.find('\r');
    return p == std::string::npos ? s : s.substr(0, p);
}

std::string StripLeadingSpace(const std::string& s) {
    return (!s.empty() && s.front() == ' ') ? s.substr(1) : s;
}

int16_t LowByte(int16_t v) {
    return static_cast<int16_t>(v & 255);
}

int16_t HexDigitValue(const std::string& s) {
    if (s.size() != 1) {
        return -1;
    }
    const char c = s[0];
    if (c >= '0' && c <= '9') {
        return static_cast<int16_t>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<int16_t>(c - 'A' + 10);
    }
    return -1;
}

bool IsDigits(const std::string& s) {
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

void AlertBox(Operator& op, const std::string& title, const std::string& message, int16_t kind) {
    MessageIcon icon = MessageIcon::None;
    switch (kind) {
        case kAlertInformation:
            icon = MessageIcon::Information;
            break;
        case kAlertExclamation:
            icon = MessageIcon::Exclamation;
            break;
        case kAlertCritical:
            icon = MessageIcon::Critical;
            break;
        default:
            return;
    }
    op.ShowMessage(title, message, icon, MessageButtons::Ok);
}

void AlertBox2(Operator& op, const std::string& title, const std::string& line1, const std::string& line2,
               int16_t kind) {
    AlertBox(op, title, line1 + "\n" + line2, kind);
}

double RoundHalfEven(double x) {
    if (!std::isfinite(x)) {
        return x;
    }
    const double fl = std::floor(x);
    const double diff = x - fl;
    if (diff < 0.5) {
        return fl;
    }
    if (diff > 0.5) {
        return fl + 1.0;
    }
    return std::fmod(fl, 2.0) == 0.0 ? fl : fl + 1.0;
}

}  // namespace axo
