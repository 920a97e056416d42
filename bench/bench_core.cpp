// Costs of what runs for every reading on every tick: one statistics sample,
// and one trace line.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/cvvars.h"
#include "platform/sim/machine.h"

namespace {

// A steady stream: extremes never leave the window, so no rescan.
void BM_ValueStatsAddSteady(benchmark::State& state) {
    TValueStats stats(8, "bench temp");
    stats.SetSpikeFilter(nullptr, 125.0);
    stats.Add(-1000);  // stays the minimum...
    stats.Add(1000);   // ...and maximum while the window turns
    float value = 40;
    for (auto _ : state) {
        stats.Add(value);
        value = value >= 60 ? 40 : value + 0.25f;
    }
    benchmark::DoNotOptimize(stats.Trend());
}
BENCHMARK(BM_ValueStatsAddSteady);

// A rising stream: every sample leaving the full window is its minimum, so
// every call rescans the 256 entries.
void BM_ValueStatsAddExtremesLeave(benchmark::State& state) {
    TValueStats stats(8, "bench temp");
    float value = 0;
    for (auto _ : state) stats.Add(value += 1.0f);
    benchmark::DoNotOptimize(stats.FWindowMin);
}
BENCHMARK(BM_ValueStatsAddExtremesLeave);

void BM_WriteDebugLogLine(benchmark::State& state) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("caldavor-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        platform::sim::Machine machine(false);
        machine.setProgramDir(dir.string());
        platform::ScopedPlatform scope(machine);
        InitializeCvvars();
        for (auto _ : state) WriteDebugLog("SMBus read at $2D returned $1F");
        FinalizeCvvars();
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WriteDebugLogLine);

}  // namespace
