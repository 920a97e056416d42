// One SMBus byte-data read through a link's frame (retry rule, engine steps,
// bounded end wait): against a simulated host that answers at once, and
// against each host family's simulated controller, which adds the cost of
// the family's register sequence.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "base/cvtrace.h"
#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "platform/sim/machine.h"
#include "platform/sim/smbus/alihost.h"
#include "platform/sim/smbus/amdhost.h"
#include "platform/sim/smbus/ichstylehost.h"
#include "platform/sim/smbus/nforce2host.h"
#include "platform/sim/smbus/sis5595host.h"
#include "platform/sim/smbus/sishost.h"
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

// Byte-data reads of register 05h at 2Dh, each bracketed as the program does.
void MeasureReads(benchmark::State& state, TLink& link) {
    link.RegisterAddress(0x2D);
    std::uint8_t value = 0;
    for (auto _ : state) {
        link.BeginAccess();
        benchmark::DoNotOptimize(link.ReadByteData(0x2D, 0x05, value));
        link.EndAccess();
        benchmark::DoNotOptimize(value);
    }
}

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
    MeasureReads(state, link);
}
BENCHMARK(BM_SMBusReadByteData);

// ---- the host families ----

using namespace platform::sim;

constexpr std::uint16_t Base = 0x1000;

template <class MakeModel>
void FamilyReadByteData(benchmark::State& state, std::uint8_t hostKind, std::uint8_t chipsetCode, MakeModel make) {
    TraceFolder traceFolder;
    Machine machine;
    platform::ScopedPlatform scope(machine);
    machine.ports().recorder().setEnabled(false);
    auto segment = std::make_shared<SMBusSegment>();
    segment->setRecording(false);
    auto slave = std::make_shared<SMBusSlave>();
    slave->registers().set(0x05, 0x42);
    segment->attach(0x2D, slave);
    installSMBusHost(machine.ports(), make(segment), "host");
    IOPort = std::make_unique<TIOPort>();
    TLink link(chipsetCode, LinkKinds::SMBus, hostKind, Base, 0);
    MeasureReads(state, link);
    IOPort.reset();
}

void BM_Intel(benchmark::State& s) {
    FamilyReadByteData(s, HostKinds::Intel, 63,
                 [](auto seg) { return std::make_shared<IchStyleHost>(IntelFamily, Base, seg); });
}
void BM_VIA(benchmark::State& s) {
    FamilyReadByteData(s, HostKinds::VIA, 84, [](auto seg) { return std::make_shared<IchStyleHost>(VIAFamily, Base, seg); });
}
void BM_Uli(benchmark::State& s) {
    FamilyReadByteData(s, HostKinds::Uli, 30, [](auto seg) { return std::make_shared<IchStyleHost>(UliFamily, Base, seg); });
}
void BM_AMD(benchmark::State& s) {
    FamilyReadByteData(s, HostKinds::AMD, 12, [](auto seg) { return std::make_shared<AmdHost>(Base, 0xE0, seg); });
}
void BM_nForce2(benchmark::State& s) {
    FamilyReadByteData(s, HostKinds::nForce2, 15, [](auto seg) { return std::make_shared<NForce2Host>(Base, seg); });
}
void BM_Ali(benchmark::State& s) {
    FamilyReadByteData(s, HostKinds::Ali, 29, [](auto seg) { return std::make_shared<AliHost>(Base, seg); });
}
void BM_SiS5595(benchmark::State& s) {
    FamilyReadByteData(s, HostKinds::SiS5595, 33, [](auto seg) { return std::make_shared<SiS5595Host>(Base, seg); });
}
void BM_SiSx30(benchmark::State& s) {
    FamilyReadByteData(s, HostKinds::SiSx30, 40, [](auto seg) { return std::make_shared<SiSHost>(SiSx30Family, Base, seg); });
}
BENCHMARK(BM_Intel);
BENCHMARK(BM_VIA);
BENCHMARK(BM_Uli);
BENCHMARK(BM_AMD);
BENCHMARK(BM_nForce2);
BENCHMARK(BM_Ali);
BENCHMARK(BM_SiS5595);
BENCHMARK(BM_SiSx30);


}  // namespace
