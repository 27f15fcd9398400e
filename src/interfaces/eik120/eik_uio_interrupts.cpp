#include "interfaces/eik120/eik_uio_interrupts.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace axo {

UioInterruptLine::UioInterruptLine(std::string device, std::function<int()> open)
    : device_(std::move(device)), open_(std::move(open)) {
    if (!open_) {
        open_ = [this] { return ::open(device_.c_str(), O_RDWR | O_CLOEXEC); };
    }
}

UioInterruptLine::~UioInterruptLine() {
    Destroy();
}

void UioInterruptLine::SetIrq(int /*line*/, std::function<void()> handler) {
    Destroy();
    problem_.clear();
    const int fd = open_();
    if (fd < 0) {
        problem_ = "Le périphérique d'interruption " + device_ + " ne peut pas être ouvert : " + std::strerror(errno);
        return;
    }
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    if (stopFd_ < 0) {
        problem_ = std::string("Attente des interruptions impossible : ") + std::strerror(errno);
        ::close(fd);
        return;
    }
    fd_ = fd;
    handler_ = std::move(handler);
    thread_ = std::thread([this] { Run(); });
}

void UioInterruptLine::Control(int enable) {
    if (fd_ >= 0) {
        const int32_t value = enable;
        const ssize_t written = ::write(fd_, &value, sizeof value);
        (void)written;  // a device without irqcontrol keeps its line enabled: nothing to do
    }
}

void UioInterruptLine::Unmask() {
    unmasked_.store(true);
    Control(1);
}

void UioInterruptLine::Mask() {
    unmasked_.store(false);
    Control(0);
}

void UioInterruptLine::Run() {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return;  // the device went away: no more interrupts
        }
        if ((fds[0].revents & POLLIN) != 0) {
            uint32_t count = 0;
            if (::read(fd_, &count, sizeof count) != static_cast<ssize_t>(sizeof count)) {
                return;
            }
            if (unmasked_.load()) {
                handler_();
                Control(1);  // the kernel masked the line for us; take the next one
            }
        }
    }
}

void UioInterruptLine::Destroy() {
    unmasked_.store(false);
    if (thread_.joinable()) {
        const uint64_t one = 1;
        const ssize_t written = ::write(stopFd_, &one, sizeof one);
        (void)written;
        thread_.join();
    }
    handler_ = nullptr;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (stopFd_ >= 0) {
        ::close(stopFd_);
        stopFd_ = -1;
    }
}

}  // namespace axo
