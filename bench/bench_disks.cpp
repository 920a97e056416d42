// What the disk sensor does on every 21st tick: the attribute page and the
// threshold page through the Physical transport, against a simulated disk.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "base/cvtrace.h"
#include "disks/cvadvsmart.h"
#include "platform/sim/machine.h"
#include "platform/sim/simdisk.h"

namespace {

void BM_DiskPagesPhysical(benchmark::State& state) {
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    machine.loadFromJson(R"({"disks": {"d0": {"model": "ST3500418AS", "sectors": 976773168, "lba48": true,
        "attributes": [{"id": 1, "value": 117}, {"id": 9, "value": 82}, {"id": 194, "value": 36, "raw": "0x24"}],
        "thresholds": [6, 0, 0], "temperature": [36, 37, 38], "physical": {"drive": 0}}}})",
                         "bench.json");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    std::array<std::uint8_t, 512> page{};
    auto& recorder = machine.disks().recorder();
    for (auto _ : state) {
        benchmark::DoNotOptimize(hd.ReadAttributePage(page));
        benchmark::DoNotOptimize(hd.ReadThresholdPage(page));
        recorder.clear();  // a bench run is not a test: keep the recorder small
    }
}
BENCHMARK(BM_DiskPagesPhysical);

}  // namespace
