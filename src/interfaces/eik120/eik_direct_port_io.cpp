#include "interfaces/eik120/eik_direct_port_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "interfaces/parallel/direct_port_io.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define AXO_EIK_PORT_IO 1
#else
#define AXO_EIK_PORT_IO 0
#endif

namespace axo {

std::string EikHexAddress(uint16_t address) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", address);
    return buf;
}

bool EikDirectPortIo::GrantAccess() {
#if AXO_EIK_PORT_IO
    if (ioperm(base_, kRegisterCount, 1) != 0) {
        const int err = errno;
        reason_ = "Accès direct aux ports " + EikHexAddress(base_) + " refusé";
        if (err == EPERM) {
            reason_ += " : l'exécutable doit avoir la capacité CAP_SYS_RAWIO (setcap cap_sys_rawio+p)";
        } else if (err == EINVAL) {
            reason_ += " : adresse hors de portée";
        } else {
            // A virtual machine or a container may offer no port I/O at all.
            reason_ += std::string(" : ") + std::strerror(err);
        }
        granted_ = false;
        return false;
    }
    granted_ = true;
    reason_.clear();
    return true;
#else
    reason_ = "L'accès direct aux ports n'existe pas sur cette machine";
    return false;
#endif
}

std::string EikDirectPortIo::ReachProblem(uint16_t base) const {
    if (!granted_ || base == base_) {
        return {};  // a backend that was never granted says so through UnavailableReason()
    }
    return "L'adresse de base " + EikHexAddress(base) + " n'était pas celle du lancement (" + EikHexAddress(base_) +
           ") : elle sera prise en compte au prochain démarrage d'Axo";
}

uint8_t EikDirectPortIo::In(uint16_t port) {
#if AXO_EIK_PORT_IO
    if (InRange(port)) {
        return inb(port);
    }
#else
    (void)port;
#endif
    // Outside the granted range a port access would kill the program with a fault.
    return 0xFF;
}

void EikDirectPortIo::Out(uint16_t port, uint8_t value) {
#if AXO_EIK_PORT_IO
    if (InRange(port)) {
        outb(value, port);
    }
#else
    (void)port;
    (void)value;
#endif
}

}  // namespace axo
