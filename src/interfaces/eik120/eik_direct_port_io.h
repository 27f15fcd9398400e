#pragma once

// The card's six registers by direct port I/O (ioperm, inb, outb).
//
// Privileges: ioperm needs CAP_SYS_RAWIO, given to the executable (setcap cap_sys_rawio+p),
// never by running as root. GrantAccess() must run in the program's privileged phase, before
// every capability is dropped; the granted range then stays usable for the whole run.
//
// A base address changed later (in the card's configuration window) cannot be granted any
// more: ReachProblem() says so, the card's start refuses that address with its message, and
// the address is kept in the settings, so the next launch grants it.

#include <cstdint>
#include <string>

#include "interfaces/parallel/port_io.h"

namespace axo {

class EikDirectPortIo final : public PortIo {
public:
    static constexpr uint16_t kRegisterCount = 6;

    explicit EikDirectPortIo(uint16_t base) : base_(base) {}

    // Asks for the six registers at the base address. On failure UnavailableReason() tells
    // why; reads then give all ones and writes go nowhere (never a fault).
    bool GrantAccess();
    // The outcome of a grant made earlier by the program's privileged phase (the same ioperm,
    // done while the capability was still there).
    void SetAccess(bool granted, const std::string& reason) {
        granted_ = granted;
        reason_ = granted ? std::string() : reason;
    }
    bool Granted() const { return granted_; }
    uint16_t GrantedBase() const { return base_; }

    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;
    void GetAddressLPT(uint16_t& a, uint16_t& b) override { a = b = 0; }
    void ResetLPT() override {}
    std::string UnavailableReason() const override { return reason_; }

    // Empty when the registers at `base` were granted; otherwise why not, in French.
    std::string ReachProblem(uint16_t base) const;

private:
    bool InRange(uint16_t port) const { return granted_ && port >= base_ && port < base_ + kRegisterCount; }

    uint16_t base_;
    bool granted_ = false;
    std::string reason_ = "l'accès aux ports de la carte n'a pas été demandé au lancement";
};

// "0x358": the address as the messages show it.
std::string EikHexAddress(uint16_t address);

}  // namespace axo
