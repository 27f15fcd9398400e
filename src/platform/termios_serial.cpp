#include "platform/termios_serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace axo {

namespace {

// The card library's baud codes.
speed_t BaudOf(int code, bool& ok) {
    ok = true;
    switch (code) {
        case 0x00: return B50;
        case 0x01: return B75;
        case 0x02: return B110;
        case 0x03: return B134;
        case 0x04: return B150;
        case 0x05: return B300;
        case 0x06: return B600;
        case 0x07: return B1200;
        case 0x08: return B1800;
        case 0x09: return B2400;
        case 0x0A: return B4800;
        case 0x0C: return B9600;
        case 0x0D: return B19200;
        case 0x0E: return B38400;
        case 0x0F: return B57600;
        case 0x10: return B115200;
        default:
            ok = false;
            return B0;
    }
}

bool Gone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE || err == EBADF;
}

}  // namespace

TermiosSerial::TermiosSerial(std::vector<std::string> devicePaths) : paths_(std::move(devicePaths)) {}

TermiosSerial::~TermiosSerial() {
    for (const auto& [port, fd] : fds_) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
}

std::string TermiosSerial::DevicePath(int port) const {
    if (port < 1 || static_cast<std::size_t>(port) > paths_.size()) {
        return {};
    }
    return paths_[static_cast<std::size_t>(port - 1)];
}

std::string TermiosSerial::FailureDetail(int port) const {
    const auto it = details_.find(port);
    return it == details_.end() ? std::string() : it->second;
}

bool TermiosSerial::HeldElsewhere(int fd) const {
    struct stat mine {};
    if (::fstat(fd, &mine) != 0) {
        return false;
    }
    for (const auto& [port, held] : fds_) {
        struct stat other {};
        if (::fstat(held, &other) == 0 && other.st_rdev == mine.st_rdev) {
            return true;
        }
    }
    return false;
}

int TermiosSerial::Fd(int port) const {
    const auto it = fds_.find(port);
    return it == fds_.end() ? -1 : it->second;
}

int32_t TermiosSerial::Fail(int port, int32_t code, const std::string& why) {
    const std::string path = DevicePath(port);
    details_[port] = (path.empty() ? std::string("aucun périphérique") : path) + " : " + why;
    return code;
}

int32_t TermiosSerial::FailErrno(int port, int err, const std::string& what) {
    if (Gone(err)) {
        return Fail(port, SIO_BADPORT, what + " : la ligne a disparu (" + std::strerror(err) + ")");
    }
    return Fail(port, SIO_WIN32FAIL, what + " : " + std::strerror(err));
}

int32_t TermiosSerial::sio_open(int port) {
    details_.erase(port);
    if (Fd(port) >= 0) {
        return Fail(port, kSioInUse, "ligne déjà ouverte par ce programme");
    }
    const std::string path = DevicePath(port);
    if (path.empty()) {
        return Fail(port, SIO_BADPORT, "aucun périphérique configuré pour le port " + std::to_string(port) +
                                           " (hardware.ini, section [serial])");
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENODEV || err == ENXIO) {
            return Fail(port, SIO_BADPORT, "périphérique absent");
        }
        if (err == EACCES || err == EPERM) {
            return Fail(port, SIO_WIN32FAIL, "accès refusé (l'utilisateur doit être du groupe dialout)");
        }
        if (err == EBUSY) {
            return Fail(port, SIO_WIN32FAIL, "ligne déjà utilisée par un autre programme");
        }
        return Fail(port, SIO_WIN32FAIL, std::string("ouverture impossible : ") + std::strerror(err));
    }
    if (::isatty(fd) == 0) {
        ::close(fd);
        return Fail(port, SIO_BADPORT, "ce n'est pas une ligne série");
    }
    // The lock keeps out every program that locks too (and root, whom the exclusive mode lets
    // through); the exclusive mode keeps out every other user's program.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool ours = HeldElsewhere(fd);
        ::close(fd);
        return Fail(port, kSioInUse,
                    ours ? "ligne déjà ouverte par ce programme sous un autre numéro de port"
                         : "ligne déjà utilisée par un autre programme");
    }
    ::ioctl(fd, TIOCEXCL);
    fds_[port] = fd;
    return 0;
}

