// One polling tick through the core, the parallel interface and the simulated bus.
//
// On the real clock the tick's wall time is what the observer's machine spends; the protocol
// itself mandates pauses (2 ms after each strobe, the boards' acknowledge waits), which the
// same tick on the virtual clock adds up exactly. The ratio of the two is the overhead of the
// program around the waits the boards require: it should be close to 1.

#include <benchmark/benchmark.h>

#include <chrono>

#include "interfaces/parallel/parallel_driver.h"
#include "sim/parallel/simulated_bus.h"
#include "support/core_fakes.h"

namespace {

using namespace axo;

// A core with recording fakes for the windows, every function on the parallel boards, on the
// given clock.
struct Station : test::RecordingSeams {
    explicit Station(Clock& clock)
        : core(settings, Seams(clock)),
          observatory(clock), bus(observatory), driver(core, bus) {
        driver.RegisterWith(core);
        for (IntKey k : {IntKey::interface_ra, IntKey::interface_de, IntKey::interface_dome, IntKey::interface_coders,
                         IntKey::interface_focus, IntKey::interface_filter}) {
            settings.Int(k) = INTERFACE_PARALLEL;
        }
        settings.Int(IntKey::error_stop) = 0;
        core.InitSystem();
        core.state().StartupDone = true;
    }
    Core core;
    sim::Observatory observatory;
    sim::SimulatedBus bus;
    ParallelDriver driver;
};

void BM_PollingTickOnSimulatedBus(benchmark::State& state) {
    double mandatedMs = 0.0;
    {
        VirtualClock clock;
        Station s(clock);
        constexpr int kTicks = 100;
        const uint64_t start = clock.ElapsedMs();
        for (int i = 0; i < kTicks; ++i) {
            s.core.SystemTick();
            s.log.Clear();
        }
        mandatedMs = static_cast<double>(clock.ElapsedMs() - start) / kTicks;
    }
    RealClock clock;
    Station s(clock);
    double wallMs = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        s.core.SystemTick();
        wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        s.log.Clear();
    }
    const double perTick = wallMs / static_cast<double>(state.iterations());
    state.counters["wall_ms"] = perTick;
    state.counters["mandated_ms"] = mandatedMs;
    state.counters["overhead_ratio"] = mandatedMs > 0 ? perTick / mandatedMs : 0.0;
}
BENCHMARK(BM_PollingTickOnSimulatedBus)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace
