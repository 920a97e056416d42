// The graphics-card sensors' temperature read, done every tick: a GeForce
// card through its thermal register, one through the GPU library, and an
// ATI card through its display library.

#include <benchmark/benchmark.h>

#include "chipbench.h"
#include "chips/cvgpusensors.h"
#include "cpu/cvatiadl.h"
#include "cpu/cvgeforce.h"
#include "cpu/cvnvapi.h"

namespace {

template <class Sensor>
void ReadTemps(benchmark::State& state, std::uint32_t address) {
    auto sensor = CreateSensor<Sensor>(nullptr, address, Sensor::ChipCode, nullptr, "", "", "");
    if (sensor->GetTempCount() == 0) state.SkipWithError("the sensor has no temperature");
    for (auto _ : state) {
        sensor->ReadTemps();
        benchmark::DoNotOptimize(sensor->GetTemp(1).Stats->Last());
    }
}

// Argument: the card, 0 read by its register, 1 through the GPU library.
void BM_GeForceSensorTemperature(benchmark::State& state) {
    ChipBench bench("caldavor-bench-geforce");
    bench.machine.loadFromFile(CALDAVOR_BOARDS_DIR "/gpu-geforce.json");
    LoadNvApi();
    for (int bus : {1, 2}) GeForceCards().push_back(std::make_unique<TGeForcePciCard>(bus, 0, 0, nullptr));
    ReadTemps<TGeForceSensor>(state, static_cast<std::uint32_t>(state.range(0)));
    GeForceCards().clear();
    UnloadNvApi();
}
BENCHMARK(BM_GeForceSensorTemperature)->Arg(0)->Arg(1);

void BM_ATIADLSensorTemperature(benchmark::State& state) {
    ChipBench bench("caldavor-bench-atiadl");
    bench.machine.loadFromFile(CALDAVOR_BOARDS_DIR "/gpu-radeon.json");
    CreateAtiAdl({});
    ReadTemps<TATIADLSensor>(state, 0);
    ResetAtiAdl();
}
BENCHMARK(BM_ATIADLSensorTemperature);

}  // namespace
