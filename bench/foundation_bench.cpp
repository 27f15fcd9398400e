// Costs of the foundation routines the running program calls on its timers: the clock tick
// computes sidereal time once a second, start-up and File > Open read the whole settings file.

#include <benchmark/benchmark.h>

#include "astro/formulas.h"
#include "astro/mathlib.h"
#include "settings/settings.h"
#include "support/temp_config.h"

namespace {

void BM_SideralTime(benchmark::State& state) {
    axo::SiteRecord site;
    site.longitude = axo::Dms2R(1, 0, 8, 42.0);
    axo::DateTimeRecord when;
    when.year = 2026;
    when.month = 12;
    when.day = 6;
    when.hour = 21;
    for (auto _ : state) {
        benchmark::DoNotOptimize(axo::SideralTime(when, site));
        when.second = when.second < 59.0 ? when.second + 1.0 : 0.0;
    }
}
BENCHMARK(BM_SideralTime);

void BM_EquatorialToHorizontal(benchmark::State& state) {
    double h = 0.1;
    for (auto _ : state) {
        double a = 0.0;
        double alt = 0.0;
        axo::EquatorialToHorizontal(h, 0.4, a, alt);
        benchmark::DoNotOptimize(a);
        h += 1e-3;
    }
}
BENCHMARK(BM_EquatorialToHorizontal);

void BM_ReadSettings(benchmark::State& state) {
    axo::test::TempConfig cfg;
    axo::Settings settings;
    settings.WriteSettings("Axo.ini");
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.ReadSettings("Axo.ini"));
    }
}
BENCHMARK(BM_ReadSettings)->Unit(benchmark::kMicrosecond);

void BM_WriteSettings(benchmark::State& state) {
    axo::test::TempConfig cfg;
    axo::Settings settings;
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.WriteSettings("Axo.ini"));
    }
}
BENCHMARK(BM_WriteSettings)->Unit(benchmark::kMicrosecond);

}  // namespace
