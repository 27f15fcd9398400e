#include "interfaces/parallel/direct_port_io.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define AXO_HAVE_PORT_IO 1
#else
#define AXO_HAVE_PORT_IO 0
#endif

namespace axo {

namespace {

std::string Hex(uint16_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

bool GetCaps(__user_cap_header_struct& header, __user_cap_data_struct (&data)[2]) {
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    return syscall(SYS_capget, &header, data) == 0;
}

}  // namespace

bool RaiseRawIoCapability() {
    __user_cap_header_struct header{};
    __user_cap_data_struct data[2]{};
    if (!GetCaps(header, data)) {
        return false;
    }
    const unsigned bit = 1U << (CAP_SYS_RAWIO % 32);
    auto& word = data[CAP_SYS_RAWIO / 32];
    if ((word.permitted & bit) == 0) {
        return false;
    }
    word.effective |= bit;
    return syscall(SYS_capset, &header, data) == 0;
}

bool DropAllCapabilities() {
    __user_cap_header_struct header{};
    __user_cap_data_struct data[2]{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    return syscall(SYS_capset, &header, data) == 0;
}

bool DirectPortIo::Open() {
#if AXO_HAVE_PORT_IO
    RaiseRawIoCapability();
    for (uint16_t base : {commandBase_, dataBase_}) {
        if (ioperm(base, 3, 1) != 0) {
            const int err = errno;
            reason_ = "Accès direct aux ports " + Hex(base) + " refusé";
            reason_ += err == EPERM ? " : l'exécutable doit avoir la capacité CAP_SYS_RAWIO (setcap cap_sys_rawio+p)"
                                    : " : adresse hors de portée";
            open_ = false;
            return false;
        }
    }
    open_ = true;
    reason_.clear();
    return true;
#else
    reason_ = "L'accès direct aux ports n'existe pas sur cette machine : choisissez ppdev";
    return false;
#endif
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
