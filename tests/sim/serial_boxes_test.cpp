// The simulated 6420 boxes: their rate model, their stop, their outputs, the RS485 line and
// the faults they can inject, through the serial calls the program makes.

#include <gtest/gtest.h>

#include <cmath>

#include "sim/serial64xx/simulated_boxes.h"

namespace axo::sim {
namespace {

struct Bench {
    explicit Bench(const BoxWiring& wiring = {})
        : observatory(clock, ObservatoryStart{0.0, 0.0, 180.0, 3.0}), boxes(observatory, wiring) {
        for (int port = 1; port <= 4; ++port) {
            boxes.sio_open(port);
            boxes.sio_ioctl(port, kSioBaud9600, kSioMode8N1);
        }
    }
    void Send(int port, const std::string& text) { boxes.sio_write(port, text.data(), static_cast<int>(text.size())); }
    std::string Read(int port) {
        char buf[256];
        const int32_t n = boxes.sio_read(port, buf, 256);
        return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
    }
    std::string Ask(int port, const std::string& line) {
        Send(port, line + "\r");
        return Read(port);
    }
    std::string Probe(int port) {
        boxes.sio_putch(port, kEtx);
        Send(port, " ");
        return Read(port);
    }
    void Run(uint64_t ms) {
        clock.Advance(ms);
        observatory.Update();
    }
    Mount& mount() { return observatory.TheMount(); }

