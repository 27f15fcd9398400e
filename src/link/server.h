#pragma once

// The TCP side of the position link: one thread that accepts planetarium programs, answers them
// from the last published snapshot and hands their control commands over as events. It never
// calls the core or a driver: the interface thread publishes the snapshot and drains the events.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/lx200.h"

namespace axo::link {

inline constexpr uint16_t kDefaultPort = 4030;

struct ServerConfig {
    std::string address = "127.0.0.1";
    uint16_t port = kDefaultPort;  // 0: any free port (tests)
    bool control = false;
    std::size_t maxClients = 64;
    std::size_t maxPendingOutput = 4096;  // a client that stops reading is dropped past this
    // The kernel's send buffer of each client (0: the kernel's own, which grows to megabytes):
    // what a client that stops reading can hold up before it is dropped. Answers to a
    // planetarium's polls are tens of bytes.
    int sendBuffer = 64 * 1024;
    std::size_t maxEvents = 1024;         // events the interface thread has not taken yet
};

struct Event {
    enum class Kind { Connected, Disconnected, Dropped, Rejected, Request };
    Kind kind = Kind::Connected;
    std::string peer;  // address:port of the client
    std::string reason;
    Request request;
};

class Server {
public:
    explicit Server(ServerConfig config);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds, listens and starts the thread. False with a French reason when it cannot.
    bool Start(std::string& error);
    void Stop();

    uint16_t port() const { return boundPort_; }
    const ServerConfig& config() const { return config_; }

    // From the interface thread.
    void Publish(const Snapshot& snapshot);
    std::vector<Event> TakeEvents();
    std::size_t clientCount() const { return clients_.load(); }
    // Events that did not fit the queue (the interface thread was not draining it).
    std::size_t lostEvents() const { return lost_.load(); }

private:
    void Run();
    void Push(Event event);

    ServerConfig config_;
    int listenFd_ = -1;
    int epollFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    uint16_t boundPort_ = 0;
    std::thread thread_;

    mutable std::mutex mutex_;
    Snapshot snapshot_;
    // Bumped (under the mutex) when a published snapshot differs from the last one, so that
    // the link thread copies it once per change rather than once per request.
    std::atomic<uint64_t> generation_{0};
    std::deque<Event> events_;
    std::atomic<std::size_t> clients_{0};
    std::atomic<std::size_t> lost_{0};
};

}  // namespace axo::link
