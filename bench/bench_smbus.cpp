// One SMBus byte-data read through a link's frame (retry rule, engine steps,
// bounded end wait) against a simulated host that answers at once.

#include <benchmark/benchmark.h>

#include <memory>

#include "hw/cvlink.h"
#include "platform/sim/machine.h"
#include "platform/sim/smbussegment.h"
#include "support/simsmbushost.h"

namespace {

void BM_SMBusReadByteData(benchmark::State& state) {
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
