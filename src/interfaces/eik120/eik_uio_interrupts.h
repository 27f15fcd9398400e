#pragma once

// The card's interrupt through a Linux UIO device (/dev/uioN, named in hardware.ini, section
// [eik120], key uio_device). The kernel's UIO driver owns the interrupt line; a thread of ours
// blocks on the device, and each read that returns (one interrupt) calls the handler, then
// re-enables the interrupt by writing 1 (the UIO irqcontrol convention). The line number the
// settings give is checked by the driver but the device decides which line it serves.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "interfaces/eik120/eik_interrupts.h"

namespace axo {

class UioInterruptLine final : public EikInterruptLine {
public:
    // `open` gives a descriptor for the device (negative with errno set on failure); the
    // default opens `device` read-write. Tests hand in one end of a socket pair.
    explicit UioInterruptLine(std::string device, std::function<int()> open = {});
    ~UioInterruptLine() override;
    UioInterruptLine(const UioInterruptLine&) = delete;
    UioInterruptLine& operator=(const UioInterruptLine&) = delete;

    void SetIrq(int line, std::function<void()> handler) override;
    bool IsIrqSet() const override { return fd_ >= 0; }
    void Unmask() override;
    void Mask() override;
    void Destroy() override;
    std::string Problem() const override { return problem_; }

private:
    void Run();
    void Control(int enable);

    std::string device_;
    std::function<int()> open_;
    std::function<void()> handler_;  // set before the thread starts, cleared after it ends
    int fd_ = -1;
    int stopFd_ = -1;
    std::atomic<bool> unmasked_{false};
    std::thread thread_;
    std::string problem_;
};

}  // namespace axo
