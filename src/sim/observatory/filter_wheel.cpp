#include "sim/observatory/filter_wheel.h"

namespace axo::sim {

void FilterWheel::Latch(uint8_t byte) {
    // A step starts on the change from idle to a command byte; the wheel ignores commands
    // while it turns.
    if (latch_ == 0xFF && (byte == 0x00 || byte == 0x02) && stepLeft_ <= 0) {
        pendingStep_ = byte == 0x00 ? 1 : -1;
        stepLeft_ = kStepSeconds;
    }
    latch_ = byte;
}

void FilterWheel::Advance(double seconds) {
    if (stepLeft_ <= 0) {
        return;
    }
    stepLeft_ -= seconds;
    if (stepLeft_ <= 0) {
        colour_ = static_cast<FilterColour>((static_cast<int>(colour_) + pendingStep_ + 3) % 3);
        ++steps_;
    }
}

uint8_t FilterWheel::StatusBits() const {
    bool p = false;
    bool q = false;
    if (Moving()) {
        p = q = true;
    } else if (colour_ == FilterColour::Green) {
        p = true;
    } else if (colour_ == FilterColour::Blue) {
        q = true;
    }
    return static_cast<uint8_t>((p ? 0x00 : 0x80) | (q ? 0x40 : 0x00));
}

}  // namespace axo::sim
