#pragma once

// The least a position server can do for a planetarium poll, to set the program's link against:
// one thread, one epoll set, each ":GR#" answered with a fixed right ascension and each ":GD#"
// with a fixed declination, no snapshot, no session, no events. What it costs is what the
// kernel's loopback TCP, the wake-ups and the calls cost any server, whatever it does with the
// bytes (on the loopback the kernel charges the delivery of an answer to its sender).

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <string>

namespace axo::bench {

// Serves `listenFd` (listening, non-blocking) until `stopFd` (-1: never) becomes readable.
inline void ServeFixedAnswers(int listenFd, int stopFd) {
    const int ep = ::epoll_create1(EPOLL_CLOEXEC);
    for (const int fd : {listenFd, stopFd}) {
        if (fd >= 0) {
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.fd = fd;
            ::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
        }
    }
    const int one = 1;
    std::array<epoll_event, 64> ready{};
    std::array<char, 512> buf{};
    std::string out;
    for (;;) {
        const int n = ::epoll_wait(ep, ready.data(), static_cast<int>(ready.size()), -1);
        for (int k = 0; k < n; ++k) {
            const int fd = ready[static_cast<std::size_t>(k)].data.fd;
            if (fd == stopFd) {
                ::close(ep);
                return;  // the clients' descriptors go with the process or the test's client
            }
            if (fd == listenFd) {
                const int c = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (c >= 0) {
                    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    epoll_event cev{};
                    cev.events = EPOLLIN;
                    cev.data.fd = c;
                    ::epoll_ctl(ep, EPOLL_CTL_ADD, c, &cev);
                }
                continue;
            }
            const ssize_t got = ::recv(fd, buf.data(), buf.size(), 0);
            if (got <= 0) {
                ::close(fd);
                continue;
            }
            // The letter before each '#' says which answer; a command split across two reads
            // may go unanswered, which the load test would count as a bad answer.
            out.clear();
            for (ssize_t i = 1; i < got; ++i) {
                if (buf[static_cast<std::size_t>(i)] == '#') {
                    const char what = buf[static_cast<std::size_t>(i - 1)];
                    out += what == 'R' ? "12:34:56#" : what == 'D' ? "+12*34:56#" : "";
                }
            }
            if (!out.empty()) {
                (void)::send(fd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
        }
    }
}

}  // namespace axo::bench
