// An Alpha start and an Alpha stop through the 6420 driver, on the real clock, against the
// simulated boxes in process and behind pseudo-terminals (the termios backend).
//
// The protocol mandates its pauses: 50 ms after each command, 100 ms between the position
// polls of a stop. A clock that adds up the pauses asked of it gives the mandated time of
// each operation; the ratio of the wall time to it is what the program and the line add
// around the waits the boxes require. It should be close to 1.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "core/interval_timer.h"
#include "interfaces/serial64xx/s64xx_driver.h"
#include "platform/termios_serial.h"
#include "sim/serial64xx/pty_boxes.h"
#include "sim/serial64xx/simulated_boxes.h"
#include "support/core_fakes.h"

namespace {

using namespace axo;

// The real clock, counting the milliseconds of pause it is asked for.
class CountingClock final : public Clock {
public:
    uint32_t GetTickCount() override { return real_.GetTickCount(); }
    float SecondsSinceMidnight() override { return real_.SecondsSinceMidnight(); }
    PcDateTime Now() override { return real_.Now(); }
    void Pause(uint32_t ms) override {
        paused_ += ms;
        real_.Pause(ms);
    }
    uint64_t TakePaused() {
        const uint64_t p = paused_;
        paused_ = 0;
        return p;
    }

private:
    RealClock real_;
    uint64_t paused_ = 0;
};

struct Station : test::RecordingSeams {
    explicit Station(SerialLibrary& sio)
        : core(settings, Seams(clock)),
          brake(clock), driver(core, sio, brake) {
        settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
        settings.Int(IntKey::interface_de) = INTERFACE_64XX;
        core.state().StartupDone = true;
        DriverParam p{0, 0};
        driver.Handle(CMD_START_INTERFACE, p);
    }
    CountingClock clock;
    Core core;
    ClockTimer brake;
    S64xxDriver driver;
};

double Ms(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void StartStop(benchmark::State& state, Station& s) {
    s.clock.TakePaused();
    double startWall = 0, startMandated = 0, stopWall = 0, stopMandated = 0;
    for (auto _ : state) {
        DriverParam start{kStart, SPEED_MOVING};
        auto t0 = std::chrono::steady_clock::now();
        s.driver.Handle(CMD_ALPHA_PLUS, start);
        startWall += Ms(t0);
        startMandated += static_cast<double>(s.clock.TakePaused());
        DriverParam stop{kStop, SPEED_MOVING};
        t0 = std::chrono::steady_clock::now();
        s.driver.Handle(CMD_ALPHA_PLUS, stop);
        stopWall += Ms(t0);
        stopMandated += static_cast<double>(s.clock.TakePaused());
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["start_wall_ms"] = startWall / n;
    state.counters["start_mandated_ms"] = startMandated / n;
    state.counters["start_ratio"] = startMandated > 0 ? startWall / startMandated : 0.0;
    state.counters["stop_wall_ms"] = stopWall / n;
    state.counters["stop_mandated_ms"] = stopMandated / n;
    state.counters["stop_ratio"] = stopMandated > 0 ? stopWall / stopMandated : 0.0;
    if (!s.log.Only({"box "}).empty()) {
        state.SkipWithError("the boxes reported an error");
    }
}

void BM_AlphaStartStopInProcess(benchmark::State& state) {
    RealClock simClock;
    sim::Observatory observatory(simClock);
    sim::SimulatedBoxes boxes(observatory);
    Station s(boxes);
    StartStop(state, s);
}
BENCHMARK(BM_AlphaStartStopInProcess)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_AlphaStartStopOverPty(benchmark::State& state) {
    sim::PtyBoxes boxes;
    if (!boxes.Ok()) {
        state.SkipWithError("no pseudo-terminals");
        return;
    }
    TermiosSerial lines(boxes.DevicePaths());
    Station s(lines);
    StartStop(state, s);
}
BENCHMARK(BM_AlphaStartStopOverPty)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
