#include "link/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

namespace axo::link {

namespace {

bool NonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string PeerName(const sockaddr_in& a) {
    char buf[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a.sin_addr, buf, sizeof buf);
    return std::string(buf) + ":" + std::to_string(ntohs(a.sin_port));
}

// Numbers clients across every server of the program, so that a departure can never be taken
// for another client's.
std::atomic<uint64_t> nextClient{1};

struct Client {
    int fd = -1;
    uint64_t id = 0;
    std::string peer;
    Session session;
    std::string out;
    std::size_t index = 0;         // in the thread's list of clients
    bool watchingOutput = false;   // registered for EPOLLOUT: answers wait for room
    bool moved = false;            // has asked for a move: its departure must reach the interface thread
    LinkClock::time_point heard;   // when it last sent something
    Client(int f, std::string p, bool control, LinkClock::time_point now)
        : fd(f), id(nextClient++), peer(std::move(p)), session(control), heard(now) {}
};

// How many lines about clients coming and going the current window has left. A window opens
// with its first line; when it is over, the lines it held back are told as one.
class LineBudget {
public:
    LineBudget(int perWindow, std::chrono::milliseconds window) : perWindow_(perWindow), window_(window) {}

    bool Allow(LinkClock::time_point now) {
        if (!open_ || now >= start_ + window_) {
            open_ = true;
            start_ = now;
            used_ = 0;
        }
        if (used_ < perWindow_) {
            ++used_;
            return true;
        }
        ++held_;
        return false;
    }
    // When the lines held back are due to be told.
    std::optional<LinkClock::time_point> Due() const {
        return held_ > 0 ? std::optional(start_ + window_) : std::nullopt;
    }
    // The lines held back by a window that is over (0 when none).
    std::size_t TakeHeld(LinkClock::time_point now) {
        if (held_ == 0 || now < start_ + window_) {
            return 0;
        }
        open_ = false;
        return std::exchange(held_, 0);
    }

private:
    int perWindow_;
    std::chrono::milliseconds window_;
    bool open_ = false;
    LinkClock::time_point start_{};
    int used_ = 0;
    std::size_t held_ = 0;
};

std::string Duration(std::chrono::milliseconds d) {
    return d.count() % 1000 == 0 ? std::to_string(d.count() / 1000) + " s" : std::to_string(d.count()) + " ms";
}

// Tags of the two descriptors that are not clients, in the epoll data.
char wakeTag;
char listenTag;

bool Watch(int epollFd, int op, int fd, uint32_t events, void* tag) {
    epoll_event ev{};
    ev.events = events;
    ev.data.ptr = tag;
    return ::epoll_ctl(epollFd, op, fd, &ev) == 0;
}

}  // namespace

Server::Server(ServerConfig config) : config_(std::move(config)) {}

Server::~Server() {
    Stop();
}

bool Server::Start(std::string& error) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(config_.port);
    if (::inet_pton(AF_INET, config_.address.c_str(), &addr.sin_addr) != 1) {
        error = "adresse du lien incorrecte : " + config_.address;
        return false;
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::string("socket : ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 16) != 0 ||
        !NonBlocking(listenFd_)) {
        error = config_.address + ":" + std::to_string(config_.port) + " : " + std::strerror(errno);
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    boundPort_ = ntohs(addr.sin_port);
    if (::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe : ") + std::strerror(errno);
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    // One epoll set for the thread's whole life: each wake costs the descriptors that are
    // ready, not a scan of every client.
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (epollFd_ < 0 || !Watch(epollFd_, EPOLL_CTL_ADD, wakeFds_[0], EPOLLIN, &wakeTag) ||
        !Watch(epollFd_, EPOLL_CTL_ADD, listenFd_, EPOLLIN, &listenTag)) {
        error = std::string("epoll : ") + std::strerror(errno);
        for (int* fd : {&listenFd_, &epollFd_, &wakeFds_[0], &wakeFds_[1]}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
        return false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void Server::Stop() {
    if (thread_.joinable()) {
        const char byte = 'q';
        const ssize_t n = ::write(wakeFds_[1], &byte, 1);
        (void)n;
        thread_.join();
    }
    for (int* fd : {&listenFd_, &epollFd_, &wakeFds_[0], &wakeFds_[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void Server::Publish(const Snapshot& snapshot) {
    std::lock_guard lock(mutex_);
    if (snapshot == snapshot_) {
        return;
    }
    snapshot_ = snapshot;
    generation_.fetch_add(1, std::memory_order_release);
}

std::vector<Event> Server::TakeEvents() {
    std::lock_guard lock(mutex_);
    std::vector<Event> taken(std::make_move_iterator(events_.begin()), std::make_move_iterator(events_.end()));
    events_.clear();
    return taken;
}

void Server::Push(Event event, bool always) {
    std::lock_guard lock(mutex_);
    if (events_.size() >= config_.maxEvents && !always) {
        ++lost_;
        return;
    }
    events_.push_back(std::move(event));
}

void Server::Run() {
    ::pthread_setname_np(::pthread_self(), "axo-link");  // to tell its processor use apart
    std::vector<std::unique_ptr<Client>> clients;
    std::vector<Request> requests;
    std::array<epoll_event, 64> ready{};
    char buf[512];
    bool rejectedLogged = false;
    // The thread's own copy of the published snapshot, refreshed when it changed.
    Snapshot snap;
    uint64_t seen = 0;
    const auto clock = config_.now ? config_.now : [] { return LinkClock::now(); };
    LinkClock::time_point now = clock();
    LineBudget budget(config_.logLinesPerWindow, config_.logWindow);
    // Refused commands have lines of their own, on their own budget: a client that keeps
    // asking for what is refused cannot push the other messages out, nor hide who comes and goes.
    LineBudget refusals(config_.logLinesPerWindow, config_.logWindow);
    const bool idleLimit = config_.idleTimeout.count() > 0;
    // No client can have been silent past the time-out before this: the earliest deadline
    // seen at the last look (clients only ever push theirs later), so that a wake-up costs
    // one comparison and not a scan of every client.
    std::optional<LinkClock::time_point> idleCheck;

    auto close = [&](Client& c, Event::Kind kind, const std::string& reason) {
        Event e;
        e.kind = kind;
        e.client = c.id;
        e.peer = c.peer;
        e.reason = reason;
        e.logged = budget.Allow(now);
        const bool moved = c.moved;
        // Out of the set before the close: a copy of the descriptor in a child being started
        // (between its fork and its exec) would keep it registered, its data dangling.
        ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, c.fd, nullptr);
        ::close(c.fd);
        const std::size_t i = c.index;
        if (i + 1 != clients.size()) {
            clients[i] = std::move(clients.back());
            clients[i]->index = i;
        }
        clients.pop_back();  // frees `c`
        clients_.store(clients.size());
        // Told once the client is really gone, so that whoever reads the news sees the count
        // that goes with it. The departure of a client that moved the telescope is never lost:
        // its moves stop on it.
        Push(std::move(e), moved);
    };

    // Sends what is pending; false when the client is gone. Asks for EPOLLOUT only while
    // answers wait for room, so that a client that reads keeps costing no extra call.
    auto flush = [&](Client& c) {
        if (!c.out.empty()) {
            const ssize_t sent = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                c.out.erase(0, static_cast<std::size_t>(sent));
            } else if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return false;
            }
        }
        const bool wantOutput = !c.out.empty();
        if (wantOutput != c.watchingOutput) {
            if (!Watch(epollFd_, EPOLL_CTL_MOD, c.fd, EPOLLIN | (wantOutput ? EPOLLOUT : 0u), &c)) {
                return false;
            }
            c.watchingOutput = wantOutput;
        }
        return true;
    };

    for (;;) {
        // Sleeps until something happens or the next deadline: a client's silence, or the
        // line that tells how many comings and goings were not written out.
        std::optional<LinkClock::time_point> due = budget.Due();
        if (idleCheck && (!due || *idleCheck < *due)) {
            due = idleCheck;
        }
        int waitMs = -1;
        if (due) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - clock()).count();
            waitMs = static_cast<int>(std::clamp<decltype(left)>(left, 0, 60'000));
        }
        const int n = ::epoll_wait(epollFd_, ready.data(), static_cast<int>(ready.size()), waitMs);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        now = clock();
        if (const std::size_t held = budget.TakeHeld(now); held > 0) {
            Event e;
            e.kind = Event::Kind::Unlogged;
            e.count = held;
            Push(std::move(e));
        }
        bool stop = false;
        bool accept = false;
        // Each descriptor comes at most once per wait, so a client closed here is never met
        // again in this round.
        for (int k = 0; k < n; ++k) {
            const epoll_event& ev = ready[static_cast<std::size_t>(k)];
            if (ev.data.ptr == &wakeTag) {
                stop = true;
                continue;
            }
            if (ev.data.ptr == &listenTag) {
                accept = true;
                continue;
            }
            Client& c = *static_cast<Client*>(ev.data.ptr);
            if ((ev.events & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0) {
                const ssize_t got = ::recv(c.fd, buf, sizeof buf, 0);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                    close(c, Event::Kind::Disconnected, "");
                    continue;
                }
                if (got > 0) {
                    c.heard = now;
                    if (generation_.load(std::memory_order_acquire) != seen) {
                        std::lock_guard lock(mutex_);
                        snap = snapshot_;
                        seen = generation_.load(std::memory_order_relaxed);
                    }
                    requests.clear();
                    const FeedResult r =
                        c.session.Feed(std::string_view(buf, static_cast<std::size_t>(got)), snap, c.out, requests);
                    for (Request& req : requests) {
                        if (req.kind == RequestKind::Refused && !refusals.Allow(now)) {
                            continue;
                        }
                        Event e;
                        e.kind = Event::Kind::Request;
                        e.client = c.id;
                        e.peer = c.peer;
                        c.moved = c.moved || req.kind == RequestKind::MoveStart;
                        e.request = std::move(req);
                        Push(std::move(e));
                    }
                    if (r == FeedResult::Drop) {
                        close(c, Event::Kind::Dropped, c.session.dropReason());
                        continue;
                    }
                }
            }
            if (!flush(c)) {
                close(c, Event::Kind::Disconnected, "");
            } else if (c.out.size() > config_.maxPendingOutput) {
                close(c, Event::Kind::Dropped, "ne lit pas les réponses");
            }
        }
        if (stop) {
            break;
        }
        if (idleCheck && now >= *idleCheck) {
            idleCheck.reset();
            // After the round of ready descriptors, whose data may name these clients. From the
            // back: a client closed here is replaced by one already looked at.
            for (std::size_t i = clients.size(); i-- > 0;) {
                Client& c = *clients[i];
                const LinkClock::time_point deadline = c.heard + config_.idleTimeout;
                if (now >= deadline) {
                    close(c, Event::Kind::Dropped, "inactif depuis " + Duration(config_.idleTimeout));
                } else if (!idleCheck || deadline < *idleCheck) {
                    idleCheck = deadline;
                }
            }
        }
        if (accept) {
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0) {
                if (clients.size() >= config_.maxClients) {
                    ::close(fd);
                    if (!rejectedLogged) {
                        rejectedLogged = true;  // once, not once per attempt
                        Event e;
                        e.kind = Event::Kind::Rejected;
                        e.peer = PeerName(peer);
                        e.reason = "trop de clients";
                        Push(std::move(e));
                    }
                } else {
                    rejectedLogged = false;
                    const int one = 1;
                    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    if (config_.sendBuffer > 0) {
                        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &config_.sendBuffer, sizeof config_.sendBuffer);
                    }
                    auto client = std::make_unique<Client>(fd, PeerName(peer), config_.control, now);
                    client->index = clients.size();
                    if (!Watch(epollFd_, EPOLL_CTL_ADD, fd, EPOLLIN, client.get())) {
                        ::close(fd);
                    } else {
                        clients.push_back(std::move(client));
                        clients_.store(clients.size());
                        if (idleLimit && !idleCheck) {
                            idleCheck = now + config_.idleTimeout;
                        }
                        Event e;
                        e.kind = Event::Kind::Connected;
                        e.client = clients.back()->id;
                        e.peer = clients.back()->peer;
                        e.logged = budget.Allow(now);
                        Push(std::move(e));
                    }
                }
            }
        }
    }
    for (const auto& c : clients) {
        ::close(c->fd);
    }
    clients_.store(0);
}

}  // namespace axo::link
