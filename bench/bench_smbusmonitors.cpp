// One tick's full read of an ADT7476 (temperatures, fans, voltages) through
// the SMBus frame on the simulated protocol-level host.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "base/cvtrace.h"
#include "chips/cvadm1021sensor.h"
#include "hw/cvbuslocks.h"
#include "hw/cvdriver.h"
#include "platform/sim/machine.h"
#include "support/simsmbushost.h"

namespace {

void BM_ADT7476FullRead(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / "caldavor-bench-smbusmonitors";
    std::filesystem::create_directories(path);
    platform::sim::Machine machine;
    platform::ScopedPlatform scope{machine};
    ProgramDir = path.string() + "/";
    InitializeBusLocks();
    IOPort = std::make_unique<TIOPort>();
    machine.protocolSMBus().setRecording(false);
    auto chip = std::make_shared<platform::sim::RegisterFile>();
    for (std::uint8_t reg = 0x20; reg <= 0x2F; ++reg) chip->set(reg, 0x40);
    chip->set(0x7C, 0x01);
    machine.protocolSMBus().attach(0x2E, std::make_shared<platform::sim::SMBusSlave>(chip));
    {
        TLink link(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                   testsupport::SimProtocolHost::On(machine.protocolSMBus()));
        auto sensor = CreateSensor<TADM1021Sensor>(&link, 0x2Eu, std::uint8_t{112}, nullptr, "", "", "");
        for (auto _ : state) {
            sensor->ReadTemps();
            sensor->ReadFans();
            sensor->ReadVolts();
        }
    }
    IOPort.reset();
    FinalizeBusLocks();
    std::filesystem::remove_all(path);
}
BENCHMARK(BM_ADT7476FullRead);

}  // namespace
