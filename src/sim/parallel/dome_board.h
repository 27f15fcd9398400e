#pragma once

// The simulated dome board. It counts the dome's position in 250 steps per turn (count 0 at the
// index mark, azimuth 180 degrees), turns the dome on command, finds the index on
// initialisation, and reports with message codes:
//   1 stopped on the zero position (end of initialisation), 2 initialisation stopped by the
//   host, 3 rotation problem (the dome does not move), 4 rotation too long.
//
// Dibits after a strobe of its address, when idle: 0 read the count, 1 stop, 2 then 1 or 2
// rotate in direction 1 or 2, 3 then 3 initialise, 3 then 0 then four data dibits then 0 load
// the count. A read shows the high nibble with the acknowledge set, the low nibble once the
// host puts 3 on the dibit lines (no address), and ready again when it puts 0.

#include <cstdint>

#include "sim/observatory/dome.h"

namespace axo::sim {

class DomeBoard {
public:
    explicit DomeBoard(Dome& dome) : dome_(dome) {}

    void Strobe(uint8_t dibit);
    // Every write of the command port: the dibit lines, whatever the address.
    void OnLines(uint8_t dibit);
    void Reset();
    void Advance(double seconds);

    uint8_t Output() const;
    bool InTransfer() const { return state_ != State::Idle && state_ != State::Message; }
    bool HasMessage() const { return state_ == State::Message; }

    int Count() const;  // 0..249
    bool Initialising() const { return initialising_; }

    // Longest rotation before the board gives up, and how long a stalled dome is tolerated.
    static constexpr double kMaxRotationSeconds = 180.0;
    static constexpr double kStallSeconds = 2.0;

private:
    enum class State { Idle, RotatePending, Setup, Load, LoadEnd, ReadHigh, ReadLow, Message };

    int PhysicalCount() const;
    void StartRotation(int direction);
    void StopRotation();
    void Post(uint8_t code);
    void ToIdle();

    Dome& dome_;
    State state_ = State::Idle;
    uint8_t message_ = 0;
    uint8_t deferred_ = 0;
    int offset_ = 0;  // count = physical + offset (mod 250)
    uint8_t loadByte_ = 0;
    int loadDibits_ = 0;
    uint8_t readCount_ = 0;
    bool initialising_ = false;
    double rotatingFor_ = 0.0;
    double stalledFor_ = 0.0;
};

}  // namespace axo::sim
