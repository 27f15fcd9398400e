#pragma once

// The parallel ports through the Linux ppdev driver (/dev/parportN, group lp): no privilege
// beyond membership of that group. Writes to base + 0 go to the data register, reads of
// base + 1 come from the status register; the base addresses are those the kernel reports in
// /proc/sys/dev/parport/parportN/base-addr.

#include <array>
#include <string>

#include "interfaces/parallel/port_io.h"

namespace axo {

class PpdevPortIo final : public PortIo {
public:
    PpdevPortIo(std::string commandDevice, std::string dataDevice);
    ~PpdevPortIo() override;
    PpdevPortIo(const PpdevPortIo&) = delete;
    PpdevPortIo& operator=(const PpdevPortIo&) = delete;

    // Opens and claims both ports, those not open yet. On failure UnavailableReason() tells
    // why, and the ports that could not be opened read all lines high and swallow writes.
    bool Open();
    bool EnsureOpen() override { return Open(); }

    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;
    void GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) override;
    void ResetLPT() override;
    std::string UnavailableReason() const override { return reason_; }

private:
    struct Port {
        std::string path;
        int fd = -1;
        uint16_t base = 0;
    };
    Port* Find(uint16_t address, uint16_t& offset);

    std::array<Port, 2> ports_;
    std::string reason_;
};

// The base address the kernel gives a ppdev device (parportN), or `fallback`.
uint16_t PpdevBaseAddress(const std::string& devicePath, uint16_t fallback);

// Why opening a device failed, in French, from errno.
std::string DeviceErrorText(const std::string& path, int error);

}  // namespace axo
