#include "link/server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "link/core_bridge.h"
#include "support/core_fakes.h"
#include "support/loopback_client.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace axo::link {
namespace {

using namespace std::chrono_literals;

// Reads until `expected` bytes came, the peer closed, or `within` passed.
std::string Read(int fd, std::size_t expected, std::chrono::milliseconds within = 1s) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + within;
    while (got.size() < expected && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        char buf[4096];
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
        char buf[4096];
        if (::poll(&p, 1, 50) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0) {
            return true;
        }
    }
    return false;
}

void Send(int fd, const std::string& bytes) {
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size())) << bytes;
}

int Count(const std::vector<Event>& events, Event::Kind kind) {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [kind](const Event& e) { return e.kind == kind; }));
}

// Takes the server's events into `all` until `atLeast` of `kind` came (or 2 s passed); their count.
int Collect(Server& s, std::vector<Event>& all, Event::Kind kind, int atLeast = 1) {
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (true) {
        for (Event& e : s.TakeEvents()) {
            all.push_back(std::move(e));
        }
        if (Count(all, kind) >= atLeast || std::chrono::steady_clock::now() >= end) {
            return Count(all, kind);
        }
        std::this_thread::sleep_for(5ms);
    }
}

Snapshot Known(int raH = 0) {
    Snapshot s;
    s.positionKnown = true;
    s.raH = raH;
    return s;
}

// A server on a free port, configured by `set`, publishing `snap`; on the hand-moved clock if asked.
struct Started {
    explicit Started(const std::function<void(ServerConfig&)>& set = nullptr, const Snapshot& snap = Known(),
                     bool byHand = false)
        : server([&] {
              ServerConfig c;
              c.port = 0;
              if (set) {
                  set(c);
              }
              if (byHand) {
                  c.now = [this] { return LinkClock::time_point(std::chrono::milliseconds(ms.load())); };
              }
              return c;
          }()) {
        std::string error;
        EXPECT_TRUE(server.Start(error)) << error;
        server.Publish(snap);
    }
    int Connect() {
        const int fd = test::ConnectLoopback(server.port());
        EXPECT_GE(fd, 0);
        return fd;
    }
    std::atomic<int64_t> ms{0};  // the link thread's clock when moved by hand: no waiting for time-outs
    Server server;
};

TEST(LinkServer, AnswersFromThePublishedSnapshotAndQueuesControl) {
    Snapshot snap = Known(23);
    snap.raM = 59;
    snap.raS = 59;
    snap.decD = 90;
    Started s([](ServerConfig& c) { c.control = true; }, snap);
    const int fd = s.Connect();
    Send(fd, ":GR#:GD#:Q#");
    EXPECT_EQ(Read(fd, 19), "23:59:59#+90*00:00#");
    std::vector<Event> events;
    ASSERT_EQ(Collect(s.server, events, Event::Kind::Request), 1);
    ASSERT_EQ(Count(events, Event::Kind::Connected), 1);
    EXPECT_EQ(events.back().request.kind, RequestKind::Abort);
    EXPECT_EQ(s.server.clientCount(), 1u);
    ::close(fd);
    EXPECT_EQ(Collect(s.server, events, Event::Kind::Disconnected), 1);
    EXPECT_EQ(s.server.clientCount(), 0u);
}

TEST(LinkServer, BoundsClientsAndLines) {
    Started s([](ServerConfig& c) { c.maxClients = 2; });
    const int a = s.Connect();
    const int b = s.Connect();
    std::vector<Event> events;
    Collect(s.server, events, Event::Kind::Connected, 2);
    const int extra1 = s.Connect();
    const int extra2 = s.Connect();
    EXPECT_TRUE(ClosedByPeer(extra1));
    EXPECT_TRUE(ClosedByPeer(extra2));
    EXPECT_EQ(Collect(s.server, events, Event::Kind::Rejected), 1);  // logged once, not per attempt

    // A command that never ends: the client is dropped, the other one still served.
    Send(a, ":" + std::string(200, 'G'));
    EXPECT_TRUE(ClosedByPeer(a));
    ASSERT_EQ(Collect(s.server, events, Event::Kind::Dropped), 1);
    Send(b, ":U#:GR#");
    EXPECT_EQ(Read(b, 8), "00:00.0#");
    for (int fd : {a, b, extra1, extra2}) {
        ::close(fd);
    }
}

// Refusals leave nothing the client would read as its next answer; their lines are bounded.
TEST(LinkServer, ReadOnlyLinkRefusesAndSaysSoWithinItsBudget) {
    Started s([](ServerConfig& c) { c.logLinesPerWindow = 3; }, Known(7));
    const int fd = s.Connect();
    Send(fd, ":Q#:Mn#:Sr01:00:00#:Sd+01*00#:CM#:MS#:GR#");
    EXPECT_EQ(Read(fd, 64), "00107:00:00#");
    std::vector<Event> events;
    Collect(s.server, events, Event::Kind::Request);
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(Collect(s.server, events, Event::Kind::Request, 3), 3);
    for (const Event& e : events) {
        EXPECT_TRUE(e.kind != Event::Kind::Request || e.request.kind == RequestKind::Refused);
    }
    ::close(fd);
}

