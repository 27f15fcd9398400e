#include "link/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

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

struct Client {
    int fd = -1;
    std::string peer;
    Session session;
    std::string out;
    std::size_t index = 0;         // in the thread's list of clients
    bool watchingOutput = false;   // registered for EPOLLOUT: answers wait for room
    Client(int f, std::string p, bool control) : fd(f), peer(std::move(p)), session(control) {}
};

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

void Server::Push(Event event) {
    std::lock_guard lock(mutex_);
    if (events_.size() >= config_.maxEvents) {
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

    auto close = [&](Client& c, Event::Kind kind, const std::string& reason) {
        Event e;
        e.kind = kind;
        e.peer = c.peer;
        e.reason = reason;
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
        // that goes with it.
        Push(std::move(e));
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
        const int n = ::epoll_wait(epollFd_, ready.data(), static_cast<int>(ready.size()), -1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
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
                    if (generation_.load(std::memory_order_acquire) != seen) {
                        std::lock_guard lock(mutex_);
                        snap = snapshot_;
                        seen = generation_.load(std::memory_order_relaxed);
                    }
                    requests.clear();
                    const FeedResult r =
                        c.session.Feed(std::string_view(buf, static_cast<std::size_t>(got)), snap, c.out, requests);
                    for (Request& req : requests) {
                        Event e;
                        e.kind = Event::Kind::Request;
                        e.peer = c.peer;
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
                    auto client = std::make_unique<Client>(fd, PeerName(peer), config_.control);
                    client->index = clients.size();
                    if (!Watch(epollFd_, EPOLL_CTL_ADD, fd, EPOLLIN, client.get())) {
                        ::close(fd);
                    } else {
                        clients.push_back(std::move(client));
                        clients_.store(clients.size());
                        Event e;
                        e.kind = Event::Kind::Connected;
                        e.peer = clients.back()->peer;
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
