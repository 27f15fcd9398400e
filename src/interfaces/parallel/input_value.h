#pragma once

// The input value of the parallel bus, assembled from the status registers of both ports.
//
// Bits 0-3 carry a data nibble (or a board message code), bit 4 the acknowledge and bit 5 the
// ready state. The command port's status bits 3..7 (ERROR, SELECT, PAPER END, ACK, BUSY) map
// onto bits 0..4 once BUSY (read inverted by the port) is corrected; the data port's SELECT
// line is then *added* with weight 16, so BUSY and SELECT both high carry into bit 5.

#include <cstdint>

namespace axo {

constexpr uint8_t kInputAck = 0x10;
constexpr uint8_t kInputReady = 0x20;
constexpr uint8_t kInputNibble = 0x0F;

// Status register bit 4 (SELECT) and the inversion of BUSY (bit 7).
constexpr uint8_t kStatusSelect = 0x10;
constexpr uint8_t kStatusBusyInverted = 0x80;

inline uint8_t AssembleInputValue(uint8_t commandStatus, uint8_t dataStatus) {
    const auto high = static_cast<uint8_t>(static_cast<uint8_t>(commandStatus ^ kStatusBusyInverted) >> 3);
    return static_cast<uint8_t>(high + (dataStatus & kStatusSelect));
}

// The line levels a bus must present for `value` (0..47). Bit 5 can only come from the carry,
// so a ready value drives BUSY and SELECT together; an acknowledge drives BUSY alone. The
// reserved low bits of the command status and the other data-status bits are left to the
// caller (`commandLowBits`, `dataOtherBits`).
inline void StatusForInput(uint8_t value, uint8_t& commandStatus, uint8_t& dataStatus, uint8_t commandLowBits = 0,
                           uint8_t dataOtherBits = 0) {
    uint8_t lines = value & 0x1F;  // nibble and BUSY
    bool select = false;
    if ((value & kInputReady) != 0) {
        lines = static_cast<uint8_t>((value & kInputNibble) | 0x10);
        select = true;
    }
    commandStatus = static_cast<uint8_t>((static_cast<uint8_t>(lines << 3) ^ kStatusBusyInverted) | (commandLowBits & 0x07));
    dataStatus = static_cast<uint8_t>((dataOtherBits & ~kStatusSelect) | (select ? kStatusSelect : 0));
}

}  // namespace axo
