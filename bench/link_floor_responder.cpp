// The least a position server can do for a planetarium poll, to set the program's link against:
// one thread, one epoll set, each ":GR#" answered with a fixed right ascension and each ":GD#"
// with a fixed declination, no snapshot, no session, no events. Under the same clients,
// scripts/link-load-test --floor measures this process's processor use: what the kernel's
// loopback TCP, the wake-ups and the calls cost any server, whatever it does with the bytes.
//
// Usage: axo_link_floor PORT   (prints "listening PORT" once it accepts connections)

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PORT\n", argv[0]);
        return 2;
    }
    const int listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd, 64) != 0) {
        std::perror("bind");
        return 1;
    }
    const int ep = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = listenFd;
    ::epoll_ctl(ep, EPOLL_CTL_ADD, listenFd, &ev);
    std::printf("listening %s\n", argv[1]);
    std::fflush(stdout);

    std::array<epoll_event, 64> ready{};
    std::array<char, 512> buf{};
    std::string out;
    for (;;) {
        const int n = ::epoll_wait(ep, ready.data(), static_cast<int>(ready.size()), -1);
        for (int k = 0; k < n; ++k) {
            const int fd = ready[static_cast<std::size_t>(k)].data.fd;
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
            // The letter before each '#' says which answer: a command split across two reads
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
