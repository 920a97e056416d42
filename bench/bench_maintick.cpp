// The program's own cost per main tick, without the cost of reading chips:
// the tick over fast fake sensors on the demo board, the tray icon for a
// value that did not change, and the shared block's update.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/cvmaintick.h"
#include "core/cvmonitor.h"
#include "mainwindow/cvtrayicon.h"
#include "core/cvvars.h"
#include "core/fakesensor.h"
#include "core/sharedmm.h"
#include "platform/sim/machine.h"

namespace {

using coretest::TFakeReadings;
using coretest::TFakeSensor;

// The demo board with one fake chip of nine temperatures, nine fans and
// fifteen voltages, every slot shown and published.
class TBenchMonitor {
public:
    TBenchMonitor() : dir_(std::filesystem::temp_directory_path() / ("caldavor-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        machine_.loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
        machine_.setProgramDir(dir_.string());
        InitializeCvvars();
        TFakeReadings readings;
        for (int i = 1; i <= 9; ++i) readings.Temps.push_back("T" + std::to_string(i));
        for (int i = 1; i <= 9; ++i) readings.Fans.push_back("F" + std::to_string(i));
        for (int i = 1; i <= 15; ++i) readings.Volts.push_back("V" + std::to_string(i));
        auto& sensor = static_cast<TFakeSensor&>(monitor.AppendSensor(
            std::make_unique<TFakeSensor>("fast", 0x290, readings)));
        sensor.Sample(TReadingKind::Temp, std::vector<double>(9, 41.5));
        sensor.Sample(TReadingKind::Fan, std::vector<double>(9, 2250));
        sensor.Sample(TReadingKind::Volt, std::vector<double>(15, 3.3));
        monitor.BuildReadingSlots();
        monitor.AutoAssociate();
        monitor.PARSEUSED();
        monitor.SharedMem.SetBlockSize(SharedLayout::BlockSize);
        monitor.SharedMem.SetBlockName(SharedLayout::BlockName);
    }
    ~TBenchMonitor() {
        FinalizeCvvars();
        std::filesystem::remove_all(dir_);
    }
    TBenchMonitor(const TBenchMonitor&) = delete;
    TBenchMonitor& operator=(const TBenchMonitor&) = delete;

    TMonitor monitor;

private:
    std::filesystem::path dir_;
    platform::sim::Machine machine_;
    platform::ScopedPlatform scope_{machine_};
};

void BM_MainTick(benchmark::State& state) {
    TBenchMonitor bench;
    for (auto _ : state) RxTimerMainTimer(bench.monitor);
}
BENCHMARK(BM_MainTick);

void BM_UpdateTrayIconUnchanged(benchmark::State& state) {
    TBenchMonitor bench;
    bench.monitor.Slots.TempSlots.front().InTray = true;
    TTrayIconCache icons;
    icons.UpdateTrayIcon(bench.monitor);  // renders once
    for (auto _ : state) benchmark::DoNotOptimize(icons.UpdateTrayIcon(bench.monitor));
}
BENCHMARK(BM_UpdateTrayIconUnchanged);

void BM_UpdateSharedReadings(benchmark::State& state) {
    TBenchMonitor bench;
    for (auto _ : state) bench.monitor.UpdateSharedReadings();
}
BENCHMARK(BM_UpdateSharedReadings);

}  // namespace