int32_t TermiosSerial::sio_ioctl(int port, int baud, int mode) {
    const int fd = Fd(port);
    if (fd < 0) {
        return Fail(port, SIO_BADPORT, "ligne non ouverte");
    }
    bool ok = false;
    const speed_t speed = BaudOf(baud, ok);
    // Mode: bits 0-1 data bits (5 to 8), bit 2 two stop bits, bits 3-5 parity (none, even, odd).
    const int parity = mode & 0x38;
    if (!ok || (mode & ~0x3F) != 0 || (parity != 0 && parity != 0x08 && parity != 0x10)) {
        return Fail(port, SIO_BADPARM, "paramètres de ligne non pris en charge");
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        return FailErrno(port, errno, "configuration");
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[mode & 3] | CLOCAL | CREAD;
    if ((mode & 0x04) != 0) {
        t.c_cflag |= CSTOPB;
    }
    if (parity == 0x08) {
        t.c_cflag |= PARENB;
    } else if (parity == 0x10) {
        t.c_cflag |= PARENB | PARODD;
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        return FailErrno(port, errno, "configuration");
    }
    ::tcflush(fd, TCIFLUSH);
    return 0;
}

int32_t TermiosSerial::sio_putch(int port, int ch) {
    const char c = static_cast<char>(ch);
    const int32_t r = sio_write(port, &c, 1);
    return r < 0 ? r : 0;
}

int32_t TermiosSerial::sio_write(int port, const char* buf, int len) {
    const int fd = Fd(port);
    if (fd < 0) {
        return Fail(port, SIO_BADPORT, "ligne non ouverte");
    }
    if (len < 0 || (len > 0 && buf == nullptr)) {
        return Fail(port, SIO_BADPARM, "écriture : paramètre incorrect");
    }
    int done = 0;
    while (done < len) {
        const ssize_t n = ::write(fd, buf + done, static_cast<std::size_t>(len - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        const int err = n < 0 ? errno : EAGAIN;
        if (err == EINTR) {
            continue;
        }
        if (err != EAGAIN) {
            return FailErrno(port, err, "écriture");
        }
        // The output queue is full: at 9600 baud it drains a byte a millisecond.
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, kWriteTimeoutMs);
        if (ready == 0) {
            return Fail(port, SIO_NODATA, "écriture impossible, la ligne n'émet plus");
        }
        if (ready < 0 && errno != EINTR) {
            return FailErrno(port, errno, "écriture");
        }
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return Fail(port, SIO_BADPORT, "écriture : la ligne a disparu");
        }
    }
    return done;
}

int32_t TermiosSerial::sio_read(int port, char* buf, int len) {
    const int fd = Fd(port);
    if (fd < 0) {
        return Fail(port, SIO_BADPORT, "ligne non ouverte");
    }
    if (len <= 0 || buf == nullptr) {
        return Fail(port, SIO_BADPARM, "lecture : paramètre incorrect");
    }
    for (;;) {
        const ssize_t n = ::read(fd, buf, static_cast<std::size_t>(len));
        if (n > 0) {
            return static_cast<int32_t>(n);
        }
        const int err = n < 0 ? errno : 0;
        if (err == EINTR) {
            continue;
        }
        if (err != 0 && err != EAGAIN) {
            return FailErrno(port, err, "lecture");
        }
        // Nothing waiting; a line that hung up says nothing either, so ask.
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return Fail(port, SIO_BADPORT, "lecture : la ligne a disparu");
        }
        return 0;
    }
}

int32_t TermiosSerial::sio_flush(int port, int func) {
    const int fd = Fd(port);
    if (fd < 0) {
        return Fail(port, SIO_BADPORT, "ligne non ouverte");
    }
    int queue = TCIFLUSH;
    if (func == kSioFlushOutput) {
        queue = TCOFLUSH;
    } else if (func == kSioFlushBoth) {
        queue = TCIOFLUSH;
    } else if (func != kSioFlushInput) {
        return Fail(port, SIO_BADPARM, "vidage : paramètre incorrect");
    }
    if (::tcflush(fd, queue) != 0) {
        return FailErrno(port, errno, "vidage");
    }
    return 0;
}

int32_t TermiosSerial::sio_close(int port) {
    const int fd = Fd(port);
    if (fd < 0) {
        return Fail(port, SIO_BADPORT, "ligne non ouverte");
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
    fds_.erase(port);
    return 0;
}

}  // namespace axo