TEST(LinkServer, ClientThatNeverReadsIsDropped) {
    Started s([](ServerConfig& c) { c.maxPendingOutput = 1024; });
    const int fd = s.Connect();
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
    ASSERT_EQ(Collect(s.server, events, Event::Kind::Dropped), 1);
    EXPECT_EQ(s.server.clientCount(), 0u);
    ::close(fd);
}

// Departures that move the others in the server's list: each one left still gets its own answers.
TEST(LinkServer, ClientsLeavingInAnyOrderLeaveTheOthersServed) {
    Started s(nullptr, Known(1));
    std::vector<int> fds;
    for (int i = 0; i < 10; ++i) {
        fds.push_back(s.Connect());
    }
    std::vector<Event> events;
    Collect(s.server, events, Event::Kind::Connected, 10);
    ASSERT_EQ(s.server.clientCount(), 10u);
    for (std::size_t i = 0; i < fds.size(); i += 2) {
        Send(fds[i], ":U#");  // low precision, so that an answer sent to the wrong client shows
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
            if (fds[i] >= 0) {
                Send(fds[i], ":GR#");
                const std::string want = i % 2 == 0 ? "01:00.0#" : "01:00:00#";
                EXPECT_EQ(Read(fds[i], want.size()), want) << "client " << i << " after " << gone << " left";
            }
        }
    }
    EXPECT_EQ(Collect(s.server, events, Event::Kind::Disconnected, 6), 6);
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

const std::string kVersion = "Axo LX200 position link 1.0#";

