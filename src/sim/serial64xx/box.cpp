#include "sim/serial64xx/box.h"

#include <cmath>
#include <cstdio>

namespace axo::sim {

namespace {

bool AllDigits(const std::string& s) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) {
        return {};
    }
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

std::string Box6420::ProbeAnswer() const {
    return axis_ == BoxAxis::Alpha ? "6420 V2.1 A\r\n" : "6420 V2.1 D\r\n";
}

std::string Box6420::Deliver(const std::string& answer) {
    if (answer.empty() || hung_) {
        return {};
    }
    switch (fault_) {
        case BoxFault::None:
        case BoxFault::HangsOnStop:
            return answer;
        case BoxFault::Silent:
            return {};
        case BoxFault::TwoBytes:
            return answer.substr(0, 2);
        case BoxFault::Garbage: {
            char text[32];
            ++garbage_;
            std::snprintf(text, sizeof text, "#%c%u~\r", static_cast<char>('A' + garbage_ % 26), garbage_);
            return text;
        }
    }
    return answer;
}

std::string Box6420::Execute(const std::string& raw) {
    const std::string line = Trim(raw);
    if (line.empty()) {
        return {};
    }
    ++commands_;
    if (hung_) {
        return {};
    }
    if (line == "S" && fault_ == BoxFault::HangsOnStop) {
        hung_ = true;
        return {};
    }
    if (line == "S") {
        RampTo(0.0, kStopSeconds);
        return {};
    }
    if (line == "C") {
        char text[32];
        std::snprintf(text, sizeof text, "%+ld\r", std::lround(position_));
        return text;
    }
    const std::string rest = line.substr(1);
    switch (line[0]) {
        case 'R': {
            // "R n" (R, space, rate) or "R-n".
            const bool negative = !rest.empty() && rest[0] == '-';
            const std::string digits = Trim(negative ? rest.substr(1) : rest);
            if (!AllDigits(digits) || digits.size() > 6) {
                return "?\r";
            }
            const double rate = std::stod(digits);
            RampTo(negative ? -rate : rate, kRampSeconds);
            return {};
        }
        case 'Y': {
            const std::string n = Trim(rest);
            if (AllDigits(n) && n.size() < 4) {
                outputs_ = std::stoi(n);
            }
            return {};
        }
        case 'T': {
            const std::string n = Trim(rest);
            if (n == "0" || n == "1") {
                drive_ = n[0] - '0';
            }
            return {};
        }
        case '\\': {
            const std::string n = Trim(rest);
            if (AllDigits(n) && n.size() == 1) {
                stepSize_ = n[0] - '0';
            }
            return {};
        }
        default:
            // Ramps ("M a b") and base and high speeds ("F10", "V200") shape the motor's
            // acceleration, which this box models with fixed ramp times.
            return {};
    }
}

void Box6420::RampTo(double target, double seconds) {
    rampFrom_ = speed_;
    target_ = target;
    rampLength_ = seconds;
    rampTime_ = 0.0;
}

double Box6420::SpeedAt(double t) const {
    if (t >= rampLength_ || rampLength_ <= 0) {
        return target_;
    }
    return rampFrom_ + (target_ - rampFrom_) * (t / rampLength_);
}

void Box6420::Advance(double seconds) {
    if (seconds <= 0) {
        return;
    }
    const double before = speed_;
    rampTime_ += seconds;
    speed_ = SpeedAt(rampTime_);
    position_ += (before + speed_) / 2.0 * seconds;
}

bool Box6420::Coupled() const {
    if (axis_ == BoxAxis::Alpha) {
        return (outputs_ & 4) != 0;
    }
    const int clutch = drive_ == 0 ? 8 : 4;
    return (outputs_ & 1) != 0 && (outputs_ & clutch) != 0;
}

double Box6420::RateDegPerSec() const {
    if (!Coupled()) {
        return 0.0;
    }
    double gear = 1.0;
    if (axis_ == BoxAxis::Delta) {
        const bool slave = drive_ == 0;
        gear = slave == fastOnSlave_ ? kFastGear : 1.0;
    }
    return speed_ * kDegPerStep * std::pow(4.0, 8 - stepSize_) * gear;
}

}  // namespace axo::sim
