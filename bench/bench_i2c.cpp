// Byte-data reads below the SMBus host level: bit-banged through the CRTC
// lines, and through the Geode ACCESS.bus. Time per transaction and the port
// accesses each one makes.
#include <benchmark/benchmark.h>

#include "hw/cvbitbanging.h"
#include "hw/cvdriver.h"
#include "hw/cvscx200.h"
#include "platform/sim/accessbus.h"
#include "platform/sim/crtc.h"
#include "platform/sim/machine.h"

namespace {

using namespace platform::sim;

struct Bench {
    Bench() : scope(machine) {
        DriverStartFlags = {true, false, true};
        IOPort = std::make_unique<TIOPort>();
    }
    ~Bench() { IOPort.reset(); }

    // Port accesses of one call of `transaction`.
    template <class Transaction>
    double accessesOf(Transaction transaction) {
        machine.ports().recorder().clear();
        transaction();
        const double count = static_cast<double>(machine.ports().recorder().accesses().size());
        machine.ports().recorder().setEnabled(false);
        return count;
    }

    Machine machine;
    platform::ScopedPlatform scope;
};

void BM_BitBangedByteRead(benchmark::State& state) {
    Bench bench;
    auto crtc = Crtc::install(bench.machine.ports(), std::make_shared<RegisterFile>());
    auto wire = std::make_shared<I2CWire>();
    wire->slaves().attach(0x4C, std::make_shared<SMBusSlave>());
    crtc->addBus(0x3E, wire);
    TNvidiaI2C i2c(0x3E);
    std::uint8_t value = 0;
    state.counters["ports"] = bench.accessesOf([&] { i2c.ReadByteData(0x4C, 0x10, value); });
    for (auto _ : state) benchmark::DoNotOptimize(i2c.ReadByteData(0x4C, 0x10, value));
}
BENCHMARK(BM_BitBangedByteRead)->Unit(benchmark::kMicrosecond);

void BM_GeodeByteRead(benchmark::State& state) {
    Bench bench;
    auto slaves = std::make_shared<I2CSlaves>();
    slaves->attach(0x4C, std::make_shared<SMBusSlave>());
    AccessBus::install(bench.machine.ports(), 0x6000, slaves);
    TSCx200 scx(0x6000);
    const auto read = [&] { return scx.Transaction(0x4C, 2, true, 0x10, 0, 0, {}); };
    state.counters["ports"] = bench.accessesOf(read);
    for (auto _ : state) benchmark::DoNotOptimize(read());
}
BENCHMARK(BM_GeodeByteRead)->Unit(benchmark::kMicrosecond);

}  // namespace
