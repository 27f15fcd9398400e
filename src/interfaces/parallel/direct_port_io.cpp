#include "interfaces/parallel/direct_port_io.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define AXO_HAVE_PORT_IO 1
#else
#define AXO_HAVE_PORT_IO 0
#endif

namespace axo {

void DirectPortIo::SetAccess(bool granted, std::string reason) {
    open_ = granted;
    reason_ = granted ? std::string() : std::move(reason);
}

bool DirectPortIo::EnsureOpen() {
    return open_;
}

bool DirectPortIo::Granted(uint16_t port) const {
    // Touching a port outside the granted ranges would kill the program with a fault.
    return open_ && ((port >= commandBase_ && port <= commandBase_ + 2) || (port >= dataBase_ && port <= dataBase_ + 2));
}

uint8_t DirectPortIo::In(uint16_t port) {
#if AXO_HAVE_PORT_IO
    if (Granted(port)) {
        return inb(port);
    }
#else
    (void)port;
#endif
    return 0xFF;
}

void DirectPortIo::Out(uint16_t port, uint8_t value) {
#if AXO_HAVE_PORT_IO
    if (Granted(port)) {
        outb(value, port);
    }
#else
    (void)port;
    (void)value;
#endif
}

void DirectPortIo::GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) {
    commandBase = commandBase_;
    dataBase = dataBase_;
}

void DirectPortIo::ResetLPT() {
    for (uint16_t base : {commandBase_, dataBase_}) {
        if (!Granted(base)) {
            continue;
        }
        // Forward direction (control bit 5 low), all data lines low.
        const uint8_t control = In(static_cast<uint16_t>(base + 2));
        Out(static_cast<uint16_t>(base + 2), static_cast<uint8_t>(control & ~0x20));
        Out(base, 0);
    }
}

}  // namespace axo
