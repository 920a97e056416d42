// A full PCI scan: 4096 configuration reads, four port requests each, through
// the simulated driver.
#include <benchmark/benchmark.h>

#include "hw/cvdriver.h"
#include "hw/cvpci.h"
#include "platform/sim/machine.h"

static void BM_FindPCIDevice(benchmark::State& state) {
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    machine.ports().recorder().setEnabled(false);
    platform::sim::PciConfigSpace config{};
    config[0] = 0x86, config[1] = 0x80, config[2] = 0x30, config[3] = 0x29;
    machine.pci().addFunction({0, 31, 3}, config);
    DriverStartFlags = {true, false, true};
    IOPort = std::make_unique<TIOPort>();
    TPCILocation location;
    for (auto _ : state) benchmark::DoNotOptimize(FindPCIDevice(0x8086, 0x2930, location));
    IOPort.reset();
}
BENCHMARK(BM_FindPCIDevice)->Unit(benchmark::kMillisecond);
