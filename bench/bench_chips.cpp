// What the chip drivers do on every tick: one register byte through a link
// on the ISA index/data adaptor and on the SMBus segment, and one heuristic
// fan read (256 SMBus reads).

#include <benchmark/benchmark.h>

#include <memory>

#include "chipbench.h"
#include "chips/cvchipaccess.h"
#include "chips/cvecnuvotonsensor.h"
#include "chips/cvheuristicsensor.h"
#include "chips/cvwinbond.h"
#include "chips/cvsmscsensor.h"
#include "platform/sim/ecmailbox.h"
#include "platform/sim/flatportrange.h"
#include "platform/sim/indexdataport.h"

namespace {

// One bracketed register read per iteration, as a driver makes it.
void readEachIteration(benchmark::State& state, TLink& link, int address) {
    for (auto _ : state) {
        TChipAccess access(&link);
        benchmark::DoNotOptimize(ReadChipByte(&link, address, 0x27));
    }
}

void BM_ChipByteIsa(benchmark::State& state) {
    ChipBench bench;
    TLink link(2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0);
    readEachIteration(state, link, 0);
}
BENCHMARK(BM_ChipByteIsa);

void BM_ChipByteSMBus(benchmark::State& state) {
    ChipBench bench;
    TLink link(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, bench.host());
    readEachIteration(state, link, 0x2D);
}
BENCHMARK(BM_ChipByteSMBus);

void BM_HeuristicFanRead(benchmark::State& state) {
    ChipBench bench;
    TLink link(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, bench.host());
    auto sensor = CreateSensor<THeuristicSensor>(&link, 0x2Du, THeuristicSensor::ChipCode, nullptr, "", "", "");
    for (auto _ : state) sensor->ReadFans();
}
BENCHMARK(BM_HeuristicFanRead);

// A full tick of an NCT6776F on ISA: temperatures, fans and voltages.
void BM_NCT6776FFullRead(benchmark::State& state) {
    ChipBench bench;
    bench.chip = std::make_shared<platform::sim::RegisterFile>(8);
    bench.chip->setBankSelector({0x4E, 0x07, 0, 0x00, 0xFF});
    platform::sim::IndexDataPort::install(bench.machine.ports(), bench.chip, 0x2295, 0x2296, "nct6776f");
    TLink link(2, LinkKinds::ISA, HostKinds::ISA, 0x2290, 0);
    auto sensor = CreateSensor<TWinbondSensor>(&link, 0x2290u, std::uint8_t{48}, nullptr, "", "", "");
    for (auto _ : state) {
        sensor->ReadTemps();
        sensor->ReadFans();
        sensor->ReadVolts();
    }
}
BENCHMARK(BM_NCT6776FFullRead);
// Every slot of an NCT6683D read through the EC mailbox, a claim per register.
void BM_ECNuvotonReadAll(benchmark::State& state) {
    ChipBench bench;
    auto ram = std::make_shared<platform::sim::RegisterFile>(13);
    for (int n = 0; n < 32; ++n) ram->set(static_cast<std::uint8_t>(0xA0 + n), n < 16 ? 0x01 : 0x66, 1);
    for (int n = 0; n < 16; ++n) ram->set(static_cast<std::uint8_t>(0xC0 + n), 0x80, 1);
    platform::sim::ECMailbox::install(bench.machine.ports(), ram, 0x380, "ec");
    TLink link(0, LinkKinds::ECNuvoton, HostKinds::ECNuvoton, 0x380, 0);
    auto sensor =
        CreateSensor<TECNuvotonSensor>(&link, 0u, TECNuvotonSensor::ChipNCT6683D, nullptr, "", "", "");
    for (auto _ : state) {
        sensor->ReadTemps();
        sensor->ReadVolts();
        sensor->ReadFans();
    }
}
BENCHMARK(BM_ECNuvotonReadAll);

// The fans of an LPC47M192 from its runtime port block.
void BM_SMSCRuntimeFanRead(benchmark::State& state) {
    ChipBench bench;
    auto block = std::make_shared<platform::sim::RegisterFile>();
    block->set(0x56, 0x40);
    block->set(0x57, 0x40);
    block->set(0x59, 0xC8);
    block->set(0x5B, 0x64);
    platform::sim::FlatPortRange::install(bench.machine.ports(), block, 0x800, 0x80, "runtime");
    TLink link(0, LinkKinds::ISA, HostKinds::ISA, 0x290, 0);
    auto sensor = CreateSensor<TSMSCSensor>(&link, 0x800u, 158, nullptr, "", "", "");
    for (auto _ : state) sensor->ReadFans();
}
BENCHMARK(BM_SMSCRuntimeFanRead);

}  // namespace
