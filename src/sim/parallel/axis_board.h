#pragma once

// A simulated axis board (Alpha or Delta): it counts the coder of its mount axis, keeps the
// reference position the host loads, answers position reads nibble by nibble, takes the count
// variable, searches the coder's zero and puts message codes on the lines.
//
// What it drives on the input lines (value 0..47): 0x20 when idle and ready; during a transfer
// the acknowledge (bit 4) toggles after each strobe; a message is its code alone (0..15).

#include <array>
#include <cstdint>
#include <vector>

#include "sim/observatory/mount.h"

namespace axo::sim {

enum class Axis { Alpha, Delta };

class AxisBoard {
public:
    AxisBoard(Axis axis, const Mount& mount) : axis_(axis), mount_(mount) {}

    // The board's address was strobed with a data dibit.
    void Strobe(uint8_t dibit);
    // The reset line pulsed with this board's code: the transfer in progress and any message
    // are dropped; the reference position is kept (it lives in the board's non-volatile memory).
    void Reset();
    // Follows the mount for the zero search.
    void Advance();

    uint8_t Output() const;
    bool InTransfer() const { return state_ != State::Idle && state_ != State::Message; }
    bool HasMessage() const { return state_ == State::Message; }

    // The position the board would send now: hours (Alpha) or signed degrees (Delta).
    double Reading() const;
    double CountVariable() const { return count_; }
    int Transfers() const { return transfers_; }

    // Messages, by axis: position reset, search stopped, pre-positioning too far.
    uint8_t PositionResetCode() const { return axis_ == Axis::Alpha ? 5 : 10; }
    uint8_t SearchStoppedCode() const { return axis_ == Axis::Alpha ? 6 : 11; }
    uint8_t TooFarCode() const { return axis_ == Axis::Alpha ? 7 : 12; }

private:
    enum class State { Idle, Reading, Writing, Searching, ZeroFound, Message };

    double Raw() const;  // the coder: hours or degrees of the axis
    void StartRead();
    void StartWrite(uint8_t command);
    void FinishWrite();
    void StartSearch();
    void Post(uint8_t code);

    Axis axis_;
    const Mount& mount_;
    State state_ = State::Idle;
    bool prefixOne_ = false;  // a dibit 1 announces the zero command (1 then 0)
    bool ack_ = false;
    uint8_t message_ = 0;
    std::array<uint8_t, 6> nibbles_{};
    int readIndex_ = 0;
    uint8_t writeCommand_ = 0;
    std::size_t writeLength_ = 0;
    std::vector<uint8_t> dibits_;
    double offset_ = 0.0;       // reading = raw + offset
    double count_ = 0.0;        // the count variable last loaded
    double searchTarget_ = 0;   // unwrapped axis angle of the coder's index, in degrees
    double searchLimit_ = 0;    // going back past this is giving up
    int transfers_ = 0;
};

}  // namespace axo::sim
