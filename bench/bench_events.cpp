// Every event is evaluated once a second: a typical condition must cost
// microseconds, not milliseconds.
#include <benchmark/benchmark.h>

#include "core/cvmonitor.h"
#include "core/cvvars.h"
#include "platform/sim/machine.h"

namespace {

class TBenchSensor : public TSensor {
public:
    TBenchSensor() : TSensor(nullptr, 0x290, 1, {}, "", "", "") {
        FDisplayName = "W83627HF@$290(onISA)";
        FTemps.resize(3);
        FinishReadingSetup();
    }

protected:
    void ReadTempsInternal(std::span<double> values) override {
        for (double& v : values) v = 45.5;
    }
};

struct TBenchMonitor {
    TBenchMonitor() {
        ProgramDir = "/nonexistent/";
        auto sensor = CreateSensor<TBenchSensor>();
        sensor->ReadTemps();
        monitor.Sensors.push_back(std::move(sensor));
        TEventDef& def = monitor.Events.Events.emplace_back().Def;
        def.Origin = 0;
        def.ReadingIdx = 2;
        def.CheckType = std::string(">");
        def.CheckValue = std::string("50");
        monitor.Events.CompileSimpleEvents();
    }
    platform::sim::Machine machine;
    platform::ScopedPlatform scope{machine};
    TMonitor monitor;
};

void BM_EvaluateTypicalCondition(benchmark::State& state) {
    TBenchMonitor bench;
    for (auto _ : state) benchmark::DoNotOptimize(bench.monitor.Events.EvaluateEvent(0));
}
BENCHMARK(BM_EvaluateTypicalCondition);

void BM_CompileTypicalCondition(benchmark::State& state) {
    for (auto _ : state) {
        TCVParser parser;
        parser.SetText("sensor[0].temp[2].value>50");
        TCVExprItems items;
        parser.CompileExpression(items);
        benchmark::DoNotOptimize(items);
    }
}
BENCHMARK(BM_CompileTypicalCondition);

}  // namespace
