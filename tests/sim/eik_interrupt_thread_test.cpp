// The interrupt hand-over under real threads: the simulated card's interrupt thread calls the
// driver's handler while this thread runs the read-out codes and moves the mount. Built and
// run under ThreadSanitizer by scripts/sanitize --thread (any report fails it); in the normal build it checks
// that the counts handed over are whole and current.

#include <gtest/gtest.h>

#include <chrono>

#include "interfaces/eik120/eik_driver.h"
#include "sim/eik120/simulated_eik_card.h"
#include "support/core_fakes.h"

namespace axo {
namespace {

TEST(EikInterruptThread, ThousandsOfInterruptsAgainstTheReadOut) {
    test::CoreRig r;
    sim::Mount mount(2.0, 45.0);
    sim::SimulatedEikCard card(r.clock, mount);
    card.SetBusyReadings(0);
    EikDriver driver(r.core, card, &card.Interrupts());
    driver.RegisterWith(r.core);
    r.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
    driver.Copies().UseIrq = 1;
    r.settings.Int(IntKey::Eik120_timer_irq) = 1;  // one interrupt a millisecond
    card.StartInterruptThread();
    DriverParam p{0, 0};
    ASSERT_EQ(driver.Handle(CMD_START_INTERFACE, p), 1);
    ASSERT_TRUE(driver.InterruptsRunning());

    constexpr uint64_t kInterrupts = 3000;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int polls = 0;
    while (driver.InterruptCounts() < kInterrupts && std::chrono::steady_clock::now() < deadline) {
        // The mount turns a little between polls: every count the handler stores is a count
        // the card really gave, never a mix of two.
        mount.SetHourAngleHours(2.0 + (polls % 100) / 1000.0);
        r.core.Command(CMD_READ_ALPHA, 0);
        r.core.Command(CMD_READ_DELTA, 0);
        const double alpha = driver.AlphaCount();
        const double steps = (alpha - 65000.0) * 24.0 / 131072.0;
        EXPECT_GE(steps, 1.99);
        EXPECT_LE(steps, 2.11);
        ++polls;
    }
    EXPECT_GE(driver.InterruptCounts(), kInterrupts);
    EXPECT_EQ(r.log.Only({"box "}).size(), 0U);
    EXPECT_EQ(driver.Handle(CMD_STOP_INTERFACE, p), 1);
    card.StopInterruptThread();
    const uint64_t after = driver.InterruptCounts();
    EXPECT_EQ(driver.InterruptCounts(), after);
    EXPECT_GT(polls, 0);
    // The declination, polled on demand, stayed where the mount is.
    EXPECT_EQ(r.core.position().DeclinationD, 45);
}

}  // namespace
}  // namespace axo
