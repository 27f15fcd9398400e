#include "link/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/loopback_client.h"

#include <chrono>
#include <thread>

namespace axo::link {
namespace {

using namespace std::chrono_literals;

// Reads until `expected` bytes came, the peer closed, or a second passed.
std::string Read(int fd, std::size_t expected) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + 1s;
    while (got.size() < expected && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        char buf[256];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            break;
        }
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

bool ClosedByPeer(int fd) {
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            char buf[4096];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                return true;
            }
        }
    }
    return false;
}

// Waits for the server's events until one of `kind` arrives.
std::vector<Event> WaitFor(Server& s, Event::Kind kind, std::vector<Event>& all) {
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < end) {
        for (Event& e : s.TakeEvents()) {
            all.push_back(std::move(e));
        }
        for (const Event& e : all) {
            if (e.kind == kind) {
                return all;
            }
        }
        std::this_thread::sleep_for(10ms);
    }
    return all;
}

int Count(const std::vector<Event>& events, Event::Kind kind) {
    int n = 0;
    for (const Event& e : events) {
        n += e.kind == kind ? 1 : 0;
    }
    return n;
}

struct Started {
    explicit Started(ServerConfig c) : server([&] {
        c.port = 0;
        return c;
    }()) {
        std::string error;
        EXPECT_TRUE(server.Start(error)) << error;
    }
    Server server;
};

TEST(LinkServer, AnswersFromThePublishedSnapshotAndQueuesControl) {
    ServerConfig c;
    c.control = true;
    Started s(c);
    Snapshot snap;
    snap.positionKnown = true;
    snap.raH = 23;
    snap.raM = 59;
    snap.raS = 59;
    snap.decD = 90;
    s.server.Publish(snap);
    const int fd = test::ConnectLoopback(s.server.port());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, ":GR#:GD#:Q#", 11, 0), 11);
    EXPECT_EQ(Read(fd, 19), "23:59:59#+90*00:00#");
    std::vector<Event> events;
    WaitFor(s.server, Event::Kind::Request, events);
    ASSERT_EQ(Count(events, Event::Kind::Connected), 1);
    ASSERT_EQ(Count(events, Event::Kind::Request), 1);
    EXPECT_EQ(events.back().request.kind, RequestKind::Abort);
    EXPECT_EQ(s.server.clientCount(), 1u);
    ::close(fd);
    WaitFor(s.server, Event::Kind::Disconnected, events);
    EXPECT_EQ(Count(events, Event::Kind::Disconnected), 1);
    EXPECT_EQ(s.server.clientCount(), 0u);
}

TEST(LinkServer, BoundsClientsAndLines) {
    ServerConfig c;
    c.maxClients = 2;
    Started s(c);
    Snapshot known;
    known.positionKnown = true;
    s.server.Publish(known);
    const int a = test::ConnectLoopback(s.server.port());
    const int b = test::ConnectLoopback(s.server.port());
    std::vector<Event> events;
    WaitFor(s.server, Event::Kind::Connected, events);
    const int extra1 = test::ConnectLoopback(s.server.port());
    const int extra2 = test::ConnectLoopback(s.server.port());
    EXPECT_TRUE(ClosedByPeer(extra1));
    EXPECT_TRUE(ClosedByPeer(extra2));
    WaitFor(s.server, Event::Kind::Rejected, events);
    EXPECT_EQ(Count(events, Event::Kind::Rejected), 1);  // logged once, not per attempt

    // A command that never ends: the client is dropped, the other one still served.
    const std::string longLine = ":" + std::string(200, 'G');
    ASSERT_EQ(::send(a, longLine.data(), longLine.size(), 0), static_cast<ssize_t>(longLine.size()));
    EXPECT_TRUE(ClosedByPeer(a));
    WaitFor(s.server, Event::Kind::Dropped, events);
    ASSERT_EQ(Count(events, Event::Kind::Dropped), 1);
    ASSERT_EQ(::send(b, ":U#:GR#", 7, 0), 7);
    EXPECT_EQ(Read(b, 8), "00:00.0#");
    for (int fd : {a, b, extra1, extra2}) {
        ::close(fd);
    }
}

TEST(LinkServer, ReadOnlyLinkQueuesNothing) {
    Started s(ServerConfig{});
    const int fd = test::ConnectLoopback(s.server.port());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, ":Q#:Mn#:Sr01:00:00#:Sd+01*00#:CM#", 33, 0), 33);
    EXPECT_EQ(Read(fd, 2 + std::string(kSyncRefused).size()), std::string("11") + kSyncRefused);
    std::vector<Event> events;
    WaitFor(s.server, Event::Kind::Request, events);
    EXPECT_EQ(Count(events, Event::Kind::Request), 0);
    ::close(fd);
}

