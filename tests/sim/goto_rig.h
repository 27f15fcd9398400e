#pragma once

// The go-to's rig, on boxes and card or all on the parallel boards; shared with the benchmark.

#include <algorithm>
#include <cmath>
#include <random>

#include "astro/formulas.h"
#include "astro/mathlib.h"
#include "core/interval_timer.h"
#include "interfaces/eik120/eik_driver.h"
#include "interfaces/parallel/parallel_driver.h"
#include "interfaces/serial64xx/s64xx_driver.h"
#include "sim/e2e_rig.h"
#include "sim/eik120/simulated_eik_card.h"
#include "sim/serial64xx/settings_wiring.h"
#include "sim/serial64xx/simulated_boxes.h"

namespace axo::test {

enum class Wiring { BoxesAndCard, ParallelBoards };

// The simulated drives' speeds (degrees per second) and ramps (seconds): sim/serial64xx, sim/parallel.
struct DriveFigures { AxisSpeeds ha, dec; double rampUp = 0.0, rampDown = 0.0; };

inline DriveFigures FiguresOf(Wiring w) {
    if (w == Wiring::ParallelBoards) {
        return {{0.0667, 0.5, 2.0}, {0.0667, 0.5, 2.0}, 0.0, 0.0};
    }
    const double sid = sim::kSiderealDegPerSec;
    return {{sid * 64 / 1541 * 300, sid * 64 / 1541 * 500, sid * 1024 / 1541 * 1200},
            {sid * 2, sid * 4, sid * 16 / 1541 * 150 * 64},
            0.3,
            0.4};
}

struct GotoRig : E2eRig {
    explicit GotoRig(Wiring w, double coast = 0.1, double ha = 1.0, double dec = 30.0)
        : E2eRig(sim::ObservatoryStart{ha, dec, 180.0, 3.0}),
          wiring(w),
          boxes(observatory),
          card(r.clock, observatory.TheMount()),
          brake(r.clock),
          parallel(r.core, bus),
          serial(r.core, boxes, brake),
          eik(r.core, card, &card.Interrupts()) {
        observatory.TheMount().SetCoastSeconds(coast);
        card.SetBeforeSample([this] { observatory.Update(); });
        parallel.RegisterWith(r.core);
        serial.RegisterWith(r.core);
        eik.RegisterWith(r.core);
        Settings& s = r.settings;
        const bool onBoxes = w == Wiring::BoxesAndCard;
        s.Int(IntKey::interface_ra) = s.Int(IntKey::interface_de) = onBoxes ? INTERFACE_64XX : INTERFACE_PARALLEL;
        s.Int(IntKey::interface_coders) = onBoxes ? INTERFACE_EIK120 : INTERFACE_PARALLEL;
        s.Int(IntKey::latitude_d) = 45;  // middle northern latitude, where every limit can be met
        boxes.SetWiringSource([this] { return sim::WiringFromSettings(r.settings); });
        afterPoll = [this] { brake.Poll(); };
        Start();
        Run(300);
    }

    Pointing& P() { return r.core.pointing(); }
    double HaDeg() {
        double h = HourAngleSeconds() / 240.0;
        return h > 180.0 ? h - 360.0 : h;
    }
    double DecDeg() { return DeclinationArcsec() / 3600.0; }
    // Puts the telescope where its coders will read this hour angle and declination.
    void PlaceAt(double haHours, double decDeg) {
        sim::Mount& m = observatory.TheMount();
        const double haOffset = HaDeg() - m.HourAngleHours() * 15.0;  // what the coders read less the truth
        const double decOffset = DecDeg() - m.DeclinationDeg();
        m.SetHourAngleHours(std::fmod(haHours * 15.0 - haOffset + 720.0, 360.0) / 15.0);
        m.SetDeclinationDeg(decDeg - decOffset);
        Run(200);
    }
    bool OutsideNow() { return !P().OutsideLimits(HaDeg() / 15.0, DecDeg()).empty(); }

    // Runs until the go-to ends or `maxMs` passes; `eachTick` sees every polling tick.
    uint64_t RunGoto(uint64_t maxMs, const std::function<void()>& eachTick = {}) {
        const uint64_t start = r.clock.ElapsedMs();
        const auto before = afterPoll;
        afterPoll = [&] {
            before();
            if (eachTick) {
                eachTick();
            }
        };
        while (P().Active() && r.clock.ElapsedMs() - start < maxMs) {
            Run(50);
        }
        afterPoll = before;
        return r.clock.ElapsedMs() - start;
    }

    // Slewing with its ramps, then a 50 ms tick of travel at pointing speed and one at centring speed.
    double PhysicalLimitS(double haDistDeg, double decDistDeg) const {
        const DriveFigures f = FiguresOf(wiring);
        const double tick = 0.05;
        const auto axis = [&](const AxisSpeeds& v, double d) {
            if (d <= 0.0) {
                return 0.0;
            }
            const double slew = d / v.slewing + f.rampUp / 2 + f.rampDown / 2;
            const double finish = std::min(d, v.slewing * tick) / v.pointing + v.pointing * tick / v.centring;
            return slew + finish;
        };
        return std::max(axis(f.ha, std::fabs(haDistDeg)), axis(f.dec, std::fabs(decDistDeg)));
    }

    Wiring wiring;
    sim::SimulatedBoxes boxes;
    sim::SimulatedEikCard card;
    ClockTimer brake;
    ParallelDriver parallel;
    S64xxDriver serial;
    EikDriver eik;
};

// The right ascension of date that has hour angle `haHours` now.
inline double RaForHourAngle(GotoRig& g, double haHours) {
    const double lst = g.P().HourAngleNow(0.0);  // the hour angle of RA 0 is the sidereal time
    return std::fmod((lst - haHours) * kPi / 12.0 + 4 * kPi, 2 * kPi);
}

// A trip inside the default limits (below 59° on the boards, whose Delta coder stops there).
struct Trip { double startHa, startDec, targetHa, targetDec; };

inline Trip RandomTrip(GotoRig& g, std::mt19937& rng) {
    std::uniform_real_distribution<double> ha(-5.5, 5.5);
    std::uniform_real_distribution<double> dec(-25.0, g.wiring == Wiring::ParallelBoards ? 59.0 : 88.0);
    Trip t{};
    do {
        t = {ha(rng), dec(rng), ha(rng), dec(rng)};
    } while (!g.P().OutsideLimits(t.startHa, t.startDec).empty() ||
             !g.P().OutsideLimits(t.targetHa, t.targetDec).empty() ||
             // still inside when the telescope gets there (the sky turns)
             !g.P().OutsideLimits(t.targetHa + 0.1, t.targetDec).empty());
    return t;
}

}  // namespace axo::test
