// What the ITE driver does on every tick: one full read of an IT8720F's
// temperatures, fans and voltages through the ISA link.

#include <benchmark/benchmark.h>

#include "chipbench.h"
#include "chips/cvite.h"

namespace {

void BM_IT8720FFullRead(benchmark::State& state) {
    ChipBench bench("caldavor-bench-ite");
    auto& chip = *bench.chip;
    chip.set(0x0C, 0x01);  // fan 1 counts in 16 bits
    chip.set(0x0D, 0xFA);
    chip.set(0x0E, 0x87);
    chip.set(0x0F, 0xFF);
    chip.set(0x80, 0x46);
    chip.set(0x81, 0x05);
    for (int reg = 0x20; reg <= 0x2B; ++reg) chip.set(static_cast<std::uint8_t>(reg), 0x40);
    TLink link(2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0);
    auto sensor = CreateSensor<TITSensor>(&link, 0x290u, std::uint8_t{86}, nullptr, "", "", "");
    for (auto _ : state) {
        sensor->ReadTemps();
        sensor->ReadFans();
        sensor->ReadVolts();
    }
}
BENCHMARK(BM_IT8720FFullRead);

}  // namespace