TEST(LinkServer, ClientThatNeverReadsIsDropped) {
    ServerConfig c;
    c.maxPendingOutput = 1024;
    Started s(c);
    const int fd = test::ConnectLoopback(s.server.port());
    ASSERT_GE(fd, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    std::string burst;
    for (int i = 0; i < 4096; ++i) {
        burst += ":GS#";
    }
    std::vector<Event> events;
    // Keep asking without ever reading; the answers pile up until the server gives up.
    for (int round = 0; round < 2000 && Count(events, Event::Kind::Dropped) == 0; ++round) {
        const ssize_t n = ::send(fd, burst.data(), burst.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN) {
            break;  // already dropped
        }
        for (Event& e : s.server.TakeEvents()) {
            events.push_back(std::move(e));
        }
        std::this_thread::sleep_for(1ms);
    }
    WaitFor(s.server, Event::Kind::Dropped, events);
    ASSERT_EQ(Count(events, Event::Kind::Dropped), 1);
    EXPECT_EQ(s.server.clientCount(), 0u);
    ::close(fd);
}

// Clients leave in an order that moves others around in the server's list: every one still
// there keeps getting its own answers, and the count follows.
TEST(LinkServer, ClientsLeavingInAnyOrderLeaveTheOthersServed) {
    Started s(ServerConfig{});
    Snapshot snap;
    snap.positionKnown = true;
    snap.raH = 1;
    s.server.Publish(snap);
    std::vector<int> fds;
    for (int i = 0; i < 10; ++i) {
        fds.push_back(test::ConnectLoopback(s.server.port()));
        ASSERT_GE(fds.back(), 0);
    }
    std::vector<Event> events;
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (Count(events, Event::Kind::Connected) < 10 && std::chrono::steady_clock::now() < end) {
        WaitFor(s.server, Event::Kind::Connected, events);
    }
    ASSERT_EQ(s.server.clientCount(), 10u);
    // Half of them ask for low precision, so that an answer sent to the wrong client shows.
    for (std::size_t i = 0; i < fds.size(); i += 2) {
        ASSERT_EQ(::send(fds[i], ":U#", 3, 0), 3);
    }
    std::size_t left = fds.size();
    for (const std::size_t gone : {0u, 9u, 4u, 1u, 8u, 5u}) {
        ::close(fds[gone]);
        fds[gone] = -1;
        --left;
        const auto until = std::chrono::steady_clock::now() + 2s;
        while (s.server.clientCount() != left && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(5ms);
        }
        ASSERT_EQ(s.server.clientCount(), left);
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i] < 0) {
                continue;
            }
            ASSERT_EQ(::send(fds[i], ":GR#", 4, 0), 4);
            const std::string want = i % 2 == 0 ? "01:00.0#" : "01:00:00#";
            EXPECT_EQ(Read(fds[i], want.size()), want) << "client " << i << " after " << gone << " left";
        }
    }
    for (Event& e : s.server.TakeEvents()) {
        events.push_back(std::move(e));
    }
    EXPECT_EQ(Count(events, Event::Kind::Disconnected), 6);
    // Stopping the link hangs up on every client still there.
    s.server.Stop();
    for (int fd : fds) {
        if (fd >= 0) {
            EXPECT_TRUE(ClosedByPeer(fd));
            ::close(fd);
        }
    }
    EXPECT_EQ(s.server.clientCount(), 0u);
}

// A client that reads late, its answers overflowing the socket's buffers but not the server's
// bound: the rest follows as soon as there is room, not with a next question that never comes.
TEST(LinkServer, SlowReaderGetsEveryAnswer) {
    ServerConfig c;
    c.maxPendingOutput = 4 << 20;
    Started s(c);
    const int fd = test::ConnectLoopback(s.server.port());
    ASSERT_GE(fd, 0);
    // About a megabyte of answers: far more than the kernel holds with the server's send buffer.
    constexpr int kQuestions = 40000;
    std::string burst;
    for (int i = 0; i < kQuestions; ++i) {
        burst += ":GVF#";
    }
    std::thread writer([&] {
        std::size_t done = 0;
        while (done < burst.size()) {
            const ssize_t n = ::send(fd, burst.data() + done, burst.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    });
    // Let the answers pile up on the server before reading any.
    std::this_thread::sleep_for(300ms);
    const std::string answer = "Axo LX200 position link 1.0#";
    std::string got;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (got.size() < answer.size() * kQuestions && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        char buf[4096];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            break;
        }
        got.append(buf, static_cast<std::size_t>(n));
    }
    writer.join();
    ASSERT_EQ(got.size(), answer.size() * kQuestions);
    for (std::size_t i = 0; i < got.size(); i += answer.size()) {
        ASSERT_EQ(got.compare(i, answer.size(), answer), 0) << "at byte " << i;
    }
    EXPECT_EQ(s.server.clientCount(), 1u);
    ::close(fd);
}

TEST(LinkServer, RefusesABadAddress) {
    ServerConfig c;
    c.address = "localhost.invalid";
    Server server(c);
    std::string error;
    EXPECT_FALSE(server.Start(error));
    EXPECT_NE(error.find("adresse du lien incorrecte"), std::string::npos);
}

}  // namespace
}  // namespace axo::link
