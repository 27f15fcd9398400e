// The bare responder of link_floor.h as a program of its own, for scripts/link-load-test
// --floor: the same clients as against `axo --simulate`, and this process's processor use is
// the floor of any server under that load.
//
// Usage: axo_link_floor PORT   (prints "listening PORT" once it accepts connections)

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>

#include "link_floor.h"

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
    std::printf("listening %s\n", argv[1]);
    std::fflush(stdout);
    axo::bench::ServeFixedAnswers(listenFd, -1);
}