// Answers beyond the socket's buffers: the rest goes when there is room, not at the next question.
TEST(LinkServer, SlowReaderGetsEveryAnswer) {
    Started s([](ServerConfig& c) { c.maxPendingOutput = 4 << 20; });
    const int fd = s.Connect();
    constexpr int kQuestions = 40000;  // about a megabyte of answers
    std::string burst, want;
    for (int i = 0; i < kQuestions; ++i) {
        burst += ":GVF#";
        want += kVersion;
    }
    std::thread writer([&] {
        for (std::size_t done = 0; done < burst.size();) {
            const ssize_t n = ::send(fd, burst.data() + done, burst.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    });
    std::this_thread::sleep_for(300ms);  // the answers pile up on the server before any is read
    const std::string got = Read(fd, want.size(), 10s);
    writer.join();
    EXPECT_TRUE(got == want) << got.size() << " bytes of " << want.size();
    EXPECT_EQ(s.server.clientCount(), 1u);
    ::close(fd);
}

// Sends `commands` then :GVF#: once its answer is read, the server has queued what they asked.
void Ask(int fd, const std::string& commands) {
    Send(fd, commands + ":GVF#");
    ASSERT_EQ(Read(fd, kVersion.size()), kVersion);
}

// Hands the server's events to the core as the interface thread does, up to one of `kind`.
void Pump(Server& s, test::CoreRig& r, Event::Kind kind) {
    std::vector<Event> events;
    EXPECT_GE(Collect(s, events, kind), 1) << static_cast<int>(kind);
    for (const Event& e : events) {
        Handle(r.core, e);
    }
}

// A client that leaves or falls silent stops the moves it still owns; the operator's go on.
TEST(LinkDeparture, StopsTheClientsOwnMovesOnly) {
    // meanwhile: the operator, before the client goes; silent: cut off rather than closing; stops: Delta +.
    struct Case { const char* name; std::string sent; std::function<void(test::CoreRig&)> meanwhile; bool silent, stops; };
    const Case cases[] = {
        {"closes", ":Mn#", nullptr, false, true},
        {"falls silent", ":RS#:Mn#", nullptr, true, true},
        {"stopped its move itself", ":Mn#:Qn#", nullptr, false, false},
        {"operator latched the direction", ":Mn#", [](test::CoreRig& r) { r.core.ClickLock(EVT_DELTA_PLUS_LOCK); },
         false, false},
        {"operator stopped it and moves that way himself", ":Mn#",
         [](test::CoreRig& r) {
             r.core.ReleaseDirection(EVT_DELTA_PLUS);
             TakeSnapshot(r.core, 0.0);  // the polling tick in between
             r.core.PressDirection(EVT_DELTA_PLUS);
         },
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::CoreRig r;
        r.Init();
        Started s([](ServerConfig& config) { config.control = true; config.idleTimeout = 1s; }, Known(), true);
        r.core.PressTracking();  // the operator's own, with Alpha + below
        const int fd = s.Connect();
        Ask(fd, c.sent);
        Pump(s.server, r, Event::Kind::Request);
        r.core.PressDirection(EVT_ALPHA_PLUS);
        if (c.meanwhile) {
            c.meanwhile(r);
        }
        const bool deltaBefore = r.core.events().IsEventSet(EVT_DELTA_PLUS);
        r.log.Clear();
        if (c.silent) {
            s.ms = 1000;
            const int other = s.Connect();  // wakes the link
            EXPECT_TRUE(ClosedByPeer(fd));
            Pump(s.server, r, Event::Kind::Dropped);
            ::close(other);
            ::close(fd);
        } else {
            ::close(fd);
            Pump(s.server, r, Event::Kind::Disconnected);
        }
        EXPECT_EQ(r.log.Only({"P 2 (2,"}).size(), c.stops ? 1u : 0u);  // Delta + stop sent to the driver
        EXPECT_EQ(r.core.events().IsEventSet(EVT_DELTA_PLUS), deltaBefore && !c.stops);
        const std::string said = "parti, arrêt de ses mouvements (Delta +)";
        EXPECT_EQ(std::any_of(r.view.messages.begin(), r.view.messages.end(),
                              [&](const std::string& m) { return m.find(said) != std::string::npos; }),
                  c.stops);
        EXPECT_TRUE(r.core.events().IsEventSet(EVT_ALPHA_PLUS));
        EXPECT_TRUE(r.core.events().IsEventSet(EVT_TRACKING));
        EXPECT_TRUE(r.log.Only({"P 4 (2,", "P 1 (2,"}).empty());  // Alpha + and tracking never stopped
    }
}

// Past the time-out silent clients are cut off and a new client gets in; a talker keeps its place.
TEST(LinkServer, SilentClientsMakeRoom) {
    // An unknown position leaves :GR# unanswered: only the talking counts.
    Started s([](ServerConfig& c) { c.maxClients = 2; c.idleTimeout = 1s; }, Snapshot{}, true);
    std::atomic<int64_t>& clock = s.ms;
    const int silent = s.Connect();
    const int talker = s.Connect();
    std::vector<Event> events;
    Collect(s.server, events, Event::Kind::Connected, 2);
    clock = 600;
    Ask(talker, ":GR#");
    clock = 1000;
    const int newcomer = s.Connect();
    EXPECT_TRUE(ClosedByPeer(silent));
    Ask(newcomer, "");
    EXPECT_EQ(s.server.clientCount(), 2u);
    ASSERT_EQ(Collect(s.server, events, Event::Kind::Dropped), 1);
    for (const Event& e : events) {
        EXPECT_EQ(e.reason, e.kind == Event::Kind::Dropped ? "inactif depuis 1 s" : "");
    }
    EXPECT_EQ(Count(events, Event::Kind::Rejected), 0);
    // The talker's silence counts from its last question.
    clock = 1700;
    Ask(newcomer, "");
    EXPECT_TRUE(ClosedByPeer(talker));
    Collect(s.server, events, Event::Kind::Dropped, 2);
    EXPECT_EQ(s.server.clientCount(), 1u);
    for (int fd : {silent, talker, newcomer}) {
        ::close(fd);
    }
}

// A program reconnecting in a loop: a few lines per window, then one line with the count.
TEST(LinkServer, ReconnectLinesAreRateLimited) {
    Started s([](ServerConfig& c) { c.logLinesPerWindow = 4; c.logWindow = 10s; }, Known(), true);
    std::vector<Event> events;
    for (int i = 0; i < 10; ++i) {
        const int fd = s.Connect();
        Ask(fd, "");
        ::close(fd);
        Collect(s.server, events, Event::Kind::Disconnected, i + 1);
    }
    ASSERT_EQ(Count(events, Event::Kind::Disconnected), 10);
    s.ms = 10'000;  // the window is over; the next client opens a new one
    const int fd = s.Connect();
    Ask(fd, "");
    Collect(s.server, events, Event::Kind::Unlogged);
    Collect(s.server, events, Event::Kind::Connected, 11);
    test::CoreRig r;
    r.Init();
    r.view.messages.clear();
    for (const Event& e : events) {
        Handle(r.core, e);
    }
    const auto line = [&](std::size_t i, const char* what) {
        return "Lien LX200 : client " + events[i].peer + " " + what;
    };
    EXPECT_EQ(r.view.messages, (std::vector<std::string>{
                                   line(0, "connecté"),
                                   line(1, "déconnecté"),
                                   line(2, "connecté"),
                                   line(3, "déconnecté"),
                                   "Lien LX200 : 16 autres connexions ou départs de clients, non détaillés",
                                   line(events.size() - 1, "connecté"),
                               }));
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
