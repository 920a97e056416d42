// One SMBus byte-data read through a link's frame (retry rule, engine steps,
// bounded end wait) against a simulated host that answers at once.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "base/cvtrace.h"
#include "hw/cvlink.h"
#include "platform/sim/machine.h"
#include "platform/sim/smbussegment.h"
#include "support/simsmbushost.h"

namespace {

// The link's trace line goes to a folder of its own, not the working folder.
struct TraceFolder {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "caldavor-bench-smbus";
    TraceFolder() {
        std::filesystem::create_directories(path);
        ProgramDir = path.string() + "/";
    }
    ~TraceFolder() { std::filesystem::remove_all(path); }
};

void BM_SMBusReadByteData(benchmark::State& state) {
    TraceFolder traceFolder;
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    platform::sim::SMBusSegment segment;
    segment.setRecording(false);
    auto slave = std::make_shared<platform::sim::SMBusSlave>();
    slave->registers().set(0x05, 0x42);
    segment.attach(0x2D, slave);
    TLink link(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, testsupport::SimProtocolHost::On(segment));
    link.RegisterAddress(0x2D);

    std::uint8_t value = 0;
    for (auto _ : state) {
        link.BeginAccess();
        benchmark::DoNotOptimize(link.ReadByteData(0x2D, 0x05, value));
        link.EndAccess();
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_SMBusReadByteData);

}  // namespace
