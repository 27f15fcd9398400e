#pragma once

// The parallel ports by direct port I/O (ioperm, inb, outb), for machines without ppdev.
//
// Privileges: ioperm needs CAP_SYS_RAWIO. Give it to the executable, not to the user:
//     sudo setcap cap_sys_rawio+p /path/to/axo
// The program raises it only to open the port ranges, then drops every capability before its
// first window (DropAllCapabilities); the granted ranges stay usable. Never run Axo as root.

#include <cstdint>
#include <string>

#include "interfaces/parallel/port_io.h"

namespace axo {

class DirectPortIo final : public PortIo {
public:
    DirectPortIo(uint16_t commandBase, uint16_t dataBase) : commandBase_(commandBase), dataBase_(dataBase) {}

    // Asks for the three registers of each port. On failure UnavailableReason() tells why;
    // reads then give all lines high and writes go nowhere (never a fault).
    bool Open();

    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;
    void GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) override;
    void ResetLPT() override;
    std::string UnavailableReason() const override { return reason_; }

private:
    bool Granted(uint16_t port) const;

    uint16_t commandBase_;
    uint16_t dataBase_;
    bool open_ = false;
    std::string reason_;
};

// Moves CAP_SYS_RAWIO from the permitted to the effective set, when the executable has it.
bool RaiseRawIoCapability();

// Clears the effective, permitted and inheritable capability sets. Returns false on failure.
bool DropAllCapabilities();

}  // namespace axo
