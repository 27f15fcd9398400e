// The card's real backends: direct port I/O before and outside its grant, and the UIO interrupt
// thread against a socket pair playing the device.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "interfaces/eik120/eik_direct_port_io.h"
#include "interfaces/eik120/eik_uio_interrupts.h"

namespace axo {
namespace {

TEST(EikDirectPortIo, WithoutItsGrantItReadsOnesAndSaysWhy) {
    EikDirectPortIo io(0x358);
    EXPECT_FALSE(io.Granted());
    EXPECT_FALSE(io.UnavailableReason().empty());
    EXPECT_EQ(io.In(0x358), 0xFF);
    io.Out(0x358, 0x80);  // goes nowhere, never a fault
    EXPECT_EQ(io.ReachProblem(0x360), "");  // the missing grant is the reason given
    EXPECT_EQ(EikHexAddress(856), "0x358");
}

TEST(EikDirectPortIo, AnotherBaseThanTheGrantedOneWaitsForTheNextLaunch) {
    // Granting touches no port: it only asks the kernel for the range.
    EikDirectPortIo io(0x358);
    if (!io.GrantAccess()) {
        // Without the privilege (or without port I/O on this machine) the reason says which.
        EXPECT_NE(io.UnavailableReason().find("Accès direct aux ports 0x358 refusé : "), std::string::npos)
            << io.UnavailableReason();
        EXPECT_EQ(io.In(0x358), 0xFF);
        GTEST_SKIP() << "no port I/O here: " << io.UnavailableReason();
    }
    EXPECT_TRUE(io.UnavailableReason().empty());
    EXPECT_EQ(io.ReachProblem(0x358), "");
    const std::string why = io.ReachProblem(0x2F8);
    EXPECT_NE(why.find("0x2F8"), std::string::npos) << why;
    EXPECT_NE(why.find("prochain démarrage"), std::string::npos) << why;
}

// One end of a socket pair plays /dev/uioN: each 4-byte write is an interrupt, and what the
// line writes back (1 enable, 0 disable) is read from the same end.
struct FakeUio {
    FakeUio() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0); }
    ~FakeUio() {
        ::close(ends[1]);
    }
    void Interrupt(uint32_t n) { ASSERT_EQ(::write(ends[1], &n, sizeof n), 4); }
    int32_t Control() {
        int32_t v = -1;
        EXPECT_EQ(::read(ends[1], &v, sizeof v), 4);
        return v;
    }
    int ends[2] = {-1, -1};
};

TEST(UioInterruptLine, EachInterruptCallsTheHandlerAndReenablesTheLine) {
    FakeUio dev;
    UioInterruptLine line("/dev/uio-test", [&dev] { return dev.ends[0]; });
    std::atomic<int> calls{0};
    line.SetIrq(9, [&calls] { calls.fetch_add(1); });
    ASSERT_TRUE(line.IsIrqSet());
    line.Unmask();
    EXPECT_EQ(dev.Control(), 1);
    for (uint32_t i = 2; i <= 4; ++i) {
        dev.Interrupt(i);
        EXPECT_EQ(dev.Control(), 1);  // re-enabled after the handler ran
    }
    EXPECT_EQ(calls.load(), 3);
    line.Mask();
    EXPECT_EQ(dev.Control(), 0);
    // Masked: the interrupt is taken off the device but nobody is called.
    dev.Interrupt(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(calls.load(), 3);
    line.Destroy();
    EXPECT_FALSE(line.IsIrqSet());
}

TEST(UioInterruptLine, AMissingDeviceLeavesNoLineAndSaysWhy) {
    UioInterruptLine line("/nonexistent/uio9");
    line.SetIrq(9, [] {});
    EXPECT_FALSE(line.IsIrqSet());
    EXPECT_NE(line.Problem().find("/nonexistent/uio9"), std::string::npos);
    line.Unmask();  // harmless
    line.Destroy();
}

}  // namespace
}  // namespace axo
