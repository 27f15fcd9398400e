#include <gtest/gtest.h>

#include "interfaces/parallel/input_value.h"
#include "sim/parallel/simulated_bus.h"

namespace axo::sim {
namespace {

// Drives the bus the way the host's link does: a strobe is the address with the dibit, then
// the dibit alone.
struct Host {
    VirtualClock clock;
    Observatory observatory{clock};
    SimulatedBus bus{observatory};
    void Strobe(uint8_t address, uint8_t dibit) {
        bus.Out(SimulatedBus::kCommandBase, static_cast<uint8_t>(dibit << 4 | address));
        clock.Advance(2);
        bus.Out(SimulatedBus::kCommandBase, static_cast<uint8_t>(dibit << 4));
        clock.Advance(2);
    }
    uint8_t Input() {
        return AssembleInputValue(bus.In(SimulatedBus::kCommandBase + 1), bus.In(SimulatedBus::kDataBase + 1));
    }
    // A position read of an axis board: the input after each of the seven strobes.
    std::vector<uint8_t> ReadPosition(uint8_t address) {
        std::vector<uint8_t> seen;
        for (int i = 0; i < 7; ++i) {
            Strobe(address, 0);
            seen.push_back(Input());
        }
        return seen;
    }
};

TEST(SimBus, ReadsAcknowledgesAndMessagesAsTheHostExpectsThem) {
    Host h;
    h.bus.TheMount().SetHourAngleHours(13.0 + 47.0 / 60 + 25.5 / 3600);
    EXPECT_EQ(h.Input(), 0x20);
    EXPECT_EQ(h.ReadPosition(2), (std::vector<uint8_t>{0x01, 0x13, 0x04, 0x17, 0x02, 0x15, 0x20}));

    // Negative declination: the sign bit of the minutes' tens is clear.
    h.bus.TheMount().SetDeclinationDeg(-(12.0 + 34.0 / 60 + 56.2 / 3600));
    EXPECT_EQ(h.ReadPosition(3), (std::vector<uint8_t>{0x01, 0x12, 0x03, 0x14, 0x05, 0x16, 0x20}));

    // The filter's position inputs sit on the data port beside the SELECT line.
    EXPECT_EQ(h.bus.In(SimulatedBus::kDataBase + 1) & 0xC0, 0x80);  // red: both low

    // Unplugged, the Alpha board leaves the lines to the pull-ups: ready, never leaving it.
    h.bus.Unplug(2, true);
    h.Strobe(2, 0);
    EXPECT_EQ(h.Input(), 0x2F);
    h.bus.Unplug(2, false);
    h.bus.PowerOff(true);
    EXPECT_EQ(h.Input(), 0x00);
}

TEST(SimBus, TheDomeFindsItsZeroAndReportsAJam) {
    Host h;
    h.bus.TheDome().SetAzimuth(100.0);
    h.Strobe(1, 3);
    EXPECT_EQ(h.Input(), 0x10);
    h.Strobe(1, 3);
    EXPECT_EQ(h.Input(), 0x20);  // ready while it turns
    h.clock.Advance(20000);      // 80 degrees at 3 degrees a second: not there yet
    EXPECT_EQ(h.Input(), 0x20);
    h.clock.Advance(10000);
    EXPECT_EQ(h.Input(), 0x01);  // message 1: stopped on the zero
    EXPECT_NEAR(h.bus.TheDome().Azimuth(), 180.0, 1e-9);
    EXPECT_EQ(h.bus.TheDomeBoard().Count(), 0);
    h.Strobe(1, 0);  // acknowledge
    EXPECT_EQ(h.Input(), 0x20);

    h.bus.JamDome(true);
    h.Strobe(1, 2);
    h.Strobe(1, 1);
    h.clock.Advance(3000);
    EXPECT_EQ(h.Input(), 0x03);  // rotation problem
    EXPECT_EQ(h.bus.TheDome().Direction(), 0);
}

}  // namespace
}  // namespace axo::sim
