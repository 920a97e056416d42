// The Intel core sensor's tick: per core a pin, one MSR read and an unpin.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "base/cvtrace.h"
#include "chips/cvintelcoresensor.h"
#include "cpu/noscpuidmsr.h"
#include "hw/cvdriver.h"
#include "platform/sim/machine.h"

namespace {

void BM_IntelCoreReadEveryCore(benchmark::State& state) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "caldavor-bench-intelcore";
    std::filesystem::create_directories(path);
    ProgramDir = path.string() + "/";
    platform::sim::Machine machine;
    platform::ScopedPlatform scope{machine};
    machine.cpus().setCount(static_cast<unsigned>(state.range(0)));
    for (unsigned n = 0; n < machine.cpus().count(); ++n) machine.cpus().cpu(n).msrs[0x19C] = 0x88230000;
    machine.driver().installed = true;
    IOPort = std::make_unique<TIOPort>();
    ResetCpuidMsrData();
    SetMsrReader([](std::uint32_t index) { return IOPort->ReadMSR(index); });
    auto sensor = CreateSensor<TIntelCoreSensor>(nullptr, 0u, TIntelCoreSensor::ChipCode, nullptr, "", "", "");
    for (auto _ : state) sensor->ReadTemps();
    sensor.reset();
    ResetCpuidMsrData();
    IOPort.reset();
    std::filesystem::remove_all(path);
}
BENCHMARK(BM_IntelCoreReadEveryCore)->Arg(4)->Arg(16);

}  // namespace
