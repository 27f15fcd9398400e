// Cost of one full polling tick through the core (boards, Alpha, Delta, 64xx step, dome,
// telescope azimuth, dome steps) with drivers that return at once: what the core itself adds
// to the hardware's own waits on every tick.

#include <benchmark/benchmark.h>

#include "support/core_fakes.h"

namespace {

void BM_SystemTick(benchmark::State& state) {
    axo::test::CoreRig rig;
    rig.settings.Int(axo::IntKey::interface_ra) = axo::INTERFACE_64XX;
    rig.Init();
    // Drivers that do nothing, and the position moving a little every tick so that the
    // telescope azimuth is recomputed each time, as while tracking.
    for (auto id : {axo::InterfaceId::Parallel, axo::InterfaceId::S64xx}) {
        rig.core.drivers().Register(id, [](int16_t, axo::DriverParam&) -> int16_t { return 1; });
    }
    rig.core.state().DomeTrackingOn = true;
    rig.view.trackingVisible = state.range(0) != 0;
    int16_t s = 0;
    for (auto _ : state) {
        rig.core.position().HourAngleS = s;
        s = static_cast<int16_t>((s + 1) % 60);
        rig.core.SystemTick();
        rig.log.Clear();
    }
}
BENCHMARK(BM_SystemTick)->Arg(0)->Arg(1)->ArgName("tracking_window")->Unit(benchmark::kMicrosecond);

}  // namespace
