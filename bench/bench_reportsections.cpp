// The slow parts of one diagnostic report on a simulated board: the PCI list
// walks all 8,192 device slots and dumps every function it lists, and the
// memory-module information reads one SPD EEPROM byte by byte, each under
// its own bus lock.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "base/cvtrace.h"
#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "platform/sim/machine.h"
#include "platform/sim/smbussegment.h"
#include "report/cvdimminfo.h"
#include "report/cvreport.h"
#include "report/cvreportbus.h"
#include "support/simsmbushost.h"

namespace {

// No names file there: every device gets the default name.
std::string BenchFolder() { return (std::filesystem::temp_directory_path() / "caldavor-bench-none").string() + "/"; }

class TQuietProgress : public TReportProgress {
public:
    void InsertFirst(const std::string&) override {}
    void ReplaceFirst(const std::string&) override {}
    void ProcessMessages() override {}
};

}  // namespace

static void BM_PciList(benchmark::State& state) {
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    ProgramDir = BenchFolder();
    machine.ports().recorder().setEnabled(false);
    // A board's worth of functions: a bridge per bus of the first 16, two functions each.
    for (unsigned bus = 0; bus < 16; ++bus)
        for (unsigned function = 0; function < 2; ++function) {
            platform::sim::PciConfigSpace config{};
            config[0] = 0x86, config[1] = 0x80, config[2] = static_cast<std::uint8_t>(bus), config[3] = 0x24;
            config[0x0E] = 0x80;
            machine.pci().addFunction({bus, 0, function}, config);
        }
    DriverStartFlags = {true, false, true};
    IOPort = std::make_unique<TIOPort>();
    for (auto _ : state) {
        TQuietProgress progress;
        TReport report(progress);
        AddPciList(report);
        benchmark::DoNotOptimize(report.Text().size());
    }
    IOPort.reset();
}
BENCHMARK(BM_PciList)->Unit(benchmark::kMillisecond);

static void BM_OneModuleSpdRead(benchmark::State& state) {
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    ProgramDir = BenchFolder();
    platform::sim::SMBusSegment segment;
    auto eeprom = std::make_shared<platform::sim::SMBusSlave>();
    eeprom->registers().set(2, 8);  // DDR2
    segment.attach(0x50, eeprom);
    IOPort = std::make_unique<TIOPort>();
    TLink link(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, testsupport::SimProtocolHost::On(segment));
    for (auto _ : state) {
        std::vector<std::string> lines;
        DecodeDimm(link, 0x50, 0, lines);
        segment.clearRequests();
        benchmark::DoNotOptimize(lines.size());
    }
    IOPort.reset();
}
BENCHMARK(BM_OneModuleSpdRead)->Unit(benchmark::kMillisecond);
