#pragma once

// Byte access to I/O ports, the only way the parallel interface reaches its boards. The real
// backends (ppdev, direct port I/O) and the simulated bus implement it; tests record through it.

#include <cstdint>
#include <string>

namespace axo {

class PortIo {
public:
    virtual ~PortIo() = default;

    // Reads one byte from an I/O address.
    virtual uint8_t In(uint16_t port) = 0;

    // Writes one byte to an I/O address.
    virtual void Out(uint16_t port, uint8_t value) = 0;

    // The base addresses of the two parallel ports: the command port first, the data port second.
    virtual void GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) = 0;

    // Brings both ports to a usable state (data lines driven, all low).
    virtual void ResetLPT() = 0;

    // Opens the backend's device the first time an interface in use needs it (the start of
    // that interface, code 1101), never earlier: until then the program has touched no
    // hardware. Later calls open only what is not open yet. Returns whether the ports are usable;
    // when not, UnavailableReason() says why.
    virtual bool EnsureOpen() { return true; }

    // Why the backend cannot reach its ports, in French for the operator; empty when it can
    // (or has not tried yet). A backend that could not open its device keeps answering (reads
    // give all lines high, writes go nowhere) so that the program keeps running.
    virtual std::string UnavailableReason() const { return {}; }

    // A line of protocol-level news (a board message) for backends that keep a trace.
    virtual void Note(const std::string& /*text*/) {}
};

}  // namespace axo
