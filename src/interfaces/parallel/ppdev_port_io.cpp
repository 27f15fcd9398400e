#include "interfaces/parallel/ppdev_port_io.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace axo {

uint16_t PpdevBaseAddress(const std::string& devicePath, uint16_t fallback) {
    const std::string name = std::filesystem::path(devicePath).filename().string();
    std::ifstream in("/proc/sys/dev/parport/" + name + "/base-addr");
    unsigned long base = 0;
    if (in >> base && base > 0 && base < 0xFFFE) {
        return static_cast<uint16_t>(base);
    }
    return fallback;
}

std::string DeviceErrorText(const std::string& path, int error) {
    std::string why;
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            why = "le port n'existe pas (module ppdev chargé ?)";
            break;
        case EACCES:
        case EPERM:
            why = "accès refusé (l'utilisateur doit appartenir au groupe lp)";
            break;
        case EBUSY:
            why = "le port est utilisé par un autre programme";
            break;
        default:
            why = std::strerror(error);
            break;
    }
    return "Impossible d'ouvrir " + path + " : " + why;
}

PpdevPortIo::PpdevPortIo(std::string commandDevice, std::string dataDevice) {
    ports_[0].path = std::move(commandDevice);
    ports_[1].path = std::move(dataDevice);
    ports_[0].base = PpdevBaseAddress(ports_[0].path, 0x378);
    ports_[1].base = PpdevBaseAddress(ports_[1].path, 0x278);
    if (ports_[1].base == ports_[0].base) {
        ports_[1].base = static_cast<uint16_t>(ports_[0].base + 0x10);  // the layers above need two addresses
    }
}

PpdevPortIo::~PpdevPortIo() {
    for (Port& p : ports_) {
        if (p.fd >= 0) {
            ioctl(p.fd, PPRELEASE);
            close(p.fd);
        }
    }
}

bool PpdevPortIo::Open() {
    reason_.clear();
    for (Port& p : ports_) {
        if (p.fd >= 0) {
            continue;
        }
        const int fd = ::open(p.path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            reason_ += (reason_.empty() ? "" : "\n") + DeviceErrorText(p.path, err);
            continue;
        }
        if (ioctl(fd, PPCLAIM) != 0) {
            const int err = errno;
            close(fd);
            reason_ += (reason_.empty() ? "" : "\n") + DeviceErrorText(p.path, err);
            continue;
        }
        p.fd = fd;
    }
    return reason_.empty();
}

PpdevPortIo::Port* PpdevPortIo::Find(uint16_t address, uint16_t& offset) {
    for (Port& p : ports_) {
        if (address >= p.base && address <= p.base + 2) {
            offset = static_cast<uint16_t>(address - p.base);
            return &p;
        }
    }
    return nullptr;
}

uint8_t PpdevPortIo::In(uint16_t port) {
    uint16_t offset = 0;
    Port* p = Find(port, offset);
    unsigned char value = 0xFF;
    if (p == nullptr || p->fd < 0) {
        return value;
    }
    const unsigned long request = offset == 0 ? PPRDATA : offset == 1 ? PPRSTATUS : PPRCONTROL;
    if (ioctl(p->fd, request, &value) != 0) {
        return 0xFF;
    }
    return value;
}

void PpdevPortIo::Out(uint16_t port, uint8_t value) {
    uint16_t offset = 0;
    Port* p = Find(port, offset);
    if (p == nullptr || p->fd < 0 || offset == 1) {
        return;  // the status register is read-only
    }
    unsigned char byte = value;
    ioctl(p->fd, offset == 0 ? PPWDATA : PPWCONTROL, &byte);
}

void PpdevPortIo::GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) {
    commandBase = ports_[0].base;
    dataBase = ports_[1].base;
}

void PpdevPortIo::ResetLPT() {
    for (Port& p : ports_) {
        if (p.fd < 0) {
            continue;
        }
        int forward = 0;  // data lines driven by the PC
        ioctl(p.fd, PPDATADIR, &forward);
        unsigned char zero = 0;
        ioctl(p.fd, PPWDATA, &zero);
    }
}

}  // namespace axo
