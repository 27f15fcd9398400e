#pragma once

// The simulated three-position filter wheel behind the filter latch. It turns red -> green ->
// blue -> red: a latch byte of 0 steps it forward, 2 steps it back, each step taking half a
// second; 0xFF is idle. Its two position inputs read red = p and q low, green = p high,
// blue = q high, both high while it is between positions. p is the data port's BUSY line
// (status bit 7, read inverted by the port), q its ACK line (status bit 6).

#include <cstdint>

namespace axo::sim {

enum class FilterColour { Red = 0, Green = 1, Blue = 2 };

class FilterWheel {
public:
    void Latch(uint8_t byte);
    void Advance(double seconds);

    FilterColour Colour() const { return colour_; }
    bool Moving() const { return stepLeft_ > 0; }
    int Steps() const { return steps_; }

    // Bits 7 and 6 of the data port's status register as the port shows them.
    uint8_t StatusBits() const;

    static constexpr double kStepSeconds = 0.5;

private:
    FilterColour colour_ = FilterColour::Red;
    uint8_t latch_ = 0xFF;
    double stepLeft_ = 0.0;
    int pendingStep_ = 0;
    int steps_ = 0;
};

}  // namespace axo::sim
