// The QST access object's tick: one update of all four lists (temperatures,
// fans, voltages, controllers) through the simulated HECI device.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "base/cvtrace.h"
#include "firmware/cvintelqst2.h"
#include "platform/sim/heci.h"
#include "platform/sim/machine.h"

namespace {

// Four of each monitor and three controllers, all answering.
platform::sim::HeciConfig Firmware(int generation) {
    platform::sim::HeciConfig config;
    config.generation = generation;
    config.version = generation == 2 ? std::vector<std::uint8_t>{6, 0, 0, 0x10, 0x05}
                                     : std::vector<std::uint8_t>{5, 1, 2, 0x34, 0x12};
    for (int i = 0; i < 4; ++i) {
        config.temps[i].value = [i] { return 4000 + 100 * i; };
        config.fans[i].value = [i] { return 1200 + 10 * i; };
        config.volts[i].value = [i] { return 1200 * (i + 1); };
    }
    for (int i = 0; i < 3; ++i) config.controllers[i].duty = 5000;
    return config;
}

void BM_QSTUpdateAllLists(benchmark::State& state) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "caldavor-bench-qst";
    std::filesystem::create_directories(path);
    ProgramDir = path.string() + "/";
    {
        platform::sim::Machine machine;
        platform::ScopedPlatform scope{machine};
        const int generation = static_cast<int>(state.range(0));
        const auto heci = platform::sim::installHeci(machine, Firmware(generation));
        const std::unique_ptr<TCVIntelQST> qst =
            generation == 2 ? std::make_unique<TCVIntelQST2>() : std::make_unique<TCVIntelQST>();
        if (!qst->Available()) state.SkipWithError("the QST firmware did not answer");
        std::size_t ticks = 0;
        for (auto _ : state) {
            qst->UpdateTemps();
            qst->UpdateFans();
            qst->UpdateVolts();
            qst->UpdatePwms();
            // The model records every request; keep that from growing without bound.
            if (++ticks % 1024 == 0) heci->clearRequests();
        }
    }
    std::filesystem::remove_all(path);
}
BENCHMARK(BM_QSTUpdateAllLists)->Arg(1)->Arg(2);

}  // namespace
