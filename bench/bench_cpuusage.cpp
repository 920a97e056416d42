// One collection and publish of the processors' usage over a 64-processor
// performance block, as the route without thread does every second.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "base/cvtrace.h"
#include "cpu/noscpuusage.h"
#include "hw/cvosinfo.h"
#include "platform/sim/machine.h"

static void BM_UpdateCpuUsage64(benchmark::State& state) {
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    ProgramDir = std::filesystem::temp_directory_path().string() + "/";
    platform::OsVersion os = machine.osVersion();
    os.major = 5, os.minor = 0;  // Windows 2000: no thread, each update samples
    machine.setOsVersion(os);
    std::vector<double> idle(64);
    for (std::size_t i = 0; i < idle.size(); ++i) idle[i] = static_cast<double>(i) / 64;
    machine.processorLoad().setPhases({{0, idle}});
    TCPUUsage usage;
    TNosCpuUsageSampler sampler(usage);
    sampler.Start(TNosOperatingSystem());
    for (auto _ : state) {
        machine.simClock().advance(1000);
        sampler.UpdateCpuUsage();
        benchmark::DoNotOptimize(usage.total.load());
    }
}
BENCHMARK(BM_UpdateCpuUsage64)->Unit(benchmark::kMicrosecond);
