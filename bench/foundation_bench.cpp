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

// A settings file as the program writes it: the 128 keys of [Axo] and a small other section.
void BM_ReadSettings(benchmark::State& state) {
    axo::test::TempConfig cfg;
    cfg.Write("Axo.ini", "[Observateur]\nnom=Nuit froide\n\n");
    axo::Settings settings;
    settings.WriteSettings("Axo.ini");
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.ReadSettings("Axo.ini"));
    }
}
BENCHMARK(BM_ReadSettings)->Unit(benchmark::kMicrosecond);

// The write includes two fsync calls (the file, then its folder), which the wall time shows.
void BM_WriteSettings(benchmark::State& state) {
    axo::test::TempConfig cfg;
    cfg.Write("Axo.ini", "[Observateur]\nnom=Nuit froide\n\n");
    axo::Settings settings;
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.WriteSettings("Axo.ini"));
    }
}
BENCHMARK(BM_WriteSettings)->Unit(benchmark::kMicrosecond);

// A file grown to range(0) MB by a program that logged into its [Axo] section: every key
// lookup used to walk the whole section. The cost must grow in proportion to the size.
std::string LargeSettingsFile(std::size_t megabytes) {
    std::string text = "[Observateur]\r\nnom=Nuit froide\r\n\r\n[Axo]\r\n";
    const std::size_t target = megabytes << 20;
    text.reserve(target + 64);
    for (std::size_t i = 0; text.size() < target; ++i) {
        text += "note" + std::to_string(i) + "=Arr\xEAt du suivi, reprise \xE0 22 h\r\n";
    }
    text += "[Fin]\r\nx=1\r\n";
    return text;
}

void BM_ReadSettingsLarge(benchmark::State& state) {
    axo::test::TempConfig cfg;
    cfg.Write("Axo.ini", LargeSettingsFile(static_cast<std::size_t>(state.range(0))));
    axo::Settings settings;
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.ReadSettings("Axo.ini"));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (state.range(0) << 20));
}
BENCHMARK(BM_ReadSettingsLarge)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_WriteSettingsLarge(benchmark::State& state) {
    axo::test::TempConfig cfg;
    const std::string text = LargeSettingsFile(static_cast<std::size_t>(state.range(0)));
    axo::Settings settings;
    for (auto _ : state) {
        state.PauseTiming();
        cfg.Write("Axo.ini", text);  // the same work at each turn: every key is new
        state.ResumeTiming();
        benchmark::DoNotOptimize(settings.WriteSettings("Axo.ini"));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (state.range(0) << 20));
}
BENCHMARK(BM_WriteSettingsLarge)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
