#pragma once

// The serial library on POSIX terminals: MOXA port N is the device at devicePaths[N-1]
// (/dev/ttyS0, /dev/ttyUSB0, /dev/ttyMI0 ...). Lines are opened without becoming the
// controlling terminal, in raw mode, non-blocking, and for this program alone: the terminal
// is put in exclusive mode and locked, so a second program opening the same line is refused
// instead of interleaving its commands with ours, and so is a second open of a line we hold. Only the user-interface thread calls it.

#include <map>
#include <string>
#include <vector>

#include "platform/serial_library.h"

namespace axo {

class TermiosSerial final : public SerialLibrary {
public:
    explicit TermiosSerial(std::vector<std::string> devicePaths);
    ~TermiosSerial() override;
    TermiosSerial(const TermiosSerial&) = delete;
    TermiosSerial& operator=(const TermiosSerial&) = delete;

    int32_t sio_open(int port) override;
    int32_t sio_ioctl(int port, int baud, int mode) override;
    int32_t sio_putch(int port, int ch) override;
    int32_t sio_write(int port, const char* buf, int len) override;
    int32_t sio_read(int port, char* buf, int len) override;
    int32_t sio_flush(int port, int func) override;
    int32_t sio_close(int port) override;
    std::string FailureDetail(int port) const override;

    // The device of a port number, empty when none is configured.
    std::string DevicePath(int port) const;

    // How long a write waits for room in the output queue before it gives up.
    static constexpr int kWriteTimeoutMs = 2000;

private:
    int Fd(int port) const;
    // Whether one of our own lines is the device `fd` was opened on (two port numbers, one line).
    bool HeldElsewhere(int fd) const;
    int32_t Fail(int port, int32_t code, const std::string& why);
    int32_t FailErrno(int port, int err, const std::string& what);

    std::vector<std::string> paths_;
    std::map<int, int> fds_;
    std::map<int, std::string> details_;
};

}  // namespace axo
