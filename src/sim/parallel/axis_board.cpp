#include "sim/parallel/axis_board.h"

#include <cmath>

namespace axo::sim {

namespace {
// The pre-positioning window of the zero search: 2 minutes of time (Alpha, 0.5 degree of axis)
// or 2 minutes of arc (Delta), with a little play.
double SearchWindowDeg(Axis axis) {
    return axis == Axis::Alpha ? 2.0 / 60.0 * 15.0 : 2.0 / 60.0;
}
}  // namespace

double AxisBoard::Raw() const {
    return axis_ == Axis::Alpha ? mount_.HourAngleAxisDeg() / 15.0 : mount_.DeclinationDeg();
}

double AxisBoard::Reading() const {
    const double r = Raw() + offset_;
    if (axis_ == Axis::Alpha) {
        double h = std::fmod(r, 24.0);
        return h < 0 ? h + 24.0 : h;
    }
    return r;
}

uint8_t AxisBoard::Output() const {
    switch (state_) {
        case State::Idle:
            return 0x20;
        case State::Reading:
            return static_cast<uint8_t>((ack_ ? 0x10 : 0) | nibbles_[static_cast<std::size_t>(readIndex_)]);
        case State::Writing:
            return ack_ ? 0x10 : 0x00;
        case State::Searching:
            return 0x10;  // busy, nothing on the data lines yet
        case State::ZeroFound:
            return 0x0F;  // the index: all four data lines up
        case State::Message:
            return message_;
    }
    return 0x20;
}

void AxisBoard::Post(uint8_t code) {
    state_ = State::Message;
    message_ = code;
}

void AxisBoard::Reset() {
    state_ = State::Idle;
    prefixOne_ = false;
    dibits_.clear();
}

void AxisBoard::StartRead() {
    // Whole seconds of the position, tens and units of each field.
    int a = 0;
    int b = 0;
    int c = 0;
    bool positive = true;
    if (axis_ == Axis::Alpha) {
        const auto total = static_cast<long>(std::floor(Reading() * 3600.0)) % 86400;
        a = static_cast<int>(total / 3600);
        b = static_cast<int>(total / 60 % 60);
        c = static_cast<int>(total % 60);
    } else {
        const double r = Reading();
        positive = r >= 0;
        const auto total = static_cast<long>(std::floor(std::fabs(r) * 3600.0));
        a = static_cast<int>(total / 3600);
        b = static_cast<int>(total / 60 % 60);
        c = static_cast<int>(total % 60);
    }
    // The Delta board flags a positive declination with bit 3 of the minutes' tens, and repeats
    // the flag on the seconds' tens, where the host ignores it.
    const uint8_t sign = axis_ == Axis::Delta && positive ? 8 : 0;
    nibbles_ = {static_cast<uint8_t>(a / 10), static_cast<uint8_t>(a % 10), static_cast<uint8_t>(b / 10 | sign),
                static_cast<uint8_t>(b % 10),  static_cast<uint8_t>(c / 10 | sign), static_cast<uint8_t>(c % 10)};
    readIndex_ = 0;
    ack_ = false;
    state_ = State::Reading;
}

void AxisBoard::StartWrite(uint8_t command) {
    writeCommand_ = command;
    dibits_.clear();
    if (command == 2) {
        writeLength_ = 12;
        // The Alpha firmware starts its coordinate transfer with the acknowledge low, the
        // Delta firmware and both count transfers with it high; each strobe toggles it.
        ack_ = axis_ == Axis::Delta;
    } else {
        writeLength_ = axis_ == Axis::Alpha ? 16 : 20;
        ack_ = true;
    }
    state_ = State::Writing;
}

namespace {
unsigned Byte(const std::vector<uint8_t>& d, std::size_t at) {
    return (d[at] << 6) | (d[at + 1] << 4) | (d[at + 2] << 2) | d[at + 3];
}
unsigned SixBit(const std::vector<uint8_t>& d, std::size_t at) {
    return (d[at] << 4) | (d[at + 1] << 2) | d[at + 2];
}
double CountOf(unsigned whole, unsigned c1, unsigned c2, unsigned c3) {
    return whole + c1 / 100.0 + c2 / 10000.0 + c3 / 1000000.0;
}
}  // namespace

void AxisBoard::FinishWrite() {
    ++transfers_;
    state_ = State::Idle;
    if (writeCommand_ == 3) {
        count_ = axis_ == Axis::Alpha
                     ? CountOf(Byte(dibits_, 0), Byte(dibits_, 4), Byte(dibits_, 8), Byte(dibits_, 12))
                     : CountOf(SixBit(dibits_, 4), Byte(dibits_, 8), Byte(dibits_, 12), Byte(dibits_, 16));
        return;
    }
    double wanted = 0.0;
    if (axis_ == Axis::Alpha) {
        wanted = SixBit(dibits_, 0) + SixBit(dibits_, 4) / 60.0 + SixBit(dibits_, 8) / 3600.0;
    } else {
        const unsigned D = Byte(dibits_, 0);
        const unsigned M = Byte(dibits_, 4);
        // Bit 7 of the degrees: positive. Otherwise negative, whether bit 7 of the minutes is
        // set or, between 0 and -1 degree, neither is.
        wanted = (D & 0x7F) + (M & 0x7F) / 60.0 + SixBit(dibits_, 8) / 3600.0;
        if ((D & 0x80) == 0) {
            wanted = -wanted;
        }
    }
    offset_ = wanted - Raw();
}

void AxisBoard::StartSearch() {
    // Distance to the coder's index going +, in degrees of axis.
    double distance = 0.0;
    if (axis_ == Axis::Alpha) {
        distance = std::fmod(-mount_.HourAngleAxisDeg(), 360.0);
        if (distance < 0) {
            distance += 360.0;
        }
    } else {
        distance = -mount_.DeclinationDeg();
    }
    const double window = SearchWindowDeg(axis_);
    if (distance < 0 || distance > window) {
        Post(TooFarCode());
        return;
    }
    const double here = axis_ == Axis::Alpha ? mount_.HourAngleAxisDeg() : mount_.DeclinationDeg();
    searchTarget_ = here + distance;
    searchLimit_ = searchTarget_ - window * 1.25;
    state_ = State::Searching;
}

void AxisBoard::Advance() {
    if (state_ != State::Searching) {
        return;
    }
    const double here = axis_ == Axis::Alpha ? mount_.HourAngleAxisDeg() : mount_.DeclinationDeg();
    if (here >= searchTarget_) {
        state_ = State::ZeroFound;
    } else if (here < searchLimit_) {
        Post(TooFarCode());  // driven away from the zero
    }
}

void AxisBoard::Strobe(uint8_t dibit) {
    switch (state_) {
        case State::Idle:
            if (prefixOne_ && dibit == 0) {
                prefixOne_ = false;
                StartSearch();
                return;
            }
            prefixOne_ = dibit == 1;
            if (dibit == 0) {
                StartRead();
            } else if (dibit >= 2) {
                StartWrite(dibit);
            }
            return;
        case State::Reading:
            if (++readIndex_ >= 6) {
                state_ = State::Idle;
                return;
            }
            ack_ = !ack_;
            return;
        case State::Writing:
            dibits_.push_back(dibit);
            ack_ = !ack_;
            if (dibits_.size() >= writeLength_) {
                FinishWrite();
            }
            return;
        case State::Searching:
            if (prefixOne_ && dibit == 0) {
                prefixOne_ = false;
                Post(SearchStoppedCode());
                return;
            }
            prefixOne_ = dibit == 1;
            return;
        case State::ZeroFound:
            if (dibit == 0) {
                offset_ = 0.0;  // the index is the coder's zero
                Post(PositionResetCode());
            }
            return;
        case State::Message:
            // Dibit 0 acknowledges; a 1-0 abort that arrives while a message waits leaves it
            // on the lines for the next poll.
            if (dibit == 0 && !prefixOne_) {
                state_ = State::Idle;
            }
            prefixOne_ = dibit == 1;
            return;
    }
}

}  // namespace axo::sim
