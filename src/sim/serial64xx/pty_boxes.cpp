#include "sim/serial64xx/pty_boxes.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/clock.h"

namespace axo::sim {

PtyBoxes::PtyBoxes(const BoxWiring& wiring, std::string linkDir) : wiring_(wiring), linkDir_(std::move(linkDir)) {
    ok_ = true;
    for (std::size_t i = 0; i < ptys_.size() && ok_; ++i) {
        ok_ = OpenPty(i);
    }
    if (ok_) {
        thread_ = std::thread([this] { Serve(); });
    }
}

std::string PtyBoxes::LinkPath(std::size_t i) const {
    return linkDir_ + "/ttyAxo" + std::to_string(i + 1);
}

bool PtyBoxes::OpenPty(std::size_t i) {
    Pty& p = ptys_[i];
    char name[128] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&p.master, &p.slave, name, &raw, nullptr) != 0) {
        return false;
    }
    p.path = name;
    ::fcntl(p.master, F_SETFL, ::fcntl(p.master, F_GETFL) | O_NONBLOCK);
    ::fcntl(p.master, F_SETFD, FD_CLOEXEC);
    ::fcntl(p.slave, F_SETFD, FD_CLOEXEC);
    if (!linkDir_.empty()) {
        // Made beside and renamed over, so that the path never names a half-made link.
        const std::string link = LinkPath(i);
        const std::string made = link + ".new";
        ::unlink(made.c_str());
        if (::symlink(name, made.c_str()) != 0 || ::rename(made.c_str(), link.c_str()) != 0) {
            ::close(p.master);
            ::close(p.slave);
            p.master = p.slave = -1;
            return false;
        }
    }
    return true;
}

PtyBoxes::~PtyBoxes() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    for (std::size_t i = 0; i < ptys_.size(); ++i) {
        if (ptys_[i].master >= 0) {
            ::close(ptys_[i].master);
        }
        if (ptys_[i].slave >= 0) {
            ::close(ptys_[i].slave);
        }
        if (!linkDir_.empty()) {
            ::unlink(LinkPath(i).c_str());
        }
    }
}

std::vector<std::string> PtyBoxes::DevicePaths() const {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < ptys_.size(); ++i) {
        paths.push_back(linkDir_.empty() ? ptys_[i].path : LinkPath(i));
    }
    return paths;
}

void PtyBoxes::VanishLine(int port) {
    if (port >= 1 && port <= SimulatedBoxes::kPorts) {
        vanish_ |= 1 << (port - 1);
    }
}

void PtyBoxes::ReplugLine(int port) {
    if (port >= 1 && port <= SimulatedBoxes::kPorts && !linkDir_.empty()) {
        replug_ |= 1 << (port - 1);
    }
}

void PtyBoxes::SetFault(BoxAxis axis, BoxFault fault) {
    (axis == BoxAxis::Alpha ? alphaFault_ : deltaFault_) = static_cast<int>(fault);
}

int PtyBoxes::Commands(BoxAxis axis) const {
    return axis == BoxAxis::Alpha ? alphaCommands_.load() : deltaCommands_.load();
}

void PtyBoxes::Serve() {
    // Everything the boxes are lives on this thread.
    RealClock clock;
    Observatory observatory(clock);
    SimulatedBoxes boxes(observatory, wiring_);
    for (int port = 1; port <= SimulatedBoxes::kPorts; ++port) {
        boxes.sio_open(port);
        boxes.sio_ioctl(port, kSioBaud9600, kSioMode8N1);
    }
    // The slave sides stay open here too: a pty whose slave is closed by everybody makes the
    // master report a hang-up until someone opens it again.
    char buf[512];
    while (!stop_) {
        const int vanish = vanish_.exchange(0);
        const int replug = replug_.exchange(0);
        std::array<pollfd, SimulatedBoxes::kPorts> fds{};
        for (std::size_t i = 0; i < ptys_.size(); ++i) {
            if ((vanish & (1 << i)) != 0 && ptys_[i].master >= 0) {
                // Closing both sides we hold is the cable pulled out: the program's side
                // hangs up.
                ::close(ptys_[i].master);
                ::close(ptys_[i].slave);
                ptys_[i].master = -1;
                ptys_[i].slave = -1;
                if (!linkDir_.empty()) {
                    ::unlink(LinkPath(i).c_str());
                }
            }
            if ((replug & (1 << i)) != 0 && ptys_[i].master < 0 && !OpenPty(i)) {
                ptys_[i].master = ptys_[i].slave = -1;
            }
            fds[i] = pollfd{ptys_[i].master, POLLIN, 0};
        }
        boxes.AlphaBox().SetFault(static_cast<BoxFault>(alphaFault_.load()));
        boxes.DeltaBox().SetFault(static_cast<BoxFault>(deltaFault_.load()));
        ::poll(fds.data(), fds.size(), 5);
        for (std::size_t i = 0; i < ptys_.size(); ++i) {
            const int port = static_cast<int>(i) + 1;
            if (ptys_[i].master < 0) {
                continue;
            }
            if ((fds[i].revents & POLLIN) != 0) {
                const ssize_t n = ::read(ptys_[i].master, buf, sizeof buf);
                if (n > 0) {
                    boxes.sio_write(port, buf, static_cast<int>(n));
                }
            }
            const int32_t answer = boxes.sio_read(port, buf, static_cast<int>(sizeof buf));
            if (answer > 0) {
                ssize_t off = 0;
                while (off < answer) {
                    const ssize_t w = ::write(ptys_[i].master, buf + off, static_cast<std::size_t>(answer - off));
                    if (w <= 0) {
                        break;  // nobody reads: the answer is lost, as on a line nobody listens to
                    }
                    off += w;
                }
            }
        }
        observatory.Update();
        alphaCommands_ = boxes.AlphaBox().Commands();
        deltaCommands_ = boxes.DeltaBox().Commands();
        alphaSpeed_ = boxes.AlphaBox().StepsPerSecond();
    }
}

}  // namespace axo::sim
