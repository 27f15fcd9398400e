#pragma once

// The TCP side of the position link: one thread that accepts planetarium programs, answers them
// from the last published snapshot and hands their control commands over as events. It never
// calls the core or a driver: the interface thread publishes the snapshot and drains the events.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/lx200.h"

namespace axo::link {

inline constexpr uint16_t kDefaultPort = 4030;

using LinkClock = std::chrono::steady_clock;

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
    // A client that has sent nothing for this long is hung up on (zero: never), so that
    // programs that connect and fall silent cannot hold every place. Planetariums poll the
    // position every second or so.
    std::chrono::milliseconds idleTimeout = std::chrono::seconds(300);
    // Lines about clients coming, leaving or cut off: at most this many per window, then one
    // line with how many more there were, so that a program reconnecting in a loop cannot push
    // every other message out of the list.
    int logLinesPerWindow = 6;
    std::chrono::milliseconds logWindow = std::chrono::seconds(10);
    // The link thread's clock; LinkClock::now when empty (tests set their own).
    std::function<LinkClock::time_point()> now;
};

struct Event {
    // Unlogged: the window of lines is over, `count` comings and goings were not written out.
    enum class Kind { Connected, Disconnected, Dropped, Rejected, Request, Unlogged };
    Kind kind = Kind::Connected;
    uint64_t client = 0;  // the client's number, never reused while the program runs
    std::string peer;     // address:port of the client
    std::string reason;
    Request request;
    // False when the line budget is spent: the event still counts (a client that leaves has
    // its moves stopped), only its line is left out.
    bool logged = true;
    std::size_t count = 0;
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
    // `always`: past the queue's bound too (the departure of a client that started moves).
    void Push(Event event, bool always = false);

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
