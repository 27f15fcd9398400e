// The go-to on the simulated observatory: random trips (fixed seed, virtual clock) in each
// wiring; prints the distribution of the final errors (arc-seconds, as the coders read them)
// and of the time taken over the drives' physical limit (see GotoRig::PhysicalLimitS).
//   AXO_GOTO_TRIPS=200 build/bench/axo_bench --benchmark_filter=Goto
// AXO_GOTO_SEED=n draws other trips; AXO_GOTO_VERBOSE names the trips slower than AXO_GOTO_SLOW (default
// 2) times the limit; AXO_GOTO_TRACE=i follows trip i tick by tick.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sim/goto_rig.h"

namespace axo {
namespace {

void Quantiles(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) { return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))]; };
    std::printf("  %-26s min %8.2f  médiane %8.2f  p90 %8.2f  p99 %8.2f  max %8.2f\n", what, at(0), at(0.5), at(0.9),
                at(0.99), at(1.0));
}

void GotoTrips(benchmark::State& state, test::Wiring w) {
    const char* env = std::getenv("AXO_GOTO_TRIPS");
    const int trips = env != nullptr ? std::max(1, std::atoi(env)) : 200;
    for (auto _ : state) {
        const char* seed = std::getenv("AXO_GOTO_SEED");
        std::mt19937 rng(seed != nullptr ? static_cast<unsigned>(std::atoi(seed)) : 20261206U);
        test::GotoRig g(w);  // one night: what the go-to learns of the drives carries over
        std::vector<double> haErr, decErr, ratio;
        int failed = 0;
        int outside = 0;
        double haTol = 0.0, decTol = 0.0;
        for (int i = 0; i < trips; ++i) {
            const test::Trip t = test::RandomTrip(g, rng);
            g.PlaceAt(t.startHa, t.startDec);
            g.r.log.Clear();
            const double startHa = g.HaDeg();
            const double ra = test::RaForHourAngle(g, t.targetHa);
            if (!g.P().GoTo(ra, D2R(t.targetDec), "cible", false).empty()) {
                ++failed;
                continue;
            }
            bool out = false;
            // AXO_GOTO_TRACE=n prints every tick of trip n: time, distance left per axis, speed modes.
            const char* traced = std::getenv("AXO_GOTO_TRACE");
            const bool trace = traced != nullptr && std::atoi(traced) == i;
            const uint64_t t0 = g.r.clock.ElapsedMs();
            const uint64_t ms = g.RunGoto(1800000, [&] {
                out = out || g.OutsideNow();
                if (trace) {
                    const GotoProgress p = g.P().Progress();
                    std::printf("    %7.2f s  Alpha %9.4f°  Delta %9.4f°  modes %d %d\n",
                                static_cast<double>(g.r.clock.ElapsedMs() - t0) / 1000.0, p.haLeftDeg, p.decLeftDeg,
                                p.haMode, p.decMode);
                }
            });
            outside += out ? 1 : 0;
            failed += g.Errors().empty() ? 0 : 1;
            const double r = static_cast<double>(ms) / 1000.0 / g.PhysicalLimitS(g.HaDeg() - startHa, t.targetDec - t.startDec);
            if (std::getenv("AXO_GOTO_VERBOSE") != nullptr && (!g.Errors().empty() || out || r > (std::getenv("AXO_GOTO_SLOW") != nullptr ? std::atof(std::getenv("AXO_GOTO_SLOW")) : 2.0))) {
                std::printf("    %d rapport %.3f (%.0f s) ", i, r, static_cast<double>(ms) / 1000.0);
                std::printf("    %6.2f h %6.2f° -> %6.2f h %6.2f° : %s%s\n", t.startHa, t.startDec, t.targetHa,
                            t.targetDec, g.Errors().empty() ? "" : g.Errors().front().c_str(), out ? " (hors limites)" : "");
            }
            haErr.push_back(std::fabs(g.P().HourAngleNow(ra) * 15.0 - g.HaDeg()) * 3600.0);
            decErr.push_back(std::fabs(t.targetDec - g.DecDeg()) * 3600.0);
            ratio.push_back(static_cast<double>(ms) / 1000.0 /
                            g.PhysicalLimitS(g.HaDeg() - startHa, t.targetDec - t.startDec));
            haTol = std::max(haTol, g.P().ToleranceDeg(0) * 3600.0);
            decTol = std::max(decTol, g.P().ToleranceDeg(1) * 3600.0);
        }
        std::printf("%s : %d trajets, %d arrêtés sur une erreur, %d sortis des limites ; tolérance Alpha %.0f\", Delta %.1f\"\n",
                    w == test::Wiring::BoxesAndCard ? "boîtiers 6420 + carte EIK120" : "cartes parallèles", trips, failed,
                    outside, haTol, decTol);
        Quantiles("erreur Alpha (\")", haErr);
        Quantiles("erreur Delta (\")", decErr);
        Quantiles("temps / limite physique", ratio);
        state.counters["failed"] = failed;
        state.counters["max_ratio"] = *std::max_element(ratio.begin(), ratio.end());
    }
}

BENCHMARK_CAPTURE(GotoTrips, BoxesAndCard, test::Wiring::BoxesAndCard)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(GotoTrips, ParallelBoards, test::Wiring::ParallelBoards)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace axo
