#pragma once

// The parallel ports by direct port I/O (inb, outb), for machines without ppdev.
//
// Privileges: the ports must be granted with ioperm, which needs CAP_SYS_RAWIO. Give it to the
// executable, not to the user:
//     sudo setcap cap_sys_rawio+p /path/to/axo
// The grant is made once at start, before any thread exists, by the program's privileged step
// (app/privileges.h), which then drops every capability; this backend only learns the outcome.
// Never run Axo as root.

#include <cstdint>
#include <string>

#include "interfaces/parallel/port_io.h"

namespace axo {

class DirectPortIo final : public PortIo {
public:
    DirectPortIo(uint16_t commandBase, uint16_t dataBase) : commandBase_(commandBase), dataBase_(dataBase) {}

    // What the privileged step obtained for the three registers of both ports. Without a grant,
    // reads give all lines high and writes go nowhere (touching an ungranted port would fault).
    void SetAccess(bool granted, std::string reason);

    // The ports were granted (or not) at start: there is nothing left to open.
    bool EnsureOpen() override;
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
    std::string reason_ = "Accès direct aux ports non accordé au démarrage";
};

}  // namespace axo
