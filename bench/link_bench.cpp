// One planetarium client polling the position link as fast as it gets answers (":GR#:GD#"
// and both answers back, on the loopback), against the program's link server and against the
// bare responder of link_floor.h, with the argument's number of other clients connected and
// silent (what the server does per wake should not grow with them). Besides the round trip's wall time, `server_cpu_us` is the
// processor time the serving thread spent per round trip (its schedstat): the difference
// between the two is what the program adds to what any server pays the kernel.

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "link/server.h"
#include "support/loopback_client.h"
#include "link_floor.h"

namespace {

// Processor time, in nanoseconds, of this process's thread called `name` (-1: none).
int64_t ThreadCpuNs(const std::string& name) {
    DIR* dir = ::opendir("/proc/self/task");
    if (dir == nullptr) {
        return -1;
    }
    int64_t ns = -1;
    while (const dirent* e = ::readdir(dir)) {
        const std::string task = std::string("/proc/self/task/") + e->d_name;
        std::string comm;
        std::getline(std::ifstream(task + "/comm"), comm);
        if (comm == name) {
            std::ifstream(task + "/schedstat") >> ns;
            break;
        }
    }
    ::closedir(dir);
    return ns;
}

// Asks for the position and waits for both answers; false when the server is gone.
bool Poll(int fd) {
    if (::send(fd, ":GR#:GD#", 8, MSG_NOSIGNAL) != 8) {
        return false;
    }
    char buf[64];
    int hashes = 0;
    while (hashes < 2) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            return false;
        }
        for (ssize_t i = 0; i < n; ++i) {
            hashes += buf[i] == '#' ? 1 : 0;
        }
    }
    return true;
}

void RoundTrips(benchmark::State& state, uint16_t port, const std::string& thread) {
    std::vector<int> silent;
    for (int64_t i = 0; i < state.range(0); ++i) {
        silent.push_back(axo::test::ConnectLoopback(port));
    }
    struct Closer {
        std::vector<int>& fds;
        ~Closer() {
            for (const int fd : fds) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        }
    } closer{silent};
    const int fd = axo::test::ConnectLoopback(port);
    // The first answer also says that the serving thread runs under its name.
    if (fd < 0 || !Poll(fd)) {
        state.SkipWithError("no answer");
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    const int64_t cpu0 = ThreadCpuNs(thread);
    for (auto _ : state) {
        if (!Poll(fd)) {
            state.SkipWithError("no answer");
            break;
        }
    }
    const int64_t cpu1 = ThreadCpuNs(thread);
    ::close(fd);
    if (cpu0 >= 0 && cpu1 >= 0 && state.iterations() > 0) {
        state.counters["server_cpu_us"] =
            static_cast<double>(cpu1 - cpu0) / 1000.0 / static_cast<double>(state.iterations());
    }
}

void BM_LinkServerRoundTrip(benchmark::State& state) {
    axo::link::ServerConfig config;
    config.port = 0;
    axo::link::Server server(config);
    std::string error;
    if (!server.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    axo::link::Snapshot snap;
    snap.positionKnown = true;
    snap.raH = 12;
    snap.decD = 45;
    server.Publish(snap);
    RoundTrips(state, server.port(), "axo-link");
    server.Stop();
}
BENCHMARK(BM_LinkServerRoundTrip)->Arg(0)->Arg(49)->UseRealTime();

void BM_BareResponderRoundTrip(benchmark::State& state) {
    const int listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int stop[2] = {-1, -1};
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd, 16) != 0 ||
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || ::pipe(stop) != 0) {
        state.SkipWithError("listen");
        ::close(listenFd);
        return;
    }
    std::thread responder([&] {
        ::pthread_setname_np(::pthread_self(), "axo-bare");
        axo::bench::ServeFixedAnswers(listenFd, stop[0]);
    });
    RoundTrips(state, ntohs(addr.sin_port), "axo-bare");
    (void)::write(stop[1], "q", 1);
    responder.join();
    for (const int fd : {listenFd, stop[0], stop[1]}) {
        ::close(fd);
    }
}
BENCHMARK(BM_BareResponderRoundTrip)->Arg(0)->Arg(49)->UseRealTime();

}  // namespace
