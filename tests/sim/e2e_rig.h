#pragma once

// The core and the simulated observatory on the virtual clock; rigs register drivers, then Start().

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "sim/parallel/simulated_bus.h"
#include "support/core_fakes.h"

namespace axo::test {

struct E2eRig {
    explicit E2eRig(sim::ObservatoryStart start) : observatory(r.clock, start), bus(observatory) {}

    void Start() {
        r.settings.Int(IntKey::error_stop) = 0;
        r.core.InitSystem();
        r.core.state().StartupDone = true;
        r.core.ClockTick();
    }

    // The polling timer every 50 ms (then `afterPoll`), the clock tick every second, for `ms`.
    void Run(uint64_t ms) {
        const uint64_t end = r.clock.ElapsedMs() + ms;
        uint64_t nextSecond = r.clock.ElapsedMs() + 1000;
        while (r.clock.ElapsedMs() < end) {
            const uint64_t tickStart = r.clock.ElapsedMs();
            r.core.SystemTick();
            if (afterPoll) {
                afterPoll();
            }
            if (r.clock.ElapsedMs() >= nextSecond) {
                r.core.ClockTick();
                nextSecond += 1000;
            }
            // The timer fires 50 ms after the last tick started, or at once when a tick ran long.
            const uint64_t spent = r.clock.ElapsedMs() - tickStart;
            if (spent < 50) {
                r.clock.Advance(50 - spent);
            }
        }
    }

    double HourAngleSeconds() {
        const Position& p = r.core.position();
        return p.HourAngleH * 3600.0 + p.HourAngleM * 60.0 + p.HourAngleS;
    }
    double DeclinationArcsec() {
        const Position& p = r.core.position();
        const double v = p.DeclinationD * 3600.0 + p.DeclinationM * 60.0 + p.DeclinationS;
        return p.DeclinationNegative == 1 ? -v : v;
    }
    // Sidereal time minus hour angle, in seconds of time within the day.
    double RightAscensionSeconds() {
        const double lst = r.core.state().SiderealTimeRad * 43200.0 / 3.141592653589793;
        const double ra = std::fmod(lst - HourAngleSeconds(), 86400.0);
        return ra < 0 ? ra + 86400.0 : ra;
    }
    std::vector<std::string> Errors() const { return r.log.Only({"msg !!!", "msg ***", "box "}); }

    CoreRig r;
    sim::Observatory observatory;
    sim::SimulatedBus bus;
    std::function<void()> afterPoll;
};

}  // namespace axo::test
