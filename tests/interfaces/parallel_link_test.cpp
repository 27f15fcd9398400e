#include <gtest/gtest.h>

#include "interfaces/fake_port_io.h"
#include "interfaces/parallel/parallel_link.h"
#include "interfaces/parallel_rig.h"

namespace axo {
namespace {

using test::Bytes;
using test::FakePortIo;
using Writes = std::vector<FakePortIo::Write>;

struct LinkRig {
    explicit LinkRig(PcDateTime start = {2026, 12, 6, 21, 30, 0, 0}) : clock(start) { link.DetectPorts(); }
    VirtualClock clock;
    FakePortIo io;
    ParallelLink link{io, clock};
};

TEST(ParallelLink, InputValueIsASumOfBothStatusRegisters) {
    LinkRig t;
    EXPECT_EQ(t.link.CommandStatusPort(), 0x379);
    EXPECT_EQ(t.link.DataStatusPort(), 0x279);
    std::vector<uint16_t> order;
    t.io.beforeRead = [&](uint16_t port) { order.push_back(port); };
    // Bits 3-6 of the command status are the nibble, bit 7 BUSY read inverted; bits 0-2 are unwired.
    const struct { uint8_t command, data, input; const char* why; } cases[] = {
        {0x07 | (0x5 << 3), 0x10, 0x25, "BUSY high and SELECT high carry into ready, not 0x30"},
        {0x80 | (0x9 << 3), 0x10, 0x19, "BUSY low, SELECT high: the acknowledge from the data port alone"},
        {0x00 | (0x9 << 3), 0xEF, 0x19, "BUSY high, SELECT low: from the command port alone"},
        {0x80, 0x00, 0x00, "everything low: a message code 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        t.io.commandStatus = c.command;
        t.io.dataStatus = c.data;
        order.clear();
        EXPECT_EQ(t.link.ReadInput(), c.input);
        EXPECT_EQ(order, (std::vector<uint16_t>{0x379, 0x279}));
        EXPECT_EQ(t.link.InputValue(), c.input);
        EXPECT_EQ(t.link.IsReady(), (c.input & 0x20) != 0);
    }
}

TEST(ParallelLink, TheThreeWriteFormsAndTheirWaits) {
    LinkRig t;
    const uint64_t t0 = t.clock.ElapsedMs();
    t.link.PortSend(kSendStrobe, 2, 0x30, 0x99);
    EXPECT_EQ(t.io.writes, (Writes{{0x378, 0x32}, {0x378, 0x30}}));
    EXPECT_EQ(t.io.command, 0x30);  // the dibit stays on the port after the strobe
    EXPECT_EQ(t.clock.ElapsedMs() - t0, 4U);

    t.io.ClearRecord();
    const uint64_t t1 = t.clock.ElapsedMs();
    t.link.PortSend(kSendData, 4, 0x30, 0x5A);
    EXPECT_EQ(t.io.writes, (Writes{{0x278, 0x5A}}));
    EXPECT_EQ(t.clock.ElapsedMs(), t1);

    t.io.ClearRecord();
    t.link.PortSend(kSendLatch, 5, 0, 0xB6);
    EXPECT_EQ(t.io.writes, (Writes{{0x278, 0xB6}, {0x378, 0x05}, {0x378, 0x00}}));
    EXPECT_EQ(t.clock.ElapsedMs() - t1, 6U);

    t.io.ClearRecord();
    t.link.PortSend(3, 2, 0x10, 1);
    t.link.PortSend(-1, 2, 0x10, 1);
    EXPECT_TRUE(t.io.writes.empty());
}

TEST(ParallelLink, TimedWaitsSucceedAtOnceOrGiveUpAfterATenthOfASecondEvenAcrossMidnight) {
    LinkRig t;
    t.io.SetInput(0x20);
    const uint64_t t0 = t.clock.ElapsedMs();
    EXPECT_TRUE(t.link.WaitReadySet());
    EXPECT_EQ(t.clock.ElapsedMs(), t0);
    t.io.SetInput(0x1A);
    EXPECT_TRUE(t.link.WaitInputMasked(0x10, 0x10));
    EXPECT_FALSE(t.link.WaitInputMasked(0x10, 0x00));
    EXPECT_TRUE(t.link.WaitInputEqual(0x1A));
    EXPECT_FALSE(t.link.WaitInputEqual(0x10));

    // The board answers after 30 ms.
    int reads = 0;
    t.io.beforeRead = [&](uint16_t) {
        if (++reads == 60) {
            t.io.SetInput(0x00);
        }
    };
    EXPECT_TRUE(t.link.WaitReadyClear());

    // A loop that forgot midnight would wait a whole day; the fake ends it after 20000 reads.
    for (const PcDateTime start : {PcDateTime{2026, 12, 6, 21, 30, 0, 0}, PcDateTime{2026, 12, 6, 23, 59, 59, 960}}) {
        LinkRig u(start);
        u.io.SetInput(0x20);
        int n = 0;
        u.io.beforeRead = [&](uint16_t) {
            if (++n > 20000) {
                u.io.SetInput(0x00);
            }
        };
        const uint64_t t1 = u.clock.ElapsedMs();
        EXPECT_FALSE(u.link.WaitReadyClear()) << start.hour;
        EXPECT_GE(u.clock.ElapsedMs() - t1, 90U) << start.hour;
        EXPECT_LE(u.clock.ElapsedMs() - t1, 115U) << start.hour;  // the midnight timer is single precision
    }
}

TEST(ResetBoard, PulsesTheBoardsResetCodeThenTheCommonTail) {
    test::ParallelRig t;
    const uint64_t t0 = t.r.clock.ElapsedMs();
    t.driver.ResetBoard(4);
    EXPECT_EQ(t.io.CommandWrites(), (Bytes{0x80, 0x00}));
    EXPECT_EQ(t.r.clock.ElapsedMs() - t0, 65U);
    EXPECT_TRUE(t.Reports().empty());

    t.io.ClearRecord();
    t.driver.ResetBoard(1);
    EXPECT_EQ(t.io.CommandWrites(), (Bytes{0x8F, 0x0F, 0x80, 0x00}));
    EXPECT_EQ(t.Reports(), (test::Lines{"msg Reset micro-contrôleur Coupole"}));
    // Alpha's, with its count command between the pulse and the tail, goes with the failed polls.
}

}  // namespace
}  // namespace axo
