// One read-out tick of the encoder card (codes 301 and 302 through the core) on the simulated
// card: wall time and processor time per tick, on demand and in interrupt mode (where the
// channel-1 axis comes from the handler and the other is still read on demand).

#include <benchmark/benchmark.h>

#include <ctime>

#include "interfaces/eik120/eik_driver.h"
#include "sim/eik120/simulated_eik_card.h"
#include "support/core_fakes.h"

namespace {

using namespace axo;

double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void ReadOutTick(benchmark::State& state, bool interrupts) {
    test::CoreRig r;
    RealClock clock;
    sim::Mount mount(1.0, 30.0);
    sim::SimulatedEikCard card(clock, mount);
    EikDriver driver(r.core, card, &card.Interrupts());
    driver.RegisterWith(r.core);
    r.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
    driver.Copies().UseIrq = interrupts ? 1 : 0;
    if (interrupts) {
        card.StartInterruptThread();
    }
    DriverParam p{0, 0};
    driver.Handle(CMD_START_INTERFACE, p);
    const double cpu0 = ProcessSeconds();
    for (auto _ : state) {
        r.core.Command(CMD_READ_ALPHA, 0);
        r.core.Command(CMD_READ_DELTA, 0);
    }
    const double cpu = ProcessSeconds() - cpu0;
    state.counters["cpu_us_per_tick"] = cpu * 1e6 / static_cast<double>(state.iterations());
    driver.Handle(CMD_STOP_INTERFACE, p);
    card.StopInterruptThread();
}

void BM_EikReadOutTickOnDemand(benchmark::State& state) {
    ReadOutTick(state, false);
}
void BM_EikReadOutTickInterruptMode(benchmark::State& state) {
    ReadOutTick(state, true);
}
BENCHMARK(BM_EikReadOutTickOnDemand)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EikReadOutTickInterruptMode)->Unit(benchmark::kMicrosecond);

}  // namespace
