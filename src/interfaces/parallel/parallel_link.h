#pragma once

// The lowest layer of the parallel interface: two parallel ports, one carrying a bus address,
// a two-bit data group and a reset line (the command port), the other a full byte for the
// output latches (the data port); replies come back on the status lines of both.
//
// Every operation blocks until done or timed out, on the user-interface thread, as the boards
// expect: a strobe is 4 ms, an acknowledge is awaited at most 0.1 s.

#include <cstdint>

#include "interfaces/parallel/port_io.h"
#include "platform/clock.h"

namespace axo {

// Bus addresses of the boards and latches.
enum BusAddress : uint8_t {
    kDomeBoard = 1,
    kAlphaBoard = 2,
    kDeltaBoard = 3,
    kAlphaLatch = 4,
    kDeltaLatch = 5,
    kFilterLatch = 6,
};

// PortSend modes.
enum SendMode : int16_t {
    kSendStrobe = 0,
    kSendData = 1,
    kSendLatch = 2,
};

// Longest wait for an acknowledge or a ready state.
constexpr float kAckTimeoutSeconds = 0.1F;

class ParallelLink {
public:
    ParallelLink(PortIo& io, Clock& clock) : io_(io), clock_(clock) {}

    // Asks the port layer for both base addresses; the status registers follow each base.
    void DetectPorts();
    void ResetPorts();

    // The single write primitive: mode 0 strobes (address OR bits) then leaves the bits on the
    // command port, mode 1 puts a byte on the data port, mode 2 does both for a latch. Any other
    // mode writes nothing.
    void PortSend(int16_t mode, uint8_t address, uint8_t bits, uint8_t data);

    // A strobe of a board with a data dibit (0..3).
    void Strobe(uint8_t address, uint8_t dibit) { PortSend(kSendStrobe, address, static_cast<uint8_t>(dibit << 4), 0); }

    // A latch write: the byte on the data port, then the latch's address strobed.
    void Latch(uint8_t address, uint8_t byte) { PortSend(kSendLatch, address, 0, byte); }

    // Writes the command port directly (reset sequence, dome read exchange).
    void WriteCommand(uint8_t byte);

    // Reads the command status, then the data status, and assembles the input value.
    uint8_t ReadInput();
    bool IsReady();

    // The data port's raw status register (the filter's position inputs live there).
    uint8_t ReadDataStatus();

    // Timed waits (0.1 s): true as soon as the condition holds, false after the time-out.
    bool WaitInputEqual(uint8_t expected);
    bool WaitInputMasked(uint8_t mask, uint8_t expected);
    bool WaitReadyClear();
    bool WaitReadySet();

    uint8_t InputValue() const { return inputValue_; }
    uint16_t CommandPort() const { return commandPort_; }
    uint16_t DataPort() const { return dataPort_; }
    uint16_t CommandStatusPort() const { return commandStatusPort_; }
    uint16_t DataStatusPort() const { return dataStatusPort_; }

    PortIo& Io() { return io_; }
    Clock& TheClock() { return clock_; }

private:
    template <typename Condition>
    bool TimedWait(Condition holds);

    PortIo& io_;
    Clock& clock_;
    uint16_t commandPort_ = 0;
    uint16_t dataPort_ = 0;
    uint16_t commandStatusPort_ = 1;
    uint16_t dataStatusPort_ = 1;
    uint8_t inputValue_ = 0;
};

}  // namespace axo
