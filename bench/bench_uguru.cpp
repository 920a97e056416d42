// The uGuru sensor's tick (temperatures, fans, voltages): on a uGuru3 board
// one block read per second serves all three lists; on a generation-1 board
// every item costs three transactions.

#include <benchmark/benchmark.h>

#include "chipbench.h"
#include "chips/cvsensoruguru.h"
#include "firmware/cvsmbios.h"

namespace {

const char* Gen1Board = R"({"smbios": {"structures": [{"type": 2, "manufacturer": "http://www.abit.com.tw/",
                                                          "product": "AN7"}]},
                             "uguru": {"busyReads": 2, "banks": {"0": {"0x00": "0x2A", "0x03": "0x8C"},
                                                                 "2": {"0x00": "0x28"}}}})";

void Tick(benchmark::State& state, ChipBench& bench, std::uint64_t advanceMs) {
    InitializeCvsmbios();
    auto sensor = CreateSensor<TUGuruSensor>(nullptr, 0u, TUGuruSensor::ChipCode, nullptr, "", "", "");
    if (sensor->GetTempCount() == 0) state.SkipWithError("the board did not match");
    for (auto _ : state) {
        sensor->ReadTemps();
        sensor->ReadFans();
        sensor->ReadVolts();
        bench.machine.simClock().advance(advanceMs);
    }
    sensor.reset();
    ResetCvsmbios();
}

void BM_UGuru3Tick(benchmark::State& state) {
    ChipBench bench("caldavor-bench-uguru3");
    bench.machine.loadFromFile(CALDAVOR_BOARDS_DIR "/uguru3.json");
    bench.machine.ports().recorder().setEnabled(false);
    Tick(state, bench, 3000);  // the main tick's period: every tick reads the block
}
BENCHMARK(BM_UGuru3Tick);

void BM_UGuruGeneration1Tick(benchmark::State& state) {
    ChipBench bench("caldavor-bench-uguru1");
    bench.machine.loadFromJson(Gen1Board, "uguru1-bench.json");
    bench.machine.ports().recorder().setEnabled(false);
    Tick(state, bench, 3000);
}
BENCHMARK(BM_UGuruGeneration1Tick);

}  // namespace
