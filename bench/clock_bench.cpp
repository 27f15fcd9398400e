// The real clock's waits: how much processor time a long wait costs (it must sleep, not spin),
// and how late a chain of short waits ends (the lateness of each wake-up must not add up).

#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>

#include "platform/clock.h"

namespace {

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

void BM_RealClockWait500(benchmark::State& state) {
    axo::RealClock clock;
    double cpuMs = 0.0;
    double wallMs = 0.0;
    for (auto _ : state) {
        const double c0 = ThreadCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        axo::WaitMs(clock, 500);
        wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        cpuMs += ThreadCpuMs() - c0;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wallMs / n;
    state.counters["cpu_ms"] = cpuMs / n;
}
BENCHMARK(BM_RealClockWait500)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

// Forty 2 ms waits back to back, as a polling tick strings them: the chain should take 80 ms,
// not 80 ms plus forty wake-up delays.
void BM_RealClockChainOfShortWaits(benchmark::State& state) {
    axo::RealClock clock;
    double wallMs = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 40; ++i) {
            axo::WaitMs(clock, 2);
        }
        wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    }
    const double perChain = wallMs / static_cast<double>(state.iterations());
    state.counters["wall_ms"] = perChain;
    state.counters["ratio"] = perChain / 80.0;
}
BENCHMARK(BM_RealClockChainOfShortWaits)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

}  // namespace
