// A full PCI scan: 4096 configuration reads, four port requests each, through
// the simulated driver; and one configuration read through the simulated
// driver and through the native backend's sysfs route.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "base/cvtrace.h"
#include "hw/cvdriver.h"
#include "hw/cvpci.h"
#include "platform/linux/nativeplatform.h"
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

namespace {

// One configuration dword through the PCI unit, per operation.
void readDWords(benchmark::State& state) {
    DriverStartFlags = {true, false, true};
    IOPort = std::make_unique<TIOPort>();
    for (auto _ : state) benchmark::DoNotOptimize(ReadPCIConfigDWord(0, 31, 3, 0x40));
    IOPort.reset();
}

}  // namespace

static void BM_PciDWordSimulated(benchmark::State& state) {
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    machine.ports().recorder().setEnabled(false);
    machine.pci().addFunction({0, 31, 3}, platform::sim::PciConfigSpace{});
    readDWords(state);
}
BENCHMARK(BM_PciDWordSimulated);

// The native backend's sysfs route, on a stand-in config file.
static void BM_PciDWordSysfs(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("caldavor-bench-" + std::to_string(::getpid()));
    fs::create_directories(root / "sys/bus/pci/devices/0000:00:1f.3");
    std::ofstream(root / "sys/bus/pci/devices/0000:00:1f.3/config", std::ios::binary) << std::string(256, '\0');
    ProgramDir = root.string() + "/";  // its trace says why the other routes are refused
    {
        platform::native::NativePlatform machine({(root / "dev").string(), (root / "sys").string(),
                                                  (root / "proc").string()},
                                                 [] { return ENOSYS; });
        platform::ScopedPlatform scope(machine);
        readDWords(state);
    }
    fs::remove_all(root);
}
BENCHMARK(BM_PciDWordSysfs);
