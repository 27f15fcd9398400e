// The colour filter: a three-position wheel stepped by pulses on the filter latch, with two
// position inputs on the data port's status lines.
//
// Selection rule. The wheel turns red -> green -> blue -> red. A pulse of byte 0 steps it one
// position forward, a pulse of byte 2 one position back, so any filter is one pulse away. The
// position inputs p (BUSY level, status bit 7 once un-inverted) and q (ACK, status bit 6) read
// red = p and q clear, green = p set and q clear, blue = q set and p clear; p and q both set
// means the wheel is between positions, and a forward pulse is sent to bring it onto one.

#include "interfaces/parallel/parallel_driver.h"

namespace axo {

namespace {

enum class Wheel { Red, Green, Blue, Between };

Wheel WheelPosition(uint8_t dataStatus) {
    const auto lines = static_cast<uint8_t>(dataStatus ^ 0x80);
    const bool p = (lines & 0x80) != 0;
    const bool q = (lines & 0x40) != 0;
    if (p && q) {
        return Wheel::Between;
    }
    if (q) {
        return Wheel::Blue;
    }
    return p ? Wheel::Green : Wheel::Red;
}

constexpr uint8_t kFilterIdle = 0xFF;
constexpr uint8_t kStepForward = 0;
constexpr uint8_t kStepBack = 2;

}  // namespace

void ParallelDriver::SetFilter(int16_t filter) {
    Wheel wanted = Wheel::Red;
    switch (filter) {
        case 6:
            wanted = Wheel::Red;
            break;
        case 7:
            wanted = Wheel::Green;
            break;
        case 8:
            wanted = Wheel::Blue;
            break;
        default:
            return;  // no colour chosen: the wheel stays where it is
    }
    link_.Latch(kFilterLatch, kFilterIdle);
    const Wheel now = WheelPosition(link_.ReadDataStatus());
    if (now == wanted) {
        core_.state().FilterInPlace = filter;
        filterWanted_ = 0;
        return;
    }
    core_.state().FilterInPlace = 0;
    const bool back = (now == Wheel::Green && wanted == Wheel::Red) || (now == Wheel::Blue && wanted == Wheel::Green) ||
                      (now == Wheel::Red && wanted == Wheel::Blue);
    Clock& clock = core_.clock();
    link_.Latch(kFilterLatch, back ? kStepBack : kStepForward);
    WaitMs(clock, 3);
    link_.Latch(kFilterLatch, kFilterIdle);
    WaitMs(clock, 2);
    // The wheel takes a while to turn: the board polls look for its arrival.
    filterWanted_ = filter;
}

void ParallelDriver::CheckFilterArrival() {
    if (filterWanted_ == 0) {
        return;
    }
    // Only the status register is read, with the latch already idle: nothing is sent.
    const Wheel wanted = filterWanted_ == 6 ? Wheel::Red : filterWanted_ == 7 ? Wheel::Green : Wheel::Blue;
    if (WheelPosition(link_.ReadDataStatus()) == wanted) {
        core_.state().FilterInPlace = filterWanted_;
        filterWanted_ = 0;
    }
}

}  // namespace axo