    VirtualClock clock;
    Observatory observatory;
    SimulatedBoxes boxes;
};

TEST(SimBoxes, TheDefaultTrackingRateIsSiderealAndTheOtherRatesAreBelievable) {
    struct Case {
        int port;
        std::vector<std::string> lines;
        double haDegPerSec;
        double decDegPerSec;
    };
    const double sid = kSiderealDegPerSec;
    const Case cases[] = {
        {1, {"Y 4", "\\8", "M 5 5", "F10", "V200", "R 1541"}, sid, 0.0},
        {1, {"Y 4", "\\5", "M 10 5", "R 300"}, sid * 300 / 1541 * 64, 0.0},
        {1, {"Y 4", "\\3", "M 60 40", "R-1200"}, -sid * 1200 / 1541 * 1024, 0.0},
        {1, {"\\8", "R 1541"}, 0.0, 0.0},  // power stage off (no "Y 4"): the motor turns alone
        // Delta: fast drive on the slave ("T 0", clutch 8), engaged (1).
        {2, {"Y 8", "T 0", "\\6", "M 60 40", "Y 9", "R 150"}, 0.0, sid * 150 / 1541 * 16 * 64},
        {2, {"Y 4", "T 1", "\\6", "M 10 5", "Y 7", "R-200"}, 0.0, -sid * 200 / 1541 * 16},
        {2, {"Y 8", "T 0", "\\6", "R 150"}, 0.0, 0.0},        // not engaged
        {2, {"Y 4", "T 0", "\\6", "Y 5", "R 150"}, 0.0, 0.0},  // the slave's clutch is off
    };
    for (const Case& c : cases) {
        Bench b;
        for (const std::string& line : c.lines) {
            EXPECT_EQ(b.Ask(c.port, line), "") << line;
        }
        b.Run(1000);  // past the ramp
        const double ha = b.mount().HourAngleAxisDeg();
        const double dec = b.mount().DeclinationDeg();
        b.Run(10000);
        EXPECT_NEAR((b.mount().HourAngleAxisDeg() - ha) / 10.0, c.haDegPerSec, 1e-9) << c.lines.back();
        EXPECT_NEAR((b.mount().DeclinationDeg() - dec) / 10.0, c.decDegPerSec, 1e-9) << c.lines.back();
    }
    EXPECT_NEAR(sid * 1200 / 1541 * 1024, 3.33, 0.01);
}

TEST(SimBoxes, AfterAStopThePositionChangesForAMomentThenRepeats) {
    Bench b;
    b.Ask(1, "Y 4");
    b.Ask(1, "R 1541");
    b.Run(2000);
    const std::string moving1 = b.Ask(1, "C");
    b.Run(150);
    const std::string moving2 = b.Ask(1, "C");
    EXPECT_NE(moving1, moving2);
    EXPECT_EQ(moving1.back(), '\r');
    b.Ask(1, "S");
    std::vector<std::string> replies;
    for (int i = 0; i < 6; ++i) {
        b.Run(150);
        replies.push_back(b.Ask(1, "C"));
    }
    EXPECT_NE(replies[0], moving2);  // still decelerating
    EXPECT_NE(replies[1], replies[0]);
    EXPECT_EQ(replies[3], replies[2]);
    EXPECT_EQ(replies[5], replies[2]);
    EXPECT_EQ(b.boxes.AlphaBox().StepsPerSecond(), 0.0);
}

TEST(SimBoxes, TheProbeAndTheRs485LineAnswerOnlyTheBoxAddressed) {
    Bench p2p;
    EXPECT_GT(p2p.Probe(1).size(), 2u);
    EXPECT_GT(p2p.Probe(2).size(), 2u);
    EXPECT_EQ(p2p.Probe(3), "");  // nothing on that line

    BoxWiring wiring;
    wiring.rs485 = true;
    wiring.busPort = 4;
    Bench bus(wiring);
    // The bus probe of the program: "a", space, CR, LF, then ETX and a space; then "b" alone.
    bus.Send(4, "a \r\n");
    EXPECT_EQ(bus.Probe(4), "6420 V2.1 A\r\n");
    bus.Send(4, "b");
    EXPECT_EQ(bus.Probe(4), "6420 V2.1 D\r\n");
    // Addressed lines reach their box only; a line without an address reaches nobody.
    bus.Send(4, "bY 9\r");
    bus.Send(4, "aY 4\r");
    bus.Send(4, "Y 2\r");
    EXPECT_EQ(bus.boxes.AlphaBox().Outputs(), 4);
    EXPECT_EQ(bus.boxes.DeltaBox().Outputs(), 9);
    bus.Send(4, "b");
    bus.Send(4, "C\r");
    EXPECT_EQ(bus.Read(4), "+0\r");
    EXPECT_EQ(bus.boxes.AlphaBox().Commands(), 1);
    // The point-to-point ports are not wired on a bus installation.
    EXPECT_EQ(bus.Probe(1), "");
}

TEST(SimBoxes, FaultsSilenceCutOrScrambleTheAnswersAndAVanishedLineFailsEveryCall) {
    Bench b;
    b.boxes.AlphaBox().SetFault(BoxFault::Silent);
    EXPECT_EQ(b.Probe(1), "");
    EXPECT_EQ(b.Ask(1, "C"), "");
    b.boxes.AlphaBox().SetFault(BoxFault::TwoBytes);
    EXPECT_EQ(b.Probe(1), "64");
    b.boxes.AlphaBox().SetFault(BoxFault::Garbage);
    const std::string g1 = b.Ask(1, "C");
    const std::string g2 = b.Ask(1, "C");
    EXPECT_NE(g1, g2);
    EXPECT_GT(g1.size(), 2u);
    // Faults change answers, not what the box does.
    b.Ask(1, "Y 4");
    EXPECT_EQ(b.boxes.AlphaBox().Outputs(), 4);

    b.boxes.VanishLine(2, true);
    char c = 0;
    EXPECT_EQ(b.boxes.sio_write(2, "C\r", 2), SIO_BADPORT);
    EXPECT_EQ(b.boxes.sio_read(2, &c, 1), SIO_BADPORT);
    EXPECT_EQ(b.boxes.sio_putch(2, kEtx), SIO_BADPORT);
    EXPECT_EQ(b.boxes.sio_flush(2, 0), SIO_BADPORT);
    EXPECT_EQ(b.boxes.sio_open(2), SIO_BADPORT);
    b.boxes.VanishLine(2, false);
    EXPECT_EQ(b.boxes.sio_open(2), 0);
    EXPECT_EQ(b.boxes.sio_ioctl(2, 11, 3), SIO_BADPARM);
}

}  // namespace
}  // namespace axo::sim
