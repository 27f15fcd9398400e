#include "link/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
    Client(int f, std::string p, bool control) : fd(f), peer(std::move(p)), session(control) {}
};

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
    for (int* fd : {&listenFd_, &wakeFds_[0], &wakeFds_[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void Server::Publish(const Snapshot& snapshot) {
    std::lock_guard lock(mutex_);
    snapshot_ = snapshot;
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
    std::vector<std::unique_ptr<Client>> clients;
    std::vector<pollfd> fds;
    std::vector<Request> requests;
    char buf[512];
    bool rejectedLogged = false;

    auto close = [&](std::size_t i, Event::Kind kind, const std::string& reason) {
        Event e;
        e.kind = kind;
        e.peer = clients[i]->peer;
        e.reason = reason;
        ::close(clients[i]->fd);
        clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
        clients_.store(clients.size());
        // Told once the client is really gone, so that whoever reads the news sees the count
        // that goes with it.
        Push(std::move(e));
    };

    for (;;) {
        fds.clear();
        fds.push_back({wakeFds_[0], POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        for (const auto& c : clients) {
            fds.push_back({c->fd, static_cast<short>(POLLIN | (c->out.empty() ? 0 : POLLOUT)), 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }
        // Clients first, by their index in this round's poll set, then new ones.
        for (std::size_t k = clients.size(); k-- > 0;) {
            Client& c = *clients[k];
            const short rev = fds[k + 2].revents;
            if (rev == 0) {
                continue;
            }
            bool gone = false;
            if ((rev & (POLLIN | POLLHUP | POLLERR)) != 0) {
                const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                    close(k, Event::Kind::Disconnected, "");
                    continue;
                }
                if (n > 0) {
                    Snapshot snap;
                    {
                        std::lock_guard lock(mutex_);
                        snap = snapshot_;
                    }
                    requests.clear();
                    const FeedResult r =
                        c.session.Feed(std::string_view(buf, static_cast<std::size_t>(n)), snap, c.out, requests);
                    for (Request& req : requests) {
                        Event e;
                        e.kind = Event::Kind::Request;
                        e.peer = c.peer;
                        e.request = std::move(req);
                        Push(std::move(e));
                    }
                    if (r == FeedResult::Drop) {
                        close(k, Event::Kind::Dropped, c.session.dropReason());
                        continue;
                    }
                }
            }
            if (!c.out.empty()) {
                const ssize_t sent = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                if (sent > 0) {
                    c.out.erase(0, static_cast<std::size_t>(sent));
                } else if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                    gone = true;
                }
            }
            if (gone) {
                close(k, Event::Kind::Disconnected, "");
            } else if (c.out.size() > config_.maxPendingOutput) {
                close(k, Event::Kind::Dropped, "ne lit pas les réponses");
            }
        }
        if ((fds[1].revents & POLLIN) != 0) {
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
                    clients.push_back(std::make_unique<Client>(fd, PeerName(peer), config_.control));
                    clients_.store(clients.size());
                    Event e;
                    e.kind = Event::Kind::Connected;
                    e.peer = clients.back()->peer;
                    Push(std::move(e));
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
